// CSystemTray: the program's icon in the desktop's notification area. The
// frame hides into it when minimised; clicking the icon brings the frame
// back, and its menu offers About, Restore and Exit.
//
// Where the desktop has no notification area the object stays inert:
// Create() fails, Show() and Hide() do nothing, and the frame minimises
// as any other window does.

#ifndef QUARRY_APP_SYSTEM_TRAY_H_
#define QUARRY_APP_SYSTEM_TRAY_H_

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <cstdint>
#include <functional>

#include "platform/window_message.h"

class QMenu;

namespace quarry {

class CSystemTray : public QObject, public platform::MessageWindow {
  Q_OBJECT

 public:
  // The icon's id in notifications (wParam of the callback message).
  static constexpr uintptr_t kIconId = 954;
  // The longest tip, in characters.
  static constexpr int kMaxTipLength = 127;
  // Mouse activity as the callback message's lParam carries it.
  static constexpr intptr_t kLeftButtonUp = 0x0202;
  static constexpr intptr_t kLeftButtonDoubleClick = 0x0203;
  static constexpr intptr_t kRightButtonUp = 0x0205;

  // `tray_available` answers whether the desktop has a notification area;
  // empty means QSystemTrayIcon::isSystemTrayAvailable().
  explicit CSystemTray(std::function<bool()> tray_available = {},
                       QObject* parent = nullptr);
  // Removes the icon.
  ~CSystemTray() override;

  // Sets the icon up for `target`, which gets `callback_message` for the
  // icon's mouse activity and WM_RESTORE_FRAME on a click. `menu` (not
  // owned; may be null) is shown for a right click; its commands are the
  // target's to route. The icon stays hidden until Show(). False, leaving
  // the object inert, when the desktop has no notification area or it was
  // created before.
  bool Create(platform::WindowHandle target, uint32_t callback_message,
              const QString& tip, const QIcon& icon, QMenu* menu);
  bool IsCreated() const { return icon_ != nullptr; }

  // Adds the icon to the notification area, or takes it away. Nothing
  // happens when it is already so, or was never created.
  void Show();
  void Hide();
  bool IsShown() const { return shown_; }

  void SetIcon(const QIcon& icon);
  // Cut to kMaxTipLength characters.
  void SetTip(const QString& tip);
  QString Tip() const { return tip_; }

  // Whether a single left click restores the target (else only a double
  // click does).
  void SetLeftClickRestores(bool restores) { left_click_restores_ = restores; }

  // The icon's notification handling, as the icon's mouse activity reaches
  // it: `mouse` is one of the button constants above.
  void Notify(uintptr_t icon_id, intptr_t mouse);

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wparam,
                      intptr_t lparam) override;

 private:
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  std::function<bool()> tray_available_;
  QSystemTrayIcon* icon_ = nullptr;  // owned through the Qt parent
  platform::WindowHandle target_ = platform::kNoWindow;
  uint32_t callback_message_ = 0;
  QString tip_;
  bool shown_ = false;
  bool left_click_restores_ = true;
};

}  // namespace quarry

#endif  // QUARRY_APP_SYSTEM_TRAY_H_
