// The program's one entry for messages: every part of a program that
// tells the user something or asks a question calls AppMessageBox, and
// the application decides how it is shown (the main program's
// CQuarryApp::DoMessageBox gives every box the caption "Quarry" and the
// right parent). Without an application hook a CKsMessageBox over the
// active window shows it, captioned with the application's name.
//
// GUI thread only; the call returns when the user has answered.

#ifndef QUARRY_FRAMEWORK_MSGBOX_APP_MESSAGE_BOX_H_
#define QUARRY_FRAMEWORK_MSGBOX_APP_MESSAGE_BOX_H_

#include <QString>
#include <cstdint>
#include <functional>

#include "framework/msgbox/message_box_style.h"

class QWidget;

namespace quarry {

// Shows `text` with `style` (message_box_style.h) and the help id
// `help_id`; returns the id of the button pressed (or a remembered
// answer).
using MessageBoxHook = std::function<int(const QString& text, uint32_t style, int help_id)>;

// Installs the application's hook; an empty one restores the default.
void SetMessageBoxHook(MessageBoxHook hook);

// Whether an application hook is installed.
bool HasMessageBoxHook();

int AppMessageBox(const QString& text, uint32_t style = mb::kOk, int help_id = 0);

// The text of string `string_id` (string_table.h); the help id is the
// string's id unless given.
int AppMessageBox(int string_id, uint32_t style = mb::kOk, int help_id = -1);

// The window a message belongs over: the active modal window, else the
// active window, else `fallback`.
QWidget* MessageBoxParent(QWidget* fallback = nullptr);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_MSGBOX_APP_MESSAGE_BOX_H_
