#include "tools/qry/batch_reader.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace quarry::qry {

void LoadInOrder(const std::vector<std::string>& sources, int jobs,
                 const LoadSourceFunction& load, const TakeSourceFunction& take,
                 const SourceCountFunction& count) {
  const size_t total = sources.size();
  const size_t workers = std::min(total, static_cast<size_t>(std::max(jobs, 1)));
  const size_t window = 2 * workers;

  std::mutex mu;
  std::condition_variable changed;
  std::vector<std::optional<LoadedSource>> results(total);
  size_t next_start = 0;  // the next source a worker takes up
  size_t next_take = 0;   // the next result handed on
  size_t done = 0;        // sources read

  auto work = [&] {
    std::unique_lock<std::mutex> lock(mu);
    for (;;) {
      changed.wait(lock, [&] { return next_start >= total || next_start < next_take + window; });
      if (next_start >= total) return;
      const size_t index = next_start++;
      lock.unlock();
      LoadedSource loaded = load(sources[index]);
      lock.lock();
      results[index] = std::move(loaded);
      ++done;
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (size_t i = 0; i < workers; ++i) threads.emplace_back(work);

  size_t counted = 0;
  if (count) count(0);
  for (; next_take < total;) {
    std::unique_lock<std::mutex> lock(mu);
    changed.wait(lock, [&] { return results[next_take].has_value() || done != counted; });
    const size_t now_done = done;
    std::optional<LoadedSource> loaded;
    if (results[next_take]) {
      loaded = std::move(results[next_take]);
      results[next_take].reset();
    }
    lock.unlock();
    if (now_done != counted) {
      counted = now_done;
      if (count) count(counted);
    }
    if (!loaded) continue;
    take(next_take, *loaded);
    lock.lock();
    ++next_take;
    changed.notify_all();
  }
  for (std::thread& thread : threads) thread.join();
}

}  // namespace quarry::qry
