// Starting helper programs (the desktop's opener, the component
// registration tool) and learning how they ended, without a shell and
// without Qt, so that worker threads can use it.

#ifndef QUARRY_APP_CHILD_PROCESS_H_
#define QUARRY_APP_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace quarry {

// Starts argv[0] (searched on PATH when it holds no "/") with the remaining
// arguments and the current environment. Returns the child's id, or -1 with
// a one-line reason in `*error` when it could not be started (for instance
// because no such program exists).
pid_t StartChildProcess(const std::vector<std::string>& argv,
                        std::string* error);

// How a child ended.
struct ChildExit {
  bool exited = false;  // false: ended by a signal
  int code = 0;         // the exit status, or the signal number; -1 when
                        // the end could not be observed
};

// Waits up to `limit` for the child to end and reaps it. nullopt when it is
// still running then, or as soon as `stop` is requested; the caller then
// owns the child still and must reap it later (ReapInBackground) so that it
// leaves no zombie behind.
std::optional<ChildExit> WaitForChild(pid_t pid,
                                      std::chrono::milliseconds limit,
                                      std::stop_token stop = {});

// Hands a still-running child to a detached thread that reaps it whenever it
// ends. Used for programs that outlive their starter on purpose (a browser).
void ReapInBackground(pid_t pid);

// True when `name` would be found by StartChildProcess: a path to an
// executable file, or a program on PATH.
bool ProgramExists(const std::string& name);

}  // namespace quarry

#endif  // QUARRY_APP_CHILD_PROCESS_H_
