// The size workers: how many run, that every job is reported once, and the
// total at the end.

#include "updater/size_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace quarry {
namespace {

TEST(SizePoolTest, WorkerCountFollowsTheListAndTheConnection) {
  struct Case {
    size_t records;
    bool lan;
    int workers;
  } cases[] = {{0, false, 0}, {1, false, 1}, {5, true, 5},  {9, false, 5},  {15, true, 5},
               {16, false, 5}, {16, true, 6}, {17, true, 6}, {40, true, 10}, {400, true, 10}};
  for (const auto& c : cases) {
    EXPECT_EQ(WorkerCount(c.records, c.lan), c.workers) << c.records << (c.lan ? " LAN" : "");
  }
}

class CollectingSink : public SizeSink {
 public:
  void SizeKnown(size_t row, int64_t bytes) override {
    std::lock_guard lock(mu);
    ++reports[row];
    sizes[row] = bytes;
  }
  void AllSizesKnown(int64_t total_bytes) override {
    std::lock_guard lock(mu);
    total = total_bytes;
    ++finished;
    done.notify_all();
  }
  bool WaitFinished() {
    std::unique_lock lock(mu);
    return done.wait_for(lock, std::chrono::seconds(10), [this] { return finished > 0; });
  }
  std::mutex mu;
  std::condition_variable done;
  std::map<size_t, int> reports;
  std::map<size_t, int64_t> sizes;
  int64_t total = -2;
  int finished = 0;
};

TEST(SizePoolTest, EveryJobIsAskedOnceAndTheTotalComesLast) {
  std::atomic<int> concurrent{0}, most{0};
  SizeWorkerPool pool([&](const std::string& url) -> int64_t {
    const int now = ++concurrent;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    --concurrent;
    return url == "missing" ? -1 : static_cast<int64_t>(url.size()) * 1024;
  });
  std::vector<SizeWorkerPool::Job> jobs;
  int64_t expected = 0;
  for (size_t i = 0; i < 40; ++i) {
    std::string url = i == 7 ? "missing" : std::string(i + 1, 'u');
    if (i != 7) expected += static_cast<int64_t>(url.size()) * 1024;
    jobs.push_back({i, url});
  }
  auto sink = std::make_shared<CollectingSink>();
  ASSERT_TRUE(pool.Start(jobs, WorkerCount(jobs.size(), true), sink));
  EXPECT_FALSE(pool.Start(jobs, 1, sink));  // one run at a time
  ASSERT_TRUE(sink->WaitFinished());
  EXPECT_TRUE(pool.Stop(std::chrono::seconds(5)));
  EXPECT_EQ(pool.LastWorkerCount(), 10);
  EXPECT_LE(most.load(), 10);
  EXPECT_EQ(sink->reports.size(), 40u);
  for (const auto& [row, count] : sink->reports) EXPECT_EQ(count, 1) << row;
  EXPECT_EQ(sink->sizes[7], -1);
  EXPECT_EQ(sink->total, expected);
  EXPECT_EQ(sink->finished, 1);
}

TEST(SizePoolTest, AStoppedPoolHandsOutNoMoreJobsAndSkipsTheTotal) {
  std::atomic<int> asked{0};
  auto sink = std::make_shared<CollectingSink>();
  {
    SizeWorkerPool pool([&](const std::string&) -> int64_t {
      ++asked;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      return 1;
    });
    std::vector<SizeWorkerPool::Job> jobs(100, {0, "x"});
    ASSERT_TRUE(pool.Start(jobs, 2, sink));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }  // the destructor stops it
  EXPECT_LT(asked.load(), 10);
  EXPECT_EQ(sink->finished, 0);

  SizeWorkerPool empty([](const std::string&) -> int64_t { return 1; });
  ASSERT_TRUE(empty.Start({}, 3, sink));
  EXPECT_EQ(sink->finished, 1);
  EXPECT_EQ(sink->total, 0);
}

}  // namespace
}  // namespace quarry
