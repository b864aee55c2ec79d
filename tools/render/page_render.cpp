#include "tools/render/page_render.h"

#include <QAuthenticator>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <utility>

#include "web/page_fetch.h"
#include "web/retrieval_error.h"

namespace quarry {

namespace {

// How often the page is asked whether it has changed.
constexpr int kPollMs = 100;

// Notes the time of the document's last change, in a world of its own so
// that the page's scripts can neither see nor disturb it.
constexpr char kWatchScript[] = R"(
(function () {
  window.__quarryLastChange = performance.now();
  new MutationObserver(function () { window.__quarryLastChange = performance.now(); })
      .observe(document, {subtree: true, childList: true, characterData: true, attributes: true});
})();
)";
constexpr char kQuietScript[] = "performance.now() - (window.__quarryLastChange || 0)";

bool IsFile(const QUrl& url) { return url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0; }

}  // namespace

// The page: never shows a dialog (alerts return at once, confirmations and
// prompts are refused) and keeps to the file rule.
class CRenderPage : public QWebEnginePage {
 public:
  CRenderPage(QWebEngineProfile* profile, bool allow_files)
      : QWebEnginePage(profile), allow_files_(allow_files) {}

  bool refused_file() const { return refused_file_; }

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    if (IsFile(url) && !allow_files_) {
      refused_file_ = true;
      return false;
    }
    return true;
  }
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
    return false;
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}

 private:
  bool allow_files_;
  bool refused_file_ = false;
};

CPageRender::CPageRender(RenderOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

CPageRender::~CPageRender() {
  page_.reset();  // before its profile
  delete profile_;
}

void CPageRender::Start(std::function<void(const RenderOutcome&)> done) {
  done_ = std::move(done);
  clock_.start();
  if (IsFile(options_.url) && !options_.allow_files) {
    Finish({false, false, {}, QStringLiteral("file:// addresses are read only when named as a file")});
    return;
  }
  // No storage name: an off-the-record profile that keeps nothing on disk.
  profile_ = new QWebEngineProfile();
  profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  page_ = std::make_unique<CRenderPage>(profile_, options_.allow_files);
  page_->setVisible(true);  // as if shown: no hidden-page economies
  QWebEngineSettings* settings = page_->settings();
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, options_.allow_files);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::AutoLoadImages, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);

  QWebEngineScript watch;
  watch.setName(QStringLiteral("quarry-watch"));
  watch.setSourceCode(QString::fromLatin1(kWatchScript));
  watch.setInjectionPoint(QWebEngineScript::DocumentCreation);
  watch.setWorldId(QWebEngineScript::ApplicationWorld);
  watch.setRunsOnSubFrames(false);
  page_->scripts().insert(watch);

  connect(page_.get(), &QWebEnginePage::loadingChanged, this,
          [this](const QWebEngineLoadingInfo& info) {
            switch (info.status()) {
              case QWebEngineLoadingInfo::LoadSucceededStatus:
                OnLoadFinished(true, 0, QString());
                break;
              case QWebEngineLoadingInfo::LoadFailedStatus:
                OnLoadFinished(false,
                               info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                                   ? info.errorCode()
                                   : 0,
                               info.errorString());
                break;
              default:
                break;
            }
          });
  connect(page_.get(), &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            if (status == QWebEnginePage::NormalTerminationStatus) return;
            Finish({false, false, {},
                    QStringLiteral("the browser's page process ended unexpectedly (it may have "
                                   "run out of memory)")});
          });
  // Credentials are given once: a second request means they were refused.
  auto give_credentials = [this, given = std::make_shared<bool>(false)](QAuthenticator* auth) {
    if (options_.user.isEmpty() || *given) {
      *auth = QAuthenticator();
      return;
    }
    *given = true;
    auth->setUser(options_.user);
    auth->setPassword(options_.password);
  };
  connect(page_.get(), &QWebEnginePage::authenticationRequired, this,
          [give_credentials](const QUrl&, QAuthenticator* auth) { give_credentials(auth); });
  connect(page_.get(), &QWebEnginePage::proxyAuthenticationRequired, this,
          [give_credentials](const QUrl&, QAuthenticator* auth, const QString&) {
            give_credentials(auth);
          });

  poll_ = new QTimer(this);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, &CPageRender::Poll);
  limit_ = new QTimer(this);
  limit_->setSingleShot(true);
  connect(limit_, &QTimer::timeout, this, [this] {
    if (finished_) return;
    if (!loaded_) {
      Finish({false, false, {},
              QStringLiteral("the page did not finish loading within %1 s")
                  .arg(options_.time_limit_ms / 1000.0)});
    } else if (!taking_) {
      TakeDocument(false);
    } else {
      Finish({false, false, {}, QStringLiteral("the browser did not hand over the page in time")});
    }
  });
  limit_->start(options_.time_limit_ms);
  page_->load(options_.url);
}

void CPageRender::OnLoadFinished(bool ok, int http_status, const QString& error) {
  if (finished_ || taking_) return;
  if (!ok) {
    if (page_->refused_file()) {
      Finish({false, false, {}, QStringLiteral("the page led to a file:// address, which is read "
                                               "only when named as a file")});
      return;
    }
    if (http_status > 0) {
      const std::string reason = OneLineReason(DescribeRetrievalError(kErrorKindHttp,
                                                                      static_cast<uint32_t>(http_status)));
      Finish({false, false, {},
              QStringLiteral("the server answered %1: %2").arg(http_status).arg(QString::fromStdString(reason))});
      return;
    }
    Finish({false, false, {},
            error.isEmpty() ? QStringLiteral("the browser could not load the page")
                            : QStringLiteral("the browser could not load the page (%1)").arg(error)});
    return;
  }
  // A page loaded after a refused navigation stays the page first loaded.
  loaded_ = true;
  if (!poll_->isActive()) poll_->start();
}

void CPageRender::Poll() {
  if (finished_ || taking_ || !loaded_) return;
  page_->runJavaScript(QString::fromLatin1(kQuietScript), QWebEngineScript::ApplicationWorld,
                       [this](const QVariant& quiet) {
                         if (finished_ || taking_) return;
                         bool number = false;
                         const double ms = quiet.toDouble(&number);
                         if (number && ms >= options_.quiet_ms) TakeDocument(true);
                       });
}

void CPageRender::TakeDocument(bool settled) {
  taking_ = true;
  poll_->stop();
  // The hand-over gets a little time of its own beyond the limit.
  limit_->start(std::max(2000, options_.quiet_ms * 4));
  page_->toHtml([this, settled](const QString& html) {
    if (finished_) return;
    Finish({true, settled, html, {}});
  });
}

void CPageRender::Finish(RenderOutcome outcome) {
  if (finished_) return;
  finished_ = true;
  if (poll_ != nullptr) poll_->stop();
  if (limit_ != nullptr) limit_->stop();
  if (done_) done_(outcome);
}

}  // namespace quarry
