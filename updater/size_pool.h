// The pool of workers that asks the server for the size of each file to
// download ("RetrieveOnlineVersions"): each worker takes the next job by a
// shared counter, asks for its length, and reports it; the last worker to
// finish reports the total. A worker pool (worker_pool.h) underneath, with
// its promise that destroying the pool frees nothing a thread still uses
// (each query is bounded by its time-outs).

#ifndef QUARRY_UPDATER_SIZE_POOL_H_
#define QUARRY_UPDATER_SIZE_POOL_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "updater/worker_pool.h"

namespace quarry {

// Receives the pool's results on its worker threads.
class SizeSink {
 public:
  virtual ~SizeSink() = default;
  // `bytes` is -1 when the size could not be learnt.
  virtual void SizeKnown(size_t row, int64_t bytes) = 0;
  // After the last job: the sum of the known sizes.
  virtual void AllSizesKnown(int64_t total_bytes) = 0;
};

class SizeWorkerPool {
 public:
  struct Job {
    size_t row = 0;
    std::string url;
  };
  // Asks for the length of one address; -1 when unknown. The default asks
  // the server (QueryContentLength, bounded by time-outs).
  using SizeQuery = std::function<int64_t(const std::string& url)>;

  explicit SizeWorkerPool(SizeQuery query = {});
  // Stops handing out jobs and waits up to two seconds for the workers.
  ~SizeWorkerPool();
  SizeWorkerPool(const SizeWorkerPool&) = delete;
  SizeWorkerPool& operator=(const SizeWorkerPool&) = delete;

  // Starts `workers` threads over `jobs` (at least one worker; an empty job
  // list reports a total of 0 at once). False, starting nothing, while an
  // earlier run is still going.
  bool Start(std::vector<Job> jobs, int workers, std::shared_ptr<SizeSink> sink);

  bool Running() const { return pool_.Running(); }
  // How many threads the running (or last) run started.
  int LastWorkerCount() const { return pool_.LastWorkerCount(); }

  // Stops handing out jobs and waits up to `limit` for the workers to end;
  // true when they did.
  bool Stop(std::chrono::milliseconds limit) { return pool_.Stop(limit); }

 private:
  SizeQuery query_;
  WorkerPool pool_;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_SIZE_POOL_H_
