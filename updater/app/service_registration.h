// Registering the updater as the bus's automation server: a D-Bus service
// file under $XDG_DATA_HOME/dbus-1/services (default ~/.local/share), so
// that a client's first call starts the updater ("KspAutoUpdater
// --regserver"; "--unregserver" removes it).

#ifndef QUARRY_UPDATER_APP_SERVICE_REGISTRATION_H_
#define QUARRY_UPDATER_APP_SERVICE_REGISTRATION_H_

#include <optional>
#include <string>

namespace quarry::updater {

// The service file's path for the current user; empty when no data folder
// is known.
std::string ServiceFilePath();

// The service file's text, starting `program` (an absolute path) with the
// automation option. The path is quoted for the bus's command line.
std::string ServiceFileText(const std::string& program);

// Writes (whole or not at all) or removes the service file. False with
// *error on failure; removing a file that is not there succeeds.
bool RegisterServer(const std::string& program, std::string* error);
bool UnregisterServer(std::string* error);

// Carries out "--regserver" or "--unregserver" for the running program
// (/proc/self/exe); the exit status, with a one-line reason on standard
// error on failure. nullopt for any other argument.
std::optional<int> RunRegistrationOption(const std::string& option);

}  // namespace quarry::updater

#endif  // QUARRY_UPDATER_APP_SERVICE_REGISTRATION_H_
