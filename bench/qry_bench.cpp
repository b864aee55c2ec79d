// `qry` as a user runs it: a whole process, start-up included, on a saved
// page generated like the engine benchmarks' (2 MiB, 500 tables), and
// `qry --version` for the start-up alone.
//
// Times are wall-clock (a process's start is not the benchmark thread's
// CPU time); "child_cpu_ms" is the user and system CPU time of one run, as
// the system counts it for its children. The settings store qry reads is a
// fresh file in the benchmark's own folder, never the user's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/page_generator.h"

extern char** environ;

namespace quarry::bench {
namespace {

namespace fs = std::filesystem;

// The folder with the page and the settings store, made once and removed
// at exit.
class Workspace {
 public:
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "quarry-qry-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
    page_ = (dir_ / "page.html").string();
    const std::string bytes = GeneratePage(size_t{2048} << 10, 500);
    page_bytes_ = bytes.size();
    std::ofstream(page_, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    store_ = "ZT_REGISTRY_FILE=" + (dir_ / "settings.sqlite").string();
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  const std::string& page() const { return page_; }
  size_t page_bytes() const { return page_bytes_; }
  const std::string& store() const { return store_; }

 private:
  fs::path dir_;
  std::string page_;
  size_t page_bytes_ = 0;
  std::string store_;
};

const Workspace& Space() {
  static const Workspace space;
  return space;
}

// Runs qry with `args`, its output to /dev/null; returns its exit status,
// or -1 when it could not be run.
int RunQry(const std::vector<std::string>& args) {
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("ZT_REGISTRY_FILE=", 0) != 0) env_text.emplace_back(*e);
  }
  env_text.push_back(Space().store());
  std::vector<char*> env;
  for (std::string& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);

  std::vector<std::string> argv_text = {QRY_PATH};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, QRY_PATH, &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double ChildrenCpuMs() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void Measure(benchmark::State& state, const std::vector<std::string>& args, size_t bytes) {
  const double cpu_before = ChildrenCpuMs();
  for (auto _ : state) {
    if (RunQry(args) != 0) {
      state.SkipWithError("qry did not succeed");
      return;
    }
  }
  state.counters["child_cpu_ms"] =
      (ChildrenCpuMs() - cpu_before) / static_cast<double>(state.iterations());
  if (bytes > 0) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  }
}

void BM_QryTablesProcess(benchmark::State& state) {
  Measure(state, {"tables", Space().page()}, Space().page_bytes());
}
BENCHMARK(BM_QryTablesProcess)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_QryVersionProcess(benchmark::State& state) { Measure(state, {"--version"}, 0); }
BENCHMARK(BM_QryVersionProcess)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace quarry::bench
