// CViewWebBrowser: the Web Browser sub-view, in which the user finds the
// page whose tables are wanted. It hosts the embedded browser, an address
// box with Go, Parse and "Parse as shown", a progress bar and, on its left,
// the favourites tree. Parse hands the address of the page shown to the
// Table Results view through the main view; the results view fetches and
// parses it itself. "Parse as shown" (and Parse, when the Configurations
// view says "Parse reads: the page as shown") hands over the page as the
// browser shows it instead: after its scripts ran, with the user's session.
// It also marks the table the results view points at (page_marker.h).
//
// Because the parse reads the page itself, Parse does not depend on the
// browser managing to show it. Parse stays usable, and a strip over the
// browser (with the same sentence in the status bar) says why nothing is
// shown, when
//   - the address is one the browser cannot show (ftp://),
//   - the browser's page process ended (offering "Reload"),
//   - a local page is larger than the browser can reasonably show; such a
//     page is not handed to the browser at all (offering "Show Anyway").
// A page still loading after the load patience (5 s) can be parsed too:
// the browser may take minutes and gigabytes over a huge page.

#ifndef QUARRY_APP_VIEW_WEB_BROWSER_H_
#define QUARRY_APP_VIEW_WEB_BROWSER_H_

#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "app/sub_view_pages.h"
#include "app/table_in_page.h"
#include "framework/dialog_template.h"

class QLineEdit;
class QUrl;
class QProgressBar;
class QResizeEvent;
class QTimer;

namespace quarry {

class CBrowserNotice;
class CExplorer;
class CFavoritesBuilder;
class CKsButtonCtrl;
class CKsStaticCtrl;
class CTreeCtrlExt;

// Sets what the embedded browser needs in its environment, unless the
// environment already says otherwise: no sandbox when running as root
// (it cannot start there), and no GPU when there is no screen to draw on
// (the offscreen platform) or when `no_gpu` is set. Harmless to call more
// than once; has an effect only before the first browser is made.
void PrepareBrowserEnvironment(bool no_gpu);

class CViewWebBrowser : public CSubViewPage {
  Q_OBJECT

 public:
  // Control ids of template 410.
  static constexpr int kTemplateId = 410;
  static constexpr int kIdTree = 1015;
  static constexpr int kIdBrowser = 1012;
  static constexpr int kIdProgress = 1003;
  static constexpr int kIdAddressLabel = 6180;
  static constexpr int kIdAddress = 1044;
  static constexpr int kIdGo = 1016;
  static constexpr int kIdParse = 1022;
  static constexpr int kIdParseShown = 1023;
  // How long the browser may take to hand over the page it shows.
  static constexpr int kShownPageTimeLimitMs = 15000;
  // Timer 12 ends the window in which pop-ups are allowed after a right
  // click in the browser.
  static constexpr uintptr_t kPopupTimer = 12;
  static constexpr unsigned kPopupWindowMs = 15000;
  // How long a page may load before Parse stops waiting for the browser.
  static constexpr int kLoadPatienceMs = 5000;
  // Local pages larger than this are not handed to the browser unless the
  // user asks: it needs about seventy times a page's size in memory and a
  // second or more per megabyte to lay it out.
  static constexpr int64_t kLargestShownPage = 8 * 1024 * 1024;

  // Template 410 (369 x 219 dialog units) without the tree, the browser
  // and the progress bar, which the view makes in code.
  static DialogTemplate Template();

  // Every control made, placed at its template place and wired; Parse
  // stays disabled until a page has loaded. Shows the wait cursor until
  // the favourites are loaded.
  CViewWebBrowser();
  ~CViewWebBrowser() override;

  QString Caption() const override;
  int CommandId() const override;
  std::vector<QWidget*> Panes() override;

  // Once only (a later call returns true at once): lays the view over the
  // content area, registers it with the hub and puts the focus in the
  // address box.
  bool Init(CQuarryView* view, QWidget* content_area,
            CAppSettings* settings) override;

  // The builder that knows the addresses of the tree's favourites; owned
  // by the main view, which keeps it alive as long as this view. Null
  // (the default) makes favourite clicks do nothing.
  void SetFavoritesBuilder(CFavoritesBuilder* builder) { favorites_ = builder; }
  CFavoritesBuilder* FavoritesBuilder() const { return favorites_; }

  // Puts `address` in the address box and does what Go does.
  void Navigate(const QString& address);

  // Go: marks the navigation good until the browser says otherwise,
  // disables Parse and opens the address box's text. An empty box does
  // nothing. A local page over the size limit is not opened: Parse is
  // enabled for it at once and the notice offers to show it anyway.
  void Go();

  // Parse: posts WM_PARSE_PAGE to the main view with a pointer to a
  // std::string holding the address of the page shown, and disables Go and
  // Parse until WM_PARSE_DONE. The string stays unchanged until then. Does
  // nothing while Parse is disabled.
  void Parse();

  // "Parse as shown": reads the page as the browser shows it (within the
  // time limit) and posts WM_PARSE_PAGE with it, disabling Go and both
  // Parse buttons until WM_PARSE_DONE. Does nothing while "Parse as shown"
  // is disabled: it needs a page that the browser shows and has loaded.
  void ParseAsShown();
  // Whether the browser shows the page at the current address, loaded.
  bool IsPageShown() const { return page_shown_; }

  // Marks the table `table` names in the page shown, or takes the mark
  // off; with `report`, says in the status bar (and over the page when it
  // could not) what it found. A page other than the one the table came
  // from is never marked.
  void ShowTableInPage(const TableInPage& table, bool report);

  // Presses Parse once the page being opened can be parsed: when it has
  // loaded, failed in a way the parse can still read, lost its renderer or
  // outlasted the load patience; at once when no page is loading and Parse
  // is enabled. For starting with an address to parse.
  void ParseWhenLoaded();

  // The address of the page shown (as the browser last reported it, or as
  // last sent to the browser).
  QString CurrentAddress() const { return QString::fromStdString(current_address_); }

  // Whether the favourites tree is wanted (the favourites fill mode). A
  // wanted tree is shown only once it holds favourites: an empty pane
  // gives its width to the page. The browser takes over the tree's width
  // while it is hidden.
  void ShowTree(bool show);
  bool IsTreeShown() const { return tree_shown_; }
  bool IsTreeWanted() const { return tree_wanted_; }

  // What a right click in the browser does: allows pop-ups and (re)arms
  // timer 12, which blocks them again.
  void AllowPopupsForAWhile();
  bool PopupsAllowed() const { return popups_allowed_; }
  bool FavoritesLoaded() const { return favorites_loaded_; }
  bool NavigationOk() const { return navigation_ok_; }
  // Whether a navigation started by Go has not ended yet.
  bool IsLoading() const { return loading_; }

  // For tests: shorter patience and a smaller size limit. A load under
  // way waits the new patience from now.
  void SetLoadPatience(int ms);
  void SetLargestShownPage(int64_t bytes) { largest_shown_page_ = bytes; }
  void SetShownPageTimeLimit(int ms) { shown_page_time_limit_ = ms; }

  // The step that would send the usage record before a navigation, when
  // the program has one. Empty by default.
  void SetUsageFeedback(std::function<void()> feedback) {
    usage_feedback_ = std::move(feedback);
  }

  CExplorer* Explorer() const { return explorer_; }
  CTreeCtrlExt* Tree() const { return tree_; }
  QProgressBar* Progress() const { return progress_; }
  QLineEdit* AddressBox() const { return address_box_; }
  CKsButtonCtrl* GoButton() const { return go_; }
  CKsButtonCtrl* ParseButton() const { return parse_; }
  CKsButtonCtrl* ParseShownButton() const { return parse_shown_; }
  CBrowserNotice* Notice() const { return notice_; }
  // The last sentence this view put in the frame's status bar; empty once
  // a new navigation has cleared it.
  const QString& StatusText() const { return status_text_; }

 signals:
  // Parse posted WM_PARSE_PAGE for `address`.
  void parseRequested(const QString& address);
  // A page finished loading (after the view updated its controls).
  void pageLoaded(const QString& address);
  // A table mark was asked for and has been answered: whether it was
  // marked, and what the view said (empty when it was not to report).
  void tableMarkAnswered(bool marked, const QString& said);

 protected:
  void OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Starts a navigation to `address`, refusing local pages over the size
  // limit unless `any_size`.
  void Open(const QString& address, bool any_size);
  // Ends the navigation under way: Parse enabled when it can be parsed,
  // the address box showing `shown` (when known), a pending parse pressed.
  void EndNavigation(const QString& shown);
  // Makes `address` (when not empty) the page to parse, and Parse usable
  // unless the navigation failed or a parse runs.
  void OfferParse(const QString& address);
  // Presses Parse when ParseWhenLoaded() asked for it.
  void PressPendingParse();
  // Posts WM_PARSE_PAGE for the current address, with the page as shown
  // when `shown` is not null; false when nobody will answer.
  bool PostParse(const QString* shown);
  // "Parse as shown" is usable exactly when Parse is and the page is shown.
  void SyncParseShown();
  // The address the navigation under way has reached, else asked for.
  QString LoadingAddress() const;
  void OnDocumentComplete(const QString& location);
  void OnAddressNotShown(const QUrl& url);
  void OnRendererTerminated();
  void OnLoadOutlastsPatience();
  void OnFavoriteClicked(uintptr_t command);
  // What Enter does in the favourites tree: opens the favourite in focus,
  // else does what Go does.
  void OnTreeEnter();
  void Explain(const QString& text, const QString& action = QString());
  void ShowStatus(const QString& text);
  void ClearStatus();
  void PlaceNotice();
  void ApplyGrowth(int dx, int dy);

  CExplorer* explorer_ = nullptr;
  CTreeCtrlExt* tree_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLineEdit* address_box_ = nullptr;
  CKsStaticCtrl* address_label_ = nullptr;
  CKsButtonCtrl* go_ = nullptr;
  CKsButtonCtrl* parse_ = nullptr;
  CKsButtonCtrl* parse_shown_ = nullptr;
  CBrowserNotice* notice_ = nullptr;
  QTimer* patience_ = nullptr;
  CFavoritesBuilder* favorites_ = nullptr;

  std::string current_address_;
  // The string WM_PARSE_PAGE points at: a copy taken when Parse was
  // pressed, so that pages loading meanwhile cannot change it under the
  // reader.
  std::string parse_address_;
  // The page as shown that WM_PARSE_PAGE points at, kept likewise.
  QString parse_document_;
  int shown_page_time_limit_ = kShownPageTimeLimitMs;
  int shown_read_ = 0;  // counts reads of the page shown; the newest counts
  bool page_shown_ = false;
  bool mark_notice_ = false;  // the notice over the page is about a mark
  // The address the navigation under way asked for (as the browser reads
  // it), and the one it reached once the browser committed to it.
  QString requested_address_;
  QString committed_address_;
  QString status_text_;
  int64_t largest_shown_page_ = kLargestShownPage;
  bool navigation_ok_ = false;
  bool loading_ = false;
  bool popups_allowed_ = false;
  bool favorites_loaded_ = false;
  bool parsing_ = false;
  bool parse_when_loaded_ = false;
  bool tree_shown_ = true;
  bool tree_wanted_ = true;
  void PlaceTree(bool show);
  // The size the controls are laid out for; growth is measured from it.
  QSize laid_out_size_;
  std::function<void()> usage_feedback_;
};

}  // namespace quarry

#endif  // QUARRY_APP_VIEW_WEB_BROWSER_H_
