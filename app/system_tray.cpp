#include "app/system_tray.h"

#include <QMenu>

namespace quarry {

CSystemTray::CSystemTray(std::function<bool()> tray_available, QObject* parent)
    : QObject(parent), tray_available_(std::move(tray_available)) {
  if (!tray_available_) {
    tray_available_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  }
}

CSystemTray::~CSystemTray() {
  DestroyWindow();
  Hide();
}

bool CSystemTray::Create(platform::WindowHandle target, uint32_t callback_message,
                         const QString& tip, const QIcon& icon, QMenu* menu) {
  if (IsCreated() || !tray_available_()) return false;
  target_ = target;
  callback_message_ = callback_message;
  icon_ = new QSystemTrayIcon(icon, this);
  SetTip(tip);
  // The desktop shows the menu itself on a right click; that is the only
  // way a notification-area menu works on every Linux desktop.
  if (menu != nullptr) icon_->setContextMenu(menu);
  connect(icon_, &QSystemTrayIcon::activated, this, &CSystemTray::OnActivated);
  return true;
}

void CSystemTray::Show() {
  if (!IsCreated() || shown_) return;
  icon_->show();
  shown_ = true;
}

void CSystemTray::Hide() {
  if (!IsCreated() || !shown_) return;
  icon_->hide();
  shown_ = false;
}

void CSystemTray::SetIcon(const QIcon& icon) {
  if (IsCreated()) icon_->setIcon(icon);
}

void CSystemTray::SetTip(const QString& tip) {
  tip_ = tip.left(kMaxTipLength);
  if (IsCreated()) icon_->setToolTip(tip_);
}

void CSystemTray::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  intptr_t mouse = 0;
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      mouse = kLeftButtonUp;
      break;
    case QSystemTrayIcon::DoubleClick:
      mouse = kLeftButtonDoubleClick;
      break;
    case QSystemTrayIcon::Context:
      mouse = kRightButtonUp;
      break;
    default:
      return;
  }
  platform::PostMessage(Handle(), callback_message_, kIconId, mouse);
}

intptr_t CSystemTray::WindowProc(uint32_t message, uintptr_t wparam,
                                 intptr_t lparam) {
  if (message == callback_message_) Notify(wparam, lparam);
  return 0;
}

void CSystemTray::Notify(uintptr_t icon_id, intptr_t mouse) {
  if (icon_id != kIconId) return;
  switch (mouse) {
    case kLeftButtonUp:
      if (left_click_restores_) {
        platform::SendMessage(target_, platform::WM_RESTORE_FRAME, 0, 0);
      }
      break;
    case kLeftButtonDoubleClick:
      platform::PostMessage(target_, platform::WM_RESTORE_FRAME, 0, 0);
      break;
    case kRightButtonUp:
      // The desktop has shown the context menu already.
      break;
    default:
      break;
  }
}

}  // namespace quarry
