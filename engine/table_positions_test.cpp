#include "engine/table_positions.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "engine/page_parser.h"

namespace quarry {
namespace {

// A table whose id names its start tag's position in the page ("t7" is
// the page's eighth "<table"), with nested tables of the same kind in some
// cells and, now and then, no rows at all (the parse drops it, but its tag
// still counts). Tags come in any letter case.
std::string Table(std::mt19937& rng, int depth, int& next) {
  const int id = next++;
  static const char* kOpen[] = {"<table", "<TABLE", "<Table"};
  static const char* kClose[] = {"</table>", "</TABLE>", "</tAbLe>"};
  std::string html = std::string(kOpen[rng() % 3]) + " id=t" + std::to_string(id) + ">";
  const int rows = static_cast<int>(rng() % 4);  // 0: a table without data
  for (int r = 0; r < rows; ++r) {
    html += "<tr>";
    for (int c = 0, cells = 1 + static_cast<int>(rng() % 3); c < cells; ++c) {
      html += "<td>c" + std::to_string(id) + "_" + std::to_string(r);
      if (depth < 3 && rng() % 4 == 0) html += Table(rng, depth + 1, next);
      html += "</td>";
    }
    html += "</tr>";
  }
  return html + kClose[rng() % 3];
}

int IdNumber(const ExtractedTable& table) {
  return table.id.size() > 1 && table.id[0] == 't' ? std::stoi(table.id.substr(1)) : -2;
}

TEST(TablePositionsTest, EachTableNamesItsOwnStartTagOnGeneratedAndNestedPages) {
  std::mt19937 rng(15);
  for (int round = 0; round < 300; ++round) {
    std::string page = "<html><body>";
    int next = 0;
    for (int t = 0, tables = 1 + static_cast<int>(rng() % 5); t < tables; ++t) {
      page += Table(rng, 0, next) + "<p>between</p>";
    }
    TableList tables = ParsePageText(page);
    NoteTablePositions(page, tables);
    std::set<int> seen;
    for (const ExtractedTable& table : tables) {
      ASSERT_EQ(table.page_position, IdNumber(table)) << page;
      seen.insert(table.page_position);
    }
    EXPECT_EQ(seen.size(), tables.size());
  }
}

TEST(TablePositionsTest, PositionsFollowTheRecordsLeftAfterDeletions) {
  const std::string page =
      "<table id=t0><tr><td>a<table id=t1><tr><td>in</td></tr></table></td></tr></table>"
      "<table id=t2></table>"  // no data: dropped, still counted
      "<table id=t3><tr><td>b</td></tr></table><table id=t4><tr><td>b</td></tr></table>";
  TableList tables = ParsePageText(page);
  ASSERT_EQ(tables.size(), 4u);  // t1, t0, t3, t4
  DeleteTables(tables, {0, 2});
  NoteTablePositions(page, tables);
  EXPECT_EQ(tables[0].page_position, 0);
  EXPECT_EQ(tables[1].page_position, 4);
}

TEST(TablePositionsTest, PagesAsTheParseReadsThem) {
  struct Case {
    const char* name;
    std::string page;
    std::vector<int> positions;
  };
  std::string utf16;
  for (char c : std::string("<table><tr><td>x</td></tr></table><table><tr><td>y</td></tr></table>")) {
    utf16 += c;
    utf16 += '\0';
  }
  std::string cut = "<table><tr><td>a</td></tr></table>";
  cut += '\0';
  cut += "<table><tr><td>b</td></tr></table>";
  const std::vector<Case> cases = {
      {"table-like tags count as the scanner sees them",
       "<tablex><table><tr><td>a</td></tr></table>", {1}},
      {"a table cut short at the end is no table", "<table><tr><td>a</td></tr></table><table><tr>",
       {0}},
      {"utf-16", utf16, {0, 1}},
      {"the text ends at a zero byte", cut, {0}},
      {"nested two deep", "<table><tr><td><table><tr><td><table><tr><td>i</td></tr></table>m"
                          "</td></tr></table>o</td></tr></table>",
       {2, 1, 0}},
  };
  for (const Case& c : cases) {
    TableList tables = ParsePageText(c.page);
    NoteTablePositions(c.page, tables);
    std::vector<int> positions;
    for (const ExtractedTable& table : tables) positions.push_back(table.page_position);
    EXPECT_EQ(positions, c.positions) << c.name;
  }
}

TEST(TablePositionsTest, RecordsFromAnotherPageGetNoPosition) {
  TableList tables = ParsePageText("<table><tr><td>elsewhere</td></tr></table>");
  NoteTablePositions("<table><tr><td>here</td></tr></table>", tables);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].page_position, -1);
}

TEST(TablePositionsTest, TagsSpeltAcrossALiftedTableNeverNameAnotherTag) {
  // Lifting the inner tables out joins "<tab" and "le": a start tag the
  // page never had. Real start tags get ids naming their position ("t#"
  // is numbered below); "<tab" + "le..." spells tags without such an id,
  // either in the page itself or only across a gap.
  std::mt19937 rng(7);
  const std::vector<std::string> pieces = {"<tab", "le id=x", "<table id=t#", "><tr><td>x",
                                           "</td></tr>", "</table>", "/table>", "le>", ">"};
  for (int round = 0; round < 3000; ++round) {
    std::string page;
    for (int i = 0, n = 2 + static_cast<int>(rng() % 14); i < n; ++i) {
      page += pieces[rng() % pieces.size()];
    }
    std::vector<size_t> starts;
    for (size_t at = 0; (at = page.find("<table", at)) != std::string::npos; ++at) {
      if (page.compare(at, 12, "<table id=t#") == 0) {
        page.replace(at + 11, 1, std::to_string(starts.size()));
      }
      starts.push_back(at);
    }
    TableList tables = ParsePageText(page);
    NoteTablePositions(page, tables);
    for (const ExtractedTable& table : tables) {
      const std::string_view source = table.source_html;
      if (source.substr(0, 11) == "<table id=t") {
        EXPECT_EQ(table.page_position, std::stoi(std::string(source.substr(11)))) << page;
      } else if (table.page_position >= 0) {
        ASSERT_LT(static_cast<size_t>(table.page_position), starts.size()) << page;
        // Spelt in the page itself: a tag without a numbered id.
        EXPECT_NE(page.compare(starts[static_cast<size_t>(table.page_position)], 11, "<table id=t"), 0)
            << page;
      }
    }
  }
}

TEST(TablePositionsTest, KeysHoldTheLettersAndDigitsOfTheCells) {
  struct Case {
    const char* name;
    std::string html;
    TableTextKey key;
  };
  std::string long_table = "<table>";
  for (int i = 0; i < 100; ++i) long_table += "<tr><td>r" + std::to_string(i) + "</td></tr>";
  long_table += "</table>";
  std::string huge = "<table><tr><td>first</td></tr>" + std::string(70000, ' ') +
                     "<tr><td>last</td></tr></table>";
  std::string key_of_long;
  for (int i = 0; i < 100 && key_of_long.size() < kTableKeyLength; ++i) {
    key_of_long += "r" + std::to_string(i);
  }
  key_of_long.resize(kTableKeyLength);
  const std::vector<Case> cases = {
      {"cells in order, punctuation and blanks left out",
       "<table><tr><th>Name</th><th>Born, place</th></tr><tr><td>Ada L.</td><td>1815</td>"
       "</tr></table>",
       {"NameBornplaceAdaL1815", true}},
      {"references decoded or left out, caption and text outside cells left out",
       "<table><caption>Cap</caption><tr>x<td>a&#65;b&amp;C &hellip; &#x263A;&lt;d</td></tr></table>",
       {"abCd", true}},
      {"no letters at all", "<table><tr><td>--</td></tr></table>", {"", true}},
      {"long tables give their first letters", long_table, {key_of_long, false}},
      {"only the start of a huge table is read", huge, {"first", false}},
  };
  for (const Case& c : cases) EXPECT_EQ(TableKey(c.html), c.key) << c.name;
}

}  // namespace
}  // namespace quarry
