#include "framework/msgbox/ks_message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "framework/ks_controls.h"
#include "framework/msgbox/app_message_box.h"
#include "platform/settings_store.h"

namespace quarry {
namespace {

using namespace mb;

// Each test begins with no remembered answers and records what its boxes
// ask of timers and sounds; no real second passes in a countdown.
class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SettingsStore::User().DeleteKey(kMessagesKey); }

  std::unique_ptr<CKsMessageBox> Make(const QString& text, uint32_t style, int id = 0) {
    auto box = std::make_unique<CKsMessageBox>(nullptr, text, QStringLiteral("Quarry"), style, id);
    box->SetTimerDriver({[this](uintptr_t timer, unsigned ms) { started[timer] = ms; },
                         [this](uintptr_t timer) { started.erase(timer); }});
    box->SetSoundPlayer([this](uint32_t icon) { sounds.push_back(icon); });
    return box;
  }

  static void Tick(CKsMessageBox& box) {
    platform::SendMessage(box.Handle(), platform::WM_TIMER, CKsMessageBox::kCountdownTimer, 0);
  }

  static QStringList Captions(const CKsMessageBox& box) {
    QStringList captions;
    for (int id : box.ButtonIds()) captions << box.Button(id)->GetCaption();
    return captions;
  }

  std::map<uintptr_t, unsigned> started;
  std::vector<uint32_t> sounds;
};

TEST_F(MessageBoxTest, EachButtonSetShowsItsButtonsInOrderWithItsDefault) {
  struct Case {
    uint32_t style;
    QStringList captions;
    int default_id;
  };
  const Case cases[] = {
      {kOk, {"OK"}, kIdOk},
      {kOkCancel, {"OK", "Cancel"}, kIdOk},
      {kAbortRetryIgnore, {"Abort", "Retry", "Ignore"}, kIdAbort},
      {kYesNoCancel | kYesToAll | kNoToAll, {"Yes", "Yes to all", "No", "No to all", "Cancel"},
       kIdYes},
      {kYesNo, {"Yes", "No"}, kIdYes},
      {kRetryCancel, {"Retry", "Cancel"}, kIdRetry},
      {kCancelTryContinue, {"Cancel", "Retry", "Continue"}, kIdCancel},
      {kContinueAbort, {"Continue", "Abort"}, kIdContinue},
      {kSkipSkipAllCancel, {"Skip", "Skip all", "Cancel"}, kIdSkip},
      {kIgnoreIgnoreAllCancel | kHelpButton, {"Ignore", "Ignore all", "Cancel", "Help"},
       kIdIgnore},
      {kYesNo | kDefButton3, {"Yes", "No", "eMail"}, kIdEmail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << c.style);
    auto box = Make(QStringLiteral("Which one?"), c.style);
    ASSERT_TRUE(box->Open());
    EXPECT_EQ(Captions(*box), c.captions);
    EXPECT_EQ(box->DefaultButtonId(), c.default_id);
    EXPECT_TRUE(box->Button(c.default_id)->Button()->isDefault());
    EXPECT_TRUE(box->Button(c.default_id)->Button()->hasFocus() ||
                QApplication::focusWidget() == nullptr);
    // One size for all, in one row, inside the window.
    const QRect first = box->Button(box->ButtonIds().front())->GetGeometry();
    for (int id : box->ButtonIds()) {
      const QRect r = box->Button(id)->GetGeometry();
      EXPECT_EQ(r.size(), first.size());
      EXPECT_EQ(r.top(), first.top());
      EXPECT_TRUE(box->rect().contains(r));
      EXPECT_FALSE(r.intersects(box->TextControl()->GetGeometry()));
    }
  }
}

TEST_F(MessageBoxTest, ButtonsEndTheBoxWithTheirIds) {
  auto box = Make(QStringLiteral("Save the changes?"), kYesNoCancel | kIconQuestion);
  ASSERT_TRUE(box->Open());
  EXPECT_TRUE(box->isVisible());
  box->Button(kIdNo)->Button()->click();
  EXPECT_TRUE(box->IsFinished());
  EXPECT_EQ(box->Result(), kIdNo);
  EXPECT_FALSE(box->isVisible());
}

TEST_F(MessageBoxTest, DoModalReturnsTheAnswerOfItsOwnEventLoop) {
  auto box = Make(QStringLiteral("Continue?"), kYesNo);
  QTimer::singleShot(0, box.get(), [&box] { box->Button(kIdNo)->Button()->click(); });
  EXPECT_EQ(box->DoModal(), kIdNo);
}

TEST_F(MessageBoxTest, AnAnswerGivenWithTheBoxCheckedIsReturnedWithoutAWindow) {
  const QString text = QStringLiteral("Delete every table of this page?");
  const uint32_t style = kYesNo | kIconQuestion | kDontAskAgain;
  {
    auto first = Make(text, style);
    ASSERT_TRUE(first->Open());
    ASSERT_NE(first->CheckBox(), nullptr);
    EXPECT_EQ(first->CheckBox()->GetCaption(), QStringLiteral("Don't ask this question again."));
    first->CheckBox()->CheckBox()->click();
    first->Button(kIdNo)->Button()->click();
    EXPECT_EQ(first->Result(), kIdNo);
  }
  for (int round = 0; round < 2; ++round) {
    auto later = Make(text, style);
    EXPECT_EQ(later->DoModal(), kIdNo);
    EXPECT_EQ(later->TextControl(), nullptr);  // nothing was built or shown
    EXPECT_FALSE(later->isVisible());
  }
  // Another message is asked as usual.
  auto other = Make(QStringLiteral("Delete every table of this site?"), style);
  EXPECT_TRUE(other->Open());
  // Until the value is deleted.
  auto again = Make(text, style);
  ASSERT_TRUE(platform::SettingsStore::User().DeleteValue(kMessagesKey, again->MessageKey()));
  EXPECT_TRUE(again->Open());
}

TEST_F(MessageBoxTest, NothingIsRememberedWithoutTheCheckOrTheStyle) {
  const QString text = QStringLiteral("Export finished.");
  {
    auto unchecked = Make(text, kOk | kDontShowAgain);
    ASSERT_TRUE(unchecked->Open());
    EXPECT_EQ(unchecked->CheckBox()->GetCaption(), QStringLiteral("Don't show this message again."));
    unchecked->Button(kIdOk)->Button()->click();
  }
  EXPECT_TRUE(Make(text, kOk | kDontShowAgain)->Open());
  {
    // Checked from the start: remembered under the message id.
    auto checked = Make(text, kOk | kDontShowAgain | kChecked, 7006);
    ASSERT_TRUE(checked->Open());
    EXPECT_EQ(checked->CheckBox()->GetValue(), 1);
    checked->Button(kIdOk)->Button()->click();
  }
  EXPECT_EQ(platform::SettingsStore::User().GetDword(kMessagesKey, "7006", 0), 1u);
  // A box without the check-box style never reads the answer.
  EXPECT_TRUE(Make(text, kOk, 7006)->Open());
}

TEST_F(MessageBoxTest, EscapeWithoutACancelButtonDoesNothing) {
  auto box = Make(QStringLiteral("Replace the file?"), kYesNo);
  ASSERT_TRUE(box->Open());
  EXPECT_EQ(box->CancelButtonId(), kNone);
  EXPECT_FALSE(box->windowFlags() & Qt::WindowCloseButtonHint);
  QTest::keyClick(box->Button(kIdYes)->Widget(), Qt::Key_Escape);
  QTest::keyClick(box.get(), Qt::Key_Escape);
  EXPECT_FALSE(box->close());
  EXPECT_FALSE(box->IsFinished());
  EXPECT_TRUE(box->isVisible());

  auto cancellable = Make(QStringLiteral("Replace the file?"), kYesNoCancel);
  ASSERT_TRUE(cancellable->Open());
  EXPECT_TRUE(cancellable->windowFlags() & Qt::WindowCloseButtonHint);
  QTest::keyClick(cancellable->Button(kIdYes)->Widget(), Qt::Key_Escape);
  EXPECT_EQ(cancellable->Result(), kIdCancel);

  // Closing the window is the cancel button too.
  auto closing = Make(QStringLiteral("Replace the file?"), kOkCancel);
  ASSERT_TRUE(closing->Open());
  EXPECT_TRUE(closing->close());
  EXPECT_EQ(closing->Result(), kIdCancel);
}

TEST_F(MessageBoxTest, EnterPressesTheFocusedButtonElseTheDefault) {
  auto box = Make(QStringLiteral("Retry the download?"), kAbortRetryIgnore);
  ASSERT_TRUE(box->Open());
  box->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(box.get(), 2000));
  QWidget* retry = box->Button(kIdRetry)->Widget();
  retry->setFocus();
  ASSERT_TRUE(retry->hasFocus());
  QTest::keyClick(retry, Qt::Key_Return);
  EXPECT_EQ(box->Result(), kIdRetry);
  EXPECT_EQ(box->DefaultButtonId(), kIdRetry);

  auto other = Make(QStringLiteral("Retry the download?"), kAbortRetryIgnore);
  ASSERT_TRUE(other->Open());
  QTest::keyClick(other.get(), Qt::Key_Enter);
  EXPECT_EQ(other->Result(), kIdAbort);
}

TEST_F(MessageBoxTest, ACountdownPressesTheDefaultButtonWhenItEnds) {
  auto box = Make(QStringLiteral("The program restarts."), kOk | kIconInformation);
  box->SetCountdown(5, /*lock=*/false);
  ASSERT_TRUE(box->Open());
  EXPECT_EQ(started[CKsMessageBox::kCountdownTimer], CKsMessageBox::kCountdownStepMs);
  EXPECT_EQ(started[CKsMessageBox::kTopmostTimer], CKsMessageBox::kTopmostDelayMs);
  QStringList seen{box->Button(kIdOk)->GetCaption()};
  for (int i = 0; i < 4; ++i) {
    Tick(*box);
    seen << box->Button(kIdOk)->GetCaption();
  }
  EXPECT_EQ(seen, QStringList({"OK in 5", "OK in 4", "OK in 3", "OK in 2", "OK in 1"}));
  EXPECT_FALSE(box->IsFinished());
  Tick(*box);
  EXPECT_TRUE(box->IsFinished());
  EXPECT_EQ(box->Result(), kIdOk);
  EXPECT_EQ(started.count(CKsMessageBox::kCountdownTimer), 0u);
  // A late tick changes nothing.
  Tick(*box);
  EXPECT_EQ(box->Result(), kIdOk);
}

TEST_F(MessageBoxTest, ALockingCountdownHoldsEveryButtonAndKeyUntilItEnds) {
  auto box = Make(QStringLiteral("Read this first."), kOkCancel | kDontShowAgain);
  box->SetCountdown(3, /*lock=*/true);
  ASSERT_TRUE(box->Open());
  for (int id : box->ButtonIds()) EXPECT_FALSE(box->Button(id)->IsEnabled());
  EXPECT_FALSE(box->CheckBox()->IsEnabled());
  EXPECT_EQ(box->Button(kIdOk)->GetCaption(), QStringLiteral("OK in 3"));
  EXPECT_EQ(box->Button(kIdCancel)->GetCaption(), QStringLiteral("Cancel"));
  QTest::keyClick(box.get(), Qt::Key_Escape);
  QTest::keyClick(box.get(), Qt::Key_Return);
  EXPECT_FALSE(box->close());
  EXPECT_FALSE(box->IsFinished());
  for (int i = 0; i < 3; ++i) Tick(*box);
  EXPECT_FALSE(box->IsFinished());
  for (int id : box->ButtonIds()) EXPECT_TRUE(box->Button(id)->IsEnabled());
  EXPECT_TRUE(box->CheckBox()->IsEnabled());
  EXPECT_EQ(box->Button(kIdOk)->GetCaption(), QStringLiteral("OK"));
  QTest::keyClick(box.get(), Qt::Key_Escape);
  EXPECT_EQ(box->Result(), kIdCancel);
}

TEST_F(MessageBoxTest, ASystemModalCountdownShowsNoSuffix) {
  auto box = Make(QStringLiteral("Closing."), kOk | kSystemModal);
  box->SetCountdown(2, false);
  ASSERT_TRUE(box->Open());
  EXPECT_EQ(box->Button(kIdOk)->GetCaption(), QStringLiteral("OK"));
  Tick(*box);
  EXPECT_EQ(box->Button(kIdOk)->GetCaption(), QStringLiteral("OK"));
  Tick(*box);
  EXPECT_EQ(box->Result(), kIdOk);
}

TEST_F(MessageBoxTest, TheDesktopBoxStandsInWhenControlsCannotBeMade) {
  struct Case {
    const char* what;
    CKsMessageBox::ControlFactory factory;
  };
  std::vector<Case> cases;
  cases.push_back({"buttons", {}});
  cases.back().factory.button = [](QWidget*, int, const QRect&, const QString&) -> CKsButtonCtrl* {
    return nullptr;
  };
  cases.push_back({"check box", {}});
  cases.back().factory.check = [](QWidget*, int, const QRect&, const QString&) -> CKsCheckCtrl* {
    return nullptr;
  };
  cases.push_back({"text", {}});
  cases.back().factory.text = [](QWidget*, int, const QRect&, const QString&) -> CKsStaticCtrl* {
    return nullptr;
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto box = Make(QStringLiteral("The page could not be read."),
                    kYesNoCancel | kIconExclamation | kDontShowAgain);
    box->SetControlFactory(c.factory);
    std::vector<CKsMessageBox::FallbackBox> shown;
    box->SetFallbackRunner([&shown](const CKsMessageBox::FallbackBox& fallback) {
      shown.push_back(fallback);
      return kIdNo;
    });
    EXPECT_EQ(box->DoModal(), kIdNo);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("The page could not be read."));
    EXPECT_EQ(shown[0].caption, QStringLiteral("Quarry"));
    EXPECT_EQ(shown[0].style & (kButtonSetMask | kIconMask), kYesNoCancel | kIconExclamation);
    std::vector<std::pair<int, QString>> expected = {
        {kIdYes, "Yes"}, {kIdNo, "No"}, {kIdCancel, "Cancel"}};
    EXPECT_EQ(shown[0].buttons, expected);
    EXPECT_EQ(shown[0].default_id, kIdYes);
    EXPECT_EQ(shown[0].cancel_id, kIdCancel);
    // Nothing half-built is left in the box.
    EXPECT_EQ(box->TextControl(), nullptr);
    EXPECT_EQ(box->CheckBox(), nullptr);
    EXPECT_TRUE(box->findChildren<QPushButton*>().isEmpty());
    EXPECT_FALSE(box->isVisible());
  }
}

TEST_F(MessageBoxTest, HelpOpensWithoutEndingTheBox) {
  auto box = Make(QStringLiteral("Proxy refused."), kOk | kHelpButton, 4242);
  std::vector<int> helped;
  box->SetHelpHandler([&helped](int id) { helped.push_back(id); });
  ASSERT_TRUE(box->Open());
  box->Button(kIdHelp)->Button()->click();
  QTest::keyClick(box.get(), Qt::Key_F1);
  EXPECT_EQ(helped, (std::vector<int>{4242, 4242}));
  EXPECT_FALSE(box->IsFinished());
}

TEST_F(MessageBoxTest, SoundFollowsTheIconUnlessSilenced) {
  Make(QStringLiteral("a"), kOk | kIconExclamation)->Open();
  Make(QStringLiteral("b"), kOk | kIconStop | kNoSound)->Open();
  Make(QStringLiteral("c"), kOk)->Open();
  EXPECT_EQ(sounds, (std::vector<uint32_t>{kIconExclamation, 0}));
}

TEST_F(MessageBoxTest, TheTextIsPlainWrappedAndKeptOnTheScreen) {
  const QString markup = QStringLiteral("<b>not bold</b> & more");
  auto plain = Make(markup, kOk | kIconInformation);
  ASSERT_TRUE(plain->Open());
  ASSERT_NE(plain->TextControl()->Label(), nullptr);
  EXPECT_EQ(plain->TextControl()->Label()->textFormat(), Qt::PlainText);
  EXPECT_EQ(plain->TextControl()->Widget()->accessibleName(), markup);
  ASSERT_NE(plain->IconLabel(), nullptr);
  EXPECT_EQ(plain->IconLabel()->accessibleName(), QStringLiteral("Information"));
  EXPECT_EQ(plain->accessibleName(), QStringLiteral("Quarry"));

  // A long text breaks into lines no wider than half the screen and 100
  // pixels; an endless one is cut so the buttons stay on the screen.
  QString words;
  for (int i = 0; i < 400; ++i) words += QStringLiteral("word ");
  auto wrapped = Make(words, kOk);
  ASSERT_TRUE(wrapped->Open());
  const QRect screen = wrapped->screen()->availableGeometry();
  EXPECT_LE(wrapped->TextControl()->GetGeometry().width(), screen.width() / 2 + 100 + 8);
  EXPECT_GT(wrapped->TextControl()->GetCaption().count(QLatin1Char('\n')), 3);

  QString endless;
  for (int i = 0; i < 5000; ++i) endless += QStringLiteral("line %1\n").arg(i);
  auto cut = Make(endless, kOk);
  ASSERT_TRUE(cut->Open());
  EXPECT_LE(cut->height(), screen.height());
  EXPECT_TRUE(cut->TextControl()->GetCaption().endsWith(QChar(0x2026)));
  EXPECT_EQ(cut->TextControl()->Widget()->accessibleName(), endless);

  // One endless line is cut too, after a bounded amount of layout.
  auto line = Make(QString(4 << 20, QLatin1Char('x')), kOk);
  ASSERT_TRUE(line->Open());
  EXPECT_LE(line->height(), screen.height());
  EXPECT_TRUE(line->TextControl()->GetCaption().endsWith(QChar(0x2026)));
}

TEST_F(MessageBoxTest, TheApplicationHookTakesEveryMessage) {
  struct Call {
    QString text;
    uint32_t style;
    int help_id;
  };
  std::vector<Call> calls;
  SetMessageBoxHook([&calls](const QString& text, uint32_t style, int help_id) {
    calls.push_back({text, style, help_id});
    return kIdYes;
  });
  EXPECT_TRUE(HasMessageBoxHook());
  EXPECT_EQ(AppMessageBox(QStringLiteral("Really?"), kYesNo), kIdYes);
  EXPECT_EQ(AppMessageBox(7007, kYesNo | kIconQuestion), kIdYes);
  SetMessageBoxHook({});
  EXPECT_FALSE(HasMessageBoxHook());
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].help_id, 0);
  EXPECT_EQ(calls[1].text, QStringLiteral("Update for Quarry is available\nWould you like to update now?"));
  EXPECT_EQ(calls[1].help_id, 7007);
  EXPECT_EQ(calls[1].style, kYesNo | kIconQuestion);
}

}  // namespace
}  // namespace quarry
