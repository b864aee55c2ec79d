// Stand-ins for the user interface that record what a retrieval told them.

#ifndef QUARRY_WEB_TESTING_RECORDERS_H_
#define QUARRY_WEB_TESTING_RECORDERS_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "web/retrieval_request.h"
#include "web/retrieval_ui.h"

namespace quarry::testing {

class RecordingWindow : public NotifyWindow {
 public:
  bool HasWindow() const override { return alive; }
  intptr_t SendMessage(uint32_t message, uintptr_t wparam, intptr_t) override {
    sent.emplace_back(message, wparam != 0 ? reinterpret_cast<const char*>(wparam) : "");
    return 0;
  }
  bool PostMessage(uint32_t message, uintptr_t, intptr_t) override {
    posted.push_back(message);
    return true;
  }

  bool alive = true;
  std::vector<std::pair<uint32_t, std::string>> sent;  // message, text
  std::vector<uint32_t> posted;
};

class RecordingUi : public RetrievalUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskCredentials(const CredentialsQuestion& question, std::string* user_name,
                      std::string* password) override {
    asked.emplace_back(question.url, question.status);
    realms.push_back(question.realm);
    if (answer_user.empty()) return false;
    *user_name = answer_user;
    *password = answer_password;
    return true;
  }

  std::vector<std::string> messages;
  std::vector<std::pair<std::string, uint32_t>> asked;
  std::vector<std::string> realms;
  std::string answer_user;
  std::string answer_password;
};

}  // namespace quarry::testing

#endif  // QUARRY_WEB_TESTING_RECORDERS_H_
