// A small pool of threads that works through numbered jobs: each worker
// takes the next index from a shared counter until none is left, and the
// last worker to finish reports the end. The updater asks for file sizes
// and downloads files this way.
//
// The pool's state is shared with its threads, so destroying the pool
// never leaves a thread with freed memory: it stops handing out jobs, waits
// a bounded time for the jobs under way, and lets any still running finish
// on their own. A job that may take long watches the stop flag it is given
// (a download passes it on as its cancel flag).

#ifndef QUARRY_UPDATER_WORKER_POOL_H_
#define QUARRY_UPDATER_WORKER_POOL_H_

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace quarry {

// Workers for `records` jobs: min(records, 5); with more than 15 records on
// a LAN connection ceil(records / 3), at most 10.
int WorkerCount(size_t records, bool lan);

// Whether the machine's connection is a LAN (InternetGetConnectedState).
bool OnLanConnection();

class WorkerPool {
 public:
  // Runs job `index` on a worker thread; `stop` turns true when the pool is
  // stopped.
  using Work = std::function<void(size_t index, const std::atomic<bool>& stop)>;
  // Called once on the last worker's thread after every job ran; not when
  // the pool was stopped first.
  using Done = std::function<void()>;

  WorkerPool() = default;
  // Stops handing out jobs and waits up to two seconds for the workers.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts `workers` threads (at least one) over jobs 0 .. jobs - 1. With no
  // jobs, `done` is called at once on the caller's thread and no thread
  // starts. False, starting nothing, while an earlier run is still going.
  bool Start(size_t jobs, int workers, Work work, Done done);

  bool Running() const;
  // How many threads the running (or last) run started.
  int LastWorkerCount() const { return last_workers_; }

  // Stops handing out jobs and waits up to `limit` for the workers to end;
  // true when they did.
  bool Stop(std::chrono::milliseconds limit);

 private:
  struct State;
  std::shared_ptr<State> state_;
  int last_workers_ = 0;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_WORKER_POOL_H_
