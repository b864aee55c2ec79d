// A child process for the store's multi-process tests.
//
//   settings_store_helper write PATH WRITER COUNT PAYLOAD_BYTES
//     stores COUNT binary values (helper::Payload) one transaction each and
//     prints the index of each on its own line once it is committed.
//   settings_store_helper user
//     reads and writes through SettingsStore::User(), twice each, and
//     prints "usable" or "unusable".
//   settings_store_helper use PATH [UID]
//     prints helper::DescribeUse(PATH), as user UID when given (for tests
//     that run as root, whom no file mode stops); exits 3 when it cannot
//     become that user.

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/settings_store.h"
#include "platform/settings_store_helper.h"

using quarry::platform::SettingsStore;
namespace helper = quarry::platform::helper;

namespace {

int Write(const char* path, int writer, int count, size_t payload_bytes) {
  SettingsStore store(path);
  if (!store.IsUsable()) {
    std::fprintf(stderr, "helper: %s\n", store.Problem().c_str());
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    if (!store.SetBinary(helper::kSharedKey, helper::ValueName(writer, i),
                         helper::Payload(writer, i, payload_bytes))) {
      std::fprintf(stderr, "helper: write %d failed: %s\n", i, store.LastError().c_str());
      return 1;
    }
    std::printf("%d\n", i);
    std::fflush(stdout);
  }
  return 0;
}

int UseUserStore() {
  SettingsStore& store = SettingsStore::User();
  for (int round = 0; round < 2; ++round) {
    store.GetDword("Software\\Zandor Tech\\Globals", "OfflineMode", 0);
    store.SetDword("Software\\Zandor Tech\\Globals", "OfflineMode", 1);
  }
  std::printf("%s\n", store.IsUsable() ? "usable" : "unusable");
  return 0;
}

int Use(const char* path, const char* uid_text) {
  if (uid_text != nullptr) {
    auto id = static_cast<uid_t>(std::atol(uid_text));
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) {
      std::perror("helper: cannot become the user");
      return 3;
    }
  }
  std::fputs(helper::DescribeUse(path).c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write" && argc == 6) {
    return Write(argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                 static_cast<size_t>(std::atol(argv[5])));
  }
  if (mode == "user" && argc == 2) return UseUserStore();
  if (mode == "use" && (argc == 3 || argc == 4)) return Use(argv[2], argc == 4 ? argv[3] : nullptr);
  std::fprintf(stderr,
               "usage: settings_store_helper write PATH WRITER COUNT BYTES | user | use PATH [UID]\n");
  return 2;
}
