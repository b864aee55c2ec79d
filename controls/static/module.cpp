// The KsStatic module: the label control and its property page.

#include "controls/common/module_skeleton.h"
#include "controls/static/static_control.h"

namespace quarry::controls {
namespace {

constexpr PageField kPageFields[] = {
    {201, PageFieldKind::kMultiLineEdit, "&Caption:", "Caption"},
    {203, PageFieldKind::kCheck, "Multiline", "Multiline"},
    {204, PageFieldKind::kAlignmentList, "&Align Text:", "TextAlignment"},
};

com::IControl* MakeStatic() { return new CKsStaticCtrl(); }

const ModuleDefinition kModule{kStaticModule, &MakeStatic, kPageFields};

}  // namespace
}  // namespace quarry::controls

QUARRY_DEFINE_CONTROL_MODULE(::quarry::controls::kModule)
