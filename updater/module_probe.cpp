#include "updater/module_probe.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>

namespace quarry {

ModuleInfo ProbeModule(const std::string& path) {
  ModuleInfo info;
  // RTLD_LOCAL keeps the module's symbols out of the process's namespace;
  // RTLD_LAZY binds nothing it does not call. RTLD_NODELETE keeps the code
  // mapped after dlclose: a module may have left objects behind (Qt
  // registrations, thread-local data) that must not outlive their code.
  void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) {
    ::dlerror();  // clears the reason; a non-library is no error here
    return info;
  }
  using VersionFn = int32_t (*)(double*);
  using NiceNameFn = int32_t (*)(char**);
  if (auto version = reinterpret_cast<VersionFn>(::dlsym(module, "Version"))) {
    double value = 0.0;
    if (version(&value) == 0) info.version = value;
  }
  if (auto nice_name = reinterpret_cast<NiceNameFn>(::dlsym(module, "NiceName"))) {
    char* text = nullptr;
    if (nice_name(&text) == 0 && text != nullptr) info.nice_name = std::string(text);
    std::free(text);
  }
  ::dlclose(module);
  return info;
}

}  // namespace quarry
