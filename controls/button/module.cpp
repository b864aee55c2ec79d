// The KsButton module: the push button control and its property page.

#include "controls/button/button_control.h"
#include "controls/common/module_skeleton.h"

namespace quarry::controls {
namespace {

constexpr PageField kPageFields[] = {
    {201, PageFieldKind::kEdit, "&Caption:", "Text"},
    {203, PageFieldKind::kCheck, "&Enable", "Enabled"},
};

com::IControl* MakeButton() { return new CKsButtonCtrl(); }

const ModuleDefinition kModule{kButtonModule, &MakeButton, kPageFields};

}  // namespace
}  // namespace quarry::controls

QUARRY_DEFINE_CONTROL_MODULE(::quarry::controls::kModule)
