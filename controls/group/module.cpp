// The KsGroup module: the group box control and its property page.

#include "controls/common/module_skeleton.h"
#include "controls/group/group_control.h"

namespace quarry::controls {
namespace {

constexpr PageField kPageFields[] = {
    {201, PageFieldKind::kEdit, "&Caption:", "Caption"},
};

com::IControl* MakeGroup() { return new CZtGroupCtrl(); }

const ModuleDefinition kModule{kGroupModule, &MakeGroup, kPageFields};

}  // namespace
}  // namespace quarry::controls

QUARRY_DEFINE_CONTROL_MODULE(::quarry::controls::kModule)
