// Component classes registered per user in the settings store, laid out
// as the registry's class keys are:
//
//   Software\Classes\CLSID\{clsid}           "" = type name
//       InprocServer32                       "" = module path,
//                                            "ThreadingModel" = "Apartment"
//       ProgID                               "" = program identifier
//       Control, Insertable                  (present for controls)
//       MiscStatus                           "" = "0"
//       MiscStatus\1                         "" = status flags, decimal
//       TypeLib                              "" = {libid}
//       Version                              "" = "3.4"
//       ToolboxBitmap32                      "" = "module path, 1"
//   Software\Classes\<ProgID>                "" = type name
//       CLSID                                "" = {clsid}
//   Software\Classes\TypeLib\{libid}\<major.minor>   "" = library name
//       0\linux                              "" = module path
//       FLAGS "" = "0", HELPDIR "" = module folder
//   Software\Classes\Interface\{iid}         "" = interface name
//       TypeLib                              "" = {libid}, "Version"
//
// Each write is its own store transaction: a registration that fails part
// way leaves what it wrote, and unregistering removes it again. Nothing
// here loads modules (see component_loader.h).

#ifndef QUARRY_PLATFORM_CLASS_REGISTRY_H_
#define QUARRY_PLATFORM_CLASS_REGISTRY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_guid.h"

namespace quarry::platform {
class SettingsStore;
}  // namespace quarry::platform

namespace quarry::com {

inline constexpr std::string_view kClassesKey = "Software\\Classes";

struct ClassRegistration {
  Guid clsid;
  std::string type_name;  // "KsButton Control"
  std::string prog_id;    // "KSBUTTON.KsButtonCtrl.1"; may be empty
  std::string module_path;
  bool control = false;  // adds Control, Insertable, MiscStatus, toolbox
  uint32_t misc_status = 0;
  int toolbox_bitmap = 1;
  std::optional<Guid> type_lib;
  uint16_t type_lib_major = 0;
  uint16_t type_lib_minor = 0;
};

struct InterfaceRegistration {
  Guid iid;
  std::string name;  // "_DKsButton"
};

struct TypeLibRegistration {
  Guid libid;
  uint16_t major = 0;
  uint16_t minor = 0;
  std::string name;  // "KSBUTTONLib"
  std::string module_path;
  std::vector<InterfaceRegistration> interfaces;
};

// "3.4": the version key of a type library (hexadecimal parts, as
// registered libraries always have them).
std::string TypeLibVersionText(uint16_t major, uint16_t minor);

// The key path of a class ("Software\\Classes\\CLSID\\{...}").
std::string ClassKey(const Guid& clsid);

// Each returns true when everything was written (or is gone).
bool RegisterTypeLib(platform::SettingsStore& store, const TypeLibRegistration& lib);
// Removes this version of the library (the library's key too once no
// version is left) and its interfaces. Registrations already absent count
// as removed.
bool UnregisterTypeLib(platform::SettingsStore& store, const TypeLibRegistration& lib);
bool RegisterClass(platform::SettingsStore& store, const ClassRegistration& cls);
// Removes the class key, and the program identifier's key when it names
// this class (another module may have taken the name over since).
bool UnregisterClass(platform::SettingsStore& store, const ClassRegistration& cls);

// The module registered for a class; nullopt when the class or its path
// is not registered.
std::optional<std::string> InprocServerPath(const platform::SettingsStore& store,
                                            const Guid& clsid);
// The class a program identifier names; nullopt when not registered.
std::optional<Guid> ClsidFromProgId(const platform::SettingsStore& store, std::string_view prog_id);

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_CLASS_REGISTRY_H_
