// A program of the maker's kind for the update tests: when it starts it
// appends "<version> <pid>" to the file named by $KS_TEST_PROGRAM_LOG, then
// runs until it is terminated, two minutes at most, so that a test that
// fails never leaves it behind for long.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main() {
  if (const char* log = std::getenv("KS_TEST_PROGRAM_LOG")) {
    if (std::FILE* out = std::fopen(log, "a")) {
      std::fprintf(out, "%s %d\n", TEST_PROGRAM_VERSION, static_cast<int>(::getpid()));
      std::fclose(out);
    }
  }
  for (int i = 0; i < 1200; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return 0;
}
