#include "updater/size_pool.h"

#include <atomic>

#include "web/web_retrieval.h"

namespace quarry {

namespace {

int64_t QueryLength(const std::string& url) {
  WebRetrievalRequest request;
  request.url = url;
  request.connect_timeout = 10000;
  request.stall_timeout = 20;
  return QueryContentLength(&request);
}

}  // namespace

SizeWorkerPool::SizeWorkerPool(SizeQuery query)
    : query_(query ? std::move(query) : SizeQuery(QueryLength)) {}

SizeWorkerPool::~SizeWorkerPool() { pool_.Stop(std::chrono::seconds(2)); }

bool SizeWorkerPool::Start(std::vector<Job> jobs, int workers, std::shared_ptr<SizeSink> sink) {
  if (pool_.Running()) return false;
  // What the threads share; it lives as long as the last of them.
  struct Run {
    std::vector<Job> jobs;
    std::shared_ptr<SizeSink> sink;
    SizeQuery query;
    std::atomic<int64_t> total{0};
  };
  auto run = std::make_shared<Run>();
  run->jobs = std::move(jobs);
  run->sink = std::move(sink);
  run->query = query_;
  const size_t count = run->jobs.size();
  return pool_.Start(
      count, workers,
      [run](size_t index, const std::atomic<bool>&) {
        const Job& job = run->jobs[index];
        const int64_t bytes = run->query(job.url);
        if (bytes > 0) run->total.fetch_add(bytes);
        if (run->sink) run->sink->SizeKnown(job.row, bytes);
      },
      [run] {
        if (run->sink) run->sink->AllSizesKnown(run->total.load());
      });
}

}  // namespace quarry
