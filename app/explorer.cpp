#include "app/explorer.h"

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QAuthenticator>
#include <QChildEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <memory>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

namespace quarry {

void PrepareEmbeddedBrowser() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", /*overwrite=*/0);
}

CExplorer::CExplorer(QWidget* parent) : QWebEngineView(parent) {
  setAccessibleName(QStringLiteral("Web page"));
  setMouseTracking(true);
  connect(this, &QWebEngineView::loadProgress, this,
          [this](int progress) { emit progressChanged(progress, 100); });
  connect(page(), &QWebEnginePage::loadingChanged, this, &CExplorer::OnLoadingChanged);
  connect(page(), &QWebEnginePage::renderProcessTerminated, this,
          &CExplorer::OnRendererTerminated);
  connect(page(), &QWebEnginePage::authenticationRequired, this,
          [this](const QUrl& url, QAuthenticator* auth) { OnAuthentication(url, auth, false); });
  connect(page(), &QWebEnginePage::proxyAuthenticationRequired, this,
          [this](const QUrl& url, QAuthenticator* auth, const QString&) {
            OnAuthentication(url, auth, true);
          });
  // The page is drawn by a child widget that the view makes itself; it
  // gets the mouse events, so it is the one to watch.
  for (QObject* child : children()) WatchChild(child);
}

CExplorer::~CExplorer() = default;

void CExplorer::OnAuthentication(const QUrl& url, QAuthenticator* authenticator, bool proxy) {
  QString user, password;
  if (credentials_ && credentials_(url, authenticator->realm(), proxy, &user, &password)) {
    authenticator->setUser(user);
    authenticator->setPassword(password);
  } else {
    // Unfilled, the engine gives up on the credentials and shows what the
    // server sent instead.
    *authenticator = QAuthenticator();
  }
}

void CExplorer::Navigate(const QString& address) {
  load(QUrl::fromUserInput(address));
}

void CExplorer::ReadShownPage(int time_limit_ms, ShownPageReader done) {
  // Whichever comes first, the document or the time limit, answers.
  auto answered = std::make_shared<bool>(false);
  auto* limit = new QTimer(this);
  limit->setSingleShot(true);
  connect(limit, &QTimer::timeout, this, [limit, answered, done, time_limit_ms] {
    limit->deleteLater();
    if (*answered) return;
    *answered = true;
    done(false, QString(),
         QStringLiteral("The browser did not hand over the page within %1 seconds")
             .arg(time_limit_ms / 1000.0));
  });
  limit->start(time_limit_ms);
  page()->toHtml([self = QPointer<CExplorer>(this), limit, answered, done](const QString& html) {
    if (!self || *answered) return;
    *answered = true;
    limit->stop();
    limit->deleteLater();
    done(true, html, QString());
  });
}

void CExplorer::MarkTable(int position, const TableTextKey& key,
                          std::function<void(const MarkResult&)> done) {
  page()->runJavaScript(MarkTableScript(position, key), QWebEngineScript::ApplicationWorld,
                        [self = QPointer<CExplorer>(this), done](const QVariant& result) {
                          if (self && done) done(ReadMarkResult(result));
                        });
}

void CExplorer::ClearTableMark() {
  page()->runJavaScript(ClearMarkScript(), QWebEngineScript::ApplicationWorld);
}

QString CExplorer::LocationURL() const {
  return url().toString();
}

bool CExplorer::CanShow(const QUrl& url) {
  return url.scheme().compare(QLatin1String("ftp"), Qt::CaseInsensitive) != 0;
}

QList<CExplorer*> CExplorer::PopupWindows() const {
  QList<CExplorer*> open;
  for (const QPointer<CExplorer>& popup : popups_) {
    if (popup) open << popup.data();
  }
  return open;
}

void CExplorer::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
  // The engine stops an ftp:// navigation (ERR_ABORTED) as if the user had
  // stopped it: there is no error to go by, only the address.
  if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus && !CanShow(info.url())) {
    emit addressNotShown(info.url());
    return;
  }
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
      renderer_died_ = false;
      return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      return;
    case QWebEngineLoadingInfo::LoadFailedStatus: {
      if (renderer_died_) return;  // said by rendererTerminated()
      int code = info.errorCode();
      if (info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        // Network and internal errors are negative; keep them apart from
        // HTTP statuses whatever the domain says.
        code = code < 0 ? code : -(code == 0 ? 1 : code);
      }
      emit navigationError(code);
      break;
    }
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      break;
  }
  emit documentComplete(LocationURL());
}

void CExplorer::OnRendererTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                                     int exit_code) {
  // A normal end is the engine closing a page it no longer needs.
  if (status == QWebEnginePage::NormalTerminationStatus) return;
  renderer_died_ = true;
  emit rendererTerminated(status, exit_code);
}

QWebEngineView* CExplorer::createWindow(QWebEnginePage::WebWindowType type) {
  Q_UNUSED(type);
  bool cancel = !(allow_new_windows_ ||
                  QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier));
  emit newWindowRequested(&cancel);
  if (cancel) return nullptr;
  // A window of its own, so the page that opened it stays where it was.
  auto* popup = new CExplorer(this);
  popup->setWindowFlag(Qt::Window);
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->resize(size().expandedTo(QSize(640, 480)));
  connect(popup, &QWebEngineView::titleChanged, popup, &QWidget::setWindowTitle);
  popups_.removeAll(QPointer<CExplorer>());
  popups_ << popup;
  popup->show();
  return popup;
}

bool CExplorer::event(QEvent* event) {
  if (event->type() == QEvent::ChildAdded) {
    WatchChild(static_cast<QChildEvent*>(event)->child());
  }
  return QWebEngineView::event(event);
}

void CExplorer::WatchChild(QObject* child) {
  if (child != nullptr && child->isWidgetType()) {
    child->installEventFilter(this);
    static_cast<QWidget*>(child)->setMouseTracking(true);
  }
}

bool CExplorer::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::RightButton) {
        if (block_clicks_) return true;
        emit rightButtonPressed();
      }
      break;
    }
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (block_clicks_ &&
          (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)) {
        return true;
      }
      break;
    }
    case QEvent::MouseMove: {
      // The parent hears of moves over the page in its own coordinates.
      QWidget* parent = parentWidget();
      auto* widget = qobject_cast<QWidget*>(watched);
      if (parent != nullptr && widget != nullptr && !isWindow()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF at = widget->mapTo(parent, mouse->position());
        QMouseEvent moved(QEvent::MouseMove, at, mouse->globalPosition(), mouse->button(),
                          mouse->buttons(), mouse->modifiers());
        QCoreApplication::sendEvent(parent, &moved);
      }
      break;
    }
    default:
      break;
  }
  return QWebEngineView::eventFilter(watched, event);
}

}  // namespace quarry
