// What the tests on a private session bus (private_bus_main.cpp) ask of
// the bus itself.

#ifndef QUARRY_UPDATER_TESTING_PRIVATE_BUS_H_
#define QUARRY_UPDATER_TESTING_PRIVATE_BUS_H_

#include <string>

namespace quarry::testing {

// The bus daemon caches service files and notices a rewritten one by its
// modification time, in whole seconds: a file removed and written again
// within the same second would still start the old program. This has it
// read the folder afresh. True when it did.
bool ReloadBusServices();

// Sets a variable in the environment the bus starts programs with. True
// when the bus took it.
bool SetActivationVariable(const std::string& name, const std::string& value);

// Whether the updater owns its name on the bus now.
bool UpdaterRunning();

}  // namespace quarry::testing

#endif  // QUARRY_UPDATER_TESTING_PRIVATE_BUS_H_
