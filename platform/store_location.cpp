#include "platform/store_location.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quarry::platform {

namespace {

constexpr char kStoreRelative[] = "zandor-tech/registry.sqlite";

std::string HomeFromPasswd() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr) {
    return {};
  }
  return found->pw_dir;
}

}  // namespace

std::string UserStorePathFrom(const char* registry_file,
                              const char* xdg_config_home, const char* home) {
  if (registry_file != nullptr && *registry_file != '\0') return registry_file;
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    return std::string(xdg_config_home) + "/" + kStoreRelative;
  }
  if (home != nullptr && *home != '\0') {
    return std::string(home) + "/.config/" + kStoreRelative;
  }
  return {};
}

std::string UserStorePath() {
  const char* home = std::getenv("HOME");
  std::string passwd_home;
  if (home == nullptr || *home == '\0') {
    passwd_home = HomeFromPasswd();
    home = passwd_home.c_str();
  }
  return UserStorePathFrom(std::getenv(kRegistryFileVariable),
                           std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace quarry::platform
