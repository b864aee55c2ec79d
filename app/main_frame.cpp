#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSizeGrip>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>
#include <algorithm>
#include <limits>

#include "app/app_icons.h"
#include "app/app_settings.h"
#include "app/help_links.h"
#include "app/quarry_view.h"
#include "app/retrieval_prompts.h"
#include "app/sub_view_pages.h"
#include "app/view_configurations.h"
#include "app/view_table_results.h"
#include "app/view_web_browser.h"
#include "app/system_tray.h"
#include "framework/command_ids.h"
#include "framework/menu_resources.h"
#include "framework/menu_table.h"
#include "framework/string_table.h"
#include "framework/widget_placement.h"

namespace quarry {

namespace {

// The standard toolbar's id, which its toggle command shares.
constexpr int kStandardToolBarId = 0xE800;

constexpr int kViewCommands[] = {cmd::kWebBrowser, cmd::kTableResults,
                                 cmd::kConfigurations};
constexpr int kHelpMenuCommands[] = {
    cmd::kHelpFinder,  cmd::kCheckForUpdates, cmd::kCompanySite,
    cmd::kOnlineFaq,   cmd::kCurrentIssues,   cmd::kReportBug,
    cmd::kMakeSuggestion, cmd::kAppAbout};

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

// Whether `menu` was made for `frame`: menus are windows of their own, so
// this follows the parent chain across them.
bool MenuBelongsTo(const QWidget* menu, const QWidget* frame) {
  for (const QWidget* w = menu; w != nullptr; w = w->parentWidget()) {
    if (w == frame) return true;
  }
  return false;
}

}  // namespace

// Watches the whole application for the help keys that the frame's own
// shortcuts cannot see: F1 on an open menu, and the click that ends help
// mode.
class CMainFrame::HelpKeys : public QObject {
 public:
  explicit HelpKeys(CMainFrame* frame) : QObject(frame), frame_(frame) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
        return OnKey(watched, static_cast<QKeyEvent*>(event));
      case QEvent::QueryWhatsThis:
        if (InHelpMode(watched)) {
          event->accept();
          return true;
        }
        return false;
      case QEvent::WhatsThis:
        if (InHelpMode(watched)) {
          frame_->help_mode_ = false;
          QWhatsThis::leaveWhatsThisMode();
          frame_->OpenHelp(frame_->HelpContextOf(static_cast<QWidget*>(watched)));
          return true;
        }
        return false;
      default:
        return false;
    }
  }

 private:
  bool InHelpMode(QObject* watched) const {
    if (!frame_->help_mode_ || !watched->isWidgetType()) return false;
    if (!QWhatsThis::inWhatsThisMode()) {
      frame_->help_mode_ = false;  // left with Escape
      return false;
    }
    return static_cast<QWidget*>(watched)->window() == frame_;
  }

  bool OnKey(QObject* watched, QKeyEvent* key) {
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu == nullptr || !MenuBelongsTo(menu, frame_)) return false;
    const int id = CommandIdOf(menu->activeAction());
    if (id == 0) return false;
    for (QWidget* w = menu; w != nullptr; w = w->parentWidget()) {
      if (auto* open = qobject_cast<QMenu*>(w)) open->close();
    }
    frame_->OpenHelp(HelpContextForCommand(id));
    return true;
  }

  CMainFrame* frame_;
};

CMainFrame::CMainFrame(CAppSettings* settings, MainFrameOptions options)
    : CZtFrameWnd(cmd::kMenuSystem), settings_(settings) {
  setObjectName(QStringLiteral("mainFrame"));
  setAccessibleName(QStringLiteral("Quarry"));

  const platform::SettingsStore& store = settings_->Store();
  QSize min_size(
      ClampToInt(store.GetDword(kSettingsKey, kMinXScreenSizeValue, kDefaultMinWidth)),
      ClampToInt(store.GetDword(kSettingsKey, kMinYScreenSizeValue, kDefaultMinHeight)));
  // A stored minimum beyond the screen would leave no way to see the
  // whole window.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    min_size = min_size.boundedTo(screen->availableGeometry().size());
  }
  SetMinTrackSize(min_size);

  tray_menu_ = BuildMenu(QString(), MenuResource(cmd::kMenuTray), this);
  tray_menu_->setObjectName(QStringLiteral("trayMenu"));
  tray_menu_->setAccessibleName(QStringLiteral("Quarry notification area menu"));
  RouteCommandsFrom(tray_menu_);
  tray_ = std::make_unique<CSystemTray>(std::move(options.tray_available));
  tray_->Create(Handle(), platform::WM_TRAY_NOTIFY, QStringLiteral("Quarry"),
                AppIcon(), tray_menu_);
  tray_->Hide();
  tray_->SetLeftClickRestores(true);

  // Retrievals that need the user (a password, a failure to show) ask
  // over this window.
  prompts_ = new CRetrievalPrompts(this);
  prompts_->setParent(this);
  prompts_->Install();
}

CMainFrame::~CMainFrame() {
  DestroyWindow();
  // A frame torn down without being closed (the session ends, the program
  // is told to quit) still remembers its place.
  if (!placement_saved_ && shown_once_) SavePlacement();
  tray_.reset();
}

bool CMainFrame::Create() {
  setWindowIcon(AppIcon());
  setDockOptions(QMainWindow::AnimatedDocks);
  if (!CreateToolBar() || !CreateStatusBar()) return false;
  RepaintCaptionAndBars();

  LoadMenuBar(MenuResource(kFrameResourceId));
  for (int id : kHelpMenuCommands) {
    if (QAction* action = FindCommandAction(menuBar(), id)) {
      action->setIcon(CommandIcon(id));
    }
  }
  LoadAccelerators({
      {QKeySequence(Qt::Key_F1), cmd::kHelp},
      {QKeySequence(Qt::SHIFT | Qt::Key_F1), cmd::kContextHelp},
      {QKeySequence(Qt::Key_F6), cmd::kNextPane},
      {QKeySequence(Qt::SHIFT | Qt::Key_F6), cmd::kPrevPane},
  });

  // Qt's overflow buttons, shown when the window is too narrow.
  for (const char* name : {"qt_toolbar_ext_button", "qt_menubar_ext_button"}) {
    for (QWidget* button : findChildren<QWidget*>(QLatin1String(name))) {
      button->setAccessibleName(QStringLiteral("More"));
    }
  }

  help_keys_ = new HelpKeys(this);
  qApp->installEventFilter(help_keys_);

  // A new window gets a generous size, as the desktop would give it; the
  // view shrinks the frame around its form.
  if (QScreen* s = screen()) {
    resize(s->availableGeometry().size() * 3 / 4);
  }
  return true;
}

bool CMainFrame::CreateToolBar() {
  toolbar_ = new QToolBar(QStringLiteral("Toolbar"), this);
  toolbar_->setObjectName(QStringLiteral("ctl%1").arg(kStandardToolBarId));
  toolbar_->setProperty("resourceId", kFrameResourceId);
  toolbar_->setAccessibleName(QStringLiteral("Toolbar"));
  toolbar_->setIconSize(QSize(22, 22));
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toolbar_->setMovable(false);

  view_actions_ = new QActionGroup(this);
  view_actions_->setExclusive(true);
  for (int id : kViewCommands) {
    QAction* action = MakeCommandAction(id, StringTable::ToolTip(id), toolbar_);
    action->setIcon(CommandIcon(id));
    action->setCheckable(true);
    view_actions_->addAction(action);
    toolbar_->addAction(action);
  }
  toolbar_->addSeparator();
  QAction* help = MakeCommandAction(cmd::kContextHelp,
                                    StringTable::ToolTip(cmd::kContextHelp), toolbar_);
  help->setIcon(CommandIcon(cmd::kContextHelp));
  toolbar_->addAction(help);
  for (QAction* action : toolbar_->actions()) {
    if (QWidget* button = toolbar_->widgetForAction(action)) {
      button->setAccessibleName(action->text());
    }
  }
  addToolBar(Qt::TopToolBarArea, toolbar_);
  RouteCommandsFrom(toolbar_);
  return true;
}

bool CMainFrame::CreateStatusBar() {
  status_bar_ = new QStatusBar(this);
  status_bar_->setObjectName(QStringLiteral("statusBar"));
  status_bar_->setAccessibleName(QStringLiteral("Status bar"));
  idle_label_ = new QLabel(StringTable::Get(ids::kIdleMessage), status_bar_);
  idle_label_->setAccessibleName(QStringLiteral("Status"));
  status_bar_->addWidget(idle_label_, 1);
  for (QWidget* grip : status_bar_->findChildren<QSizeGrip*>()) {
    grip->setAccessibleName(QStringLiteral("Resize the window"));
  }
  setStatusBar(status_bar_);
  return true;
}

void CMainFrame::SetView(CQuarryView* view) {
  view_ = view;
  setCentralWidget(view);
  // The toolbar's view buttons show which view is up.
  connect(view, &CQuarryView::subViewShown, this, [this] {
    const CSubViewPage* page = view_->CurrentPage();
    const int id = page != nullptr ? page->CommandId() : 0;
    for (QAction* action : view_actions_->actions()) {
      action->setChecked(CommandIdOf(action) == id);
    }
  });
}

void CMainFrame::SetAppCommandHandler(std::function<bool(int)> handler) {
  app_commands_ = std::move(handler);
}

void CMainFrame::SetCaption(const QString& caption) {
  caption_ = caption;
  setWindowTitle(caption);
}

namespace {

// The status bar of the main window holding `inside`; null when none.
QStatusBar* StatusBarOf(QWidget* inside) {
  auto* frame = inside != nullptr ? qobject_cast<QMainWindow*>(inside->window()) : nullptr;
  return frame != nullptr ? frame->statusBar() : nullptr;
}

}  // namespace

void ShowStatusMessage(QWidget* inside, const QString& text) {
  if (QStatusBar* bar = StatusBarOf(inside)) bar->showMessage(text);
}

void ClearStatusMessage(QWidget* inside, const QString& text) {
  QStatusBar* bar = StatusBarOf(inside);
  if (bar != nullptr && bar->currentMessage() == text) bar->clearMessage();
}

QString CMainFrame::StatusText() const {
  if (status_bar_ == nullptr) return {};
  const QString message = status_bar_->currentMessage();
  return message.isEmpty() ? idle_label_->text() : message;
}

// ---- Showing and placement ----

void CMainFrame::ActivateFrame(int show_cmd) {
  // A first start has no saved place: open at a comfortable size, centred,
  // rather than at the smallest size the window allows.
  if (!isVisible() &&
      !DecodePlacement(settings_->Store().GetBinary(kSettingsKey, kMainWndPosValue))) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect room = screen->availableGeometry();
      const QSize size = (room.size() * 2 / 3).expandedTo(minimumSize()).boundedTo(room.size());
      setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, room));
    }
  }
  if (show_cmd == kShowDefault) {
    if (isVisible() && isMinimized()) {
      show_cmd = kShowCmdRestore;
    } else if (!isVisible()) {
      show_cmd = kShowCmdNormal;
    }
  }
  ShowWithCommand(show_cmd);
  if (show_cmd != kShowDefault && ApplySavedPlacement()) {
    // The stored state (normal or maximised) is what the frame shows.
    ShowWithCommand(kShowCmdShow);
  }
}

void CMainFrame::ShowWithCommand(int show_cmd) {
  switch (show_cmd) {
    case kShowCmdHide:
      hide();
      return;
    case kShowCmdNormal:
      showNormal();
      break;
    case kShowCmdMinimized:
      showMinimized();
      return;
    case kShowCmdMaximized:
      showMaximized();
      break;
    case kShowCmdRestore:
      setWindowState(windowState() & ~Qt::WindowMinimized);
      show();
      raise();
      break;
    default:
      show();
      break;
  }
  activateWindow();
}

WindowPlacement CMainFrame::CurrentPlacement() const { return CaptureWindowPlacement(*this); }

void CMainFrame::SavePlacement() {
  const std::vector<uint8_t> record = EncodePlacement(CurrentPlacement());
  settings_->Store().SetBinary(kSettingsKey, kMainWndPosValue, record);
  placement_saved_ = true;
}

bool CMainFrame::ApplySavedPlacement() {
  const std::vector<uint8_t> data =
      settings_->Store().GetBinary(kSettingsKey, kMainWndPosValue);
  const std::optional<WindowPlacement> p = DecodePlacement(data);
  if (!p) return false;
  ApplyWindowPlacement(this, *p);
  return true;
}

// ---- Notification area ----

void CMainFrame::showEvent(QShowEvent* event) {
  CZtFrameWnd::showEvent(event);
  shown_once_ = true;
  placement_saved_ = false;
}

void CMainFrame::changeEvent(QEvent* event) {
  CZtFrameWnd::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() &&
      settings_->GetUseTrayIcon() == 1 && tray_->IsCreated()) {
    HideIntoTray();
  }
}

void CMainFrame::HideIntoTray() {
  tray_->Show();
  // Hidden once the minimise has run its course.
  QTimer::singleShot(0, this, [this] {
    if (isMinimized() && tray_->IsShown()) hide();
  });
}

void CMainFrame::RestoreFromTray() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  tray_->Hide();
}

intptr_t CMainFrame::WindowProc(uint32_t message, uintptr_t, intptr_t) {
  if (message == platform::WM_RESTORE_FRAME) RestoreFromTray();
  return 0;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  SavePlacement();
  tray_->Hide();
  event->accept();
  emit frameClosed();
}

// ---- Menus and commands ----

QMenu* CMainFrame::FavoritesMenu() const {
  return FindPopup(menuBar(), QStringLiteral("Favorites"));
}

void CMainFrame::PrepareFavoritesMenu() {
  QMenu* menu = FavoritesMenu();
  if (menu == nullptr) return;
  if (QAction* placeholder = FindCommandAction(menu, cmd::kFavoritesPlaceholder)) {
    menu->removeAction(placeholder);
    delete placeholder;
  }
  if (menu->isEmpty()) {
    QAction* empty = menu->addAction(QStringLiteral("(No favorites)"));
    empty->setObjectName(QStringLiteral("favoritesEmpty"));
    empty->setEnabled(false);
  }
}

void CMainFrame::RemoveFavoritesMenu() {
  QMenu* menu = FavoritesMenu();
  if (menu == nullptr) return;
  menuBar()->removeAction(menu->menuAction());
  menu->deleteLater();
}

void CMainFrame::EnterHelpMode() {
  help_mode_ = true;
  QWhatsThis::enterWhatsThisMode();
}

uint32_t CMainFrame::HelpContextOf(const QWidget* widget) const {
  if (auto* button = qobject_cast<const QToolButton*>(widget)) {
    if (const int id = CommandIdOf(button->defaultAction())) {
      return HelpContextForCommand(id);
    }
  }
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    const QVariant context = w->property("helpContext");
    if (context.isValid()) return context.toUInt();
    if (w == this) break;
  }
  return kHelpContextFrame;
}

void CMainFrame::OpenHelp(uint32_t context) {
  if (view_ != nullptr) view_->OpenHelp(context);
}

bool CMainFrame::OnCommand(int id) {
  if (view_ != nullptr && view_->OnCommand(id)) return true;
  switch (id) {
    case cmd::kHelpFinder:
    case cmd::kDefaultHelp:
      OpenHelp(0);
      return true;
    case cmd::kContextHelp:
      EnterHelpMode();
      return true;
    case cmd::kHelp:
      OpenHelp(view_ != nullptr ? view_->CurrentHelpContext() : kHelpContextFrame);
      return true;
    default:
      break;
  }
  if (app_commands_ && app_commands_(id)) return true;
  return CZtFrameWnd::OnCommand(id);
}

void CMainFrame::OnUpdateCommand(int id, QAction* action) {
  if (id == cmd::kCheckForUpdates) {
    action->setEnabled(view_ != nullptr && view_->CanHandleCommand(id));
    return;
  }
  CZtFrameWnd::OnUpdateCommand(id, action);
}

}  // namespace quarry
