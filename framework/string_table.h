// The main program's string table: every user-visible text that stored
// tables, message boxes and commands refer to by number, kept in one place.
//
// Command strings follow the classic two-part form "prompt\ntool tip": the
// prompt is the status-bar help of the command, the tool tip the short name
// on its toolbar button. Message strings use "\n" as line breaks and have
// no parts.

#ifndef QUARRY_FRAMEWORK_STRING_TABLE_H_
#define QUARRY_FRAMEWORK_STRING_TABLE_H_

#include <QString>

namespace quarry {

class StringTable {
 public:
  // The whole string with id `id`; empty when there is none (as a failed
  // load would leave it).
  static QString Get(int id);

  // Whether a string with id `id` exists.
  static bool Has(int id);

  // A command string's prompt: the text before its first "\n", or all of
  // it when there is none.
  static QString Prompt(int id);

  // A command string's tool tip: the text after its last "\n"; empty when
  // the string has no second part.
  static QString ToolTip(int id);
};

// Ids of the message strings (commands use their command id).
namespace ids {
inline constexpr int kAppTitle = 128;
inline constexpr int kOleInitFailed = 101;
inline constexpr int kAutoUpdaterCreateFailed = 7000;
inline constexpr int kShellCommandFailed = 7003;
inline constexpr int kSocketsInitFailed = 7004;
inline constexpr int kUpdateWaiting = 7006;
inline constexpr int kUpdateAvailable = 7007;
inline constexpr int kMsgBoxAbort = 9009;  // 9009..9024: message box buttons
inline constexpr int kIdleMessage = 57345;  // status bar "Ready"
}  // namespace ids

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_STRING_TABLE_H_
