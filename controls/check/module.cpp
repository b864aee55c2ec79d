// The KsCheck module: the check box control and its property page.

#include "controls/check/check_control.h"
#include "controls/common/module_skeleton.h"

namespace quarry::controls {
namespace {

constexpr PageField kPageFields[] = {
    {201, PageFieldKind::kEdit, "&Caption:", "Caption"},
    {202, PageFieldKind::kCheck, "&Value", "Value"},
    {203, PageFieldKind::kCheck, "&Enable", "Enabled"},
};

com::IControl* MakeCheck() { return new CKsCheckCtrl(); }

const ModuleDefinition kModule{kCheckModule, &MakeCheck, kPageFields};

}  // namespace
}  // namespace quarry::controls

QUARRY_DEFINE_CONTROL_MODULE(::quarry::controls::kModule)
