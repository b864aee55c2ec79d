#include "framework/widget_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace quarry {

namespace {

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, 0, std::numeric_limits<int>::max()));
}

}  // namespace

WindowPlacement CaptureWindowPlacement(const QWidget& window) {
  const Qt::WindowStates state = window.windowState();
  QRect normal = window.geometry();
  if (state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
    if (window.normalGeometry().isValid()) normal = window.normalGeometry();
  }
  WindowPlacement p;
  p.left = normal.x();
  p.top = normal.y();
  p.right = normal.x() + normal.width();
  p.bottom = normal.y() + normal.height();
  if (state & Qt::WindowMaximized) {
    p.show_state = kShowMaximized;
    if (state & Qt::WindowMinimized) p.flags |= kPlacementRestoreToMaximized;
  } else {
    p.show_state = kShowNormal;
  }
  return p;
}

void ApplyWindowPlacement(QWidget* window, const WindowPlacement& p) {
  QRect rect(p.left, p.top, ClampToInt(p.Width()), ClampToInt(p.Height()));
  QScreen* target = QGuiApplication::screenAt(rect.center());
  if (target == nullptr) {
    for (QScreen* s : QGuiApplication::screens()) {
      if (s->availableGeometry().intersects(rect)) {
        target = s;
        break;
      }
    }
  }
  const bool on_screen = target != nullptr;
  if (target == nullptr) target = QGuiApplication::primaryScreen();
  if (target != nullptr) {
    const QRect avail = target->availableGeometry();
    rect.setSize(rect.size().boundedTo(avail.size()).expandedTo(window->minimumSize()));
    if (!on_screen) rect.moveCenter(avail.center());
    if (rect.top() < avail.top()) rect.moveTop(avail.top());
  }
  window->setGeometry(rect);

  Qt::WindowStates state =
      window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (p.show_state == kShowMaximized) state |= Qt::WindowMaximized;
  window->setWindowState(state);
}

}  // namespace quarry
