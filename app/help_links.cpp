#include "app/help_links.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <QUrl>

#include "platform/settings_store.h"
#include "web/web_settings.h"

#ifndef QUARRY_SOURCE_HELP_DIR
#define QUARRY_SOURCE_HELP_DIR ""
#endif

namespace quarry {

namespace {

namespace fs = std::filesystem;

std::string Mailbox(const char* value, const char* fallback) {
  std::string box = WebSettingsStore().GetString(kServicesKey, value, fallback);
  return box.empty() ? fallback : box;
}

bool HasIndex(const fs::path& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_regular_file(folder / "index.html", ec);
}

}  // namespace

std::string SupportMailbox() {
  return Mailbox(kSupportMailboxValue, kDefaultSupportMailbox);
}

std::string SuggestionMailbox() {
  return Mailbox(kSuggestionMailboxValue, kDefaultSuggestionMailbox);
}

std::string SupportMailtoAddress(SupportMode mode) {
  if (mode == SupportMode::kSuggestion) {
    return "mailto:" + SuggestionMailbox() +
           "?&cc=&subject=Submit%20a%20Suggestion";
  }
  return "mailto:" + SupportMailbox() + "?&cc=&subject=Customer%20Support";
}

std::string HelpFolder() {
  if (const char* env = std::getenv(kHelpFolderVariable); env && *env) {
    std::string folder = env;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  }
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path installed =
        (self.parent_path() / ".." / "share" / "quarry" / "help").lexically_normal();
    if (HasIndex(installed)) return installed.string();
  }
  if (HasIndex(QUARRY_SOURCE_HELP_DIR)) return QUARRY_SOURCE_HELP_DIR;
  return {};
}

uint32_t HelpContextForCommand(int command_id) {
  if (command_id >= kFirstFavoriteCommand && command_id <= kLastFavoriteCommand) {
    return kHelpContextFavorites;
  }
  return 0x10000u + static_cast<uint32_t>(command_id);
}

std::string HelpPageAddress(uint32_t context) {
  std::string folder = HelpFolder();
  if (folder.empty()) return {};
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(folder + "/index.html"));
  if (context != 0) url.setFragment(QString::number(context));
  return url.toString(QUrl::FullyEncoded).toStdString();
}

}  // namespace quarry
