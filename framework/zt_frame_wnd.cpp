#include "framework/zt_frame_wnd.h"

#include <QAction>
#include <QActionEvent>
#include <QEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "framework/command_ids.h"
#include "framework/dialog_template.h"
#include "framework/menu_resources.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

// Marks what has been routed, so that sources seen twice (a menu reached
// from the bar and again through an added action) dispatch once.
constexpr char kRoutedProperty[] = "quarryRouted";

}  // namespace

CZtFrameWnd::CZtFrameWnd(int system_menu_id, QWidget* parent)
    : QMainWindow(parent), system_menu_id_(system_menu_id) {
  InstallDesktopSystemColours();
  scheme_.Derive();

  // The window manager's own menu is usually on Alt+Space too; where it
  // is not, this one answers.
  auto* system_key = new QAction(QStringLiteral("System menu"), this);
  system_key->setObjectName(QStringLiteral("systemMenuKey"));
  system_key->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Space));
  system_key->setShortcutContext(Qt::WindowShortcut);
  connect(system_key, &QAction::triggered, this,
          [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
  addAction(system_key);
}

CZtFrameWnd::~CZtFrameWnd() = default;

bool CZtFrameWnd::OnCommand(int id) {
  switch (id) {
    case cmd::kScRestore:
    case cmd::kScMinimize:
    case cmd::kScMaximize:
      return OnSysCommand(id);
    case cmd::kAppExit:
      close();
      return true;
    case cmd::kViewToolbar:
      if (QToolBar* bar = FirstToolBar()) {
        bar->setVisible(!bar->isVisible());
        return true;
      }
      return false;
    case cmd::kViewStatusBar:
      if (QStatusBar* bar = ExistingStatusBar()) {
        bar->setVisible(!bar->isVisible());
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool CZtFrameWnd::OnSysCommand(int id) {
  switch (id) {
    case cmd::kScRestore:
      showNormal();
      return true;
    case cmd::kScMinimize:
      showMinimized();
      return true;
    case cmd::kScMaximize:
      showMaximized();
      return true;
    default:
      return false;
  }
}

void CZtFrameWnd::OnUpdateCommand(int id, QAction* action) {
  switch (id) {
    case cmd::kScRestore:
      action->setEnabled(isMinimized() || isMaximized());
      break;
    case cmd::kScMinimize:
      action->setEnabled(!isMinimized());
      break;
    case cmd::kScMaximize:
      action->setEnabled(!isMaximized());
      break;
    case cmd::kViewToolbar:
      if (QToolBar* bar = FirstToolBar()) {
        action->setCheckable(true);
        action->setChecked(bar->isVisible());
      }
      break;
    case cmd::kViewStatusBar:
      if (QStatusBar* bar = ExistingStatusBar()) {
        action->setCheckable(true);
        action->setChecked(bar->isVisible());
      }
      break;
    default:
      break;
  }
}

bool CZtFrameWnd::DispatchCommand(int id) {
  const bool handled = OnCommand(id);
  if (!handled) emit commandUnhandled(id);
  return handled;
}

void CZtFrameWnd::RouteCommandsFrom(QWidget* source) {
  if (source == nullptr || source->property(kRoutedProperty).toBool()) return;
  source->setProperty(kRoutedProperty, true);
  source->installEventFilter(this);
  if (auto* menu = qobject_cast<QMenu*>(source)) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
  }
  for (QAction* action : source->actions()) RouteAction(action);
}

void CZtFrameWnd::RouteAction(QAction* action) {
  if (QMenu* sub = action->menu<QMenu*>()) RouteCommandsFrom(sub);
  if (action->property(kRoutedProperty).toBool()) return;
  action->setProperty(kRoutedProperty, true);
  // The id is read when the action fires, so an id set after routing
  // (or changed) still counts.
  connect(action, &QAction::triggered, this, [this, action] {
    const int id = CommandIdOf(action);
    if (id != 0) DispatchCommand(id);
  });
}

bool CZtFrameWnd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ActionAdded) {
    RouteAction(static_cast<QActionEvent*>(event)->action());
  }
  return QMainWindow::eventFilter(watched, event);
}

void CZtFrameWnd::UpdateMenu(QMenu* menu) {
  for (QAction* action : menu->actions()) {
    const int id = CommandIdOf(action);
    if (id != 0 && !action->isSeparator()) OnUpdateCommand(id, action);
  }
}

void CZtFrameWnd::LoadMenuBar(const std::vector<MenuItemEntry>& table) {
  QMenuBar* bar = menuBar();
  bar->clear();
  bar->setAccessibleName(QStringLiteral("Menu bar"));
  FillMenuBar(bar, table);
  RouteCommandsFrom(bar);
}

void CZtFrameWnd::LoadAccelerators(const std::vector<Accelerator>& table) {
  for (const Accelerator& accel : table) {
    QAction* action = MakeCommandAction(
        accel.id, QStringLiteral("Command %1").arg(accel.id), this);
    action->setShortcut(accel.key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    RouteAction(action);
    accelerators_.push_back(action);
  }
}

QAction* CZtFrameWnd::FindCommand(int id) const {
  if (QAction* found = FindCommandAction(menuWidget(), id)) return found;
  for (QToolBar* bar : findChildren<QToolBar*>()) {
    if (QAction* found = FindCommandAction(bar, id)) return found;
  }
  for (QAction* action : accelerators_) {
    if (CommandIdOf(action) == id) return action;
  }
  return nullptr;
}

QMenu* CZtFrameWnd::CreateSystemMenu(QWidget* parent) {
  const std::vector<MenuItemEntry>& table = MenuResource(system_menu_id_);
  if (table.empty()) return nullptr;
  QMenu* menu = BuildMenu(QString(), table, parent);
  menu->setObjectName(QStringLiteral("systemMenu"));
  menu->setAccessibleName(QStringLiteral("System menu"));
  RouteCommandsFrom(menu);
  return menu;
}

void CZtFrameWnd::ShowSystemMenu(const QPoint& global_pos) {
  QMenu* menu = CreateSystemMenu(this);
  if (menu == nullptr) return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(global_pos);
}

QMenu* CZtFrameWnd::createPopupMenu() { return CreateSystemMenu(this); }

void CZtFrameWnd::SetMinTrackSize(const QSize& size) {
  min_track_size_ = size;
  setMinimumSize(size);
}

void CZtFrameWnd::RecalcLayout() {
  if (QWidget* central = centralWidget()) central->updateGeometry();
  if (QLayout* frame_layout = layout()) frame_layout->activate();
}

void CZtFrameWnd::RepaintCaptionAndBars() {
  scheme_.Derive();
  emit colourSchemeChanged();
  if (QWidget* bar = menuWidget()) bar->update();
  for (QToolBar* bar : findChildren<QToolBar*>()) bar->update();
  if (QStatusBar* bar = ExistingStatusBar()) bar->update();
  if (QWidget* central = centralWidget()) central->update();
}

void CZtFrameWnd::OnSysColorChange() { RepaintCaptionAndBars(); }

void CZtFrameWnd::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) OnSysColorChange();
  QMainWindow::changeEvent(event);
}

QToolBar* CZtFrameWnd::FirstToolBar() const {
  return findChild<QToolBar*>(QString(), Qt::FindDirectChildrenOnly);
}

QStatusBar* CZtFrameWnd::ExistingStatusBar() const {
  // statusBar() would create one; only a bar the frame was given counts.
  return findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace quarry
