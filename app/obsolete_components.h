// Removes the shared component that older versions installed ("Tessel.dll"
// in the maker's shared components folder): unregisters it, then deletes
// its settings key and the file. Runs on its own worker thread at the end
// of start-up and touches only the settings store and the file system.

#ifndef QUARRY_APP_OBSOLETE_COMPONENTS_H_
#define QUARRY_APP_OBSOLETE_COMPONENTS_H_

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/common_files.h"

namespace quarry {

namespace platform {
class SettingsStore;
}

inline constexpr char kObsoleteComponentFile[] = "Tessel.dll";
inline constexpr char kObsoleteComponentKey[] = "Software\\Zandor Tech\\Tessel";

// What the clean-up does and with what; the defaults are the program's.
struct ObsoleteCleanupOptions {
  std::string folder = SharedComponentsFolder();
  // The program that unregisters a component module (ztregsvr, which
  // takes regsvr32's /u and /s); searched beside the running program, then
  // on PATH, when not a path.
  std::string registration_tool = "ztregsvr";
  platform::SettingsStore* store = nullptr;  // null: the user's store
  std::chrono::milliseconds settle{2500};    // the longest wait for the tool
  std::chrono::milliseconds retry_pause{500};
  int delete_attempts = 3;
};

// Runs the clean-up once per object. Not copyable; destroying the object
// interrupts the waits and joins the worker.
class ObsoleteComponentCleanup {
 public:
  ObsoleteComponentCleanup() = default;
  ~ObsoleteComponentCleanup() = default;  // jthread: stop and join
  ObsoleteComponentCleanup(const ObsoleteComponentCleanup&) = delete;
  ObsoleteComponentCleanup& operator=(const ObsoleteComponentCleanup&) = delete;

  // Starts the worker when the obsolete file exists in `options.folder`;
  // returns whether it was started. Does nothing when already started.
  bool Start(ObsoleteCleanupOptions options = {});

  // Waits for the worker to finish (tests).
  void Join();

 private:
  std::jthread worker_;
};

// The outcome of one clean-up run, for tests and the trace.
enum class CleanupResult {
  kNotPresent,          // no obsolete file
  kToolNotStarted,      // the registration tool could not be started:
                        // nothing else was touched
  kInterrupted,         // stopped while waiting
  kRemoved,             // key and file gone
  kFileKept,            // key gone, but the file could not be deleted
};

// The worker's body, run on the calling thread.
CleanupResult RunObsoleteComponentCleanup(const ObsoleteCleanupOptions& options,
                                          std::stop_token stop = {});

}  // namespace quarry

#endif  // QUARRY_APP_OBSOLETE_COMPONENTS_H_
