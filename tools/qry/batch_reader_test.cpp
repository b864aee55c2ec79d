#include "tools/qry/batch_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarry::qry {
namespace {

// Sources named by the milliseconds they take to load, so that later ones
// finish first.
std::vector<std::string> Sources(const std::vector<int>& delays) {
  std::vector<std::string> sources;
  for (int d : delays) sources.push_back(std::to_string(d));
  return sources;
}

TEST(LoadInOrderTest, ResultsComeInTheSourcesOrderWhateverFinishesFirst) {
  for (int jobs : {1, 3, 16}) {
    const std::vector<std::string> sources = Sources({60, 0, 30, 0, 10, 0, 0, 5});
    std::atomic<int> running{0}, most{0};
    std::vector<size_t> order;
    std::vector<std::string> errors;
    std::vector<size_t> counts;
    LoadInOrder(
        sources, jobs,
        [&](const std::string& source) {
          most = std::max(most.load(), ++running);
          std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(source)));
          LoadedSource loaded;
          loaded.ok = source != "30";
          loaded.error = "failed " + source;
          --running;
          return loaded;
        },
        [&](size_t index, LoadedSource& loaded) {
          order.push_back(index);
          if (!loaded.ok) errors.push_back(loaded.error);
        },
        [&](size_t done) { counts.push_back(done); });
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7})) << jobs;
    EXPECT_EQ(errors, std::vector<std::string>{"failed 30"});
    EXPECT_LE(most.load(), jobs);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), 0u);
    EXPECT_EQ(counts.back(), sources.size());
    for (size_t i = 1; i < counts.size(); ++i) EXPECT_GT(counts[i], counts[i - 1]);
  }
}

TEST(LoadInOrderTest, ASlowFirstSourceHoldsBackOnlyAFewResults) {
  // While the first source takes long, the others may run ahead only by
  // twice the number of jobs: memory stays bounded by a few pages.
  std::vector<int> delays(40, 0);
  delays[0] = 200;
  std::atomic<int> started{0};
  int started_before_first = -1;
  LoadInOrder(
      Sources(delays), 2,
      [&](const std::string& source) {
        ++started;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(source)));
        return LoadedSource{true, "", {}, {}};
      },
      [&](size_t index, LoadedSource&) {
        if (index == 0) started_before_first = started.load();
      });
  EXPECT_LE(started_before_first, 4);
  EXPECT_EQ(started.load(), 40);

  // No sources: nothing is called, nothing waits.
  bool called = false;
  LoadInOrder({}, 4, [&](const std::string&) { called = true; return LoadedSource{}; },
              [&](size_t, LoadedSource&) { called = true; });
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace quarry::qry
