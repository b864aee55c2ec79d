#include "app/favorites/bookmark_import.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "app/favorites/favorites_list.h"
#include "app/favorites/favorites_test_util.h"
#include "app/favorites/import_offer.h"
#include "app/favorites/url_shortcut.h"

namespace quarry::favorites {
namespace {

using testing::TempDir;
using testing::WriteFile;
using testing::WriteShortcut;
namespace fs = std::filesystem;

// A places.sqlite with the tables and roots a Firefox profile has.
void MakePlaces(const fs::path& file) {
  fs::create_directories(file.parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  const char* sql = R"sql(
    CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT);
    CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER,
      parent INTEGER, position INTEGER, title TEXT, guid TEXT);
    INSERT INTO moz_places VALUES (1,'https://example.org/a','A'),
      (2,'javascript:alert(1)','js'), (3,'place:sort=8','smart'),
      (4,'http://toolbar.example/','T'), (5,'https://tagged.example/','tagged'),
      (6,'http://deep.example/x?y=1','Deep');
    INSERT INTO moz_bookmarks VALUES
      (1,2,NULL,0,0,'','root________'),
      (2,2,NULL,1,0,'menu','menu________'),
      (3,2,NULL,1,1,'toolbar','toolbar_____'),
      (4,2,NULL,1,2,'tags','tags________'),
      (5,2,NULL,1,3,'unfiled','unfiled_____'),
      (10,1,1,2,0,'Site A','a'),
      (11,1,2,2,1,'Script','b'),
      (12,1,3,2,2,'Smart','c'),
      (13,2,NULL,2,3,'News/Sport: Daily','d'),
      (14,1,6,13,0,'Deep','e'),
      (15,3,NULL,2,4,'','f'),
      (16,1,4,3,0,'Bar','g'),
      (17,2,NULL,4,0,'mytag','h'),
      (18,1,5,17,0,'Tagged','i');
  )sql";
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

void MakeFirefoxProfile(const fs::path& home) {
  const fs::path firefox = home / ".mozilla" / "firefox";
  WriteFile(firefox / "profiles.ini",
            "[Profile1]\nName=old\nIsRelative=1\nPath=old.profile\n\n"
            "[Profile0]\nName=default\nIsRelative=1\nPath=abcd.default\nDefault=1\n");
  MakePlaces(firefox / "abcd.default" / "places.sqlite");
}

const char kChromiumBookmarks[] = R"json({
  "roots": {
    "bookmark_bar": {"name": "Bookmarks bar", "type": "folder", "children": [
      {"type": "url", "name": "Chr A", "url": "https://chr.example/a"},
      {"type": "folder", "name": "Dev", "children": [
        {"type": "url", "name": "Docs", "url": "http://docs.example/"},
        {"type": "url", "name": "Docs", "url": "http://docs2.example/"},
        {"type": "url", "name": "Bad", "url": "chrome://settings"}]}]},
    "other": {"name": "Other bookmarks", "type": "folder", "children": []}
  }, "version": 1})json";

TEST(BookmarkImportTest, ReadsFirefoxKeepingFoldersAndSkippingOtherSchemes) {
  TempDir home;
  MakeFirefoxProfile(home.path());
  const auto sources = FindBookmarkSources(home.path());
  ASSERT_EQ(sources.size(), 1u);
  EXPECT_EQ(sources[0].browser, "Firefox");
  std::string error;
  const auto bookmarks = ReadBookmarks(sources[0], &error);
  ASSERT_TRUE(bookmarks) << error;
  const std::vector<Bookmark> expected = {
      {{}, "Site A", "https://example.org/a"},
      {{"News/Sport: Daily"}, "Deep", "http://deep.example/x?y=1"},
      {{"Bookmarks Toolbar"}, "Bar", "http://toolbar.example/"}};
  EXPECT_EQ(*bookmarks, expected);
}

TEST(BookmarkImportTest, ReadsChromiumAndRejectsDamagedFiles) {
  TempDir home;
  WriteFile(home.path() / ".config/chromium/Default/Bookmarks", kChromiumBookmarks);
  WriteFile(home.path() / ".config/google-chrome/Default/Bookmarks", "{ not json");
  const auto sources = FindBookmarkSources(home.path());
  ASSERT_EQ(sources.size(), 2u);
  const auto bookmarks = ReadBookmarks(sources[0], nullptr);
  ASSERT_TRUE(bookmarks);
  ASSERT_EQ(bookmarks->size(), 3u);
  EXPECT_EQ((*bookmarks)[1], (Bookmark{{"Bookmarks bar", "Dev"}, "Docs", "http://docs.example/"}));
  std::string error;
  EXPECT_FALSE(ReadBookmarks(sources[1], &error));
  EXPECT_FALSE(error.empty());

  std::string places_error;
  WriteFile(home.path() / "junk.sqlite", "not a database at all, just text");
  EXPECT_FALSE(ReadFirefoxBookmarks(home.path() / "junk.sqlite", &places_error));
  EXPECT_FALSE(ReadFirefoxBookmarks(home.path() / "missing.sqlite", &places_error));
}

TEST(BookmarkImportTest, WritesShortcutsTheFavoritesScanReadsBack) {
  TempDir out;
  const std::vector<Bookmark> bookmarks = {
      {{"A/B", ".."}, "x/y", "http://one/"},
      {{}, "Same", "http://two/"},
      {{}, "Same", "http://three/"},
      {{}, "", "http://untitled/"},
      {{}, "Evil", "http://evil/\r\nURL=http://other/"},
      {{}, "Mail", "mailto:someone@example.org"}};
  EXPECT_EQ(WriteBookmarksAsShortcuts(bookmarks, out.path()), 4);
  const auto records = ScanFavoritesFolder(out.path());
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].folder, "A_B/Untitled");
  EXPECT_EQ(records[0].title, "x_y");
  EXPECT_EQ(ReadShortcutAddress(out.path() / "Same (2).url"), "http://three/");
  EXPECT_EQ(ReadShortcutAddress(out.path() / "http___untitled_.url"), "http://untitled/");
  // A second import never overwrites.
  EXPECT_EQ(WriteBookmarksAsShortcuts({{{}, "Same", "http://four/"}}, out.path()), 1);
  EXPECT_EQ(ReadShortcutAddress(out.path() / "Same.url"), "http://two/");
}

TEST(BookmarkImportTest, SanitisesNames) {
  EXPECT_EQ(SanitiseFileName("a/b\\c:d*e?f\"g<h>i|j\tk"), "a_b_c_d_e_f_g_h_i_j_k");
  EXPECT_EQ(SanitiseFileName(" . .hidden. "), "hidden");
  EXPECT_EQ(SanitiseFileName(".."), "Untitled");
  const std::string long_name = std::string(149, 'x') + "\xC3\xA9\xC3\xA9";
  EXPECT_EQ(SanitiseFileName(long_name), std::string(149, 'x'));
}

TEST(ImportOfferTest, AsksOnceAndOnlyForAnEmptyFolder) {
  TempDir home, dir;
  platform::SettingsStore store((dir.path() / "store.db").string());
  const fs::path favorites = dir.path() / "Favorites";
  WriteFile(home.path() / ".config/chromium/Default/Bookmarks", kChromiumBookmarks);

  int asked = 0;
  auto no = [&](const QString& question) {
    ++asked;
    EXPECT_TRUE(question.contains("Chromium"));
    return false;
  };
  EXPECT_EQ(OfferBookmarkImport(nullptr, store, favorites, home.path(), no), 0);
  EXPECT_EQ(OfferBookmarkImport(nullptr, store, favorites, home.path(), no), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(ScanFavoritesFolder(favorites).empty());

  // A fresh store, but favourites already there: no question.
  platform::SettingsStore store2((dir.path() / "store2.db").string());
  WriteShortcut(dir.path() / "Full", "x.url", "http://x/");
  EXPECT_EQ(OfferBookmarkImport(nullptr, store2, dir.path() / "Full", home.path(), no), 0);
  EXPECT_EQ(asked, 1);

  platform::SettingsStore store3((dir.path() / "store3.db").string());
  EXPECT_EQ(OfferBookmarkImport(nullptr, store3, favorites, home.path(),
                                [](const QString&) { return true; }),
            3);
  EXPECT_EQ(ScanFavoritesFolder(favorites).size(), 3u);
}

}  // namespace
}  // namespace quarry::favorites
