// The two places where a retrieval may talk to the user directly: a message
// box for a failure the caller asked to see, and a credentials dialog when a
// server or proxy asks for a password that the request does not carry.
//
// The GUI installs one RetrievalUi for the process at start-up; headless
// programs (qry, tests) install none, so nothing is shown and no one is
// asked.

#ifndef QUARRY_WEB_RETRIEVAL_UI_H_
#define QUARRY_WEB_RETRIEVAL_UI_H_

#include <cstdint>
#include <string>

namespace quarry {

class RetrievalUi {
 public:
  virtual ~RetrievalUi() = default;
  // Shows `text` in a message box and returns when the user closed it.
  // Called on the retrieving thread.
  virtual void ShowMessage(const std::string& text) = 0;
  // Asks for a user name and password for `url`, which answered `status`
  // (401: the server, 407: the proxy). Returns false when the user declined;
  // the retrieval then retries once without credentials.
  virtual bool AskCredentials(const std::string& url, uint32_t status,
                              std::string* user_name,
                              std::string* password) = 0;
};

// Installs `ui` for the whole process (nullptr: none). Not owned; it must
// stay alive until it is replaced. Thread-safe.
void SetRetrievalUi(RetrievalUi* ui);

// The installed interface, or nullptr.
RetrievalUi* CurrentRetrievalUi();

}  // namespace quarry

#endif  // QUARRY_WEB_RETRIEVAL_UI_H_
