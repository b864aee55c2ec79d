#include "fault/support_dlg.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include <gtest/gtest.h>

#include "app/app_settings.h"
#include "fault/testing/script_smtp_server.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

using testing::ScriptSmtpServer;
using testing::SmtpScript;

QLineEdit* EditNamed(QWidget* dialog, const QString& name) {
  for (auto* edit : dialog->findChildren<QLineEdit*>()) {
    if (edit->accessibleName() == name) return edit;
  }
  return nullptr;
}

QPlainTextEdit* Body(QWidget* dialog) {
  for (auto* edit : dialog->findChildren<QPlainTextEdit*>()) {
    if (edit->accessibleName() == "Message") return edit;
  }
  return nullptr;
}

class SupportDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script_ = dir_.File("fake-xdg-email");
    std::ofstream(script_) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << dir_.File("args")
                           << "\"\nexit \"${FAKE_MAIL_EXIT:-0}\"\n";
    ::chmod(script_.c_str(), 0755);
    setenv("QUARRY_MAIL_PROGRAM", script_.c_str(), 1);
    unsetenv("FAKE_MAIL_EXIT");
    settings_.SetEmailName("Ann Example");
    settings_.SetEmailAddress("ann@example.org");
  }
  void TearDown() override { unsetenv("QUARRY_MAIL_PROGRAM"); }

  // Sends the dialog's message with the real mailer; returns what the
  // user was told.
  QStringList Send(CSupportDlg& dialog, const QString& body) {
    QStringList told;
    dialog.SetMessageSink([&told](const QString& text) { told << text; });
    Body(&dialog)->setPlainText(body);
    QSignalSpy finished(&dialog, &CSupportDlg::sendFinished);
    dialog.OnSend();
    EXPECT_TRUE(finished.wait(20000));
    return told;
  }

  std::string MailProgramArgs() const {
    std::ifstream in(dir_.File("args"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  testing::TempDir dir_;
  std::string script_;
  platform::SettingsStore store_{dir_.File("registry.sqlite")};
  CAppSettings settings_{store_};
};

TEST_F(SupportDlgTest, ConfiguredServerGetsTheMessage) {
  ScriptSmtpServer server{SmtpScript{}};
  settings_.SetEmailSMTPServer("127.0.0.1");
  settings_.SetEmailSMTPPort(static_cast<uint32_t>(server.port()));
  CSupportDlg dialog(SupportMode::kSupport, &settings_);
  EXPECT_EQ(dialog.windowTitle(), "Report Bug");
  const QStringList told = Send(dialog, "The grid is empty.\n.\nafter the dot");
  ASSERT_EQ(told.size(), 1);
  EXPECT_EQ(told[0], "Thank You\n\nSomeone will contact you shortly\nif necessary");
  const std::string data = server.Data();
  EXPECT_NE(data.find("From: Ann Example <ann@example.org>\r\n"), std::string::npos) << data;
  EXPECT_NE(data.find("To: Customer Support <support@quarry.example>\r\n"), std::string::npos);
  EXPECT_NE(data.find("Subject: Report Bug\r\n"), std::string::npos);
  EXPECT_NE(data.find("The grid is empty.\r\n..\r\nafter the dot"), std::string::npos);
  EXPECT_TRUE(MailProgramArgs().empty());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(SupportDlgTest, WithoutAServerTheMailProgramTakesIt) {
  CSupportDlg dialog(SupportMode::kSuggestion, &settings_);
  EXPECT_EQ(dialog.windowTitle(), "Submit a Suggestion");
  const QStringList told = Send(dialog, "Export to ODS, please.");
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith("Thank You"));
  EXPECT_EQ(MailProgramArgs(),
            "--utf8\n--subject\nSubmit a Suggestion\n--body\nExport to ODS, please.\n"
            "suggestions@quarry.example\n");
}

TEST_F(SupportDlgTest, AServerThatRefusesHandsOverToTheMailProgram) {
  SmtpScript script;
  script.greeting = "554 5.7.1 not you";
  ScriptSmtpServer server(script);
  settings_.SetEmailSMTPServer("127.0.0.1");
  settings_.SetEmailSMTPPort(static_cast<uint32_t>(server.port()));
  CSupportDlg dialog(SupportMode::kSupport, &settings_);
  QStringList told = Send(dialog, "help");
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith("Thank You")) << told[0].toStdString();
  EXPECT_TRUE(told[0].contains("An unexpected SMTP login response was received"));
  EXPECT_NE(MailProgramArgs().find("--subject\nReport Bug\n"), std::string::npos);

  // Both ways fail: the user hears both reasons.
  setenv("FAKE_MAIL_EXIT", "3", 1);
  CSupportDlg again(SupportMode::kSupport, &settings_);
  told = Send(again, "help");
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith("Failed to send eMail.\nCaused by An unexpected SMTP login "
                                 "response was received"))
      << told[0].toStdString();
  EXPECT_TRUE(told[0].contains("no mail program is set up"));
  EXPECT_NE(again.result(), QDialog::Accepted);
}

TEST_F(SupportDlgTest, FieldsAreCheckedAndSettingsKept) {
  settings_.SetEmailSMTPServer("127.0.0.1");
  CSupportDlg dialog(SupportMode::kSupport, &settings_);
  QStringList told;
  dialog.SetMessageSink([&told](const QString& text) { told << text; });
  bool sent = false;
  dialog.SetSender([&sent](const SupportMailJob&, std::stop_token) {
    sent = true;
    return SupportMailOutcome{true, true, {}, {}};
  });
  dialog.OnSend();  // no message yet
  ASSERT_EQ(told.size(), 1);
  EXPECT_EQ(told[0], "Write a message first.");
  Body(&dialog)->setPlainText("x");
  EditNamed(&dialog, "Your e-mail address")->setText("");
  dialog.OnSend();  // the server needs a sender
  EXPECT_TRUE(told.last().startsWith("Enter your e-mail address"));
  EditNamed(&dialog, "Your e-mail address")->setText("bob@example.org");
  EditNamed(&dialog, "Subject")->setText("Line\r\nBcc: x@y");
  dialog.OnSend();
  EXPECT_EQ(told.last(), "The subject holds a line break.");
  EXPECT_FALSE(sent);
  EditNamed(&dialog, "Subject")->setText("Crash on export");
  QSignalSpy finished(&dialog, &CSupportDlg::sendFinished);
  dialog.OnSend();
  ASSERT_TRUE(finished.wait(5000));
  EXPECT_TRUE(sent);
  EXPECT_EQ(settings_.GetEmailAddress(), "bob@example.org");
  EXPECT_EQ(settings_.GetEmailSMTPServer(), "127.0.0.1");
}

}  // namespace
}  // namespace quarry
