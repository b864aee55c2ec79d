// The style flags and answer ids of the program's message box. The low
// bits follow the classic message-box constants, so texts, callers and
// stored answers written for them keep their meaning; the high bits are
// the box's own additions.

#ifndef QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_STYLE_H_
#define QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_STYLE_H_

#include <cstdint>

namespace quarry::mb {

// Button sets (the low four bits). Values 10 to 15 show OK as 0 does.
inline constexpr uint32_t kButtonSetMask = 0x0000000F;
inline constexpr uint32_t kOk = 0;
inline constexpr uint32_t kOkCancel = 1;
inline constexpr uint32_t kAbortRetryIgnore = 2;
inline constexpr uint32_t kYesNoCancel = 3;
inline constexpr uint32_t kYesNo = 4;
inline constexpr uint32_t kRetryCancel = 5;
inline constexpr uint32_t kCancelTryContinue = 6;
inline constexpr uint32_t kContinueAbort = 7;
inline constexpr uint32_t kSkipSkipAllCancel = 8;
inline constexpr uint32_t kIgnoreIgnoreAllCancel = 9;

// Icons; the same value chooses the sound.
inline constexpr uint32_t kIconMask = 0x000000F0;
inline constexpr uint32_t kIconStop = 0x10;
inline constexpr uint32_t kIconQuestion = 0x20;
inline constexpr uint32_t kIconExclamation = 0x30;
inline constexpr uint32_t kIconInformation = 0x40;

// 0x100 to 0x500 make the 2nd to 6th button the default, when there are
// that many. Either of the bits 0x200 and 0x400 also adds an "eMail"
// button (id kIdEmail) after the Help button.
inline constexpr uint32_t kDefaultButtonMask = 0x00000F00;
inline constexpr uint32_t kDefButton2 = 0x100;
inline constexpr uint32_t kDefButton3 = 0x200;
inline constexpr uint32_t kDefButton4 = 0x300;
inline constexpr uint32_t kEmailButtonBits = 0x00000600;

// Modal for the whole program, kept above other windows, and without the
// countdown shown on the default button.
inline constexpr uint32_t kSystemModal = 0x00001000;
// Adds a "Help" button (id kIdHelp) that opens help without closing.
inline constexpr uint32_t kHelpButton = 0x00004000;
inline constexpr uint32_t kSetForeground = 0x00010000;
// Kept above other windows; every box has it.
inline constexpr uint32_t kTopmost = 0x00040000;
inline constexpr uint32_t kRightAlignText = 0x00080000;
// Shows "Don't show this message again." and remembers the answer.
inline constexpr uint32_t kDontShowAgain = 0x01000000;
// Shows "Don't ask this question again." and remembers the answer
// (kDontShowAgain wins when both are set).
inline constexpr uint32_t kDontAskAgain = 0x02000000;
// "Yes to all" after "Yes", "No to all" after "No", in the Yes/No sets.
inline constexpr uint32_t kYesToAll = 0x04000000;
inline constexpr uint32_t kNoToAll = 0x08000000;
// The check box starts checked.
inline constexpr uint32_t kChecked = 0x10000000;
// Buttons at the right (otherwise centred); every box has it.
inline constexpr uint32_t kRightAlignButtons = 0x20000000;
inline constexpr uint32_t kNoSound = 0x40000000;

// What every box is given on construction.
inline constexpr uint32_t kAlwaysSet = kTopmost | kRightAlignButtons;

// Answer (command) ids.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdHelp = 9;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;
inline constexpr int kIdYesToAll = 14;
inline constexpr int kIdNoToAll = 15;
inline constexpr int kIdSkip = 16;
inline constexpr int kIdSkipAll = 17;
inline constexpr int kIdIgnoreAll = 18;
inline constexpr int kIdCheckBox = 19;  // the check box's control id
inline constexpr int kIdEmail = 20;

// "No button": no default, no cancel button, or no answer.
inline constexpr int kNone = -1;

}  // namespace quarry::mb

#endif  // QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_STYLE_H_
