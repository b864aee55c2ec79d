#include "app/help_links.h"

#include <filesystem>

#include <QUrl>

#include "platform/settings_store.h"
#include "web/web_settings.h"

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
  std::string folder = platform::InstallationFolder(platform::InstallFolder::kHelp);
  return HasIndex(folder) ? folder : std::string();
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
