// Handing a message to the user's mail program, which shows it ready to
// send: the desktop's "xdg-email" stands in for the simple mail interface
// the program was designed for, and its exit status maps onto that
// interface's result codes and texts.
//
// Sending blocks until the mail program has taken the message (at most
// kMailProgramSettle; one still running then has its window open and counts
// as having taken it): call it off the user-interface thread.
// $QUARRY_MAIL_PROGRAM, when set, replaces "xdg-email" (tests, unusual
// desktops).

#ifndef QUARRY_FAULT_MAIL_PROGRAM_H_
#define QUARRY_FAULT_MAIL_PROGRAM_H_

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

namespace quarry {

inline constexpr std::chrono::milliseconds kMailProgramSettle{10000};

// Result codes of the mail interface.
namespace mail_result {
inline constexpr int kSuccess = 0;
inline constexpr int kUserAbort = 1;
inline constexpr int kFailure = 2;
inline constexpr int kAttachmentNotFound = 11;
inline constexpr int kAttachmentOpenFailure = 12;
inline constexpr int kInvalidMessage = 17;
}  // namespace mail_result

struct MailRecipient {
  std::string name;
  std::string address;  // may carry the interface's "SMTP:" prefix
};

struct MailFile {
  std::string path;
  std::string display_name;
};

// The message record: recipients of the three kinds, subject, body and
// files. `owner_valid` stands for the owner window the interface needs.
struct MailProgramMessage {
  bool owner_valid = false;
  std::string subject;
  std::string body;
  std::vector<MailRecipient> to, cc, bcc;
  std::vector<MailFile> attachments;
};

struct MailProgramResult {
  int code = mail_result::kFailure;
  std::string text;
  bool ok() const { return code == mail_result::kSuccess; }
};

// The text of a result code ("The message was sent successfully", ...,
// "Unknown Error" for codes the interface does not define).
std::string MailResultText(int code);

// The result code for the mail program's exit status.
int MailResultForExit(int exit_status);

// The command that hands `message` to `program`.
std::vector<std::string> MailProgramCommand(const std::string& program,
                                            const MailProgramMessage& message);

// Checks the message ("Parent Window is Invalid", "To Field is Empty"),
// finds the mail program and runs it. A stop request ends the wait with a
// failure (the program keeps running).
MailProgramResult SendWithMailProgram(const MailProgramMessage& message,
                                      std::chrono::milliseconds settle = kMailProgramSettle,
                                      std::stop_token stop = {});

}  // namespace quarry

#endif  // QUARRY_FAULT_MAIL_PROGRAM_H_
