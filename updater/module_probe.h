// Reads a module's own account of itself: the `Version` and `NiceName`
// entry points that the maker's modules export.
//
//   extern "C" int32_t Version(double* version);  // 0: *version was set
//   extern "C" int32_t NiceName(char** name);     // 0: *name was set to a
//       string the caller releases with free() (UTF-8, NUL-terminated)
//
// The module is loaded with dlopen (which runs its initialisers, as
// loading any library does) and released again, its code staying mapped. Files that are not
// loadable libraries (data files, executables) simply have no exports. A
// module replaced since it was last probed is read afresh.

#ifndef QUARRY_UPDATER_MODULE_PROBE_H_
#define QUARRY_UPDATER_MODULE_PROBE_H_

#include <optional>
#include <string>

namespace quarry {

struct ModuleInfo {
  std::optional<double> version;
  std::optional<std::string> nice_name;
};

// What `path` says of itself; both members empty when it is no module of
// ours (or not a library at all).
ModuleInfo ProbeModule(const std::string& path);

}  // namespace quarry

#endif  // QUARRY_UPDATER_MODULE_PROBE_H_
