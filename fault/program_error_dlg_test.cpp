#include "fault/program_error_dlg.h"

#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "framework/dialog_template.h"

namespace quarry {
namespace {

constexpr char kReport[] = "Date/Time:\t\tx\r\nProgram:\t\tQuarry\r\n";

TEST(ProgramErrorDlgTest, TheMailCarriesTheReportAndWhatTheUserAdded) {
  CProgramErrorDlg dialog("Exception X.", kReport, "");
  MailProgramMessage m = dialog.Message();
  EXPECT_EQ(m.subject, "Uncaught Quarry Error");
  ASSERT_EQ(m.to.size(), 1u);
  EXPECT_EQ(m.to[0].name, "Customer Support");
  EXPECT_EQ(m.to[0].address, "SMTP:support@quarry.example");
  EXPECT_EQ(m.body, kReport);
  FindControl<QPlainTextEdit>(&dialog, CProgramErrorDlg::kIdAdditional)
      ->setPlainText("I pressed Parse twice.");
  m = dialog.Message();
  EXPECT_EQ(m.body, std::string(kReport) + "\r\n\r\nAdditional Information:\r\nI pressed Parse twice.");
  // The report is shown whole, read-only.
  auto* view = FindControl<QPlainTextEdit>(&dialog, CProgramErrorDlg::kIdReport);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isReadOnly());
  EXPECT_EQ(view->toPlainText(), "Date/Time:\t\tx\nProgram:\t\tQuarry\n");
}

TEST(ProgramErrorDlgTest, SendOutcomesAreTold) {
  struct Case {
    MailProgramResult result;
    QString told;
    bool closes;
  } cases[] = {
      {{0, "The message was sent successfully"},
       "Thank you for submitting this\ninformation.  Someone should\ncontact you shortly to "
       "assist\nyou further with this problem.",
       true},
      {{2, ""}, "Failed to send eMail.", false},
      {{3, "Failed to load the mail program: no mail program is set up on this computer"},
       "Failed to send eMail caused by:\n\nFailed to load the mail program: no mail\nprogram is "
       "set up on this computer",
       false},
  };
  for (const Case& c : cases) {
    CProgramErrorDlg dialog("Exception X.", kReport, "/tmp/r.txt");
    QStringList told;
    dialog.SetMessageSink([&told](const QString& text) { told << text; });
    MailProgramMessage seen;
    dialog.SetSender([&c, &seen](const MailProgramMessage& m, std::stop_token) {
      seen = m;
      return c.result;
    });
    QSignalSpy finished(&dialog, &CProgramErrorDlg::sendFinished);
    dialog.show();
    dialog.OnSend();
    EXPECT_FALSE(dialog.isEnabled());  // while the mail program has it
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(seen.subject, "Uncaught Quarry Error");
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0], c.told);
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.closes);
    EXPECT_TRUE(dialog.isEnabled());
  }
}

TEST(ProgramErrorDlgTest, WrapAtColumns) {
  struct Case {
    QString in;
    QString out;
  } cases[] = {
      {"short", "short"},
      {"one two three", "one two\nthree"},
      {"abcdefghijkl", "abcdefgh\nijkl"},
      {"a\nb c", "a\nb c"},
  };
  for (const Case& c : cases) EXPECT_EQ(CProgramErrorDlg::WrapAtColumns(c.in, 8), c.out) << c.in.toStdString();
}

TEST(ProgramErrorDlgTest, EveryControlIsNamedForAssistiveTechnology) {
  CProgramErrorDlg dialog("Exception X.", kReport, "/tmp/r.txt");
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&dialog)) continue;
    if (w->parentWidget() != &dialog) continue;  // inner parts of composite widgets
    const auto* button = qobject_cast<QAbstractButton*>(w);
    EXPECT_FALSE(w->accessibleName().isEmpty() && (button == nullptr || button->text().isEmpty()))
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  }
}

}  // namespace
}  // namespace quarry
