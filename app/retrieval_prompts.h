// CRetrievalPrompts: how the window answers the retrieval library when it
// needs the user (see web/retrieval_ui.h): the password dialog when a
// server or proxy asks for credentials, and a message box for a failure a
// retrieval was asked to show.
//
// Retrievals run on worker threads; the questions are put to the user on
// the user-interface thread, and the worker waits for the answer. The wait
// ends when the user answers, when the retrieval's cancel flag is set (the
// dialog is then closed unanswered), or when this object goes, so that a
// closing window never waits on a question nobody will answer.

#ifndef QUARRY_APP_RETRIEVAL_PROMPTS_H_
#define QUARRY_APP_RETRIEVAL_PROMPTS_H_

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "web/retrieval_ui.h"

class QDialog;
class QWidget;

namespace quarry {

class CRetrievalPrompts : public QObject, public RetrievalUi {
  Q_OBJECT

 public:
  // User name and password, or nullopt when the user declined.
  using Answer = std::optional<std::pair<QString, QString>>;
  // Puts `question` to the user on the user-interface thread and calls
  // `done` exactly once with the answer, now or later. Returns the dialog
  // it opened, so that a cancelled retrieval can close it (nullptr when it
  // answered at once).
  using Asker = std::function<QDialog*(const CredentialsQuestion& question,
                                       std::function<void(Answer)> done)>;
  // Shows a retrieval's failure text; must not block.
  using MessageSink = std::function<void(const QString& text)>;

  // Dialogs open over `dialog_parent` (may be null), which must outlive
  // this object.
  explicit CRetrievalPrompts(QWidget* dialog_parent);
  // Uninstalls itself when installed and releases every waiting worker
  // with "declined".
  ~CRetrievalPrompts() override;

  // Makes this the process's RetrievalUi.
  void Install();

  // Seams: replace the password dialog and the message box.
  void SetAsker(Asker asker) { asker_ = std::move(asker); }
  void SetMessageSink(MessageSink sink) { message_sink_ = std::move(sink); }

  // Asks now, on the user-interface thread, for the embedded browser: the
  // credentials the user already gave this session for that server and
  // realm when there are some and the browser has not tried them yet, else
  // the user (the asker; the thread waits in a nested loop). What the user gives is remembered for the session,
  // so a parse of the same page does not ask again. nullopt: declined.
  Answer AskHere(const QString& url, const QString& realm, bool proxy);

  // RetrievalUi; called on worker threads. Credentials given this session
  // for the same server and realm are answered without asking again.
  // AskCredentials called on the user-interface thread itself declines at
  // once: that thread cannot both wait and show the dialog.
  void ShowMessage(const std::string& text) override;
  bool AskCredentials(const CredentialsQuestion& question, std::string* user_name,
                      std::string* password) override;
  void CredentialsRefused(const CredentialsQuestion& question) override;

 private:
  struct Pending;

  QWidget* dialog_parent_;
  Asker asker_;
  MessageSink message_sink_;
  bool installed_ = false;
  // The key of remembered credentials: who asks (scheme, host, port, or
  // "proxy") and the realm.
  static QString SessionKey(const QString& url, const QString& realm, bool proxy);
  // Puts `question` to the user on this thread, or, when the same question
  // is already open (the browser and a parse asking for one page), waits
  // for that one's answer instead of asking twice. Returns the dialog it
  // opened, if any.
  QDialog* Ask(const CredentialsQuestion& question, std::function<void(Answer)> done);
  void Remember(const QString& key, const Answer& answer);
  Answer Remembered(const QString& key);

  std::mutex mu_;
  std::vector<std::weak_ptr<Pending>> pending_;
  // In memory only, for this run of the program.
  std::map<QString, std::pair<QString, QString>> session_;
  // Keys whose remembered answer the browser has already been given: if
  // it asks again, that answer failed and the user is asked instead.
  std::set<QString> given_to_browser_;
  // Questions open now, by key, with everyone waiting for their answer.
  // User-interface thread only.
  std::map<QString, std::vector<std::function<void(Answer)>>> open_;
};

}  // namespace quarry

#endif  // QUARRY_APP_RETRIEVAL_PROMPTS_H_
