// Who the four control modules are: their names, class and library
// identifiers, program identifiers, versions and registration flags. Hosts
// create controls by these identifiers; the modules register and persist
// with them. They are stored in users' settings and dialog states, so they
// never change.

#ifndef QUARRY_CONTROLS_COMMON_MODULE_IDENTITY_H_
#define QUARRY_CONTROLS_COMMON_MODULE_IDENTITY_H_

#include <cstdint>
#include <string_view>

#include "platform/com_guid.h"

namespace quarry::controls {

struct ModuleIdentity {
  std::string_view module_name;        // "KsButton": the file's base name
  std::string_view control_class;      // "CKsButtonCtrl"
  std::string_view page_class;         // "CKsButtonPropPage"
  std::string_view control_prog_id;    // "KSBUTTON.KsButtonCtrl.1"
  std::string_view page_prog_id;       // "KSBUTTON.KsButtonPropPage.1"
  std::string_view type_lib_name;      // "KSBUTTONLib"
  std::string_view dispatch_name;      // "_DKsButton"
  std::string_view events_name;        // "_DKsButtonEvents"
  std::string_view control_type_name;  // string 1: "KsButton Control"
  std::string_view page_type_name;     // string 2: "KsButton Property Page"
  std::string_view nice_name;          // the NiceName export
  uint16_t major;
  uint16_t minor;
  uint32_t misc_status;
  com::Guid type_lib;

  // The members of a module count up from its library identifier.
  constexpr com::Guid DispatchIid() const { return type_lib.Offset(1); }
  constexpr com::Guid EventsIid() const { return type_lib.Offset(2); }
  constexpr com::Guid ControlClsid() const { return type_lib.Offset(3); }
  constexpr com::Guid PageClsid() const { return type_lib.Offset(4); }
  // The persisted-property version word: major in the high 16 bits.
  constexpr uint32_t VersionWord() const { return (uint32_t{major} << 16) | minor; }
  // The Version export's number: major + minor / 100.
  constexpr double VersionNumber() const { return major + minor / 100.0; }
};

// The page caption (string 100) every module shares.
inline constexpr std::string_view kPageCaption = "General";

// OLE miscellaneous status flags the controls register.
inline constexpr uint32_t kMiscRecomposeOnResize = 0x1;
inline constexpr uint32_t kMiscCantLinkInside = 0x10;
inline constexpr uint32_t kMiscInsideOut = 0x80;
inline constexpr uint32_t kMiscActivateWhenVisible = 0x100;
inline constexpr uint32_t kMiscSetClientSiteFirst = 0x20000;
inline constexpr uint32_t kMiscActsLikeButton = 0x1000;
inline constexpr uint32_t kMiscSimpleFrame = 0x10000;
inline constexpr uint32_t kMiscControl = kMiscRecomposeOnResize | kMiscCantLinkInside |
                                         kMiscInsideOut | kMiscActivateWhenVisible |
                                         kMiscSetClientSiteFirst;

inline constexpr ModuleIdentity kButtonModule{
    "KsButton",
    "CKsButtonCtrl",
    "CKsButtonPropPage",
    "KSBUTTON.KsButtonCtrl.1",
    "KSBUTTON.KsButtonPropPage.1",
    "KSBUTTONLib",
    "_DKsButton",
    "_DKsButtonEvents",
    "KsButton Control",
    "KsButton Property Page",
    "Zt Button Ctrl",
    3,
    4,
    kMiscControl | kMiscActsLikeButton,
    {0xA36A3280, 0xDA66, 0x44DA, {0xA4, 0x8F, 0x77, 0xF7, 0x27, 0x9D, 0x31, 0x37}}};

inline constexpr ModuleIdentity kGroupModule{
    "KsGroup",
    "CZtGroupCtrl",
    "CKsGroupPropPage",
    "KSGROUP.KsGroupCtrl.1",
    "KSGROUP.KsGroupPropPage.1",
    "KSGROUPLib",
    "_DKsGroup",
    "_DKsGroupEvents",
    "KsGroup Control",
    "KsGroup Property Page",
    "Zt Group Ctrl",
    2,
    1,
    kMiscControl | kMiscSimpleFrame,
    {0x58D20EC1, 0x0FA7, 0x488F, {0xB5, 0x20, 0xAE, 0xB4, 0xB6, 0x10, 0x5A, 0xED}}};

inline constexpr ModuleIdentity kCheckModule{
    "KsCheck",
    "CKsCheckCtrl",
    "CKsCheckPropPage",
    "KSCHECK.KsCheckCtrl.1",
    "KSCHECK.KsCheckPropPage.1",
    "KSCHECKLib",
    "_DKsCheck",
    "_DKsCheckEvents",
    "KsCheck Control",
    "KsCheck Property Page",
    "Zt Check Ctrl",
    2,
    4,
    kMiscControl,
    {0xA363C7A1, 0xCE36, 0x4909, {0x95, 0x6F, 0x8B, 0x3A, 0xB5, 0xAA, 0xB0, 0x07}}};

inline constexpr ModuleIdentity kStaticModule{
    "KsStatic",
    "CKsStaticCtrl",
    "CKsStaticPropPage",
    "KSSTATIC.KsStaticCtrl.1",
    "KSSTATIC.KsStaticPropPage.1",
    "KSSTATICLib",
    "_DKsStatic",
    "_DKsStaticEvents",
    "KsStatic Control",
    "KsStatic Property Page",
    "Zt Static Ctrl",
    4,
    2,
    kMiscControl,
    {0xF5245161, 0xF2FD, 0x40FA, {0xA7, 0x32, 0x19, 0xD0, 0xB4, 0xF2, 0x6F, 0x63}}};

inline constexpr const ModuleIdentity* kAllModules[] = {&kButtonModule, &kCheckModule,
                                                        &kGroupModule, &kStaticModule};

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_MODULE_IDENTITY_H_
