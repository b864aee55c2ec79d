// CPageRender: loads one address in a headless browser page, waits for the
// page to settle and takes its document as the scripts left it.
//
// Settled means: the load has finished and the document has not changed
// for a quiet period. A page that keeps changing (a clock, a ticker) is
// taken as it stands when the time limit runs out, and says so; a page
// that has not finished loading by then is a failure. Everything happens
// in a private, off-the-record browser profile: no cookies, cache or
// storage of any user's browser are read or written.
//
// file:// addresses are refused, for the page itself and for anything it
// navigates to, unless files are allowed (the user named a file).

#ifndef QUARRY_TOOLS_RENDER_PAGE_RENDER_H_
#define QUARRY_TOOLS_RENDER_PAGE_RENDER_H_

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QTimer;
class QWebEngineProfile;

namespace quarry {

class CRenderPage;

struct RenderOptions {
  QUrl url;
  bool allow_files = false;
  int time_limit_ms = 30000;  // from the start to the document taken
  int quiet_ms = 750;         // no change for this long after the load
  // Credentials for a server (or proxy) that asks for them; used once.
  QString user;
  QString password;
};

// What a render brought back.
struct RenderOutcome {
  bool ok = false;
  bool settled = false;  // with ok: the page stopped changing in time
  QString html;          // with ok: the serialised document
  QString reason;        // without ok: one line, why not
};

class CPageRender : public QObject {
  Q_OBJECT

 public:
  explicit CPageRender(RenderOptions options, QObject* parent = nullptr);
  ~CPageRender() override;

  // Starts the load; `done` is called once, on this object's thread, when
  // the document is taken or the render has failed. Call once.
  void Start(std::function<void(const RenderOutcome&)> done);

 private:
  void OnLoadFinished(bool ok, int http_status, const QString& error);
  void Poll();
  void TakeDocument(bool settled);
  void Finish(RenderOutcome outcome);

  RenderOptions options_;
  std::function<void(const RenderOutcome&)> done_;
  QWebEngineProfile* profile_ = nullptr;  // owned; outlives page_
  std::unique_ptr<CRenderPage> page_;
  QTimer* poll_ = nullptr;
  QTimer* limit_ = nullptr;
  QElapsedTimer clock_;
  bool loaded_ = false;
  bool taking_ = false;
  bool finished_ = false;
};

}  // namespace quarry

#endif  // QUARRY_TOOLS_RENDER_PAGE_RENDER_H_
