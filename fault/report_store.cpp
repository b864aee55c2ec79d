#include "fault/report_store.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/atomic_file.h"

namespace quarry {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kReportPrefix = "quarry-fault-";
constexpr std::string_view kReportSuffix = ".txt";

std::vector<std::string> Matching(const std::string& folder, std::string_view prefix,
                                  std::string_view suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) &&
        name.ends_with(suffix) && it->is_regular_file(ec)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), std::greater<>());
  return names;
}

}  // namespace

std::string FaultReportFolderFrom(const char* xdg_state_home, const char* home) {
  if (xdg_state_home != nullptr && xdg_state_home[0] == '/') {
    return (fs::path(xdg_state_home) / "quarry" / "fault-reports").string();
  }
  if (home != nullptr && home[0] == '/') {
    return (fs::path(home) / ".local" / "state" / "quarry" / "fault-reports").string();
  }
  return {};
}

std::string FaultReportFolder() {
  return FaultReportFolderFrom(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

std::string ReportFileName(std::time_t when, int pid) {
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string(kReportPrefix) + stamp + "-" + std::to_string(pid) +
         std::string(kReportSuffix);
}

std::string KeepReport(const std::string& folder, std::string_view report, std::time_t when,
                       int pid, std::string* error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::string path = (fs::path(folder) / ReportFileName(when, pid)).string();
  if (!platform::WriteFileAtomically(path, report, error)) return {};
  PruneFolder(folder, kReportPrefix, kReportSuffix, kKeptReports);
  return path;
}

size_t PruneFolder(const std::string& folder, std::string_view prefix, std::string_view suffix,
                   size_t keep) {
  const std::vector<std::string> names = Matching(folder, prefix, suffix);
  size_t removed = 0;
  for (size_t i = keep; i < names.size(); ++i) {
    std::error_code ec;
    if (fs::remove(fs::path(folder) / names[i], ec)) ++removed;
  }
  return removed;
}

std::vector<std::string> KeptReports(const std::string& folder) {
  std::vector<std::string> paths;
  for (const std::string& name : Matching(folder, kReportPrefix, kReportSuffix)) {
    paths.push_back((fs::path(folder) / name).string());
  }
  return paths;
}

}  // namespace quarry
