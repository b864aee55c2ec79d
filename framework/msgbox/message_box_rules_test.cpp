#include "framework/msgbox/message_box_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarry::mb {
namespace {

std::vector<int> Ids(const ButtonSet& set) {
  std::vector<int> ids;
  for (const ButtonChoice& button : set.buttons) ids.push_back(button.id);
  return ids;
}

TEST(MessageBoxRulesTest, EachStyleAsksForItsButtonsInOrder) {
  struct Case {
    uint32_t style;
    std::vector<int> ids;
    int default_id;
    int cancel_id;
  };
  const Case cases[] = {
      {kOk, {kIdOk}, kIdOk, kIdOk},
      {kOkCancel, {kIdOk, kIdCancel}, kIdOk, kIdCancel},
      {kAbortRetryIgnore, {kIdAbort, kIdRetry, kIdIgnore}, kIdAbort, kNone},
      {kYesNoCancel, {kIdYes, kIdNo, kIdCancel}, kIdYes, kIdCancel},
      {kYesNo, {kIdYes, kIdNo}, kIdYes, kNone},
      {kRetryCancel, {kIdRetry, kIdCancel}, kIdRetry, kIdCancel},
      {kCancelTryContinue, {kIdCancel, kIdTryAgain, kIdContinue}, kIdCancel, kIdCancel},
      {kContinueAbort, {kIdContinue, kIdAbort}, kIdContinue, kNone},
      {kSkipSkipAllCancel, {kIdSkip, kIdSkipAll, kIdCancel}, kIdSkip, kIdCancel},
      {kIgnoreIgnoreAllCancel, {kIdIgnore, kIdIgnoreAll, kIdCancel}, kIdIgnore, kIdCancel},
      // The unused set values show OK.
      {10, {kIdOk}, kIdOk, kIdOk},
      {15, {kIdOk}, kIdOk, kIdOk},
      // "to all" buttons follow their answer, in both Yes/No sets only.
      {kYesNoCancel | kYesToAll | kNoToAll,
       {kIdYes, kIdYesToAll, kIdNo, kIdNoToAll, kIdCancel}, kIdYes, kIdCancel},
      {kYesNo | kNoToAll, {kIdYes, kIdNo, kIdNoToAll}, kIdYes, kNone},
      {kOkCancel | kYesToAll, {kIdOk, kIdCancel}, kIdOk, kIdCancel},
      // Help, then eMail, after the set.
      {kOk | kHelpButton, {kIdOk, kIdHelp}, kIdOk, kIdOk},
      // The third button is the default, and the eMail button comes too.
      {kYesNo | kDefButton3, {kIdYes, kIdNo, kIdEmail}, kIdEmail, kNone},
      {kYesNoCancel | kDefButton3 | kHelpButton,
       {kIdYes, kIdNo, kIdCancel, kIdHelp, kIdEmail}, kIdCancel, kIdCancel},
      {kOkCancel | kDefButton2, {kIdOk, kIdCancel}, kIdCancel, kIdCancel},
      {kOkCancel | 0x400, {kIdOk, kIdCancel, kIdEmail}, kIdOk, kIdCancel},
      // A default beyond the last button leaves the set's own.
      {kOk | kDefButton4, {kIdOk, kIdEmail}, kIdOk, kIdOk},
      {kYesNoCancel | 0x600, {kIdYes, kIdNo, kIdCancel, kIdEmail}, kIdYes, kIdCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << c.style);
    const ButtonSet set = ButtonsForStyle(c.style);
    EXPECT_EQ(Ids(set), c.ids);
    EXPECT_EQ(set.default_id, c.default_id);
    EXPECT_EQ(set.cancel_id, c.cancel_id);
  }
}

TEST(MessageBoxRulesTest, CaptionsComeFromTheStringTableExceptEmail) {
  const ButtonSet set = ButtonsForStyle(kCancelTryContinue | kHelpButton | kDefButton3);
  const std::vector<ButtonChoice> expected = {{kIdCancel, kStrCancel},
                                            {kIdTryAgain, kStrRetry},
                                            {kIdContinue, kStrContinue},
                                            {kIdHelp, kStrHelp},
                                            {kIdEmail, kNone}};
  EXPECT_EQ(set.buttons, expected);
}

TEST(MessageBoxRulesTest, TheCheckBoxCaption) {
  EXPECT_FALSE(HasCheckBox(kYesNo | kChecked));
  EXPECT_EQ(CheckBoxStringId(kYesNo), kNone);
  EXPECT_EQ(CheckBoxStringId(kDontShowAgain), kStrDontShowAgain);
  EXPECT_EQ(CheckBoxStringId(kDontAskAgain), kStrDontAskAgain);
  // Both set: "Don't show this message again." wins.
  EXPECT_EQ(CheckBoxStringId(kDontAskAgain | kDontShowAgain), kStrDontShowAgain);
}

TEST(MessageBoxRulesTest, MessageKeys) {
  struct Case {
    int message_id;
    const char* app;
    std::string text;
    bool have_app;
    std::string key;
  };
  // "Hello": 72*1 + 101*2 + 108*3 + 108*4 + 111*5 = 1585.
  const Case cases[] = {
      {0, "Quarry", "Hello", true, "QuarryHello1585"},
      // The name is cut to 7 characters, the text to 6.
      {0, "QuarryTool", "Hello world", true,
       "QuarryTHello" + std::to_string(MessageChecksum("Hello world"))},
      // Only letters, digits, "-" and "." are kept.
      {0, "Qry App", "A b.c?", true, "QryAppAb.c" + std::to_string(MessageChecksum("A b.c?"))},
      {0, "Quarry", "Hello", false, "UnknownHello1585"},
      {0, "", "", true, "0"},
      // A message id names the answer by itself.
      {7007, "Quarry", "Update?", true, "7007"},
      {-12, "Quarry", "x", true, "-12"},
      // The checksum's low 32 bits as a signed number keep their "-":
      // 5000 bytes of 0xFF sum to 3188137500.
      {0, "Quarry", std::string(5000, '\xFF'), true, "Quarry-1106829796"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageKey(c.message_id, c.app, c.text, c.have_app), c.key) << c.key;
  }
}

TEST(MessageBoxRulesTest, TextsSharingTheirStartGetDifferentKeys) {
  const std::string a = "Cannot open the page at one address";
  const std::string b = "Cannot open the page at another address";
  EXPECT_NE(MessageKey(0, "Quarry", a), MessageKey(0, "Quarry", b));
  EXPECT_EQ(MessageKey(0, "Quarry", a), MessageKey(0, "Quarry", a));
  // The position counts, not only the bytes.
  EXPECT_NE(MessageKey(0, "Quarry", "ab"), MessageKey(0, "Quarry", "ba"));
  EXPECT_EQ(MessageChecksum("\x80"), 128u);  // bytes are unsigned
}

}  // namespace
}  // namespace quarry::mb
