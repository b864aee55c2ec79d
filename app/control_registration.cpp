#include "app/control_registration.h"

#include <cstdio>
#include <filesystem>

#include "controls/common/module_identity.h"
#include "platform/class_registry.h"
#include "platform/component_loader.h"
#include "platform/settings_store.h"

namespace quarry {

std::vector<std::string> RegisterMissingControls(const std::string& folder,
                                                 const platform::SettingsStore& store) {
  namespace fs = std::filesystem;
  std::vector<std::string> registered;
  for (const controls::ModuleIdentity* module : controls::kAllModules) {
    std::error_code ec;
    const std::optional<std::string> path = com::InprocServerPath(store, module->ControlClsid());
    if (path && fs::exists(*path, ec)) continue;
    const fs::path file = fs::path(folder) / (std::string(module->module_name) + ".so");
    if (!fs::exists(file, ec)) continue;
    // The module registers itself in the store the environment names,
    // which is the one `store` was opened on for the program.
    const com::RegistrationOutcome outcome = com::RunRegistration(file.string(), false);
    if (outcome.status != 0) {
      std::fprintf(stderr, "Quarry: %s\n", outcome.message.c_str());
      continue;
    }
    registered.emplace_back(module->module_name);
  }
  return registered;
}

}  // namespace quarry
