#include "updater/module_probe.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

namespace quarry {

namespace {

// Loads `path` under a name of its own. The loader hands back a library it
// already holds when the name matches, without looking at the file: a
// module probed, then replaced by an update, would go on reporting the old
// version. A fresh link per probe makes the loader look at the file itself
// (which it still shares when it is the very same file).
void* LoadFresh(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string folder = (fs::temp_directory_path(ec) / "ksp-probe-XXXXXX").string();
  if (ec || ::mkdtemp(folder.data()) == nullptr) {
    return ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
  }
  const fs::path link = fs::path(folder) / fs::path(path).filename();
  fs::create_symlink(fs::absolute(path, ec), link, ec);
  void* module = ec ? nullptr : ::dlopen(link.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
  fs::remove_all(folder, ec);
  return module;
}

}  // namespace

ModuleInfo ProbeModule(const std::string& path) {
  ModuleInfo info;
  // RTLD_LOCAL keeps the module's symbols out of the process's namespace;
  // RTLD_LAZY binds nothing it does not call. RTLD_NODELETE keeps the code
  // mapped after dlclose: a module may have left objects behind (Qt
  // registrations, thread-local data) that must not outlive their code.
  void* module = LoadFresh(path);
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
