#include "app/help_links.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

TEST(HelpLinksTest, SupportMailGoesToTheConfiguredMailboxes) {
  testing::TempDir dir;
  platform::SettingsStore store(dir.File("store.sqlite"));
  SetWebSettingsStore(&store);
  EXPECT_EQ(SupportMailtoAddress(SupportMode::kSupport),
            "mailto:support@quarry.example?&cc=&subject=Customer%20Support");
  EXPECT_EQ(SupportMailtoAddress(SupportMode::kSuggestion),
            "mailto:suggestions@quarry.example?&cc=&subject=Submit%20a%20Suggestion");
  ASSERT_TRUE(store.SetString(kServicesKey, kSupportMailboxValue, "help@corp.example"));
  ASSERT_TRUE(store.SetString(kServicesKey, kSuggestionMailboxValue, ""));
  EXPECT_EQ(SupportMailtoAddress(SupportMode::kSupport),
            "mailto:help@corp.example?&cc=&subject=Customer%20Support");
  // An empty stored mailbox would address nobody.
  EXPECT_EQ(SuggestionMailbox(), kDefaultSuggestionMailbox);
  SetWebSettingsStore(nullptr);
}

TEST(HelpLinksTest, ContextsAndTheirAnchors) {
  EXPECT_EQ(HelpContextForCommand(36000), kHelpContextFavorites);
  EXPECT_EQ(HelpContextForCommand(38000), kHelpContextFavorites);
  EXPECT_EQ(HelpContextForCommand(32777), 0x10000u + 32777);
  EXPECT_EQ(HelpContextForCommand(38009), 0x10000u + 38009);

  testing::TempDir dir;
  std::string folder = dir.path() + "/help pages";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/index.html") << "<html></html>";
  setenv(kHelpFolderVariable, (folder + "/").c_str(), 1);
  EXPECT_EQ(HelpFolder(), folder);
  EXPECT_EQ(HelpPageAddress(), "file://" + dir.path() + "/help%20pages/index.html");
  EXPECT_EQ(HelpPageAddress(98306),
            "file://" + dir.path() + "/help%20pages/index.html#98306");
  unsetenv(kHelpFolderVariable);
}

}  // namespace
}  // namespace quarry
