// The message box's rules that need no window: which buttons a style
// asks for, and the key a remembered answer is stored under. Plain C++.

#ifndef QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_RULES_H_
#define QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/msgbox/message_box_style.h"

namespace quarry::mb {

// Where remembered answers live: a DWORD per message key, holding the id
// of the button that was pressed.
inline constexpr char kMessagesKey[] = "Software\\Zandor Tech\\Messages";

// String ids of the button captions and check boxes (string_table.h).
inline constexpr int kStrAbort = 9009;
inline constexpr int kStrCancel = 9010;
inline constexpr int kStrContinue = 9011;
inline constexpr int kStrDontAskAgain = 9012;
inline constexpr int kStrDontShowAgain = 9013;
inline constexpr int kStrHelp = 9014;
inline constexpr int kStrIgnore = 9015;
inline constexpr int kStrIgnoreAll = 9016;
inline constexpr int kStrNo = 9017;
inline constexpr int kStrNoToAll = 9018;
inline constexpr int kStrOk = 9019;
inline constexpr int kStrRetry = 9020;
inline constexpr int kStrSkip = 9021;
inline constexpr int kStrSkipAll = 9022;
inline constexpr int kStrYes = 9023;
inline constexpr int kStrYesToAll = 9024;
// The eMail button's caption has no string of its own.
inline constexpr char kEmailCaption[] = "eMail";

// One button as a style asks for it: its id and its caption's string id
// (kNone for the eMail button, whose caption is kEmailCaption).
struct ButtonChoice {
  int id = 0;
  int string_id = kNone;

  bool operator==(const ButtonChoice&) const = default;
};

// A style's buttons, left to right, with the ids of the default button and
// of the one Escape presses (kNone: Escape does nothing and the window
// cannot be closed).
struct ButtonSet {
  std::vector<ButtonChoice> buttons;
  int default_id = kNone;
  int cancel_id = kNone;
};

// The buttons of the style's set (with "Yes to all" and "No to all" in the
// Yes/No sets when asked for), then Help and eMail when asked for. The
// default is the set's, unless the default-button field names a later
// button that exists.
ButtonSet ButtonsForStyle(uint32_t style);

// The button the default-button field of `style` names among
// `button_count` buttons (0-based), or kNone when it names none or one
// beyond the last.
int DefaultButtonIndex(uint32_t style, size_t button_count);

// Whether the style shows the check box, and the string id of its caption
// (kNone without one).
bool HasCheckBox(uint32_t style);
int CheckBoxStringId(uint32_t style);

// The sum of every byte of `text` times its position plus one (bytes
// unsigned, positions from 0), in 64 bits.
uint64_t MessageChecksum(std::string_view text);

// The name a remembered answer is stored under: the message id in decimal
// when it is not 0; otherwise the first 7 characters of `app_name`
// ("Unknown" when there is no application), the first 6 bytes of `text`
// and the checksum's low 32 bits as a signed decimal, joined. Only
// A-Z, a-z, 0-9, "-" and "." are kept.
std::string MessageKey(int message_id, std::string_view app_name, std::string_view text,
                       bool have_application = true);

}  // namespace quarry::mb

#endif  // QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_RULES_H_
