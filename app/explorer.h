// CExplorer: the embedded web browser of the Web Browser view, on Qt
// WebEngine. It reports what the view needs of a navigation (progress,
// errors with their HTTP status, completion with the final address), lets
// the view refuse or allow new windows, and can swallow the clicks that
// would open the browser's own menu or act on a double-click.
//
// Two endings the engine would otherwise leave unsaid are reported too: an
// ftp:// address, which the engine cannot show at all (it stops such a
// navigation without an error), and the end of the process that draws the
// page (out of memory, a fault, killed), after which the view stays blank.

#ifndef QUARRY_APP_EXPLORER_H_
#define QUARRY_APP_EXPLORER_H_

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QAuthenticator>
#include <QWebEnginePage>
#include <functional>
#include <QWebEngineView>

#include "app/page_marker.h"

class QWebEngineLoadingInfo;

namespace quarry {

// Call before the QApplication is made, in programs that embed a browser:
// shares OpenGL contexts as the browser wants and, when running as root
// (where the browser's sandbox cannot start), turns the sandbox off unless
// the environment already says otherwise.
void PrepareEmbeddedBrowser();

class CExplorer : public QWebEngineView {
  Q_OBJECT

 public:
  // Owned by `parent` (Qt ownership).
  explicit CExplorer(QWidget* parent = nullptr);
  ~CExplorer() override;

  // Starts loading `address`. Text without a scheme is taken as a web
  // address the way an address box would ("example.com" -> http://).
  void Navigate(const QString& address);

  // The address of the page shown (after redirects); empty before any.
  QString LocationURL() const;

  // Whether the engine can show pages at `url` at all: false for ftp://,
  // whose support it dropped (other tools may still read such pages).
  static bool CanShow(const QUrl& url);

  // Answers a server's (or, with `proxy`, the proxy's) request for a user
  // name and password while a page loads; false leaves the page
  // unauthenticated (the server's own answer is shown). Called on the
  // user-interface thread, which it may keep while the user types.
  using CredentialsProvider = std::function<bool(const QUrl& url, const QString& realm,
                                                 bool proxy, QString* user, QString* password)>;
  void SetCredentialsProvider(CredentialsProvider provider) {
    credentials_ = std::move(provider);
  }

  // Reads the page shown as its scripts have left it: the serialised
  // document, with whatever the user's session brought in. `done` is called
  // once on this thread, with the text or a reason, at the latest after
  // `time_limit_ms`; not at all when this object is gone by then.
  using ShownPageReader = std::function<void(bool ok, const QString& html, const QString& reason)>;
  void ReadShownPage(int time_limit_ms, ShownPageReader done);

  // Marks a table in the page shown (see page_marker.h), replacing any
  // earlier mark; `done` (may be empty) gets what was found, on this
  // thread, unless this object is gone by then.
  void MarkTable(int position, const TableTextKey& key,
                 std::function<void(const MarkResult&)> done);
  // Takes the mark off again.
  void ClearTableMark();

  // While set, right-button presses and double-clicks (either button) are
  // swallowed before they reach the page. Off by default.
  void SetBlockClicks(bool block) { block_clicks_ = block; }
  bool BlockClicks() const { return block_clicks_; }

  // Whether a new-window request goes ahead when no handler of
  // newWindowRequested() says otherwise. Off by default: pop-ups refused.
  void SetAllowNewWindows(bool allow) { allow_new_windows_ = allow; }
  bool AllowNewWindows() const { return allow_new_windows_; }

  // The windows opened for allowed new-window requests that are still
  // open. Each is a top-level CExplorer owned by this one (closed with it)
  // and deleted when the user closes it.
  QList<CExplorer*> PopupWindows() const;

  // Watches the widget that draws the page (it gets the mouse events).
  // Mouse moves over the page are sent on to the parent widget, the point
  // in the parent's coordinates; Qt hands moves without a pressed button
  // only to a parent that has mouse tracking on.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // Loading progress: `progress` out of `maximum`.
  void progressChanged(int progress, int maximum);
  // A navigation failed: the HTTP status when the server answered with an
  // error (404 ...), otherwise the browser's negative network error code
  // (never 404).
  void navigationError(int statusCode);
  // A navigation ended, successfully or not (after navigationError), with
  // the address shown.
  void documentComplete(const QString& location);
  // A navigation to `url`, an address CanShow() refuses, ended without
  // showing anything; the page shown before stays. Neither
  // navigationError nor documentComplete follows. Typed addresses and
  // links in pages both end here.
  void addressNotShown(const QUrl& url);
  // The process that draws the page ended unexpectedly (it crashed, ran
  // out of memory or was killed); the view shows nothing until the next
  // navigation. A load that was running ends here: neither navigationError
  // nor documentComplete follows (the page itself was not at fault).
  void rendererTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                          int exit_code);
  // The page asks for a new window. `*cancel` arrives set unless new
  // windows are allowed or Shift is held; a handler connected directly may
  // change it. When it stays false the page opens in a new window.
  void newWindowRequested(bool* cancel);
  // The right mouse button went down over the page (and was not
  // swallowed).
  void rightButtonPressed();

 protected:
  QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;
  bool event(QEvent* event) override;

 private:
  void OnLoadingChanged(const QWebEngineLoadingInfo& info);
  void OnAuthentication(const QUrl& url, QAuthenticator* authenticator, bool proxy);
  void WatchChild(QObject* child);

  void OnRendererTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                            int exit_code);

  CredentialsProvider credentials_;
  bool block_clicks_ = false;
  // The renderer died since the current load started; its failure is
  // then no navigation error.
  bool renderer_died_ = false;
  bool allow_new_windows_ = false;
  QList<QPointer<CExplorer>> popups_;
};

}  // namespace quarry

#endif  // QUARRY_APP_EXPLORER_H_
