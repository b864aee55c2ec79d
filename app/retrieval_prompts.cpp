#include "app/retrieval_prompts.h"

#include <QDialog>
#include <QEventLoop>
#include <QUrl>
#include <QMetaObject>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <condition_variable>

#include "framework/credentials_dlg.h"
#include "framework/msgbox/app_message_box.h"

namespace quarry {

// One question on its way to the user and back.
struct CRetrievalPrompts::Pending {
  std::mutex mu;
  std::condition_variable answered;
  bool done = false;
  Answer answer;
  QPointer<QDialog> dialog;  // touched on the user-interface thread only

  void Finish(Answer given) {
    {
      std::lock_guard<std::mutex> lock(mu);
      if (done) return;
      done = true;
      answer = std::move(given);
    }
    answered.notify_all();
  }
};

CRetrievalPrompts::CRetrievalPrompts(QWidget* dialog_parent) : dialog_parent_(dialog_parent) {
  asker_ = [this](const CredentialsQuestion& question, std::function<void(Answer)> done) {
    auto* dialog = new CCredentialsDlg(QString::fromStdString(question.url),
                                       question.status == 407,
                                       QString::fromStdString(question.realm), dialog_parent_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, dialog, [dialog, done](int result) {
      if (result == QDialog::Accepted) {
        done(std::make_pair(dialog->UserName(), dialog->Password()));
      } else {
        done(std::nullopt);
      }
    });
    dialog->open();
    return dialog;
  };
  message_sink_ = [](const QString& text) { AppMessageBox(text, mb::kIconExclamation); };
}

CRetrievalPrompts::~CRetrievalPrompts() {
  if (installed_ && CurrentRetrievalUi() == this) SetRetrievalUi(nullptr);
  std::lock_guard<std::mutex> lock(mu_);
  for (const std::weak_ptr<Pending>& weak : pending_) {
    if (std::shared_ptr<Pending> pending = weak.lock()) pending->Finish(std::nullopt);
  }
}

void CRetrievalPrompts::Install() {
  SetRetrievalUi(this);
  installed_ = true;
}

QString CRetrievalPrompts::SessionKey(const QString& url, const QString& realm, bool proxy) {
  if (proxy) return QStringLiteral("proxy\n") + realm;
  const QUrl parsed(url);
  return parsed.scheme().toLower() + QStringLiteral("://") + parsed.host().toLower() +
         QLatin1Char(':') + QString::number(parsed.port()) + QLatin1Char('\n') + realm;
}

void CRetrievalPrompts::Remember(const QString& key, const Answer& answer) {
  std::lock_guard<std::mutex> lock(mu_);
  if (answer) {
    session_[key] = *answer;
  } else {
    session_.erase(key);
  }
}

CRetrievalPrompts::Answer CRetrievalPrompts::Remembered(const QString& key) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = session_.find(key);
  if (it == session_.end()) return std::nullopt;
  return it->second;
}

CRetrievalPrompts::Answer CRetrievalPrompts::AskHere(const QString& url, const QString& realm,
                                                     bool proxy) {
  const QString key = SessionKey(url, realm, proxy);
  const bool tried = !given_to_browser_.insert(key).second;
  if (!tried) {
    if (Answer known = Remembered(key)) return known;
  }
  CredentialsQuestion question;
  question.url = QUrl(url).adjusted(QUrl::RemoveUserInfo).toString().toStdString();
  question.status = proxy ? 407 : 401;
  question.realm = realm.toStdString();
  struct Wait {
    bool done = false;
    Answer answer;
    QEventLoop loop;
  };
  auto wait = std::make_shared<Wait>();
  Ask(question, [wait](Answer given) {
    wait->done = true;
    wait->answer = std::move(given);
    wait->loop.quit();
  });
  if (!wait->done) wait->loop.exec();
  return wait->answer;
}

QDialog* CRetrievalPrompts::Ask(const CredentialsQuestion& question,
                                std::function<void(Answer)> done) {
  const QString key = SessionKey(QString::fromStdString(question.url),
                                 QString::fromStdString(question.realm), question.status == 407);
  auto open = open_.find(key);
  if (open != open_.end()) {
    open->second.push_back(std::move(done));
    return nullptr;
  }
  open_[key].push_back(std::move(done));
  return asker_(question, [this, key](Answer answer) {
    Remember(key, answer);
    auto waiting = open_.extract(key);
    if (waiting.empty()) return;
    for (const std::function<void(Answer)>& callback : waiting.mapped()) callback(answer);
  });
}

void CRetrievalPrompts::CredentialsRefused(const CredentialsQuestion& question) {
  Remember(SessionKey(QString::fromStdString(question.url), QString::fromStdString(question.realm),
                      question.status == 407),
           std::nullopt);
}

void CRetrievalPrompts::ShowMessage(const std::string& text) {
  QMetaObject::invokeMethod(
      this, [this, shown = QString::fromStdString(text)] { message_sink_(shown); },
      Qt::QueuedConnection);
}

bool CRetrievalPrompts::AskCredentials(const CredentialsQuestion& question,
                                       std::string* user_name, std::string* password) {
  if (QThread::currentThread() == thread()) return false;
  const QString key = SessionKey(QString::fromStdString(question.url),
                                 QString::fromStdString(question.realm), question.status == 407);
  if (Answer known = Remembered(key)) {
    *user_name = known->first.toStdString();
    *password = known->second.toStdString();
    return true;
  }
  auto pending = std::make_shared<Pending>();
  {
    std::lock_guard<std::mutex> lock(mu_);
    std::erase_if(pending_, [](const std::weak_ptr<Pending>& weak) { return weak.expired(); });
    pending_.push_back(pending);
  }
  QMetaObject::invokeMethod(
      this,
      [this, question, pending] {
        {
          std::lock_guard<std::mutex> given_up(pending->mu);
          if (pending->done) return;  // given up before it could be asked
        }
        pending->dialog = Ask(question, [pending](Answer answer) {
          pending->Finish(std::move(answer));
        });
      },
      Qt::QueuedConnection);

  std::unique_lock<std::mutex> lock(pending->mu);
  while (!pending->done) {
    if (question.cancel != nullptr && question.cancel->load()) {
      lock.unlock();
      pending->Finish(std::nullopt);
      // The question is void: take its dialog off the screen.
      QMetaObject::invokeMethod(
          this,
          [pending] {
            if (pending->dialog) pending->dialog->reject();
          },
          Qt::QueuedConnection);
      return false;
    }
    pending->answered.wait_for(lock, std::chrono::milliseconds(50));
  }
  if (!pending->answer) return false;
  *user_name = pending->answer->first.toStdString();
  *password = pending->answer->second.toStdString();
  return true;
}

}  // namespace quarry
