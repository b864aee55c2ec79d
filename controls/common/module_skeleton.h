// What makes a control module a module: its class factories (one for the
// control, one for its property page), its registration in the current
// user's store and its six exported entry points. A module's own source
// defines its ModuleDefinition and expands QUARRY_DEFINE_CONTROL_MODULE
// once; nothing else is exported.

#ifndef QUARRY_CONTROLS_COMMON_MODULE_SKELETON_H_
#define QUARRY_CONTROLS_COMMON_MODULE_SKELETON_H_

#include <span>
#include <string>

#include "controls/common/module_identity.h"
#include "controls/common/property_page.h"
#include "platform/control_interfaces.h"
#include "platform/module_exports.h"

namespace quarry::controls {

struct ModuleDefinition {
  const ModuleIdentity& identity;
  // Makes a new control with one reference (owned by the caller).
  com::IControl* (*make_control)();
  std::span<const PageField> page_fields;
};

// The file this code was loaded from: the module's own path.
std::string ThisModulePath();

// Registers the type library (library, dispatch and event interfaces),
// then the control and page classes, in the store that $ZT_REGISTRY_FILE
// (or the user's default) names now. SELFREG_E_TYPELIB when the library
// cannot be written (an unusable store among others), SELFREG_E_CLASS
// when a class cannot.
com::HRESULT RegisterControlModule(const ModuleDefinition& module, const std::string& path);
com::HRESULT UnregisterControlModule(const ModuleDefinition& module, const std::string& path);
com::HRESULT GetControlClassObject(const ModuleDefinition& module, const com::Guid* clsid,
                                   const com::Guid* iid, void** out);
com::HRESULT ControlModuleCanUnloadNow();

}  // namespace quarry::controls

// Defines the six entry points of the module described by `definition`
// (an expression naming a ModuleDefinition with static storage).
#define QUARRY_DEFINE_CONTROL_MODULE(definition)                                              \
  QUARRY_MODULE_EXPORT ::quarry::com::HRESULT DllRegisterServer() {                           \
    return ::quarry::controls::RegisterControlModule(definition,                              \
                                                     ::quarry::controls::ThisModulePath());   \
  }                                                                                           \
  QUARRY_MODULE_EXPORT ::quarry::com::HRESULT DllUnregisterServer() {                         \
    return ::quarry::controls::UnregisterControlModule(definition,                            \
                                                       ::quarry::controls::ThisModulePath()); \
  }                                                                                           \
  QUARRY_MODULE_EXPORT ::quarry::com::HRESULT DllGetClassObject(                              \
      const ::quarry::com::Guid* clsid, const ::quarry::com::Guid* iid, void** out) {         \
    return ::quarry::controls::GetControlClassObject(definition, clsid, iid, out);            \
  }                                                                                           \
  QUARRY_MODULE_EXPORT ::quarry::com::HRESULT DllCanUnloadNow() {                             \
    return ::quarry::controls::ControlModuleCanUnloadNow();                                   \
  }                                                                                           \
  QUARRY_MODULE_EXPORT ::quarry::com::HRESULT Version(double* version) {                      \
    if (version != nullptr) *version = (definition).identity.VersionNumber();                 \
    return ::quarry::com::S_OK;                                                               \
  }                                                                                           \
  QUARRY_MODULE_EXPORT ::quarry::com::HRESULT NiceName(char** name) {                         \
    if (name != nullptr) *name = ::quarry::com::AllocString((definition).identity.nice_name); \
    return ::quarry::com::S_OK;                                                               \
  }

#endif  // QUARRY_CONTROLS_COMMON_MODULE_SKELETON_H_
