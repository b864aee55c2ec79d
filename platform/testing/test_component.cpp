// A component module for the loader and registration tests: one class,
// "QUARRYTEST.Counter.1", whose objects hold a number (property "Value",
// DISPID 1) and add to it (method "Add", DISPID 2). It registers itself in
// the store $ZT_REGISTRY_FILE names, like the control modules.

#include <dlfcn.h>

#include <atomic>

#include "platform/class_registry.h"
#include "platform/com_dispatch.h"
#include "platform/module_exports.h"
#include "platform/settings_store.h"
#include "platform/store_location.h"
#include "platform/testing/test_component_ids.h"

namespace {

using namespace quarry::com;
namespace ids = quarry::testing::component;

std::atomic<int> g_objects{0};
std::atomic<int> g_locks{0};

std::string ModulePath() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return info.dli_fname;
}

class Counter final : public IDispatch {
 public:
  Counter() { ++g_objects; }

  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ids::kIidCounter) {
      AddRef();
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetIDOfName(std::string_view name, DISPID* id) override {
    static constexpr MemberName kNames[] = {{1, "Value"}, {2, "Add"}};
    return LookUpMember(kNames, name, id);
  }
  HRESULT Invoke(DISPID id, DispatchKind kind, std::span<const Variant> args,
                 Variant* result) override {
    if (id == 1 && kind == DispatchKind::kPropertyGet) {
      if (result != nullptr) *result = Variant::Int(value_);
      return S_OK;
    }
    if (id == 1 && kind == DispatchKind::kPropertyPut) {
      if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
      std::optional<int32_t> v = args[0].ToInt();
      if (!v) return DISP_E_TYPEMISMATCH;
      value_ = *v;
      return S_OK;
    }
    if (id == 2 && kind == DispatchKind::kMethod) {
      if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
      std::optional<int32_t> v = args[0].ToInt();
      if (!v) return DISP_E_TYPEMISMATCH;
      value_ += *v;
      if (result != nullptr) *result = Variant::Int(value_);
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  ~Counter() override { --g_objects; }
  std::atomic<uint32_t> refs_{1};
  int32_t value_ = 0;
};

class Factory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // One static factory per module: references are not counted.
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* counter = new Counter();
    const HRESULT hr = counter->QueryInterface(iid, out);
    counter->Release();
    return hr;
  }
  HRESULT LockServer(bool lock) override {
    g_locks += lock ? 1 : -1;
    return S_OK;
  }
};

Factory g_factory;

TypeLibRegistration Library() {
  return {ids::kLibId, 1, 2, "QUARRYTESTLib", ModulePath(), {{ids::kIidCounter, "_DCounter"}}};
}

ClassRegistration Class() {
  ClassRegistration cls;
  cls.clsid = ids::kClsidCounter;
  cls.type_name = "Counter";
  cls.prog_id = std::string(ids::kProgId);
  cls.module_path = ModulePath();
  cls.type_lib = ids::kLibId;
  cls.type_lib_major = 1;
  cls.type_lib_minor = 2;
  return cls;
}

}  // namespace

QUARRY_MODULE_EXPORT HRESULT DllRegisterServer() {
  quarry::platform::SettingsStore store(quarry::platform::UserStorePath());
  if (!RegisterTypeLib(store, Library())) return SELFREG_E_TYPELIB;
  if (!RegisterClass(store, Class())) return SELFREG_E_CLASS;
  return S_OK;
}

QUARRY_MODULE_EXPORT HRESULT DllUnregisterServer() {
  quarry::platform::SettingsStore store(quarry::platform::UserStorePath());
  if (!UnregisterTypeLib(store, Library())) return SELFREG_E_TYPELIB;
  if (!UnregisterClass(store, Class())) return SELFREG_E_CLASS;
  return S_OK;
}

QUARRY_MODULE_EXPORT HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid, void** out) {
  if (clsid == nullptr || iid == nullptr || out == nullptr) return E_POINTER;
  *out = nullptr;
  if (*clsid != ids::kClsidCounter) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(*iid, out);
}

QUARRY_MODULE_EXPORT HRESULT DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

QUARRY_MODULE_EXPORT HRESULT Version(double* version) {
  if (version != nullptr) *version = 1.02;
  return S_OK;
}

QUARRY_MODULE_EXPORT HRESULT NiceName(char** name) {
  if (name != nullptr) *name = AllocString("Test Counter");
  return S_OK;
}
