// Reading the server's version list: which line answers for a file, and
// how versions compare.

#include "updater/version_list.h"

#include <gtest/gtest.h>

#include <string>

#include "updater/update_file_record.h"

namespace quarry {
namespace {

TEST(VersionListTest, TheFirstLineThatContainsTheNameAnswers) {
  const VersionList list(
      "http://dl.example/plain/,x,http://dl.example/packed/\r\n"
      "libKsButton.so,3.10,libKsButton.lzr\r\n"
      "KsButton.so,3.05,KsButton.lzr\r\n"
      "\"Quarry, the program\",1.10,\r\n"
      "Quarry,9.99,late.lzr\n"
      "notice,\"Servers move on Friday, 9:00\"\n");
  struct Case {
    const char* file;
    bool found;
    double version;
    const char* download;
  } cases[] = {
      // A longer name ending in the record's name answers first.
      {"KsButton.so", true, 3.10, "libKsButton.lzr"},
      {"KSBUTTON.SO", true, 3.10, "libKsButton.lzr"},
      {"libKsButton.so", true, 3.10, "libKsButton.lzr"},
      // Quoted fields keep their commas; the first matching line wins.
      {"Quarry", true, 1.10, ""},
      {"Qry.chm", false, 0, ""},
      {"", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto entry = list.Find(c.file);
    ASSERT_EQ(entry.has_value(), c.found);
    if (!c.found) continue;
    EXPECT_DOUBLE_EQ(entry->version, c.version);
    EXPECT_EQ(entry->download_name, c.download);
  }
  const auto bases = list.Bases();
  ASSERT_TRUE(bases.has_value());
  EXPECT_EQ(bases->plain, "http://dl.example/plain/");
  EXPECT_EQ(bases->compressed, "http://dl.example/packed/");
  EXPECT_EQ(list.Notice(), "Servers move on Friday, 9:00");
}

TEST(VersionListTest, OnlyTheFirst5000BytesAreRead) {
  std::string text = "http://a.example/,,http://a.example/z/\n";
  text += std::string(kVersionListBytes - text.size() - 13, ' ') + "\n";
  text += "near.so,1.00\n";  // its last byte is the 5000th
  text += "far.so,2.00,far.lzr\n";  // starts past the cut
  const VersionList list(text);
  EXPECT_FALSE(list.Find("far.so").has_value());
  ASSERT_TRUE(list.Find("near.so").has_value());
  EXPECT_DOUBLE_EQ(list.Find("near.so")->version, 1.0);
  EXPECT_TRUE(list.Bases().has_value());
  EXPECT_FALSE(VersionList("x.so,1.0\n").Bases().has_value());
  EXPECT_EQ(VersionList("x.so,1.0\n").Notice(), "");
}

TEST(VersionListTest, VersionsCompareAsNumbers) {
  struct Case {
    const char* available;
    double current;
    bool newer;
  } cases[] = {
      {"1.1", 1.10, false},  {"1.10", 1 + 10 / 100.0, false}, {"1.1", 1.09, true},
      {"1.09", 1.1, false},  {"2.09", 209 / 100.0, false},    {"2.10", 2 + 9 / 100.0, true},
      {" 3.04 ", 3.04, false}, {"junk", 0.0, false},          {"0.01", 0.0, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNewerVersion(ParseVersionNumber(c.available), c.current), c.newer)
        << c.available << " vs " << c.current;
  }
  EXPECT_EQ(ParseVersionNumber("1.5beta"), 1.5);
  EXPECT_EQ(FormatVersion(1.1), "1.10");
}

TEST(VersionListTest, FieldsSplitAtCommasOutsideQuotes) {
  EXPECT_EQ(SplitVersionFields("a, \"b,c\" ,d"), (std::vector<std::string>{"a", "b,c", "d"}));
  EXPECT_EQ(SplitVersionFields(""), std::vector<std::string>{""});
  EXPECT_EQ(QuoteVersionField("a,b"), "\"a,b\"");
  EXPECT_EQ(QuoteVersionField("say \"hi\""), "say hi");
  for (const char* field : {"plain", "with, comma"}) {
    EXPECT_EQ(SplitVersionFields(std::string("x,") + QuoteVersionField(field))[1], field);
  }
}

}  // namespace
}  // namespace quarry
