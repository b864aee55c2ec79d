#include "fault/mail_program.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>

#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

// A stand-in mail program: writes its arguments, one a line, to
// $FAKE_MAIL_ARGS and exits with $FAKE_MAIL_EXIT.
class FakeMailProgram {
 public:
  FakeMailProgram() {
    script_ = dir_.File("fake-xdg-email");
    std::ofstream(script_) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_MAIL_ARGS\"\n"
                              "exit \"${FAKE_MAIL_EXIT:-0}\"\n";
    ::chmod(script_.c_str(), 0755);
    setenv("QUARRY_MAIL_PROGRAM", script_.c_str(), 1);
    setenv("FAKE_MAIL_ARGS", dir_.File("args").c_str(), 1);
  }
  ~FakeMailProgram() {
    unsetenv("QUARRY_MAIL_PROGRAM");
    unsetenv("FAKE_MAIL_EXIT");
  }
  void ExitWith(int status) { setenv("FAKE_MAIL_EXIT", std::to_string(status).c_str(), 1); }
  std::string Args() const {
    std::ifstream in(dir_.File("args"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  testing::TempDir dir_;
  std::string script_;
};

MailProgramMessage Sample() {
  MailProgramMessage m;
  m.owner_valid = true;
  m.subject = "Uncaught Quarry Error";
  m.body = "line 1\r\nline 2";
  m.to = {{"Customer Support", "SMTP:support@quarry.example"}};
  return m;
}

TEST(MailProgramTest, ResultTexts) {
  EXPECT_EQ(MailResultText(0), "The message was sent successfully");
  EXPECT_EQ(MailResultText(11), "A specified attachment was not found");
  EXPECT_EQ(MailResultText(26), "Not supported");
  for (int undefined : {7, 27, -1, 1000}) EXPECT_EQ(MailResultText(undefined), "Unknown Error");
}

TEST(MailProgramTest, ChecksComeBeforeTheProgramIsLookedFor) {
  setenv("QUARRY_MAIL_PROGRAM", "/nonexistent/mailer", 1);
  MailProgramMessage m = Sample();
  m.owner_valid = false;
  EXPECT_EQ(SendWithMailProgram(m).text, "Parent Window is Invalid");
  m = Sample();
  m.to.clear();
  EXPECT_EQ(SendWithMailProgram(m).text, "To Field is Empty");
  m = Sample();
  const MailProgramResult missing = SendWithMailProgram(m);
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.text, "Failed to load the mail program: /nonexistent/mailer is not installed");
  unsetenv("QUARRY_MAIL_PROGRAM");
}

TEST(MailProgramTest, TheMessageReachesTheProgramAndItsStatusIsRead) {
  FakeMailProgram fake;
  MailProgramMessage m = Sample();
  m.cc = {{"", "cc@example.org"}};
  m.attachments = {{"/tmp/report.txt", "report.txt"}};
  const MailProgramResult sent = SendWithMailProgram(m);
  EXPECT_TRUE(sent.ok()) << sent.text;
  EXPECT_EQ(sent.text, "The message was sent successfully");
  EXPECT_EQ(fake.Args(),
            "--utf8\n--cc\ncc@example.org\n--subject\nUncaught Quarry Error\n--body\nline 1\r\n"
            "line 2\n--attach\n/tmp/report.txt\nsupport@quarry.example\n");

  struct Case {
    int status;
    std::string text;
  } cases[] = {
      {2, "A specified attachment was not found"},
      {5, "The specified attachment could not be opened"},
      {4, "One or more unspecified errors occurred"},
      {3, "Failed to load the mail program: no mail program is set up on this computer"},
  };
  for (const Case& c : cases) {
    fake.ExitWith(c.status);
    const MailProgramResult result = SendWithMailProgram(Sample());
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.text, c.text) << c.status;
  }
  // An address the program would take for an option.
  m = Sample();
  m.to = {{"", "--help"}};
  EXPECT_EQ(SendWithMailProgram(m).text,
            "One or more recipients were invalid or did not resolve to any address");
}

}  // namespace
}  // namespace quarry
