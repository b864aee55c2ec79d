#include "app/quarry_view.h"

#include <QApplication>
#include <QDir>
#include <QResizeEvent>
#include <algorithm>
#include <memory>

#include "app/app_settings.h"
#include "app/favorites/favorites_builder.h"
#include "app/favorites/favorites_list.h"
#include "app/favorites/import_offer.h"
#include "app/main_frame.h"
#include "app/quarry_doc.h"
#include "app/sub_view_pages.h"
#include "app/view_configurations.h"
#include "app/view_table_results.h"
#include "app/view_web_browser.h"
#include "framework/caption_bar.h"
#include "framework/command_ids.h"
#include "framework/dialog_font.h"
#include "framework/dialog_units.h"
#include "framework/msgbox/app_message_box.h"
#include "framework/qt_colour.h"
#include "framework/tree_ctrl_ext.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

using platform::WM_FAVORITES_LOADED;
using platform::WM_PARSE_DONE;
using platform::WM_PARSE_PAGE;
using platform::WM_SHOW_TABLE_IN_PAGE;
using platform::WM_STARTUP_DONE;
using platform::WM_TIMER;
using platform::WM_UPDATER_MAY_CLOSE;

// The form the view is laid out on, in dialog units.
constexpr int kFormWidth = 369;
constexpr int kFormHeight = 271;
constexpr int kContentAreaId = 1035;
constexpr int kCaptionBarId = 6060;

// "FavoritesFillMode": where the favourites are shown.
constexpr uint32_t kFavoritesMenuOnly = 0;
constexpr uint32_t kFavoritesBoth = 2;

}  // namespace

CQuarryView::CQuarryView(CQuarryDoc* document, CMainFrame* frame)
    : QWidget(frame), document_(document), frame_(frame) {
  setObjectName(QStringLiteral("dlg403"));
  setAccessibleName(QStringLiteral("Quarry main view"));
  setFont(DialogFont());
  resize(MapDialogSize(QSize(kFormWidth, kFormHeight), BaseUnitsOf(font())));
}

CQuarryView::~CQuarryView() {
  DestroyWindow();
  if (settings_ != nullptr) {
    // The first run is over once the main view has been closed.
    settings_->SetNewUser(0);
    if (settings_->OwnerWindow() == Handle()) {
      settings_->SetOwnerWindow(platform::kNoWindow);
    }
  }
  delete web_browser_;
  delete table_results_;
  delete configurations_;
}

void CQuarryView::OnInitialUpdate() {
  if (initialised_) return;

  settings_ = document_->GetSettings();
  settings_->SetOwnerWindow(Handle());
  frame_->RepaintCaptionAndBars();

  caption_bar_ = new CCaptionBar(this);
  caption_bar_->setObjectName(QStringLiteral("ctl%1").arg(kCaptionBarId));
  caption_bar_->SetText(QStringLiteral("Configurations Header"));
  content_area_ = new QWidget(this);
  content_area_->setObjectName(QStringLiteral("ctl%1").arg(kContentAreaId));
  content_area_->setAccessibleName(QStringLiteral("Content area"));
  LayOutChildren();

  CreateSubViews();
  ApplyFavoritesMode();

  frame_->RecalcLayout();
  FitFrameToForm();

  CColourScheme scheme = frame_->ColourScheme();
  scheme.EnsureDerived();
  caption_bar_->SetFont(FontFromChoice(FontChoice{"MS Sans Serif", 16, 700}));
  caption_bar_->SetColours(scheme);
  // The caption follows the scheme when the desktop's colours change.
  connect(frame_, &CZtFrameWnd::colourSchemeChanged, caption_bar_,
          [this] { caption_bar_->SetColours(frame_->ColourScheme()); });
  LayOutChildren();
  caption_bar_->show();
  content_area_->show();
  ShowSubView(SubView::kWebBrowser);

  initialised_ = true;
  last_size_ = size();
  last_size_recorded_ = true;

  // Until the favourites are in, the user is told to wait; the builder
  // posts WM_FAVORITES_LOADED when it has filled the menu and the tree.
  setCursor(Qt::WaitCursor);
}

void CQuarryView::CreateSubViews() {
  table_results_ = new CViewTableResults();
  web_browser_ = new CViewWebBrowser();
  configurations_ = new CViewConfigurations();
  // The builder is a child of the view: it outlives the sub-views, and its
  // destructor stops a loader that is still running.
  auto* favorites = new CFavoritesBuilder(settings_->Store(), this);
  // The tree's own folder and page pictures; the page picture also marks
  // the favourites in the menu.
  favorites->SetFolderIcon(CTreeCtrlExt::FolderIcon());
  favorites->SetItemIcon(CTreeCtrlExt::PageIcon());
  web_browser_->SetFavoritesBuilder(favorites);
  for (CSubViewPage* page :
       {static_cast<CSubViewPage*>(table_results_),
        static_cast<CSubViewPage*>(web_browser_),
        static_cast<CSubViewPage*>(configurations_)}) {
    page->Init(this, content_area_, settings_);
    page->setGeometry(content_area_->geometry());
    page->setProperty("helpContext", HelpContextForCommand(page->CommandId()));
  }
  content_area_->lower();
}

void CQuarryView::ApplyFavoritesMode() {
  const uint32_t mode = settings_->GetFavoritesFillMode();
  const bool tree_wanted = mode != kFavoritesMenuOnly;
  const bool menu_wanted = mode == kFavoritesMenuOnly || mode == kFavoritesBoth;
  CTreeCtrlExt* tree = nullptr;
  if (web_browser_ != nullptr) {
    web_browser_->ShowTree(tree_wanted);
    if (tree_wanted) {
      tree = web_browser_->Tree();
      tree->SetBkColour(0xFFFFFF);
      tree->SetTextColour(0x000000);
      tree->SetLineColour(0xC8C8C8);  // RGB(200,200,200)
      tree->SetInsertMarkColour(0xC8C8C8);
    }
  }
  QMenu* menu = nullptr;
  if (menu_wanted) {
    frame_->PrepareFavoritesMenu();
    menu = frame_->FavoritesMenu();
  } else {
    frame_->RemoveFavoritesMenu();
  }
  CFavoritesBuilder* favorites =
      web_browser_ != nullptr ? web_browser_->FavoritesBuilder() : nullptr;
  if (favorites == nullptr) {
    // Nothing to load: the view is ready at once.
    platform::PostMessage(Handle(), WM_FAVORITES_LOADED, 0, 0);
    return;
  }
  favorites->SetSortFavorites(settings_->GetSortFavorites());
  // A first start with no favourites yet: offer, once, to bring in the
  // bookmarks of the user's other browsers, before the folder is read.
  const std::filesystem::path folder = favorites->Folder().empty()
                                           ? favorites::DefaultFavoritesFolder()
                                           : favorites->Folder();
  OfferBookmarkImport(this, settings_->Store(), folder,
                      QDir::homePath().toStdString());
  if (!favorites->Load(menu, tree, Handle())) {
    platform::PostMessage(Handle(), WM_FAVORITES_LOADED, 0, 0);
  }
}

QSize CQuarryView::sizeHint() const {
  return MapDialogSize(QSize(kFormWidth, kFormHeight), BaseUnitsOf(font()));
}

void CQuarryView::FitFrameToForm() {
  // The frame shrinks around the form (its bars included) but never grows
  // for it.
  const QSize wanted = frame_->sizeHint();
  frame_->resize(std::min(frame_->width(), wanted.width()),
                 std::min(frame_->height(), wanted.height()));
  frame_->RecalcLayout();
}

void CQuarryView::LayOutChildren() {
  const int bar_height = caption_bar_->sizeHint().height();
  caption_bar_->setGeometry(0, 0, width(), bar_height);
  content_area_->setGeometry(0, bar_height, width(),
                             std::max(0, height() - bar_height));
  for (CSubViewPage* page : {static_cast<CSubViewPage*>(web_browser_),
                             static_cast<CSubViewPage*>(table_results_),
                             static_cast<CSubViewPage*>(configurations_)}) {
    if (page != nullptr) page->setGeometry(content_area_->geometry());
  }
}

void CQuarryView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplySizeDifference(event->size());
}

void CQuarryView::ApplySizeDifference(const QSize& size) {
  // A zero size is a minimised window: nothing to lay out, and the next
  // real size is measured against the last real one.
  if (!initialised_ || size.isEmpty() || !last_size_recorded_ ||
      size == last_size_) {
    return;
  }
  const int dx = size.width() - last_size_.width();
  const int dy = size.height() - last_size_.height();
  last_size_ = size;
  content_area_->resize(std::max(0, content_area_->width() + dx),
                        std::max(0, content_area_->height() + dy));
  caption_bar_->resize(std::max(0, caption_bar_->width() + dx),
                       caption_bar_->height());
  caption_bar_->update();
  for (CSubViewPage* page : {static_cast<CSubViewPage*>(web_browser_),
                             static_cast<CSubViewPage*>(table_results_),
                             static_cast<CSubViewPage*>(configurations_)}) {
    if (page != nullptr) page->GrowBy(dx, dy);
  }
}

CSubViewPage* CQuarryView::CurrentPage() const {
  switch (current_) {
    case SubView::kWebBrowser:
      return web_browser_;
    case SubView::kTableResults:
      return table_results_;
    case SubView::kConfigurations:
      return configurations_;
    case SubView::kNone:
      break;
  }
  return nullptr;
}

QString CQuarryView::CaptionText() const {
  return caption_bar_ != nullptr ? caption_bar_->Text() : QString();
}

void CQuarryView::ShowSubView(SubView which) {
  CSubViewPage* chosen = nullptr;
  switch (which) {
    case SubView::kWebBrowser:
      chosen = web_browser_;
      break;
    case SubView::kTableResults:
      chosen = table_results_;
      break;
    case SubView::kConfigurations:
      chosen = configurations_;
      break;
    case SubView::kNone:
      break;
  }
  if (chosen == nullptr) return;
  for (CSubViewPage* page : {static_cast<CSubViewPage*>(web_browser_),
                             static_cast<CSubViewPage*>(table_results_),
                             static_cast<CSubViewPage*>(configurations_)}) {
    if (page != nullptr && page != chosen) page->hide();
  }
  // A page that had the focus must not keep it while hidden.
  chosen->show();
  chosen->raise();
  current_ = which;
  caption_bar_->SetText(chosen->Caption());
  emit subViewShown(chosen->Caption());
}

bool CQuarryView::CanHandleCommand(int id) const {
  if (id == cmd::kCheckForUpdates) return static_cast<bool>(update_check_);
  return true;
}

bool CQuarryView::OnCommand(int id) {
  switch (id) {
    case cmd::kWebBrowser:
      ShowSubView(SubView::kWebBrowser);
      return true;
    case cmd::kTableResults:
      ShowSubView(SubView::kTableResults);
      return true;
    case cmd::kConfigurations:
      ShowSubView(SubView::kConfigurations);
      return true;
    case cmd::kCompanySite:
      OpenLink(HelpHomePage());
      return true;
    case cmd::kOnlineFaq:
      OpenLink(HelpFaqPage());
      return true;
    case cmd::kCurrentIssues:
      OpenLink(HelpIssuesPage());
      return true;
    case cmd::kReportBug:
      SendSupportMail(SupportMode::kSupport);
      return true;
    case cmd::kMakeSuggestion:
      SendSupportMail(SupportMode::kSuggestion);
      return true;
    case cmd::kCheckForUpdates:
      if (!update_check_) return false;
      update_check_(true);
      return true;
    case cmd::kTrayRestore:
      platform::PostMessage(frame_->Handle(), platform::WM_RESTORE_FRAME, 0, 0);
      return true;
    case cmd::kNextPane:
      FocusNextPane(true);
      return true;
    case cmd::kPrevPane:
      FocusNextPane(false);
      return true;
    default:
      break;
  }
  if (id >= cmd::kFavoriteFirst && id <= cmd::kFavoriteLast) {
    // The shown sub-view stays; an empty address (unknown command, or the
    // favourites not loaded yet) does nothing.
    if (web_browser_ != nullptr && web_browser_->FavoritesBuilder() != nullptr) {
      const std::string address = web_browser_->FavoritesBuilder()->AddressOf(id);
      if (!address.empty()) web_browser_->Navigate(QString::fromStdString(address));
    }
    return true;
  }
  return false;
}

void CQuarryView::OpenLink(const std::string& address) {
  if (settings_ != nullptr && settings_->GetUseInternalBrowser() == 1 &&
      web_browser_ != nullptr) {
    web_browser_->Navigate(QString::fromStdString(address));
    ShowSubView(SubView::kWebBrowser);
    return;
  }
  OpenExternally(address);
}

void CQuarryView::OpenExternally(const std::string& address) {
  // The opener reports on its own thread; the reason travels by value to
  // this view's thread and is freed unshown if the view is gone by then.
  const platform::WindowHandle self = Handle();
  link_opener_.Open(address, [this, self](const OpenOutcome& outcome) {
    if (outcome.ok) return;
    platform::PostCall(self, [this, reason = QString::fromStdString(outcome.reason)] {
      ShowMessage(reason);
    });
  });
}

void CQuarryView::OpenHelp(uint32_t context) {
  const std::string address = HelpPageAddress(context);
  if (address.empty()) {
    ShowMessage(QStringLiteral("The help pages could not be found. They are "
                               "installed with Quarry in share/quarry/help."));
    return;
  }
  OpenExternally(address);
}

uint32_t CQuarryView::CurrentHelpContext() const {
  if (CSubViewPage* page = CurrentPage()) {
    return HelpContextForCommand(page->CommandId());
  }
  return 0;
}

void CQuarryView::SendSupportMail(SupportMode mode) {
  // The dialog sends through the user's server or, without one, hands the
  // message to the mail program; the bare mail address is left for a view
  // that has no dialog.
  if (support_dialog_) {
    support_dialog_(mode);
    return;
  }
  OpenExternally(SupportMailtoAddress(mode));
}

void CQuarryView::FocusNextPane(bool forward) {
  CSubViewPage* page = CurrentPage();
  if (page == nullptr) return;
  std::vector<QWidget*> panes = page->Panes();
  if (panes.empty()) return;
  int current = -1;
  QWidget* focus = QApplication::focusWidget();
  for (size_t i = 0; i < panes.size(); ++i) {
    if (focus != nullptr && (focus == panes[i] || panes[i]->isAncestorOf(focus))) {
      current = static_cast<int>(i);
    }
  }
  const int n = static_cast<int>(panes.size());
  const int next = current < 0 ? 0 : (current + (forward ? 1 : n - 1)) % n;
  QWidget* pane = panes[next];
  // A pane that takes no focus itself hands it to its first child that does.
  if (pane->focusPolicy() == Qt::NoFocus) {
    pane->setFocusPolicy(Qt::TabFocus);
  }
  pane->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void CQuarryView::SetUpdateCheck(std::function<void(bool)> check) {
  update_check_ = std::move(check);
}

void CQuarryView::SetUpdaterRelease(std::function<void()> release) {
  updater_release_ = std::move(release);
}

void CQuarryView::SetSupportDialog(std::function<void(SupportMode)> dialog) {
  support_dialog_ = std::move(dialog);
}

void CQuarryView::SetMessageSink(std::function<void(const QString&)> sink) {
  message_sink_ = std::move(sink);
}

void CQuarryView::ShowMessage(const QString& text) {
  if (message_sink_) {
    message_sink_(text);
    return;
  }
  AppMessageBox(text, mb::kIconExclamation);
}

intptr_t CQuarryView::WindowProc(uint32_t message, uintptr_t wparam,
                                 intptr_t lparam) {
  switch (message) {
    case WM_PARSE_PAGE:
      settings_->Broadcast(message, wparam, lparam, true);
      ShowSubView(SubView::kTableResults);
      return 0;
    case WM_PARSE_DONE:
      settings_->Broadcast(message, wparam, lparam, true);
      return 0;
    case WM_SHOW_TABLE_IN_PAGE:
      settings_->Broadcast(message, wparam, lparam, true);
      if (lparam != 0) ShowSubView(SubView::kWebBrowser);
      return 0;
    case WM_STARTUP_DONE:
      settings_->Broadcast(message, wparam, lparam, true);
      platform::SetTimer(Handle(), kUpdateCheckTimer, kUpdateCheckDelayMs);
      return 0;
    case WM_TIMER:
      if (wparam == kUpdateCheckTimer) {
        platform::KillTimer(Handle(), kUpdateCheckTimer);
        if (update_check_) update_check_(false);
      }
      return 0;
    case WM_UPDATER_MAY_CLOSE:
      if (updater_release_) updater_release_();
      return 0;
    case WM_FAVORITES_LOADED:
      ready_ = true;
      unsetCursor();
      settings_->Broadcast(message, wparam, lparam, true);
      return 0;
    default:
      return 0;
  }
}

}  // namespace quarry
