#include "platform/component_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "platform/class_registry.h"
#include "platform/settings_store.h"

namespace quarry::com {

namespace {

template <typename Fn>
Fn Symbol(void* handle, const char* name) {
  return reinterpret_cast<Fn>(dlsym(handle, name));
}

std::string LoadPath(const std::string& path) {
  // dlopen searches the library folders for a bare name; a module named
  // on a command line means the file in the current folder.
  return path.find('/') == std::string::npos ? "./" + path : path;
}

}  // namespace

const LoadedModule* LoadModule(const std::string& path, std::string* error) {
  static std::mutex mu;
  // Leaked on purpose: modules are never unloaded, and records handed out
  // must stay valid through static destruction.
  static auto* modules = new std::map<std::string, std::unique_ptr<LoadedModule>>();

  const std::string load_path = LoadPath(path);
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::canonical(load_path, ec);
  if (ec) {
    if (error != nullptr) *error = path + ": " + ec.message();
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(mu);
  auto found = modules->find(canonical.string());
  if (found != modules->end()) return found->second.get();

  dlerror();
  void* handle = dlopen(canonical.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    if (error != nullptr) *error = reason != nullptr ? reason : path + ": cannot be loaded";
    return nullptr;
  }
  auto module = std::make_unique<LoadedModule>();
  module->path = canonical.string();
  module->register_server = Symbol<DllRegisterServerFn>(handle, "DllRegisterServer");
  module->unregister_server = Symbol<DllUnregisterServerFn>(handle, "DllUnregisterServer");
  module->get_class_object = Symbol<DllGetClassObjectFn>(handle, "DllGetClassObject");
  module->can_unload_now = Symbol<DllCanUnloadNowFn>(handle, "DllCanUnloadNow");
  module->version = Symbol<VersionFn>(handle, "Version");
  module->nice_name = Symbol<NiceNameFn>(handle, "NiceName");
  const LoadedModule* result = module.get();
  modules->emplace(canonical.string(), std::move(module));
  return result;
}

HRESULT CreateInstanceFromModule(const std::string& path, const Guid& clsid, const Guid& iid,
                                 void** out, std::string* error) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const LoadedModule* module = LoadModule(path, error);
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  if (module->get_class_object == nullptr) {
    if (error != nullptr) *error = path + " has no DllGetClassObject entry point";
    return CO_E_ERRORINDLL;
  }
  ComPtr<IClassFactory> factory;
  HRESULT hr = module->get_class_object(&clsid, &IID_IClassFactory, factory.Receive());
  if (Failed(hr) || !factory) {
    if (error != nullptr) {
      *error = path + " does not provide class " + FormatGuid(clsid) + " (" +
               std::string(ResultText(hr)) + ")";
    }
    return Failed(hr) ? hr : E_UNEXPECTED;
  }
  hr = factory->CreateInstance(nullptr, iid, out);
  if (Failed(hr) && error != nullptr) {
    *error = "creating " + FormatGuid(clsid) + " failed: " + std::string(ResultText(hr));
  }
  return hr;
}

HRESULT CreateInstance(const platform::SettingsStore& store, const Guid& clsid, const Guid& iid,
                       void** out, std::string* error) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const std::optional<std::string> path = InprocServerPath(store, clsid);
  if (!path) {
    if (error != nullptr) *error = "class " + FormatGuid(clsid) + " is not registered";
    return REGDB_E_CLASSNOTREG;
  }
  return CreateInstanceFromModule(*path, clsid, iid, out, error);
}

HRESULT CreateInstanceByProgId(const platform::SettingsStore& store, std::string_view prog_id,
                               const Guid& iid, void** out, std::string* error) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const std::optional<Guid> clsid = ClsidFromProgId(store, prog_id);
  if (!clsid) {
    if (error != nullptr) *error = "\"" + std::string(prog_id) + "\" is not registered";
    return REGDB_E_CLASSNOTREG;
  }
  return CreateInstance(store, *clsid, iid, out, error);
}

RegistrationOutcome RunRegistration(const std::string& path, bool unregister) {
  RegistrationOutcome outcome;
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  std::string error;
  const LoadedModule* module = LoadModule(path, &error);
  if (module == nullptr) {
    outcome.status = 3;
    outcome.result = CO_E_DLLNOTFOUND;
    outcome.message = "Cannot load " + path + ": " + error;
    return outcome;
  }
  HRESULT (*call)() = unregister ? module->unregister_server : module->register_server;
  if (call == nullptr) {
    outcome.status = 4;
    outcome.result = CO_E_ERRORINDLL;
    outcome.message = path + " is not a component module: it has no " + entry + " entry point.";
    return outcome;
  }
  outcome.result = call();
  if (Failed(outcome.result)) {
    outcome.status = 5;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<uint32_t>(outcome.result));
    outcome.message = std::string(entry) + " in " + path + " failed with " + code + ": " +
                      std::string(ResultText(outcome.result)) + ".";
    return outcome;
  }
  outcome.message = std::string(entry) + " in " + path + " succeeded.";
  return outcome;
}

}  // namespace quarry::com
