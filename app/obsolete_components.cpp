#include "app/obsolete_components.h"

#include "fault/fault_capture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "app/child_process.h"
#include "platform/install_layout.h"
#include "platform/settings_store.h"


namespace quarry {

namespace {

namespace fs = std::filesystem;

// Sleeps for `d` unless a stop is requested first; false when stopped.
bool SleepUnlessStopped(std::chrono::milliseconds d, std::stop_token stop) {
  std::mutex mu;
  std::condition_variable_any cv;
  std::unique_lock<std::mutex> lock(mu);
  cv.wait_for(lock, stop, d, [] { return false; });
  return !stop.stop_requested();
}

std::string FindRegistrationTool(const std::string& tool) {
  if (tool.find('/') != std::string::npos) return tool;
  const fs::path installed =
      fs::path(platform::InstallationFolder(platform::InstallFolder::kPrograms)) / tool;
  if (access(installed.c_str(), X_OK) == 0) return installed.string();
  return tool;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

CleanupResult RunObsoleteComponentCleanup(const ObsoleteCleanupOptions& options,
                                          std::stop_token stop) {
  const fs::path file = fs::path(options.folder) / kObsoleteComponentFile;
  if (!Exists(file)) return CleanupResult::kNotPresent;

  // Unregistration goes first: deleting the key and the file of a module
  // that is still registered would leave dangling registrations.
  std::string error;
  pid_t pid = StartChildProcess(
      {FindRegistrationTool(options.registration_tool), "/u", "/s", file.string()},
      &error);
  if (pid < 0) return CleanupResult::kToolNotStarted;

  // The key and file go only once the tool is done with them, or once it
  // had its time: on a busy machine a fixed pause could delete the module
  // before the tool has even opened it.
  if (!WaitForChild(pid, options.settle, stop)) {
    ReapInBackground(pid);
    if (stop.stop_requested()) return CleanupResult::kInterrupted;
  }

  platform::SettingsStore& store =
      options.store ? *options.store : platform::SettingsStore::User();
  store.DeleteKey(kObsoleteComponentKey);

  // A read-only file is made writable and tried again at once; that turn is
  // not counted, but only one such turn is allowed so the loop always ends.
  bool cleared_read_only = false;
  for (int attempt = 0; attempt < options.delete_attempts;) {
    if (!Exists(file)) return CleanupResult::kRemoved;
    if (!cleared_read_only && access(file.c_str(), W_OK) != 0) {
      cleared_read_only = true;
      struct stat st;
      if (stat(file.c_str(), &st) == 0 &&
          chmod(file.c_str(), st.st_mode | S_IWUSR) == 0) {
        continue;
      }
    }
    std::error_code ec;
    fs::remove(file, ec);
    if (!Exists(file)) return CleanupResult::kRemoved;
    ++attempt;
    if (attempt < options.delete_attempts &&
        !SleepUnlessStopped(options.retry_pause, stop)) {
      return CleanupResult::kInterrupted;
    }
  }
  return Exists(file) ? CleanupResult::kFileKept : CleanupResult::kRemoved;
}

bool ObsoleteComponentCleanup::Start(ObsoleteCleanupOptions options) {
  if (worker_.joinable()) return false;
  if (!Exists(fs::path(options.folder) / kObsoleteComponentFile)) return false;
  worker_ = std::jthread([options = std::move(options)](std::stop_token stop) {
    FaultGuard guard("Globals (Register Dll)");
    RunObsoleteComponentCleanup(options, stop);
  });
  return true;
}

void ObsoleteComponentCleanup::Join() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace quarry
