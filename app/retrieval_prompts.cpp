#include "app/retrieval_prompts.h"

#include <QDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <condition_variable>

#include "framework/credentials_dlg.h"

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
  message_sink_ = [this](const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quarry"), text,
                                QMessageBox::Ok, dialog_parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  };
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

void CRetrievalPrompts::ShowMessage(const std::string& text) {
  QMetaObject::invokeMethod(
      this, [this, shown = QString::fromStdString(text)] { message_sink_(shown); },
      Qt::QueuedConnection);
}

bool CRetrievalPrompts::AskCredentials(const CredentialsQuestion& question,
                                       std::string* user_name, std::string* password) {
  if (QThread::currentThread() == thread()) return false;
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
        pending->dialog = asker_(question, [pending](Answer answer) {
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
