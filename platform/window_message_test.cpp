#include "platform/window_message.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quarry::platform {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kMsg = WM_APP + 100;
constexpr uint32_t kOther = WM_APP + 101;

// Runs this thread's event loop until `done` holds or `timeout` passes.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

void PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

struct Received {
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
  QThread* thread;
};

// A window that records what it receives; thread-safe to inspect.
class RecordingWindow : public MessageWindow {
 public:
  std::function<intptr_t(const Received&)> on_message;

  std::vector<Received> Messages() const {
    std::lock_guard<std::mutex> lock(mu_);
    return received_;
  }
  size_t Count() const {
    std::lock_guard<std::mutex> lock(mu_);
    return received_.size();
  }

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    Received r{message, wparam, lparam, QThread::currentThread()};
    {
      std::lock_guard<std::mutex> lock(mu_);
      received_.push_back(r);
    }
    return on_message ? on_message(r) : 0;
  }

 private:
  mutable std::mutex mu_;
  std::vector<Received> received_;
};

// A thread with its own event loop that owns one window while it runs.
class WindowThread : public QThread {
 public:
  std::function<intptr_t(const Received&)> on_message;
  std::atomic<WindowHandle> handle{kNoWindow};

 protected:
  void run() override {
    RecordingWindow window;
    window.on_message = on_message;
    handle = window.Handle();
    exec();
  }
};

TEST(WindowMessageTest, PostsArriveInOrderWithTheirParametersOnTheWindowsThread) {
  RecordingWindow window;
  ASSERT_NE(window.Handle(), kNoWindow);
  EXPECT_TRUE(IsWindow(window.Handle()));
  EXPECT_FALSE(IsWindow(kNoWindow));

  EXPECT_TRUE(PostMessage(window.Handle(), kMsg, 1, -1));
  EXPECT_TRUE(PostMessage(window.Handle(), kOther, UINTPTR_MAX, INTPTR_MIN));
  EXPECT_EQ(window.Count(), 0u) << "a post must not run the handler at once";

  ASSERT_TRUE(PumpUntil([&] { return window.Count() == 2; }));
  const auto got = window.Messages();
  EXPECT_EQ(got[0].message, kMsg);
  EXPECT_EQ(got[0].wparam, 1u);
  EXPECT_EQ(got[0].lparam, -1);
  EXPECT_EQ(got[1].message, kOther);
  EXPECT_EQ(got[1].wparam, UINTPTR_MAX);
  EXPECT_EQ(got[1].lparam, INTPTR_MIN);
  EXPECT_EQ(got[0].thread, QThread::currentThread());
}

TEST(WindowMessageTest, PostsFromWorkerThreadsAllArriveInEachSendersOrder) {
  RecordingWindow window;
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        EXPECT_TRUE(PostMessage(window.Handle(), kMsg, static_cast<uintptr_t>(t), i));
      }
    });
  }
  for (auto& w : workers) w.join();
  ASSERT_TRUE(PumpUntil([&] { return window.Count() == kThreads * kPerThread; }));

  std::vector<intptr_t> next(kThreads, 0);
  for (const Received& r : window.Messages()) {
    ASSERT_LT(r.wparam, static_cast<uintptr_t>(kThreads));
    EXPECT_EQ(r.lparam, next[r.wparam]++) << "from thread " << r.wparam;
    EXPECT_EQ(r.thread, QThread::currentThread());
  }
}

TEST(WindowMessageTest, SendOnTheWindowsThreadCallsTheHandlerDirectly) {
  RecordingWindow window;
  window.on_message = [](const Received& r) { return static_cast<intptr_t>(r.wparam) * 2; };
  EXPECT_EQ(SendMessage(window.Handle(), kMsg, 21, 0), 42);
  EXPECT_EQ(window.Count(), 1u);

  MessageWindow with_function([](uint32_t m, uintptr_t w, intptr_t l) {
    return static_cast<intptr_t>(m + w) + l;
  });
  EXPECT_EQ(SendMessage(with_function.Handle(), 1, 2, 3), 6);
  MessageWindow silent;
  EXPECT_EQ(SendMessage(silent.Handle(), kMsg, 1, 1), 0);
}

TEST(WindowMessageTest, SendFromAWorkerWaitsForTheWindowsThread) {
  RecordingWindow window;
  window.on_message = [](const Received& r) { return r.lparam + 1; };
  std::atomic<intptr_t> result{-1};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    result = SendMessage(window.Handle(), kMsg, 0, 41);
    finished = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(result.load(), 42);
  ASSERT_EQ(window.Count(), 1u);
  EXPECT_EQ(window.Messages()[0].thread, QThread::currentThread());
}

TEST(WindowMessageTest, DestroyedWindowsTakeNoMessagesAndTheirHandlesStayDead) {
  WindowHandle old_handle;
  bool delivered = false;
  {
    MessageWindow window([&](uint32_t, uintptr_t, intptr_t) {
      delivered = true;
      return 0;
    });
    old_handle = window.Handle();
    ASSERT_TRUE(PostMessage(old_handle, kMsg));  // still queued at destruction
  }
  PumpFor(50ms);
  EXPECT_FALSE(delivered);
  EXPECT_FALSE(IsWindow(old_handle));
  EXPECT_FALSE(PostMessage(old_handle, kMsg));
  EXPECT_EQ(SendMessage(old_handle, kMsg), 0);

  // Handles are never handed out twice.
  MessageWindow next;
  EXPECT_NE(next.Handle(), old_handle);
  EXPECT_FALSE(IsWindow(old_handle));

  // Posts from other threads to a dead handle fail cleanly too.
  std::thread worker([&] { EXPECT_FALSE(PostMessage(old_handle, kMsg)); });
  worker.join();
}

TEST(WindowMessageTest, ACallCarriesItsValueAndFreesItWhenTheWindowIsGone) {
  // The payload counts its own copies: every one made must be freed, run or
  // not (the sanitizer build also checks that nothing leaks).
  auto payload = std::make_shared<std::string>("reason");
  std::string got;
  {
    MessageWindow window;
    ASSERT_TRUE(PostCall(window.Handle(), [&got, payload] { got = *payload; }));
    PumpUntil([&] { return !got.empty(); });
    EXPECT_EQ(got, "reason");

    got.clear();
    // Posted from a worker, still queued when the window goes.
    std::thread worker([&window, payload, &got] {
      EXPECT_TRUE(PostCall(window.Handle(), [&got, payload] { got = "ran"; }));
    });
    worker.join();
  }
  PumpFor(50ms);
  EXPECT_TRUE(got.empty());
  EXPECT_EQ(payload.use_count(), 1);
  EXPECT_FALSE(PostCall(kNoWindow, [payload] {}));
  EXPECT_EQ(payload.use_count(), 1);
}

TEST(WindowMessageTest, AWindowMayDestroyItselfInsideItsHandler) {
  RecordingWindow window;
  window.on_message = [&](const Received&) {
    window.DestroyWindow();
    return 7;
  };
  const WindowHandle handle = window.Handle();
  ASSERT_TRUE(PostMessage(handle, kMsg));
  ASSERT_TRUE(PostMessage(handle, kOther));  // dropped with the window
  ASSERT_TRUE(PumpUntil([&] { return window.Count() >= 1; }));
  PumpFor(30ms);
  EXPECT_EQ(window.Count(), 1u);
  EXPECT_EQ(window.Handle(), kNoWindow);
  EXPECT_FALSE(IsWindow(handle));
  window.DestroyWindow();  // again: harmless
}

TEST(WindowMessageTest, SendToAWindowDestroyedWhileTheSenderWaitsReturnsZero) {
  // The worker posts to `first` and then sends to `second`; the main thread
  // handles the post first and destroys `second` there, while the send is
  // still queued behind it.
  auto second = std::make_unique<RecordingWindow>();
  second->on_message = [](const Received&) { return 99; };
  const WindowHandle second_handle = second->Handle();
  MessageWindow first([&](uint32_t, uintptr_t, intptr_t) {
    second.reset();
    return 0;
  });

  std::atomic<intptr_t> result{-1};
  std::atomic<bool> sending{false};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    EXPECT_TRUE(PostMessage(first.Handle(), kMsg));
    sending = true;
    result = SendMessage(second_handle, kOther);
    finished = true;
  });
  // The main thread stays out of its event loop until the worker has queued
  // both, so they wait in order.
  for (int i = 0; i < 500 && !sending.load(); ++i) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(PumpUntil([&] { return finished.load(); }, 2s));
  worker.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(second, nullptr);
}

TEST(WindowMessageTest, SendToAThreadThatStoppedServingItsWindowReturns) {
  // A thread builds a window and ends without an event loop, leaving the
  // window behind: nobody will ever handle the message.
  MessageWindow* orphan = nullptr;
  std::unique_ptr<QThread> thread(QThread::create([&] { orphan = new MessageWindow; }));
  thread->start();
  ASSERT_TRUE(thread->wait(5000));
  ASSERT_NE(orphan, nullptr);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendMessage(orphan->Handle(), kMsg), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  delete orphan;
}

TEST(WindowMessageDeathTest, SendToTheMainThreadAfterItsLoopEndedReturns) {
  // As a program does at exit: leave the main loop, then join a worker that
  // is sending to a window of the main thread. Run apart, since the end of
  // the main loop is for good.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        RecordingWindow window;
        QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
        auto result = std::async(std::launch::async,
                                 [&] { return SendMessage(window.Handle(), kMsg, 0, 0); });
        if (result.wait_for(5s) != std::future_status::ready) _exit(2);
        _exit(result.get() == 0 && window.Count() == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(WindowMessageTest, SendTimeoutGivesUpOnABusyWindow) {
  // The main thread never enters its event loop during the send.
  RecordingWindow window;
  std::optional<intptr_t> result = 5;
  std::thread worker([&] {
    result = SendMessageTimeout(window.Handle(), kMsg, 0, 0, 100ms);
  });
  worker.join();
  EXPECT_FALSE(result.has_value());
  // The message is still handled later; its result is dropped.
  ASSERT_TRUE(PumpUntil([&] { return window.Count() == 1; }));

  window.on_message = [](const Received&) { return 3; };
  EXPECT_EQ(SendMessageTimeout(window.Handle(), kMsg, 0, 0, 100ms), 3);
  EXPECT_EQ(SendMessageTimeout(kNoWindow, kMsg, 0, 0, 100ms), std::nullopt);
}

TEST(WindowMessageTest, ThreadsSendingToEachOtherDoNotDeadlock) {
  // Main sends to the worker's window, whose handler sends back to a window
  // of the main thread while main is still waiting.
  RecordingWindow main_window;
  main_window.on_message = [](const Received& r) { return r.lparam * 10; };
  const WindowHandle main_handle = main_window.Handle();

  WindowThread thread;
  thread.on_message = [main_handle](const Received& r) {
    return SendMessage(main_handle, kOther, 0, r.lparam) + 1;
  };
  thread.start();
  ASSERT_TRUE(PumpUntil([&] { return thread.handle.load() != kNoWindow; }));

  EXPECT_EQ(SendMessageTimeout(thread.handle, kMsg, 0, 4, 5s), 41);
  ASSERT_EQ(main_window.Count(), 1u);
  EXPECT_EQ(main_window.Messages()[0].thread, QThread::currentThread());

  thread.quit();
  ASSERT_TRUE(thread.wait(5000));
  EXPECT_FALSE(IsWindow(thread.handle));
}

TEST(WindowMessageTest, TimersTickWithTheirIdUntilKilled) {
  RecordingWindow window;
  const WindowHandle handle = window.Handle();
  ASSERT_TRUE(SetTimer(handle, 21, 10));
  ASSERT_TRUE(SetTimer(handle, 22, 10));
  ASSERT_TRUE(PumpUntil([&] {
    int a = 0, b = 0;
    for (const Received& r : window.Messages()) {
      if (r.message == WM_TIMER && r.wparam == 21) ++a;
      if (r.message == WM_TIMER && r.wparam == 22) ++b;
    }
    return a >= 3 && b >= 3;
  }));

  EXPECT_TRUE(KillTimer(handle, 21));
  EXPECT_FALSE(KillTimer(handle, 21));
  EXPECT_FALSE(KillTimer(handle, 99));
  const size_t before = window.Count();
  size_t ticks_of_21 = 0;
  PumpFor(60ms);
  const auto got = window.Messages();
  for (size_t i = before; i < got.size(); ++i) {
    if (got[i].wparam == 21) ++ticks_of_21;
  }
  EXPECT_EQ(ticks_of_21, 0u);
  EXPECT_GT(got.size(), before) << "timer 22 keeps running";

  // Timers belong to the window's thread.
  std::thread worker([&] {
    EXPECT_FALSE(SetTimer(handle, 23, 10));
    EXPECT_FALSE(KillTimer(handle, 22));
  });
  worker.join();

  // Destroying the window stops its timers.
  window.DestroyWindow();
  EXPECT_FALSE(SetTimer(handle, 24, 10));
  const size_t at_destroy = window.Count();
  PumpFor(40ms);
  EXPECT_EQ(window.Count(), at_destroy);
}

}  // namespace
}  // namespace quarry::platform

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
