// Loading component modules and creating their objects: by module path,
// by class identifier (looked up in the settings store) or by program
// identifier; and running a module's own registration, which is what the
// registration tool and the programs' self-repair do.
//
// A module is loaded once per process and never unloaded: widgets and
// objects it made may be alive anywhere, and unloading the code under
// them would crash the program. Loading and creation are for the thread
// that runs the user interface; the module table itself is thread-safe.

#ifndef QUARRY_PLATFORM_COMPONENT_LOADER_H_
#define QUARRY_PLATFORM_COMPONENT_LOADER_H_

#include <string>
#include <string_view>

#include "platform/com_base.h"
#include "platform/module_exports.h"

namespace quarry::platform {
class SettingsStore;
}  // namespace quarry::platform

namespace quarry::com {

// A loaded module's entry points; any of them may be null when the module
// does not export it.
struct LoadedModule {
  std::string path;
  DllRegisterServerFn register_server = nullptr;
  DllUnregisterServerFn unregister_server = nullptr;
  DllGetClassObjectFn get_class_object = nullptr;
  DllCanUnloadNowFn can_unload_now = nullptr;
  VersionFn version = nullptr;
  NiceNameFn nice_name = nullptr;
};

// Loads the module at `path` (a path without "/" is taken in the current
// folder, never searched for). The same file loaded twice gives the same
// record, which lives until the process ends. Null with a one-line reason
// in *error when the file cannot be loaded.
const LoadedModule* LoadModule(const std::string& path, std::string* error);

// Creates an object of `clsid` from the module at `path` and queries it
// for `iid`; *out gets the new reference. The error text (optional) says
// why on failure.
HRESULT CreateInstanceFromModule(const std::string& path, const Guid& clsid, const Guid& iid,
                                 void** out, std::string* error = nullptr);

// The same, with the module registered for `clsid` in `store`
// (REGDB_E_CLASSNOTREG when none is, CO_E_DLLNOTFOUND when it is missing
// or does not load).
HRESULT CreateInstance(const platform::SettingsStore& store, const Guid& clsid, const Guid& iid,
                       void** out, std::string* error = nullptr);
HRESULT CreateInstanceByProgId(const platform::SettingsStore& store, std::string_view prog_id,
                               const Guid& iid, void** out, std::string* error = nullptr);

// What RunRegistration did, in the registration tool's terms.
struct RegistrationOutcome {
  // 0 success; 3 the module did not load; 4 it lacks the entry point;
  // 5 the entry point reported failure (see `result`).
  int status = 0;
  HRESULT result = S_OK;
  std::string message;  // one line for the user, success or failure
};

// Loads the module and calls DllRegisterServer (or DllUnregisterServer).
// The module writes to the store that $ZT_REGISTRY_FILE (or the user's
// default) names at the time of the call.
RegistrationOutcome RunRegistration(const std::string& path, bool unregister);

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_COMPONENT_LOADER_H_
