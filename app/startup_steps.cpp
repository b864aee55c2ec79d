#include "app/startup_steps.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "app/app_settings.h"
#include "app/trace_log.h"

namespace quarry {

bool CleanUpOldKeys(platform::SettingsStore& store) {
  if (store.GetDword(kOldSettingsKey, "NewUser", kOldNewUserKeep) == kOldNewUserKeep) return false;
  return store.DeleteKey(kOldProductKey);
}

bool EnsureModuleRegistration(platform::SettingsStore& store) {
  if (store.GetDword(kSettingsKey, "ModuleRegistration", 1) == 1) return false;
  return store.SetDword(kSettingsKey, "ModuleRegistration", 1);
}

bool StartTraceIfWanted(const platform::SettingsStore& store) {
  TraceLog& log = TraceLog::Instance();
  if (log.IsRunning()) return true;
  if (store.GetDword(kSettingsKey, "DebugModeTracer", 0) == 0) return false;
  return log.Start();
}

std::string ModulePath() {
  // The link names the executable's canonical path, so there are no "."
  // segments to remove; a replaced executable shows " (deleted)", which is
  // kept as the truth about the running file.
  std::vector<char> buffer(256);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
  return {};
}

std::string FormatVersion(int major, int minor, int build, int revision) {
  char text[64];
  std::snprintf(text, sizeof text, "%i.%i.%i.%i", major, minor, build, revision);
  return text;
}

std::string VersionString() {
  return FormatVersion(QUARRY_VERSION_MAJOR, QUARRY_VERSION_MINOR, QUARRY_VERSION_PATCH,
                       QUARRY_VERSION_TWEAK);
}

}  // namespace quarry
