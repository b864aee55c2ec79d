// The modal about box every control shows for its AboutBox method.

#ifndef QUARRY_CONTROLS_COMMON_ABOUT_BOX_H_
#define QUARRY_CONTROLS_COMMON_ABOUT_BOX_H_

class QWidget;
class QDialog;

namespace quarry::controls {

struct ModuleIdentity;

// Builds the about box of `identity`'s module ("About KsButton": the
// module's display name, its version and its toolbox picture) as a child
// of `parent`'s window. The caller owns it (and runs it).
QDialog* MakeAboutBox(const ModuleIdentity& identity, QWidget* parent);

// Shows that box modally and returns when it is closed.
void ShowAboutBox(const ModuleIdentity& identity, QWidget* parent);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_ABOUT_BOX_H_
