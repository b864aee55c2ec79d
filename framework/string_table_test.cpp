#include "framework/string_table.h"

#include <gtest/gtest.h>

#include "framework/command_ids.h"

namespace quarry {
namespace {

TEST(StringTableTest, StartUpMessagesAreTheProgramsOwnTexts) {
  EXPECT_EQ(StringTable::Get(ids::kOleInitFailed),
            "OLE initialization failed.  Make sure that the OLE libraries are "
            "the correct version.");
  EXPECT_EQ(StringTable::Get(ids::kSocketsInitFailed),
            "Windows sockets initialization failed.");
  EXPECT_EQ(StringTable::Get(ids::kShellCommandFailed),
            "Process Shell Command failed.\nClearing Shell Command "
            "parameters.\nQry will now exit to prevent crashing.\nPlease "
            "restart Qry after Qry exits.");
  EXPECT_EQ(StringTable::Get(ids::kUpdateAvailable),
            "Update for Quarry is available\nWould you like to update now?");
  EXPECT_EQ(StringTable::Get(ids::kAppTitle), "Quarry");
  // Message strings have no prompt part to cut off.
  EXPECT_EQ(StringTable::Prompt(ids::kSocketsInitFailed),
            StringTable::Get(ids::kSocketsInitFailed));
}

TEST(StringTableTest, ToolbarCommandsCarryTheirToolTips) {
  EXPECT_EQ(StringTable::ToolTip(cmd::kWebBrowser), "Web Browser");
  EXPECT_EQ(StringTable::ToolTip(cmd::kTableResults), "Table Results");
  EXPECT_EQ(StringTable::ToolTip(cmd::kConfigurations), "Configurations");
  EXPECT_EQ(StringTable::ToolTip(cmd::kContextHelp), "Help");
  for (int id : {cmd::kWebBrowser, cmd::kTableResults, cmd::kConfigurations,
                 cmd::kContextHelp}) {
    const QString prompt = StringTable::Prompt(id);
    EXPECT_FALSE(prompt.isEmpty()) << id;
    EXPECT_FALSE(prompt.contains('\n')) << id;
    EXPECT_EQ(StringTable::Get(id), prompt + "\n" + StringTable::ToolTip(id));
  }
}

TEST(StringTableTest, MessageBoxTextsAreAllPresent) {
  EXPECT_EQ(StringTable::Get(9009), "Abort");
  EXPECT_EQ(StringTable::Get(9013), "Don't show this message again.");
  EXPECT_EQ(StringTable::Get(9019), "OK");
  EXPECT_EQ(StringTable::Get(9024), "Yes to all");
  for (int id = 9009; id <= 9024; ++id) EXPECT_TRUE(StringTable::Has(id)) << id;
}

TEST(StringTableTest, MissingIdGivesEmptyTexts) {
  EXPECT_FALSE(StringTable::Has(4242));
  EXPECT_TRUE(StringTable::Get(4242).isNull());
  EXPECT_TRUE(StringTable::Prompt(4242).isEmpty());
  EXPECT_TRUE(StringTable::ToolTip(4242).isEmpty());
  EXPECT_TRUE(StringTable::ToolTip(ids::kIdleMessage).isEmpty());
}

}  // namespace
}  // namespace quarry
