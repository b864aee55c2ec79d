#include "fault/mail_program.h"

#include <cstdlib>

#include "app/child_process.h"
#include "platform/ascii_text.h"

namespace quarry {

namespace {

std::string BareAddress(const std::string& address) {
  return StartsWithNoCase(address, "SMTP:") ? address.substr(5) : address;
}

}  // namespace

std::string MailResultText(int code) {
  static constexpr const char* kTexts[] = {
      "The message was sent successfully",
      "The user canceled one of the dialog boxes",
      "One or more unspecified errors occurred",
      "There was no default logon, and the user failed to log on successfully when the logon "
      "dialog box was displayed",
      "Disk full",
      "There was insufficient memory to proceed",
      "Access denied",
      nullptr,
      "The user had too many sessions open simultaneously",
      "There were too many file attachments",
      "There were too many recipients",
      "A specified attachment was not found",
      "The specified attachment could not be opened",
      "Attachment write failure",
      "A recipient did not appear in the address list",
      "Bad recipient type",
      "No messages",
      "Invalid message",
      "The text in the message was too large",
      "Invalid session",
      "Type not supported",
      "A recipient was specified ambiguously",
      "Message in use",
      "Network failure",
      "Invalid edit fields",
      "One or more recipients were invalid or did not resolve to any address",
      "Not supported",
  };
  if (code < 0 || code >= static_cast<int>(std::size(kTexts)) || kTexts[code] == nullptr) {
    return "Unknown Error";
  }
  return kTexts[code];
}

int MailResultForExit(int exit_status) {
  switch (exit_status) {
    case 0: return mail_result::kSuccess;
    case 1: return mail_result::kInvalidMessage;         // a malformed command
    case 2: return mail_result::kAttachmentNotFound;     // a file does not exist
    case 5: return mail_result::kAttachmentOpenFailure;  // a file cannot be read
    default: return mail_result::kFailure;               // the action failed
  }
}

std::vector<std::string> MailProgramCommand(const std::string& program,
                                            const MailProgramMessage& message) {
  std::vector<std::string> argv = {program, "--utf8"};
  for (const MailRecipient& r : message.cc) argv.insert(argv.end(), {"--cc", BareAddress(r.address)});
  for (const MailRecipient& r : message.bcc) {
    argv.insert(argv.end(), {"--bcc", BareAddress(r.address)});
  }
  if (!message.subject.empty()) argv.insert(argv.end(), {"--subject", message.subject});
  if (!message.body.empty()) argv.insert(argv.end(), {"--body", message.body});
  for (const MailFile& f : message.attachments) argv.insert(argv.end(), {"--attach", f.path});
  for (const MailRecipient& r : message.to) argv.push_back(BareAddress(r.address));
  return argv;
}

MailProgramResult SendWithMailProgram(const MailProgramMessage& message,
                                      std::chrono::milliseconds settle, std::stop_token stop) {
  MailProgramResult result;
  if (!message.owner_valid) {
    result.text = "Parent Window is Invalid";
    return result;
  }
  if (message.to.empty() && message.cc.empty() && message.bcc.empty()) {
    result.text = "To Field is Empty";
    return result;
  }
  // The mail program would read an address starting with "-" as an option.
  for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
    for (const MailRecipient& r : *list) {
      const std::string address = BareAddress(r.address);
      if (address.empty() || address[0] == '-') {
        result.code = 25;
        result.text = MailResultText(result.code);
        return result;
      }
    }
  }
  std::string program = "xdg-email";
  if (const char* custom = std::getenv("QUARRY_MAIL_PROGRAM"); custom != nullptr && *custom) {
    program = custom;
  }
  if (!ProgramExists(program)) {
    result.text = "Failed to load the mail program: " + program + " is not installed";
    return result;
  }
  std::string error;
  const pid_t pid = StartChildProcess(MailProgramCommand(program, message), &error);
  if (pid < 0) {
    result.text = "Failed to load the mail program: " + error;
    return result;
  }
  const std::optional<ChildExit> exit = WaitForChild(pid, settle, stop);
  if (!exit) {
    ReapInBackground(pid);
    result.code = stop.stop_requested() ? mail_result::kUserAbort : mail_result::kSuccess;
  } else if (!exit->exited) {
    result.code = mail_result::kFailure;
  } else if (exit->code == 3) {
    // The desktop knows no mail program: the interface is missing.
    result.text = "Failed to load the mail program: no mail program is set up on this computer";
    return result;
  } else {
    result.code = MailResultForExit(exit->code);
  }
  result.text = MailResultText(result.code);
  return result;
}

}  // namespace quarry
