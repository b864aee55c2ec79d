// Window messages between the objects of a program, across threads.
//
// A window is anything that owns a MessageWindow: it gets a WindowHandle
// from a process-wide table when it is built and loses it when it is
// destroyed. Handles are never reused, so a handle kept by another thread
// after its window is gone names nothing: posting to it fails cleanly
// instead of touching freed memory.
//
// Messages are a number and two words (wParam, lParam), handled by the
// window's WindowProc on the thread that built the window, through that
// thread's Qt event loop:
//   - PostMessage queues a message and returns at once, from any thread;
//   - SendMessage runs the handler and returns its result, directly on the
//     window's own thread, else by waiting for that thread to handle it;
//   - SetTimer/KillTimer deliver WM_TIMER (wParam = the timer's id).
// Message numbers are in platform/window_message_ids.h.

#ifndef QUARRY_PLATFORM_WINDOW_MESSAGE_H_
#define QUARRY_PLATFORM_WINDOW_MESSAGE_H_

#include <QEvent>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/window_message_ids.h"

namespace quarry::platform {

// Names a window; 0 names none.
using WindowHandle = uintptr_t;
inline constexpr WindowHandle kNoWindow = 0;

namespace internal {
class MessageReceiver;
struct SendState;
}  // namespace internal

// The event that carries one message to a window's thread. Windows do not
// see it: MessageWindow turns it into a WindowProc call. Exposed for code
// that watches a thread's event queue (tests, event filters).
class WindowMessageEvent : public QEvent {
 public:
  // The event type of posted messages, and of messages sent from another
  // thread (handled first while a thread itself waits in SendMessage).
  static QEvent::Type PostedType();
  static QEvent::Type SentType();

  WindowMessageEvent(uint32_t message, uintptr_t wparam, intptr_t lparam);
  // A sent message: `state` receives the result, or 0 when the event is
  // destroyed unhandled.
  WindowMessageEvent(uint32_t message, uintptr_t wparam, intptr_t lparam,
                     std::shared_ptr<internal::SendState> state);
  ~WindowMessageEvent() override;

  uint32_t message() const { return message_; }
  uintptr_t wparam() const { return wparam_; }
  intptr_t lparam() const { return lparam_; }

  // For a sent message: hands `result` to the waiting sender. Later calls,
  // and the destructor, then do nothing.
  void Reply(intptr_t result);

 private:
  const uint32_t message_;
  const uintptr_t wparam_;
  const intptr_t lparam_;
  std::shared_ptr<internal::SendState> send_state_;
};

// Gives its owner a handle and delivers the handle's messages to
// WindowProc. Use it as a base of a QWidget or QObject ("mixin"), or as a
// member with a handler function.
//
// The window belongs to the thread that constructs it, which must run a Qt
// event loop for posted and cross-thread sent messages to arrive; it must be
// destroyed on that thread too. The handle is valid from construction until
// DestroyWindow() or destruction, whichever comes first; messages still
// queued then are discarded, and senders waiting on them get 0.
class MessageWindow {
 public:
  using Handler = std::function<intptr_t(uint32_t message, uintptr_t wparam,
                                         intptr_t lparam)>;

  // A window whose messages go to WindowProc, which a derived class
  // overrides.
  MessageWindow();
  // A window whose messages go to `handler` (unless WindowProc is
  // overridden).
  explicit MessageWindow(Handler handler);
  virtual ~MessageWindow();

  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // This window's handle; kNoWindow once destroyed.
  WindowHandle Handle() const { return handle_; }

  // Gives up the handle now, before the destructor runs: later posts and
  // sends fail, queued messages are dropped, timers stop and waiting
  // senders get 0. A class deriving from MessageWindow calls it first in
  // its own destructor when messages must not reach it while it is being
  // torn down. Idempotent.
  void DestroyWindow();

 protected:
  // Handles one message on the window's thread and returns its result
  // (SendMessage's return value). The default passes it to the handler
  // given at construction, and returns 0 without one.
  virtual intptr_t WindowProc(uint32_t message, uintptr_t wparam,
                              intptr_t lparam);

 private:
  friend class internal::MessageReceiver;

  Handler handler_;
  std::unique_ptr<internal::MessageReceiver> receiver_;
  WindowHandle handle_ = kNoWindow;
};

// True while `window` names a live window.
bool IsWindow(WindowHandle window);

// Queues the message for `window` and returns without waiting; safe from
// any thread. False when the window does not exist (nothing is queued).
bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wparam = 0,
                 intptr_t lparam = 0);

// Queues `call` to run on the window's thread, as a posted message would,
// and returns without waiting; safe from any thread. This is how a value
// travels with a message: the call owns what it captured, and when the
// window is gone before the call can run, the call is destroyed unrun and
// what it held is freed. False when the window does not exist (`call` is
// then destroyed at once).
bool PostCall(WindowHandle window, std::function<void()> call);

// Has the window handle the message and returns the handler's result. On
// the window's own thread the handler is called directly. From another
// thread the call waits until the window's thread has handled it, meanwhile
// handling messages sent to this thread's own windows (so two threads
// sending to each other do not deadlock). Returns 0 when the window does
// not exist, is destroyed before handling the message, or its thread no
// longer serves messages: the thread has finished, or, for the main thread,
// the application has left its main event loop (so a main thread that
// joins its workers at exit cannot deadlock with one of them).
intptr_t SendMessage(WindowHandle window, uint32_t message,
                     uintptr_t wparam = 0, intptr_t lparam = 0);

// SendMessage that gives up after `timeout` when called from another
// thread. The result when the handler ran; nullopt when the window was gone
// or the time ran out (the message may still be handled later, its result
// then being dropped).
std::optional<intptr_t> SendMessageTimeout(WindowHandle window,
                                           uint32_t message, uintptr_t wparam,
                                           intptr_t lparam,
                                           std::chrono::milliseconds timeout);

// Starts (or restarts with the new interval) the window's timer `id`, which
// then delivers WM_TIMER with wParam = id every `interval_ms` (at least 10)
// until killed or the window is destroyed. Must be called on the window's
// thread; false otherwise or when the window does not exist.
bool SetTimer(WindowHandle window, uintptr_t id, unsigned interval_ms);

// Stops the window's timer `id`. Must be called on the window's thread;
// false when there was no such timer. A WM_TIMER of that timer is never
// delivered after this returns.
bool KillTimer(WindowHandle window, uintptr_t id);

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_WINDOW_MESSAGE_H_
