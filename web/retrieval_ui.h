// The two places where a retrieval may talk to the user directly: a message
// for a failure the caller asked to see, and a credentials prompt when a
// server or proxy asks for a password that the request does not carry.
//
// The GUI installs one RetrievalUi for the process at start-up; headless
// programs (qry, tests) install none, so nothing is shown and no one is
// asked.

#ifndef QUARRY_WEB_RETRIEVAL_UI_H_
#define QUARRY_WEB_RETRIEVAL_UI_H_

#include <atomic>
#include <cstdint>
#include <string>

namespace quarry {

// What a credentials prompt tells the user and how long it may take.
struct CredentialsQuestion {
  std::string url;      // the address asked for, without credentials
  uint32_t status = 0;  // 401: the server asks; 407: the proxy asks
  std::string realm;    // the realm the server named ("" when none)
  // The retrieval's cancel flag (may be null): once it is set the prompt
  // must give up and answer false, whatever the user does.
  const std::atomic<bool>* cancel = nullptr;
};

class RetrievalUi {
 public:
  virtual ~RetrievalUi() = default;
  // Shows `text` to the user. Called on the retrieving thread; may return
  // before the user has read it, so that a closing program never waits on
  // an open message.
  virtual void ShowMessage(const std::string& text) = 0;
  // Asks for a user name and password. Called on the retrieving thread,
  // which waits for the answer. Returns false when the user declined or the
  // question's cancel flag was set; the retrieval then retries once
  // without credentials and fails as the server answers.
  virtual bool AskCredentials(const CredentialsQuestion& question,
                              std::string* user_name,
                              std::string* password) = 0;
  // The server (or proxy) refused the credentials AskCredentials gave for
  // `question`: an interface that remembers answers forgets this one.
  virtual void CredentialsRefused(const CredentialsQuestion& question) { (void)question; }
};

// Installs `ui` for the whole process (nullptr: none). Not owned; it must
// stay alive until it is replaced. Thread-safe.
void SetRetrievalUi(RetrievalUi* ui);

// The installed interface, or nullptr.
RetrievalUi* CurrentRetrievalUi();

}  // namespace quarry

#endif  // QUARRY_WEB_RETRIEVAL_UI_H_
