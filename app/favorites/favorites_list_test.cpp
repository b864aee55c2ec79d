#include "app/favorites/favorites_list.h"

#include <gtest/gtest.h>

#include <map>

#include "app/favorites/favorites_test_util.h"
#include "app/favorites/url_shortcut.h"

namespace quarry::favorites {
namespace {

using testing::TempDir;
using testing::WriteFile;
using testing::WriteShortcut;

std::vector<std::string> Titles(const std::vector<FavoriteRecord>& records) {
  std::vector<std::string> out;
  for (const auto& r : records) out.push_back(r.folder.empty() ? r.title : r.folder + "|" + r.title);
  return out;
}

TEST(ShortcutAddressTest, TakesTheFirstUrlLineWithinTheLimit) {
  EXPECT_EQ(ShortcutAddress("[InternetShortcut]\r\nURL=http://a/\r\nURL=http://b/\r\n"),
            "http://a/");
  EXPECT_EQ(ShortcutAddress("[x]\nURL=\n"), "");
  EXPECT_EQ(ShortcutAddress("[x]\rurl=http://lower/\rURL=http://upper/"), "http://upper/");
  EXPECT_EQ(ShortcutAddress(" URL=http://indented/"), std::nullopt);
  EXPECT_EQ(ShortcutAddress(""), std::nullopt);

  TempDir dir;
  WriteFile(dir.path() / "far.url", std::string(kShortcutReadLimit, '\n') + "URL=http://far/\n");
  EXPECT_EQ(ReadShortcutAddress(dir.path() / "far.url"), std::nullopt);
  EXPECT_EQ(ReadShortcutAddress(dir.path() / "missing.url"), std::nullopt);
}

TEST(FavoritesListTest, ScansFoldersInNameOrderAndSkipsWhatIsNoFavorite) {
  TempDir dir;
  WriteShortcut(dir.path(), "b.url", "http://b/");
  WriteShortcut(dir.path(), "Tom & Jerry.URL", "http://tj/");
  WriteShortcut(dir.path(), "News/Local/Town.url", "http://town/");
  WriteShortcut(dir.path(), "News/Paper.url", "http://paper/");
  WriteShortcut(dir.path(), "a.txt", "http://not-a-shortcut/");
  WriteFile(dir.path() / "broken.url", "[InternetShortcut]\r\nIconIndex=1\r\n");

  const std::vector<FavoriteRecord> records = ScanFavoritesFolder(dir.path());
  EXPECT_EQ(Titles(records), (std::vector<std::string>{"News/Local|Town", "News|Paper",
                                                       "Tom && Jerry", "b"}));
  EXPECT_EQ(records[0].address, "http://town/");
  for (const auto& r : records) EXPECT_EQ(r.order, kUnknownOrder);

  EXPECT_TRUE(ScanFavoritesFolder(dir.path() / "none").empty());
}

TEST(FavoritesListTest, SortsByFolderThenTitleAndMakesParentsFirst) {
  TempDir dir;
  WriteShortcut(dir.path(), "zeta.url", "http://z/");
  WriteShortcut(dir.path(), "Alpha.url", "http://a/");
  WriteShortcut(dir.path(), "x/y/z/deep.url", "http://deep/");
  WriteShortcut(dir.path(), "x/y/z/Deep2.url", "http://deep2/");

  const FavoritesList list = BuildFavoritesList(dir.path(), 1, {});
  EXPECT_EQ(Titles(list.records),
            (std::vector<std::string>{"Alpha", "zeta", "x/y/z|Deep2", "x/y/z|deep"}));
  EXPECT_EQ(list.folders, (std::vector<std::string>{"x", "x/y", "x/y/z"}));
  EXPECT_EQ(AddressForCommand(list.records, kFirstCommand), "http://a/");
  EXPECT_EQ(AddressForCommand(list.records, kFirstCommand + 4), "");
  EXPECT_EQ(AddressForCommand(list.records, kFirstCommand - 1), "");
}

// The saved order: "A & B" and "c" are known, "new" is not and comes
// first; the subfolder's own value orders it independently.
TEST(FavoritesListTest, SavedOrderPutsUnknownFavoritesFirst) {
  TempDir dir;
  WriteShortcut(dir.path(), "A & B.url", "http://ab/");
  WriteShortcut(dir.path(), "c.url", "http://c/");
  WriteShortcut(dir.path(), "new.url", "http://new/");
  WriteShortcut(dir.path(), "sub/one.url", "http://one/");
  WriteShortcut(dir.path(), "sub/two.url", "http://two/");

  const std::map<std::string, std::vector<uint8_t>> saved = {
      {"", testing::Value({testing::Entry(1, "C.URL", u"c.url", 6),
                           testing::Entry(2, "AB~1.URL", u"A & B.url", 6)})},
      {"sub", testing::Value({testing::Entry(0, "TWO.URL", u"two.url", 6),
                              testing::Entry(9, "ONE.URL", u"one.url", 6)})}};
  const FavoritesList list = BuildFavoritesList(dir.path(), 0, [&](const std::string& folder) {
    auto it = saved.find(folder);
    return it == saved.end() ? std::vector<uint8_t>{} : it->second;
  });
  EXPECT_EQ(Titles(list.records),
            (std::vector<std::string>{"new", "c", "A && B", "sub|two", "sub|one"}));
  EXPECT_EQ(list.folders, (std::vector<std::string>{"sub"}));
}

TEST(FavoritesListTest, OtherSortSettingsKeepTheFoundOrder) {
  TempDir dir;
  WriteShortcut(dir.path(), "b.url", "http://b/");
  WriteShortcut(dir.path(), "a.url", "http://a/");
  bool read = false;
  const FavoritesList list = BuildFavoritesList(dir.path(), 2, [&](const std::string&) {
    read = true;
    return std::vector<uint8_t>{};
  });
  EXPECT_EQ(Titles(list.records), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(read);
}

TEST(FavoritesListTest, AmpersandsDoubleAndUndouble) {
  EXPECT_EQ(DoubleAmpersands("R&D && more"), "R&&D &&&& more");
  EXPECT_EQ(UndoubleAmpersands(DoubleAmpersands("R&D && more&")), "R&D && more&");
}

}  // namespace
}  // namespace quarry::favorites
