// Making sure the control modules the dialogs are built from are
// registered for the user who runs the program. An installation for all
// users puts the modules in the shared components folder but can register
// them only for whoever installed it; each user's first start registers
// the ones that are missing (or registered at a file that is gone), as the
// registration tool would.

#ifndef QUARRY_APP_CONTROL_REGISTRATION_H_
#define QUARRY_APP_CONTROL_REGISTRATION_H_

#include <string>
#include <vector>

namespace quarry {

namespace platform {
class SettingsStore;
}  // namespace platform

// For each of the four modules whose class is not registered in `store`
// at an existing file, registers "<folder>/<module>.so" when that file
// exists. `store` must be the user's store, the one the environment names
// ($ZT_REGISTRY_FILE or the default), since the modules register
// themselves there. Returns the modules registered; a module that fails to
// register is left out and its reason goes to standard error.
std::vector<std::string> RegisterMissingControls(const std::string& folder,
                                                 const platform::SettingsStore& store);

}  // namespace quarry

#endif  // QUARRY_APP_CONTROL_REGISTRATION_H_
