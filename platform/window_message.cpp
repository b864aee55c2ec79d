#include "platform/window_message.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <unordered_map>

namespace quarry::platform {
namespace internal {

// What a thread blocked in SendMessage waits on. Completed exactly once:
// with the handler's result, or without one when the message is dropped.
struct SendState {
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
  std::optional<intptr_t> result;

  void Complete(std::optional<intptr_t> value) {
    {
      std::lock_guard<std::mutex> lock(mu);
      if (done) return;
      done = true;
      result = value;
    }
    cv.notify_all();
  }

  // True once completed; waits at most `slice` for it.
  bool WaitFor(std::chrono::milliseconds slice) {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, slice, [this] { return done; });
  }
};

// The QObject that stands for a MessageWindow in its thread's event loop.
// Kept apart from the owner so that owners need not be QObjects and need
// not override event().
class MessageReceiver : public QObject {
 public:
  explicit MessageReceiver(MessageWindow* window) : window_(window) {}

  // Runs the window's handler; 0 once the window has been detached.
  intptr_t Dispatch(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (window_ == nullptr) return 0;
    ++dispatch_depth_;
    const intptr_t result = window_->WindowProc(message, wparam, lparam);
    --dispatch_depth_;
    return result;
  }

  bool InDispatch() const { return dispatch_depth_ > 0; }
  bool Attached() const { return window_ != nullptr; }

  // Cuts the link to the window and stops its timers; from then on events
  // that still arrive are dropped.
  void Detach() {
    for (const auto& [qt_id, id] : timers_by_qt_id_) killTimer(qt_id);
    timers_by_qt_id_.clear();
    qt_ids_by_timer_.clear();
    window_ = nullptr;
  }

  bool StartTimer(uintptr_t id, unsigned interval_ms) {
    StopTimer(id);
    // As the classic windowing API does, very short intervals are raised to
    // 10 ms so a zero interval cannot spin the event loop.
    const int qt_id = startTimer(std::chrono::milliseconds(std::max(interval_ms, 10u)));
    if (qt_id == 0) return false;
    timers_by_qt_id_[qt_id] = id;
    qt_ids_by_timer_[id] = qt_id;
    return true;
  }

  bool StopTimer(uintptr_t id) {
    auto it = qt_ids_by_timer_.find(id);
    if (it == qt_ids_by_timer_.end()) return false;
    killTimer(it->second);
    timers_by_qt_id_.erase(it->second);
    qt_ids_by_timer_.erase(it);
    return true;
  }

 protected:
  bool event(QEvent* event) override {
    if (event->type() == WindowMessageEvent::PostedType() ||
        event->type() == WindowMessageEvent::SentType()) {
      auto* message = static_cast<WindowMessageEvent*>(event);
      message->Reply(Dispatch(message->message(), message->wparam(), message->lparam()));
      return true;
    }
    return QObject::event(event);
  }

  void timerEvent(QTimerEvent* event) override {
    // A tick already queued when its timer was killed finds no entry and is
    // dropped.
    auto it = timers_by_qt_id_.find(event->timerId());
    if (it == timers_by_qt_id_.end()) return;
    Dispatch(WM_TIMER, it->second, 0);
  }

 private:
  MessageWindow* window_;
  int dispatch_depth_ = 0;
  std::map<int, uintptr_t> timers_by_qt_id_;
  std::map<uintptr_t, int> qt_ids_by_timer_;
};

}  // namespace internal

namespace {

using internal::MessageReceiver;
using internal::SendState;

struct WindowEntry {
  MessageReceiver* receiver;
  QThread* thread;
};

// The process-wide handle table. A receiver is reachable through it only
// while its window lives, and events are posted to a receiver only with the
// lock held, so a post can never race with the receiver's deletion.
struct WindowTable {
  std::mutex mu;
  std::unordered_map<WindowHandle, WindowEntry> windows;
  WindowHandle last_handle = 0;
};

// Never destroyed, so late threads and static destructors can still post.
WindowTable& Table() {
  static WindowTable* table = new WindowTable;
  return *table;
}

std::optional<WindowEntry> FindWindow(WindowHandle window) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  auto it = table.windows.find(window);
  if (it == table.windows.end()) return std::nullopt;
  return it->second;
}

// The receiver of `window` when it lives on the calling thread, else null.
MessageReceiver* LocalReceiver(WindowHandle window) {
  std::optional<WindowEntry> entry = FindWindow(window);
  if (!entry || entry->thread != QThread::currentThread()) return nullptr;
  return entry->receiver;
}

// Set once the application has left its main event loop: from then on the
// main thread serves no more messages, and it may well be waiting for the
// very worker that is sending to one of its windows.
std::atomic<bool> g_main_loop_ended{false};

// Watches the current application for the end of its main loop; cheap
// after the first call per application.
void WatchApplication() {
  static std::atomic<QCoreApplication*> watched{nullptr};
  static std::mutex mu;
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || watched.load() == app) return;
  std::lock_guard<std::mutex> lock(mu);
  if (watched.load() == app) return;
  g_main_loop_ended = false;
  QObject::connect(app, &QCoreApplication::aboutToQuit, [] { g_main_loop_ended = true; });
  QObject::connect(app, &QObject::destroyed, [] { watched = nullptr; });
  watched = app;
}

// True when the thread that owns a window can no longer handle messages.
bool ThreadGone(QThread* thread) {
  if (thread == nullptr || QCoreApplication::closingDown()) return true;
  if (g_main_loop_ended && QCoreApplication::instance() != nullptr &&
      thread == QCoreApplication::instance()->thread()) {
    return true;
  }
  return thread->isFinished();
}

std::optional<intptr_t> SendAndWait(WindowHandle window, uint32_t message,
                                    uintptr_t wparam, intptr_t lparam,
                                    std::optional<std::chrono::milliseconds> timeout) {
  QThread* target_thread = nullptr;
  MessageReceiver* local_receiver = nullptr;
  auto state = std::make_shared<SendState>();
  {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    auto it = table.windows.find(window);
    if (it == table.windows.end()) return std::nullopt;
    target_thread = it->second.thread;
    if (target_thread == QThread::currentThread()) {
      local_receiver = it->second.receiver;
    } else {
      QCoreApplication::postEvent(
          it->second.receiver,
          new WindowMessageEvent(message, wparam, lparam, state));
    }
  }
  // Only this thread can destroy its own window, so the receiver is still
  // alive after the lock is dropped; the handler runs without the lock so
  // that it may post, send and create windows itself.
  if (local_receiver != nullptr) return local_receiver->Dispatch(message, wparam, lparam);

  WatchApplication();
  // Short slices: between them this thread serves messages sent to its own
  // windows and checks that the target can still answer.
  constexpr std::chrono::milliseconds kSlice(20);
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (state->WaitFor(kSlice)) break;
    QCoreApplication::sendPostedEvents(nullptr, WindowMessageEvent::SentType());
    if (state->WaitFor(std::chrono::milliseconds(0))) break;
    // A window destroyed meanwhile has had its queued events deleted, which
    // completes the state; these checks catch a thread that stopped
    // serving its queue without destroying its windows.
    if (!IsWindow(window) || ThreadGone(target_thread)) {
      state->Complete(std::nullopt);
      break;
    }
    if (timeout && std::chrono::steady_clock::now() - start >= *timeout) {
      state->Complete(std::nullopt);
      break;
    }
  }
  std::lock_guard<std::mutex> lock(state->mu);
  return state->result;
}

}  // namespace

QEvent::Type WindowMessageEvent::PostedType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QEvent::Type WindowMessageEvent::SentType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

WindowMessageEvent::WindowMessageEvent(uint32_t message, uintptr_t wparam, intptr_t lparam)
    : QEvent(PostedType()), message_(message), wparam_(wparam), lparam_(lparam) {}

WindowMessageEvent::WindowMessageEvent(uint32_t message, uintptr_t wparam, intptr_t lparam,
                                       std::shared_ptr<internal::SendState> state)
    : QEvent(SentType()),
      message_(message),
      wparam_(wparam),
      lparam_(lparam),
      send_state_(std::move(state)) {}

WindowMessageEvent::~WindowMessageEvent() {
  // Dropped unhandled (window destroyed, queue discarded): wake the sender.
  if (send_state_) send_state_->Complete(std::nullopt);
}

void WindowMessageEvent::Reply(intptr_t result) {
  if (send_state_) send_state_->Complete(result);
}

MessageWindow::MessageWindow() : MessageWindow(Handler()) {}

MessageWindow::MessageWindow(Handler handler)
    : handler_(std::move(handler)),
      receiver_(std::make_unique<internal::MessageReceiver>(this)) {
  WatchApplication();
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  handle_ = ++table.last_handle;
  table.windows.emplace(handle_, WindowEntry{receiver_.get(), receiver_->thread()});
}

MessageWindow::~MessageWindow() { DestroyWindow(); }

void MessageWindow::DestroyWindow() {
  if (handle_ == kNoWindow) return;
  {
    WindowTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    table.windows.erase(handle_);
  }
  handle_ = kNoWindow;
  receiver_->Detach();
  // Deleting the queued events wakes every sender still waiting on them.
  QCoreApplication::removePostedEvents(receiver_.get());
  if (receiver_->InDispatch()) {
    // Destroyed from inside its own handler: the receiver is still on the
    // call stack, so it goes once the event loop gets back control.
    receiver_.release()->deleteLater();
  } else {
    receiver_.reset();
  }
}

intptr_t MessageWindow::WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  return handler_ ? handler_(message, wparam, lparam) : 0;
}

bool IsWindow(WindowHandle window) {
  return window != kNoWindow && FindWindow(window).has_value();
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  auto it = table.windows.find(window);
  if (it == table.windows.end()) return false;
  QCoreApplication::postEvent(it->second.receiver,
                              new WindowMessageEvent(message, wparam, lparam));
  return true;
}

bool PostCall(WindowHandle window, std::function<void()> call) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  auto it = table.windows.find(window);
  if (it == table.windows.end()) return false;
  MessageReceiver* receiver = it->second.receiver;
  // Dropped with the receiver if it goes first; skipped if the window was
  // detached from it meanwhile.
  QMetaObject::invokeMethod(
      receiver,
      [receiver, call = std::move(call)] {
        if (receiver->Attached()) call();
      },
      Qt::QueuedConnection);
  return true;
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wparam,
                     intptr_t lparam) {
  return SendAndWait(window, message, wparam, lparam, std::nullopt).value_or(0);
}

std::optional<intptr_t> SendMessageTimeout(WindowHandle window, uint32_t message,
                                           uintptr_t wparam, intptr_t lparam,
                                           std::chrono::milliseconds timeout) {
  return SendAndWait(window, message, wparam, lparam, timeout);
}

bool SetTimer(WindowHandle window, uintptr_t id, unsigned interval_ms) {
  MessageReceiver* receiver = LocalReceiver(window);
  return receiver != nullptr && receiver->StartTimer(id, interval_ms);
}

bool KillTimer(WindowHandle window, uintptr_t id) {
  MessageReceiver* receiver = LocalReceiver(window);
  return receiver != nullptr && receiver->StopTimer(id);
}

}  // namespace quarry::platform
