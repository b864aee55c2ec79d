#include "updater/worker_pool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "web/offline_state.h"

namespace quarry {

struct WorkerPool::State {
  size_t jobs = 0;
  Work work;
  Done done;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex mu;
  std::condition_variable ended;
  int running = 0;  // guarded by mu
};

int WorkerCount(size_t records, bool lan) {
  if (records > 15 && lan) return static_cast<int>(std::min<size_t>((records + 2) / 3, 10));
  return static_cast<int>(std::min<size_t>(records, 5));
}

bool OnLanConnection() {
  uint32_t flags = 0;
  return InternetGetConnectedState(&flags) && (flags & kConnectionLan) != 0;
}

WorkerPool::~WorkerPool() { Stop(std::chrono::seconds(2)); }

bool WorkerPool::Running() const {
  if (!state_) return false;
  std::lock_guard lock(state_->mu);
  return state_->running > 0;
}

bool WorkerPool::Start(size_t jobs, int workers, Work work, Done done) {
  if (Running()) return false;
  auto state = std::make_shared<State>();
  state->jobs = jobs;
  state->work = std::move(work);
  state->done = std::move(done);
  state_ = state;
  if (jobs == 0) {
    last_workers_ = 0;
    if (state->done) state->done();
    return true;
  }
  workers = std::max(1, workers);
  state->running = workers;
  last_workers_ = workers;
  for (int i = 0; i < workers; ++i) {
    std::thread([state] {
      while (!state->stop.load()) {
        const size_t index = state->next.fetch_add(1);
        if (index >= state->jobs) break;
        state->work(index, state->stop);
      }
      bool last = false;
      {
        std::lock_guard lock(state->mu);
        last = --state->running == 0;
      }
      if (last && !state->stop.load() && state->done) state->done();
      state->ended.notify_all();
    }).detach();
  }
  return true;
}

bool WorkerPool::Stop(std::chrono::milliseconds limit) {
  if (!state_) return true;
  state_->stop.store(true);
  std::unique_lock lock(state_->mu);
  return state_->ended.wait_for(lock, limit, [this] { return state_->running == 0; });
}

}  // namespace quarry
