#include "controls/common/module_skeleton.h"

#include <dlfcn.h>

#include "controls/common/control_base.h"
#include "platform/class_registry.h"
#include "platform/settings_store.h"
#include "platform/store_location.h"

namespace quarry::controls {

namespace {

com::TypeLibRegistration Library(const ModuleIdentity& id, const std::string& path) {
  com::TypeLibRegistration lib;
  lib.libid = id.type_lib;
  lib.major = id.major;
  lib.minor = id.minor;
  lib.name = std::string(id.type_lib_name);
  lib.module_path = path;
  lib.interfaces = {{id.DispatchIid(), std::string(id.dispatch_name)},
                    {id.EventsIid(), std::string(id.events_name)}};
  return lib;
}

com::ClassRegistration ControlClass(const ModuleIdentity& id, const std::string& path) {
  com::ClassRegistration cls;
  cls.clsid = id.ControlClsid();
  cls.type_name = std::string(id.control_type_name);
  cls.prog_id = std::string(id.control_prog_id);
  cls.module_path = path;
  cls.control = true;
  cls.misc_status = id.misc_status;
  cls.toolbox_bitmap = 1;
  cls.type_lib = id.type_lib;
  cls.type_lib_major = id.major;
  cls.type_lib_minor = id.minor;
  return cls;
}

com::ClassRegistration PageClass(const ModuleIdentity& id, const std::string& path) {
  com::ClassRegistration cls;
  cls.clsid = id.PageClsid();
  cls.type_name = std::string(id.page_type_name);
  cls.prog_id = std::string(id.page_prog_id);
  cls.module_path = path;
  return cls;
}

// One factory per class of the module; it lives as long as the module
// (for ever), so its references are not counted.
class Factory final : public com::IClassFactory {
 public:
  Factory(const ModuleDefinition& module, bool page) : module_(module), page_(page) {}

  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override {
    if (out == nullptr) return com::E_POINTER;
    if (iid == com::IID_IUnknown || iid == com::IID_IClassFactory) {
      *out = static_cast<com::IClassFactory*>(this);
      return com::S_OK;
    }
    *out = nullptr;
    return com::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }

  com::HRESULT CreateInstance(com::IUnknown* outer, const com::Guid& iid, void** out) override {
    if (out == nullptr) return com::E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return com::CLASS_E_NOAGGREGATION;
    com::IUnknown* object = nullptr;
    if (page_) {
      object = new CKsPropertyPage(module_.page_fields);
    } else {
      object = module_.make_control();
    }
    if (object == nullptr) return com::E_OUTOFMEMORY;
    const com::HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }

  com::HRESULT LockServer(bool lock) override {
    ModuleUsage::Lock(lock);
    return com::S_OK;
  }

 private:
  const ModuleDefinition& module_;
  const bool page_;
};

}  // namespace

std::string ThisModulePath() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&ThisModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return info.dli_fname;
}

com::HRESULT RegisterControlModule(const ModuleDefinition& module, const std::string& path) {
  platform::SettingsStore store(platform::UserStorePath());
  const ModuleIdentity& id = module.identity;
  if (path.empty() || !store.IsUsable() || !com::RegisterTypeLib(store, Library(id, path))) {
    return com::SELFREG_E_TYPELIB;
  }
  if (!com::RegisterClass(store, ControlClass(id, path)) ||
      !com::RegisterClass(store, PageClass(id, path))) {
    return com::SELFREG_E_CLASS;
  }
  return com::S_OK;
}

com::HRESULT UnregisterControlModule(const ModuleDefinition& module, const std::string& path) {
  platform::SettingsStore store(platform::UserStorePath());
  const ModuleIdentity& id = module.identity;
  if (!store.IsUsable() || !com::UnregisterTypeLib(store, Library(id, path))) {
    return com::SELFREG_E_TYPELIB;
  }
  if (!com::UnregisterClass(store, ControlClass(id, path)) ||
      !com::UnregisterClass(store, PageClass(id, path))) {
    return com::SELFREG_E_CLASS;
  }
  return com::S_OK;
}

com::HRESULT GetControlClassObject(const ModuleDefinition& module, const com::Guid* clsid,
                                   const com::Guid* iid, void** out) {
  if (clsid == nullptr || iid == nullptr || out == nullptr) return com::E_POINTER;
  *out = nullptr;
  static Factory control_factory(module, false);
  static Factory page_factory(module, true);
  if (*clsid == module.identity.ControlClsid()) return control_factory.QueryInterface(*iid, out);
  if (*clsid == module.identity.PageClsid()) return page_factory.QueryInterface(*iid, out);
  return com::CLASS_E_CLASSNOTAVAILABLE;
}

com::HRESULT ControlModuleCanUnloadNow() {
  return ModuleUsage::CanUnload() ? com::S_OK : com::S_FALSE;
}

}  // namespace quarry::controls
