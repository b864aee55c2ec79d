// Where the current user's settings store lives.

#ifndef QUARRY_PLATFORM_STORE_LOCATION_H_
#define QUARRY_PLATFORM_STORE_LOCATION_H_

#include <string>

namespace quarry::platform {

// The environment variable that points a process at another store file.
inline constexpr char kRegistryFileVariable[] = "ZT_REGISTRY_FILE";

// The store file of the current user: $ZT_REGISTRY_FILE when set and not
// empty; otherwise "zandor-tech/registry.sqlite" under $XDG_CONFIG_HOME when
// that is an absolute path (relative ones are ignored, as the XDG rules
// say), else under "$HOME/.config", taking the home folder from the
// password database when HOME is unset. Empty when no folder is known.
std::string UserStorePath();

// The rule of UserStorePath() applied to the given variable values (null
// for unset) and a home folder; used by UserStorePath() and its tests.
std::string UserStorePathFrom(const char* registry_file,
                              const char* xdg_config_home, const char* home);

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_STORE_LOCATION_H_
