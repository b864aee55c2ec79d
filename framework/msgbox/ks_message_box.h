// CKsMessageBox: the one way both programs tell the user something or ask
// a question. A dialog built at run time from the system's own controls
// (a label for the text, buttons, and optionally a check box that lets
// the user suppress the message from then on), with buttons the desktop's
// box lacks ("Yes to all", "Skip all", "eMail"), a countdown that unlocks
// the buttons or presses the default one by itself, and answers remembered
// in the settings store so that a question is never asked again.
//
// Usage:
//   CKsMessageBox box(parent, QStringLiteral("Delete the table?"), {},
//                     mb::kYesNo | mb::kIconQuestion | mb::kDontAskAgain);
//   if (box.DoModal() == mb::kIdYes) ...
//
// Remembered answers: with a check-box style, an answer given while the
// box is checked is stored as a DWORD under mb::kMessagesKey, named by
// MessageKey(); later boxes of the same message return it without showing
// anything, until the value is deleted. An unreadable store counts as
// nothing remembered; a failed write is ignored.
//
// When the controls cannot be created, the desktop's own message box is
// shown instead with the same text, caption, icon and buttons, so no
// message is ever lost.
//
// Keyboard: Enter presses the focused button (which becomes the default),
// else the default button; Escape and Ctrl+Break press the cancel button
// and do nothing without one (nor can the window be closed then); F1 and
// the Help button open help without closing; while a countdown holds the
// buttons locked, every key is ignored.
//
// Use it on the GUI thread only. The box owns its controls; DoModal runs a
// nested event loop, so the program's windows keep painting meanwhile.

#ifndef QUARRY_FRAMEWORK_MSGBOX_KS_MESSAGE_BOX_H_
#define QUARRY_FRAMEWORK_MSGBOX_KS_MESSAGE_BOX_H_

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "framework/ks_dialog.h"
#include "framework/msgbox/message_box_layout.h"
#include "framework/msgbox/message_box_rules.h"
#include "framework/msgbox/message_box_style.h"
#include "platform/window_message.h"

class QLabel;

namespace quarry {

class CKsButtonCtrl;
class CKsCheckCtrl;
class CKsStaticCtrl;

class CKsMessageBox : public CKsDialog, public platform::MessageWindow {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 9000;
  // Control ids of the text and the icon.
  static constexpr int kIdText = 100;
  static constexpr int kIdIcon = 101;
  // Timers: the one that raises the box again after it is laid out, and
  // the countdown's.
  static constexpr uintptr_t kTopmostTimer = 1;
  static constexpr uintptr_t kCountdownTimer = 23;
  static constexpr unsigned kTopmostDelayMs = 250;
  static constexpr unsigned kCountdownStepMs = 1000;

  // `caption` empty: the application's name. The style always gets
  // mb::kAlwaysSet. `message_id` is the help id and, when not 0, names the
  // remembered answer.
  CKsMessageBox(QWidget* parent, const QString& text, const QString& caption = {},
                uint32_t style = mb::kOk, int message_id = 0);
  ~CKsMessageBox() override;

  // Adds a button before those of the style's set (call before DoModal).
  // `is_default` makes it the default and `is_cancel` the one Escape
  // presses, unless the style's set names its own.
  void AddButton(int id, int string_id, bool is_default = false, bool is_cancel = false);
  void AddButton(int id, const QString& caption, bool is_default = false,
                 bool is_cancel = false);

  // A countdown of `seconds`: with `lock`, the buttons and the check box
  // stay disabled until it ends; otherwise the default button is pressed
  // when it ends. Unless the style is mb::kSystemModal the default button
  // reads "<caption> in <seconds left>" meanwhile. 0 turns it off.
  void SetCountdown(int seconds, bool lock);

  // What Help (the button, or F1) does, with the message id. Empty: Help
  // does nothing.
  void SetHelpHandler(std::function<void(int help_id)> handler) {
    help_handler_ = std::move(handler);
  }

  // The remembered answer, without showing anything; else shows the box
  // and returns the id of the button pressed (-1 when the program quit or
  // the box was destroyed before an answer).
  int DoModal();

  // The remembered answer when the style remembers one and it is stored.
  std::optional<int> RememberedAnswer();
  // The name the answer is remembered under (computed once).
  const std::string& MessageKey();

  // For callers that must not wait: builds and shows the box and returns;
  // finished() tells the answer. False when the answer is remembered or
  // the desktop's box had to stand in (Result() holds the answer then).
  bool Open();
  bool IsFinished() const { return finished_; }
  int Result() const { return result_; }

  uint32_t Style() const { return style_; }
  const QString& Text() const { return text_; }
  const QString& Caption() const { return caption_; }
  int DefaultButtonId() const { return default_id_; }
  int CancelButtonId() const { return cancel_id_; }
  int CountdownLeft() const { return countdown_; }

  // The controls, once built (null before, and for parts not shown).
  CKsButtonCtrl* Button(int id) const;
  std::vector<int> ButtonIds() const;
  CKsCheckCtrl* CheckBox() const { return check_; }
  CKsStaticCtrl* TextControl() const { return text_ctrl_; }
  QLabel* IconLabel() const { return icon_; }
  const MessageBoxLayout& Layout() const { return layout_; }

  // Presses the button `id` as a click would: remembers the answer when
  // the box is checked, then ends the box with `id`; kIdHelp opens help.
  void PressButton(int id);

  // ---- Seams, for tests and for programs without the controls. ----

  // Makes the controls. Each may return null: the box then falls back to
  // the desktop's box. Empty members use the hosts' Create.
  struct ControlFactory {
    std::function<CKsButtonCtrl*(QWidget* parent, int id, const QRect&, const QString&)> button;
    std::function<CKsCheckCtrl*(QWidget* parent, int id, const QRect&, const QString&)> check;
    std::function<CKsStaticCtrl*(QWidget* parent, int id, const QRect&, const QString&)> text;
  };
  void SetControlFactory(ControlFactory factory) { factory_ = std::move(factory); }

  // What the fallback shows. The runner returns the id of the button
  // pressed; the default shows a modal QMessageBox.
  struct FallbackBox {
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    uint32_t style = 0;
    std::vector<std::pair<int, QString>> buttons;  // id, caption
    int default_id = mb::kNone;
    int cancel_id = mb::kNone;
  };
  using FallbackRunner = std::function<int(const FallbackBox&)>;
  void SetFallbackRunner(FallbackRunner runner) { fallback_ = std::move(runner); }
  static int RunDesktopMessageBox(const FallbackBox& box);

  // Starts and stops the box's timers, which arrive as WM_TIMER. Empty:
  // platform::SetTimer on this window. Tests record the starts and deliver
  // WM_TIMER themselves, so a countdown needs no real seconds.
  struct TimerDriver {
    std::function<void(uintptr_t id, unsigned interval_ms)> start;
    std::function<void(uintptr_t id)> stop;
  };
  void SetTimerDriver(TimerDriver driver) { timers_ = std::move(driver); }

  // Plays the sound of the icon field. Empty: the desktop's beep.
  void SetSoundPlayer(std::function<void(uint32_t icon)> player) { sound_ = std::move(player); }

 signals:
  void finished(int id);

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct ButtonRecord {
    int id = 0;
    int string_id = mb::kNone;
    QString text;  // used when string_id is kNone
    CKsButtonCtrl* control = nullptr;  // owned by the box as its child
  };

  // Builds the controls; false (with whatever was made removed) when one
  // could not be created.
  bool Initialise();
  bool CreateControls();
  void DestroyControls();
  int RunFallback();
  QString ButtonCaption(const ButtonRecord& record) const;
  QString ShownCaption(const ButtonRecord& record) const;
  void PlaySound();
  void OnCountdownTick();
  void SetLocked(bool locked);
  // Handles a key for the box; true when it was used or swallowed.
  bool HandleKey(QKeyEvent* event);
  void EndWith(int id);
  void StartTimer(uintptr_t id, unsigned interval_ms);
  void StopTimer(uintptr_t id);
  void OpenHelp();
  void PlaceOnScreen();

  QString text_;
  QString caption_;
  uint32_t style_;
  int message_id_;
  std::string key_;

  std::vector<ButtonRecord> buttons_;
  int default_id_ = mb::kNone;
  int cancel_id_ = mb::kNone;
  int countdown_ = 0;
  bool countdown_locks_ = false;
  bool countdown_running_ = false;

  CKsStaticCtrl* text_ctrl_ = nullptr;
  CKsCheckCtrl* check_ = nullptr;
  QLabel* icon_ = nullptr;
  MessageBoxLayout layout_;
  bool built_ = false;
  bool finished_ = false;
  int result_ = mb::kNone;

  std::function<void(int)> help_handler_;
  ControlFactory factory_;
  FallbackRunner fallback_;
  TimerDriver timers_;
  std::function<void(uint32_t)> sound_;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_MSGBOX_KS_MESSAGE_BOX_H_
