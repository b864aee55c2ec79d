#include "app/view_web_browser.h"

#include <stdlib.h>
#include <unistd.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/app_settings.h"
#include "app/browser_notice.h"
#include "app/explorer.h"
#include "app/main_frame.h"
#include "app/retrieval_prompts.h"
#include "app/favorites/favorites_builder.h"
#include "framework/byte_text.h"
#include "framework/command_ids.h"
#include "framework/ks_controls.h"
#include "framework/tree_ctrl_ext.h"
#include "platform/window_message.h"
#include "web/web_address.h"

namespace quarry {

namespace {

// Template 410 in dialog units.
constexpr int kTemplateWidth = 369;
constexpr int kTemplateHeight = 219;
constexpr QRect kTreeUnits(0, 0, 114, 191);
constexpr QRect kBrowserUnits(114, 1, 255, 190);
constexpr QRect kProgressUnits(0, 191, 369, 7);
constexpr QRect kLabelUnits(4, 205, 54, 8);
constexpr QRect kAddressUnits(59, 203, 127, 13);
constexpr QRect kGoUnits(190, 202, 44, 14);
constexpr QRect kParseUnits(238, 202, 44, 14);
constexpr QRect kParseShownUnits(286, 202, 76, 14);

constexpr int kHttpNotFound = 404;

void Grow(QWidget* widget, int dx, int dy) {
  widget->resize(std::max(0, widget->width() + dx), std::max(0, widget->height() + dy));
}

void Move(QWidget* widget, int dx, int dy) { widget->move(widget->pos() + QPoint(dx, dy)); }

// The favourite command the builder filed under a tree item; 0 for
// folders and for no item.
uintptr_t CommandOf(const QTreeWidgetItem* item) {
  if (item == nullptr) return 0;
  return static_cast<uintptr_t>(
      item->data(0, CFavoritesBuilder::kCommandRole).toULongLong());
}

bool IsEnterKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The size of the local file `address` names, or -1 when it names no
// regular file here (web addresses, folders, devices, missing files).
int64_t LocalPageSize(const QString& address) {
  const QUrl url = QUrl::fromUserInput(address);
  if (!url.isLocalFile()) return -1;
  const QFileInfo file(url.toLocalFile());
  return file.isFile() ? file.size() : -1;
}

}  // namespace

void PrepareBrowserEnvironment(bool no_gpu) {
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", /*overwrite=*/0);
  const char* platform = getenv("QT_QPA_PLATFORM");
  const bool offscreen = platform != nullptr && std::string_view(platform) == "offscreen";
  if (no_gpu || offscreen) {
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking",
           /*overwrite=*/0);
  }
}

DialogTemplate CViewWebBrowser::Template() {
  return DialogTemplate{
      kTemplateId,
      QStringLiteral("Web Browser View"),
      kTemplateWidth,
      kTemplateHeight,
      {
          {kIdAddressLabel, DialogItemKind::kLabel, kLabelUnits,
           QStringLiteral("Web Address:")},
          {kIdAddress, DialogItemKind::kEdit, kAddressUnits, QString(),
           QStringLiteral("Web Address")},
          {kIdGo, DialogItemKind::kPushButton, kGoUnits, QStringLiteral("Go")},
          {kIdParse, DialogItemKind::kPushButton, kParseUnits, QStringLiteral("Parse")},
          {kIdParseShown, DialogItemKind::kPushButton, kParseShownUnits,
           QStringLiteral("Parse as shown")},
      }};
}

CViewWebBrowser::CViewWebBrowser()
    : CSubViewPage(Template()) {
  tree_ = new CTreeCtrlExt(this);
  tree_->setObjectName(ControlObjectName(kIdTree));
  tree_->setProperty(kControlIdProperty, kIdTree);
  tree_->setAccessibleName(QStringLiteral("Favorites"));
  tree_->setGeometry(MapDialogRect(kTreeUnits));

  // Programs that forgot to prepare the browser (tests among them) would
  // otherwise lose it at its first page as root.
  PrepareBrowserEnvironment(/*no_gpu=*/false);
  explorer_ = new CExplorer(this);
  explorer_->setObjectName(ControlObjectName(kIdBrowser));
  explorer_->setProperty(kControlIdProperty, kIdBrowser);
  explorer_->setGeometry(MapDialogRect(kBrowserUnits));

  progress_ = new QProgressBar(this);
  progress_->setObjectName(ControlObjectName(kIdProgress));
  progress_->setProperty(kControlIdProperty, kIdProgress);
  progress_->setAccessibleName(QStringLiteral("Loading progress"));
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setGeometry(MapDialogRect(kProgressUnits));

  address_label_ = CKsStaticCtrl::FromTemplate(this, kIdAddressLabel);
  address_box_ = ControlAs<QLineEdit>(kIdAddress);
  go_ = CKsButtonCtrl::FromTemplate(this, kIdGo);
  parse_ = CKsButtonCtrl::FromTemplate(this, kIdParse);
  parse_shown_ = CKsButtonCtrl::FromTemplate(this, kIdParseShown);
  go_->SetToolTip(QStringLiteral("Click to Go to the Web Address"));
  parse_->SetToolTip(QStringLiteral("Click to Parse the Web Page"));
  parse_shown_->SetToolTip(QStringLiteral(
      "Click to Parse the Web Page as shown here, after its scripts ran and with your "
      "sign-in (Ctrl+Shift+P)"));
  address_label_->SetToolTip(QStringLiteral("The address of the Web Page to show"));
  // Nothing to parse before a page has loaded.
  parse_->SetEnabled(false);
  parse_shown_->SetEnabled(false);
  // Enter presses the button in focus, as Space does.
  go_->Button()->setAutoDefault(true);
  parse_->Button()->setAutoDefault(true);
  parse_shown_->Button()->setAutoDefault(true);
  auto* parse_shown_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this,
                                        nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(parse_shown_key, &QShortcut::activated, this, &CViewWebBrowser::ParseAsShown);

  notice_ = new CBrowserNotice(this);
  connect(notice_, &CBrowserNotice::actionTriggered, this, [this] {
    if (go_->IsEnabled()) Open(QString::fromStdString(current_address_), /*any_size=*/true);
  });
  patience_ = new QTimer(this);
  patience_->setSingleShot(true);
  patience_->setInterval(kLoadPatienceMs);
  connect(patience_, &QTimer::timeout, this, &CViewWebBrowser::OnLoadOutlastsPatience);

  // Tab order: the favourites, the notice over the page when shown, the
  // page, then the address and its buttons.
  setTabOrder(tree_, notice_->ActionButton());
  setTabOrder(notice_->ActionButton(), notice_->CloseButton());
  setTabOrder(notice_->CloseButton(), explorer_);
  setTabOrder(explorer_, address_box_);
  setTabOrder(address_box_, go_->Widget());
  setTabOrder(go_->Widget(), parse_->Widget());
  setTabOrder(parse_->Widget(), parse_shown_->Widget());
  laid_out_size_ = MapDialogRect(QRect(0, 0, kTemplateWidth, kTemplateHeight)).size();
  resize(laid_out_size_);

  // Enter in the address box and in the tree is Go and goes no further
  // (the dialog would take it for its default button).
  address_box_->installEventFilter(this);
  tree_->installEventFilter(this);
  connect(go_, &CKsControlHost::clicked, this, [this](int) { Go(); });
  connect(parse_, &CKsControlHost::clicked, this, [this](int) { Parse(); });
  connect(parse_shown_, &CKsControlHost::clicked, this, [this](int) { ParseAsShown(); });

  // A page behind a password asks over the window, and what the user gives
  // serves the parse of that page too.
  explorer_->SetCredentialsProvider([this](const QUrl& url, const QString& realm, bool proxy,
                                           QString* user, QString* password) {
    auto* frame = qobject_cast<CMainFrame*>(window());
    if (frame == nullptr || frame->Prompts() == nullptr) return false;
    const CRetrievalPrompts::Answer answer =
        frame->Prompts()->AskHere(url.toString(), realm, proxy);
    if (!answer) return false;
    *user = answer->first;
    *password = answer->second;
    return true;
  });
  connect(explorer_, &CExplorer::progressChanged, this, [this](int progress, int maximum) {
    progress_->setRange(0, std::max(0, maximum));
    progress_->setValue(std::clamp(progress, 0, std::max(0, maximum)));
  });
  connect(explorer_, &CExplorer::navigationError, this, [this](int status) {
    // A "not found" page is still a page, and may hold tables.
    if (status != kHttpNotFound) navigation_ok_ = false;
  });
  connect(explorer_, &CExplorer::documentComplete, this, &CViewWebBrowser::OnDocumentComplete);
  connect(explorer_, &CExplorer::addressNotShown, this, &CViewWebBrowser::OnAddressNotShown);
  connect(explorer_, &CExplorer::rendererTerminated, this,
          [this] { OnRendererTerminated(); });
  connect(explorer_, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
    if (loading_ && !url.isEmpty()) committed_address_ = url.toString();
  });
  // Whatever a notice said is about the page before; the page being
  // loaded is not shown until it has loaded.
  connect(explorer_, &QWebEngineView::loadStarted, this, [this] {
    notice_->hide();
    mark_notice_ = false;
    ClearStatus();
    page_shown_ = false;
    SyncParseShown();
  });
  connect(explorer_, &CExplorer::newWindowRequested, this, [this](bool* cancel) {
    const bool shift =
        QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    *cancel = !(popups_allowed_ || shift);
  }, Qt::DirectConnection);
  connect(explorer_, &CExplorer::rightButtonPressed, this,
          &CViewWebBrowser::AllowPopupsForAWhile);
  connect(tree_, &CTreeCtrlExt::selectionChangedByMouse, this,
          [this](uintptr_t, QTreeWidgetItem* item) { OnFavoriteClicked(CommandOf(item)); });

  setCursor(Qt::WaitCursor);
}

CViewWebBrowser::~CViewWebBrowser() {
  // Timer 12 must not reach a view that is gone.
  platform::KillTimer(Handle(), kPopupTimer);
}

QString CViewWebBrowser::Caption() const { return QStringLiteral("Web Browser View"); }

int CViewWebBrowser::CommandId() const { return cmd::kWebBrowser; }

std::vector<QWidget*> CViewWebBrowser::Panes() {
  std::vector<QWidget*> panes;
  if (tree_shown_) panes.push_back(tree_);
  if (notice_->isVisible()) panes.push_back(notice_);
  panes.push_back(explorer_);
  panes.push_back(address_box_);
  return panes;
}

bool CViewWebBrowser::Init(CQuarryView* view, QWidget* content_area,
                           CAppSettings* settings) {
  if (IsInitialised()) return true;
  const bool registered = CSubViewPage::Init(view, content_area, settings);
  address_box_->setFocus(Qt::OtherFocusReason);
  return registered;
}

// ---- Go and Parse ----

void CViewWebBrowser::Navigate(const QString& address) {
  address_box_->setText(address);
  Go();
}

void CViewWebBrowser::Go() { Open(address_box_->text().trimmed(), /*any_size=*/false); }

void CViewWebBrowser::Open(const QString& address, bool any_size) {
  // An empty address would leave Parse disabled with no page to wait for.
  if (address.isEmpty()) return;
  navigation_ok_ = true;
  page_shown_ = false;
  parse_->SetEnabled(false);
  SyncParseShown();
  if (usage_feedback_) usage_feedback_();
  current_address_ = address.toStdString();
  notice_->hide();
  ClearStatus();

  const int64_t size = any_size ? -1 : LocalPageSize(address);
  if (size > largest_shown_page_) {
    // The page shown before stays; the parse reads the file itself.
    loading_ = false;
    Explain(QStringLiteral("This page is %1, more than the browser can show well. Parse can "
                           "still read its tables.")
                .arg(QLocale().formattedDataSize(size)),
            QStringLiteral("Show Anyway"));
    EndNavigation(QUrl::fromUserInput(address).toString());
    return;
  }
  loading_ = true;
  requested_address_ = QUrl::fromUserInput(address).toString();
  committed_address_.clear();
  patience_->start();
  explorer_->Navigate(address);
}

void CViewWebBrowser::ParseWhenLoaded() {
  if (!loading_ && parse_->IsEnabled()) {
    Parse();
  } else {
    parse_when_loaded_ = true;
  }
}

void CViewWebBrowser::SetLoadPatience(int ms) { patience_->setInterval(ms); }

void CViewWebBrowser::Parse() {
  if (!parse_->IsEnabled() || current_address_.empty()) return;
  // Parse reads the page as shown when the user chose so; a page that the
  // browser does not show is downloaded all the same.
  if (settings_ != nullptr && settings_->GetParsePageAsShown() != 0 && page_shown_) {
    ParseAsShown();
    return;
  }
  parse_address_ = current_address_;
  PostParse(nullptr);
}

bool CViewWebBrowser::PostParse(const QString* shown) {
  if (settings_ == nullptr ||
      !settings_->PostToOwner(platform::WM_PARSE_PAGE,
                              reinterpret_cast<uintptr_t>(&parse_address_),
                              reinterpret_cast<intptr_t>(shown))) {
    // Nobody will answer with WM_PARSE_DONE: keep the buttons usable.
    return false;
  }
  parsing_ = true;
  go_->SetEnabled(false);
  parse_->SetEnabled(false);
  parse_shown_->SetEnabled(false);
  notice_->SetActionEnabled(false);
  emit parseRequested(QString::fromStdString(parse_address_));
  return true;
}

void CViewWebBrowser::ParseAsShown() {
  if (!parse_shown_->IsEnabled() || current_address_.empty()) return;
  // The buttons stay off while the browser hands the page over.
  parsing_ = true;
  go_->SetEnabled(false);
  parse_->SetEnabled(false);
  parse_shown_->SetEnabled(false);
  notice_->SetActionEnabled(false);
  ShowStatus(QStringLiteral("Reading the page as shown\u2026"));
  const int read = ++shown_read_;
  const std::string address = current_address_;
  explorer_->ReadShownPage(
      shown_page_time_limit_,
      [this, read, address](bool ok, const QString& document, const QString& reason) {
        if (read != shown_read_) return;
        if (ok) {
          parse_address_ = address;
          parse_document_ = document;
          if (PostParse(&parse_document_)) return;
          parse_document_.clear();
        }
        parsing_ = false;
        go_->SetEnabled(true);
        notice_->SetActionEnabled(true);
        parse_->SetEnabled(navigation_ok_ && !current_address_.empty());
        SyncParseShown();
        if (!ok) ShowStatus(reason);
      });
}

void CViewWebBrowser::SyncParseShown() {
  parse_shown_->SetEnabled(parse_->IsEnabled() && page_shown_);
}

void CViewWebBrowser::ShowTableInPage(const TableInPage& table, bool report) {
  if (table.clear) {
    explorer_->ClearTableMark();
    if (mark_notice_) notice_->hide();
    mark_notice_ = false;
    return;
  }
  const auto tell = [this](const QString& text) {
    Explain(text);
    mark_notice_ = true;
  };
  const QString parsed = QString::fromStdString(table.address);
  if (!page_shown_ || !SamePage(parsed, explorer_->LocationURL())) {
    // Whatever the browser shows now, it is not that page: a table there
    // would be the wrong one.
    explorer_->ClearTableMark();
    QString said;
    if (report) {
      said = page_shown_ || !SamePage(parsed, QString::fromStdString(current_address_))
                 ? QStringLiteral("The page shown is not the page %1 comes from (%2). Go back "
                                  "to that page to see the table marked.")
                       .arg(table.name, TextFromBytes(DisplayAddress(table.address)))
                 : QStringLiteral("The browser does not show the page %1 comes from, so the "
                                  "table cannot be marked in it.")
                       .arg(table.name);
      tell(said);
    }
    emit tableMarkAnswered(false, said);
    return;
  }
  explorer_->MarkTable(
      table.position, table.key,
      [this, report, tell, name = table.name, as_shown = table.parsed_as_shown](
          const MarkResult& result) {
        QString said;
        if (result.marked) {
          if (mark_notice_) notice_->hide();
          mark_notice_ = false;
          if (report) {
            said = QStringLiteral("%1 is marked in the page").arg(name);
            ShowStatus(said);
          }
        } else if (report) {
          said = QStringLiteral("%1 is not in the page as it is shown now: the page has "
                                "changed since its tables were read.")
                     .arg(name);
          if (!as_shown) {
            said += QStringLiteral(" They were read from the downloaded page; \"Parse as "
                                   "shown\" reads the page as the browser shows it.");
          }
          tell(said);
        }
        emit tableMarkAnswered(result.marked, said);
      });
}

// ---- Browser events ----

void CViewWebBrowser::EndNavigation(const QString& shown) {
  loading_ = false;
  patience_->stop();
  OfferParse(shown);
  progress_->setValue(0);
  emit pageLoaded(shown);
  PressPendingParse();
}

void CViewWebBrowser::OfferParse(const QString& address) {
  if (!address.isEmpty()) {
    current_address_ = address.toStdString();
    address_box_->setText(address);
  }
  if (navigation_ok_ && !parsing_) parse_->SetEnabled(true);
  SyncParseShown();
}

void CViewWebBrowser::PressPendingParse() {
  if (!parse_when_loaded_) return;
  parse_when_loaded_ = false;
  Parse();  // does nothing when the page cannot be parsed
}

QString CViewWebBrowser::LoadingAddress() const {
  return committed_address_.isEmpty() ? requested_address_ : committed_address_;
}

void CViewWebBrowser::OnDocumentComplete(const QString& location) {
  ClearStatus();  // "still loading" is over
  // A failed navigation shows the browser's error page, not the page.
  page_shown_ = navigation_ok_;
  EndNavigation(location.isEmpty() ? explorer_->LocationURL() : location);
}

void CViewWebBrowser::OnAddressNotShown(const QUrl& url) {
  // Typed or a link in a page: either way it is now the page to parse.
  navigation_ok_ = true;
  page_shown_ = false;
  Explain(QStringLiteral("The browser cannot show %1:// pages. Parse can still read the "
                         "page's tables.")
              .arg(url.scheme().toLower()));
  EndNavigation(url.toString());
}

void CViewWebBrowser::OnRendererTerminated() {
  // The page was not at fault as far as anyone knows; the parse downloads
  // it afresh and may well read it.
  navigation_ok_ = true;
  page_shown_ = false;
  const QString shown = loading_ ? LoadingAddress() : explorer_->LocationURL();
  Explain(QStringLiteral("The browser stopped showing this page: its page process ended "
                         "unexpectedly (it may have run out of memory). Parse can still "
                         "read its tables."),
          QStringLiteral("Reload"));
  EndNavigation(shown);
}

void CViewWebBrowser::OnLoadOutlastsPatience() {
  if (!loading_) return;
  // The browser goes on loading; the parse need not wait for it.
  OfferParse(LoadingAddress());
  ShowStatus(QStringLiteral("The page is still loading. Parse can read its tables already."));
  PressPendingParse();
}

void CViewWebBrowser::Explain(const QString& text, const QString& action) {
  notice_->Show(text, action);
  notice_->SetActionEnabled(go_->IsEnabled());
  PlaceNotice();
  ShowStatus(text);
}

void CViewWebBrowser::ShowStatus(const QString& text) {
  status_text_ = text;
  ShowStatusMessage(this, text);
}

void CViewWebBrowser::ClearStatus() {
  ClearStatusMessage(this, status_text_);
  status_text_.clear();
}

void CViewWebBrowser::PlaceNotice() {
  const QRect area = explorer_->geometry();
  const int height = std::min(area.height(), notice_->heightForWidth(area.width()));
  notice_->setGeometry(area.x(), area.y(), area.width(), height);
}

void CViewWebBrowser::AllowPopupsForAWhile() {
  popups_allowed_ = true;
  platform::SetTimer(Handle(), kPopupTimer, kPopupWindowMs);
}

void CViewWebBrowser::OnFavoriteClicked(uintptr_t command) {
  if (!IsInitialised() || favorites_ == nullptr || command == 0) return;
  const std::string address = favorites_->AddressOf(static_cast<int>(command));
  if (!address.empty()) Navigate(QString::fromStdString(address));
}

void CViewWebBrowser::OnTreeEnter() {
  const uintptr_t command = CommandOf(tree_->currentItem());
  // The keyboard's way of choosing a favourite, as a click chooses one.
  if (command != 0 && IsInitialised() && favorites_ != nullptr &&
      !favorites_->AddressOf(static_cast<int>(command)).empty()) {
    OnFavoriteClicked(command);
  } else {
    Go();
  }
}

void CViewWebBrowser::OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case platform::WM_PARSE_DONE:
      parsing_ = false;
      parse_document_.clear();  // read by now
      go_->SetEnabled(true);
      notice_->SetActionEnabled(true);
      // A page whose navigation failed meanwhile stays unparseable.
      parse_->SetEnabled(navigation_ok_ && !current_address_.empty());
      SyncParseShown();
      break;
    case platform::WM_SHOW_TABLE_IN_PAGE:
      if (wparam != 0) {
        ShowTableInPage(*reinterpret_cast<const TableInPage*>(wparam), lparam != 0);
      }
      break;
    case platform::WM_FAVORITES_LOADED:
      favorites_loaded_ = true;
      unsetCursor();
      PlaceTree(tree_wanted_ && tree_->GetCount() > 0);
      break;
    case platform::WM_TIMER:
      if (wparam == kPopupTimer) {
        platform::KillTimer(Handle(), kPopupTimer);
        popups_allowed_ = false;
      }
      break;
    default:
      break;
  }
}

bool CViewWebBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == address_box_ && IsEnterKey(event)) {
    Go();
    return true;
  }
  if (watched == tree_ && IsEnterKey(event)) {
    OnTreeEnter();
    return true;
  }
  return CSubViewPage::eventFilter(watched, event);
}

// ---- Layout ----

void CViewWebBrowser::ShowTree(bool show) {
  tree_wanted_ = show;
  PlaceTree(show && tree_->GetCount() > 0);
}

void CViewWebBrowser::PlaceTree(bool show) {
  if (show == tree_shown_) return;
  tree_shown_ = show;
  const int width = tree_->width();
  QRect browser = explorer_->geometry();
  if (show) {
    browser.setLeft(browser.left() + width);
  } else {
    browser.setLeft(browser.left() - width);
  }
  explorer_->setGeometry(browser);
  tree_->setVisible(show);
  PlaceNotice();
}

void CViewWebBrowser::resizeEvent(QResizeEvent* event) {
  CSubViewPage::resizeEvent(event);
  const QSize now = size();
  ApplyGrowth(now.width() - laid_out_size_.width(), now.height() - laid_out_size_.height());
  laid_out_size_ = now;
}

void CViewWebBrowser::ApplyGrowth(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  Move(go_->Widget(), dx, dy);
  Move(parse_->Widget(), dx, dy);
  Move(parse_shown_->Widget(), dx, dy);
  Move(progress_, 0, dy);
  Move(address_label_->Widget(), 0, dy);
  Move(address_box_, 0, dy);
  Grow(explorer_, dx, dy);
  Grow(tree_, 0, dy);
  Grow(progress_, dx, 0);
  Grow(address_box_, dx, 0);
  PlaceNotice();
}

}  // namespace quarry
