#include "updater/size_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "web/offline_state.h"
#include "web/web_retrieval.h"

namespace quarry {

struct SizeWorkerPool::State {
  std::vector<Job> jobs;
  std::shared_ptr<SizeSink> sink;
  SizeQuery query;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::atomic<int64_t> total{0};
  std::mutex mu;
  std::condition_variable done;
  int running = 0;  // guarded by mu
};

namespace {

int64_t QueryLength(const std::string& url) {
  WebRetrievalRequest request;
  request.url = url;
  request.connect_timeout = 10000;
  request.stall_timeout = 20;
  return QueryContentLength(&request);
}

}  // namespace

int WorkerCount(size_t records, bool lan) {
  if (records > 15 && lan) return static_cast<int>(std::min<size_t>((records + 2) / 3, 10));
  return static_cast<int>(std::min<size_t>(records, 5));
}

bool OnLanConnection() {
  uint32_t flags = 0;
  return InternetGetConnectedState(&flags) && (flags & kConnectionLan) != 0;
}

SizeWorkerPool::SizeWorkerPool(SizeQuery query)
    : query_(query ? std::move(query) : SizeQuery(QueryLength)) {}

SizeWorkerPool::~SizeWorkerPool() { Stop(std::chrono::seconds(2)); }

bool SizeWorkerPool::Running() const {
  if (!state_) return false;
  std::lock_guard lock(state_->mu);
  return state_->running > 0;
}

int SizeWorkerPool::LastWorkerCount() const { return last_workers_; }

bool SizeWorkerPool::Start(std::vector<Job> jobs, int workers, std::shared_ptr<SizeSink> sink) {
  if (Running()) return false;
  auto state = std::make_shared<State>();
  state->jobs = std::move(jobs);
  state->sink = std::move(sink);
  state->query = query_;
  workers = std::max(1, workers);
  if (state->jobs.empty()) {
    last_workers_ = 0;
    state_ = state;
    if (state->sink) state->sink->AllSizesKnown(0);
    return true;
  }
  state->running = workers;
  state_ = state;
  last_workers_ = workers;
  for (int i = 0; i < workers; ++i) {
    std::thread([state] {
      while (!state->stop.load()) {
        const size_t index = state->next.fetch_add(1);
        if (index >= state->jobs.size()) break;
        const Job& job = state->jobs[index];
        const int64_t bytes = state->query(job.url);
        if (bytes > 0) state->total.fetch_add(bytes);
        if (state->sink) state->sink->SizeKnown(job.row, bytes);
      }
      bool last = false;
      {
        std::lock_guard lock(state->mu);
        last = --state->running == 0;
      }
      if (last && !state->stop.load() && state->sink) {
        state->sink->AllSizesKnown(state->total.load());
      }
      state->done.notify_all();
    }).detach();
  }
  return true;
}

bool SizeWorkerPool::Stop(std::chrono::milliseconds limit) {
  if (!state_) return true;
  state_->stop.store(true);
  std::unique_lock lock(state_->mu);
  return state_->done.wait_for(lock, limit, [this] { return state_->running == 0; });
}

}  // namespace quarry
