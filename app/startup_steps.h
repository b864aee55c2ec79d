// Steps of the main program's start-up that need no window: tidying the
// settings store, and the facts about the running program that start-up
// records for the fault report.

#ifndef QUARRY_APP_STARTUP_STEPS_H_
#define QUARRY_APP_STARTUP_STEPS_H_

#include <string>

#include "platform/settings_store.h"

namespace quarry {

// The key tree of an older edition of the program, and the key whose
// "NewUser" value decides whether it goes.
inline constexpr char kOldProductKey[] = "Software\\Kestrane\\Quarry\\";
inline constexpr char kOldSettingsKey[] = "Software\\Kestrane\\Quarry\\Settings\\";
// "NewUser" in the old key reads this when it is absent; the old tree is
// kept exactly when it reads this.
inline constexpr uint32_t kOldNewUserKeep = 100;

// Removes the older edition's key tree with all its subkeys, unless its
// "NewUser" reads kOldNewUserKeep (which it does when absent, so a store
// without the old tree is left alone). True when the tree was deleted.
bool CleanUpOldKeys(platform::SettingsStore& store);

// Writes "ModuleRegistration" = 1 (section "Settings") when it does not
// read 1; absent reads 1. True when it was written.
bool EnsureModuleRegistration(platform::SettingsStore& store);

// Starts the process's trace log (trace_log.h) when "DebugModeTracer"
// (section "Settings") is non-zero and the log is not yet running. True
// when the log is running afterwards.
bool StartTraceIfWanted(const platform::SettingsStore& store);

// Full path of the running executable; empty when it cannot be found.
std::string ModulePath();

// The program's version as "major.minor.build.revision" ("%i.%i.%i.%i"),
// from the project version the program was built with.
std::string VersionString();
std::string FormatVersion(int major, int minor, int build, int revision);

}  // namespace quarry

#endif  // QUARRY_APP_STARTUP_STEPS_H_
