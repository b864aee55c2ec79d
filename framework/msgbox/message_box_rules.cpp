#include "framework/msgbox/message_box_rules.h"

namespace quarry::mb {

namespace {

constexpr ButtonChoice kOkButton{kIdOk, kStrOk};
constexpr ButtonChoice kCancelButton{kIdCancel, kStrCancel};

bool KeptInKey(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.';
}

}  // namespace

ButtonSet ButtonsForStyle(uint32_t style) {
  ButtonSet set;
  auto add = [&set](ButtonChoice button, bool is_default = false, bool is_cancel = false) {
    set.buttons.push_back(button);
    if (is_default) set.default_id = button.id;
    if (is_cancel) set.cancel_id = button.id;
  };
  // Yes, [Yes to all], No, [No to all].
  auto yes_no = [&](uint32_t s) {
    add({kIdYes, kStrYes}, true);
    if (s & kYesToAll) add({kIdYesToAll, kStrYesToAll});
    add({kIdNo, kStrNo});
    if (s & kNoToAll) add({kIdNoToAll, kStrNoToAll});
  };
  switch (style & kButtonSetMask) {
    case kOkCancel:
      add(kOkButton, true);
      add(kCancelButton, false, true);
      break;
    case kAbortRetryIgnore:
      add({kIdAbort, kStrAbort}, true);
      add({kIdRetry, kStrRetry});
      add({kIdIgnore, kStrIgnore});
      break;
    case kYesNoCancel:
      yes_no(style);
      add(kCancelButton, false, true);
      break;
    case kYesNo:
      yes_no(style);
      break;
    case kRetryCancel:
      add({kIdRetry, kStrRetry}, true);
      add(kCancelButton, false, true);
      break;
    case kCancelTryContinue:
      add(kCancelButton, true, true);
      add({kIdTryAgain, kStrRetry});
      add({kIdContinue, kStrContinue});
      break;
    case kContinueAbort:
      add({kIdContinue, kStrContinue}, true);
      add({kIdAbort, kStrAbort});
      break;
    case kSkipSkipAllCancel:
      add({kIdSkip, kStrSkip}, true);
      add({kIdSkipAll, kStrSkipAll});
      add(kCancelButton, false, true);
      break;
    case kIgnoreIgnoreAllCancel:
      add({kIdIgnore, kStrIgnore}, true);
      add({kIdIgnoreAll, kStrIgnoreAll});
      add(kCancelButton, false, true);
      break;
    default:  // kOk and the unused values 10 to 15
      add(kOkButton, true, true);
      break;
  }
  if (style & kHelpButton) add({kIdHelp, kStrHelp});
  if (style & kEmailButtonBits) add({kIdEmail, kNone});
  const int index = DefaultButtonIndex(style, set.buttons.size());
  if (index != kNone) set.default_id = set.buttons[static_cast<size_t>(index)].id;
  return set;
}

int DefaultButtonIndex(uint32_t style, size_t button_count) {
  const uint32_t field = (style & kDefaultButtonMask) >> 8;
  if (field < 1 || field > 5 || field >= button_count) return kNone;
  return static_cast<int>(field);
}

bool HasCheckBox(uint32_t style) { return (style & (kDontShowAgain | kDontAskAgain)) != 0; }

int CheckBoxStringId(uint32_t style) {
  if (style & kDontShowAgain) return kStrDontShowAgain;
  if (style & kDontAskAgain) return kStrDontAskAgain;
  return kNone;
}

uint64_t MessageChecksum(std::string_view text) {
  uint64_t sum = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    sum += static_cast<uint64_t>(static_cast<unsigned char>(text[i])) * (i + 1);
  }
  return sum;
}

std::string MessageKey(int message_id, std::string_view app_name, std::string_view text,
                       bool have_application) {
  std::string raw;
  if (message_id != 0) {
    raw = std::to_string(message_id);
  } else {
    raw = have_application ? std::string(app_name.substr(0, 7)) : std::string("Unknown");
    raw += text.substr(0, 6);
    raw += std::to_string(static_cast<int32_t>(static_cast<uint32_t>(MessageChecksum(text))));
  }
  std::string key;
  for (char c : raw) {
    if (KeptInKey(c)) key += c;
  }
  return key;
}

}  // namespace quarry::mb
