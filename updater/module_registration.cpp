#include "updater/module_registration.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/settings_store.h"
#include "updater/updater_settings.h"

extern char** environ;

namespace quarry {

namespace fs = std::filesystem;

namespace {

bool IsExecutableFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::string InFolder(const std::string& folder, const char* name) {
  if (folder.empty()) return {};
  return (fs::path(folder) / name).string();
}

}  // namespace

std::string FindRegistrationProgram(const RegistrationProgramSearch& search,
                                    std::string* reason) {
  if (!search.configured.empty()) {
    if (IsExecutableFile(search.configured)) return search.configured;
    *reason = "the registration program " + search.configured + " (setting " +
              kRegServerProgramValue + ") is missing or not executable";
    return {};
  }
  for (const std::string& folder : {search.updater_folder, search.working_folder}) {
    const std::string candidate = InFolder(folder, kRegServerProgramName);
    if (!candidate.empty() && IsExecutableFile(candidate)) return candidate;
  }
  *reason = std::string("no registration program (") + kRegServerProgramName +
            ") is installed beside the updater";
  return {};
}

RegistrationProgramSearch DefaultRegistrationSearch(const platform::SettingsStore& store,
                                                    const std::string& working_folder) {
  RegistrationProgramSearch search;
  search.configured = store.GetString(kUpdaterSettingsKey, kRegServerProgramValue, "");
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) search.updater_folder = self.parent_path().string();
  search.working_folder = working_folder;
  return search;
}

RegistrationResult RunRegistrationProgram(const std::string& program, const std::string& module,
                                          bool unregister) {
  RegistrationResult result;
  std::vector<std::string> args = {program};
  if (unregister) args.push_back("/u");
  args.push_back("/s");
  args.push_back(module);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    result.status = RegistrationResult::Status::kFailed;
    result.reason = "cannot run " + program + ": " + std::strerror(spawned);
    return result;
  }
  const auto deadline = std::chrono::steady_clock::now() + kRegistrationTimeout;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      result.status = RegistrationResult::Status::kFailed;
      result.reason = "lost track of " + program;
      return result;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      result.status = RegistrationResult::Status::kFailed;
      result.reason = program + " did not finish in time";
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    result.status = RegistrationResult::Status::kDone;
    return result;
  }
  result.status = RegistrationResult::Status::kFailed;
  result.reason = program + (WIFEXITED(status)
                                 ? " failed with status " + std::to_string(WEXITSTATUS(status))
                                 : std::string(" was killed"));
  return result;
}

RegistrationResult ProgramModuleRegistrar::Run(const std::string& module, bool unregister) {
  if (!looked_) {
    looked_ = true;
    program_ = FindRegistrationProgram(search_, &missing_reason_);
  }
  if (program_.empty()) {
    RegistrationResult skipped;
    skipped.status = RegistrationResult::Status::kSkipped;
    skipped.reason = missing_reason_;
    return skipped;
  }
  return RunRegistrationProgram(program_, module, unregister);
}

}  // namespace quarry
