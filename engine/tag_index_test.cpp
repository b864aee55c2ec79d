#include "engine/tag_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/scan_text.h"

namespace quarry::internal {
namespace {

// Each kind's positions found the slow way: every position tried.
PositionList Naive(std::string_view text, TagIndex::Kind kind) {
  struct Form {
    std::string_view tag;
    bool any_case;
  };
  const auto forms = [&]() -> Form {
    switch (kind) {
      case TagIndex::kTableOpenAnyCase: return {"<table", true};
      case TagIndex::kTableCloseAnyCase: return {"/table>", true};
      case TagIndex::kTableClose: return {"/table>", false};
      case TagIndex::kTrOpen: return {"<tr", false};
      case TagIndex::kTrClose: return {"/tr>", false};
      case TagIndex::kTdOpen: return {"<td", false};
      case TagIndex::kThOpen: return {"<th", false};
      case TagIndex::kTdClose: return {"/td>", false};
      case TagIndex::kThClose: return {"/th>", false};
      default: return {"", false};
    }
  }();
  std::string upper(forms.tag);
  for (char& c : upper) c = scan::AsciiUpper(c);
  PositionList at;
  for (size_t i = 0; i + forms.tag.size() <= text.size(); ++i) {
    const std::string_view here = text.substr(i, forms.tag.size());
    const bool hit = forms.any_case ? scan::MatchesNoCase(text, i, forms.tag)
                                    : here == forms.tag || here == upper;
    if (hit) at.push_back(static_cast<uint32_t>(i));
  }
  return at;
}

void ExpectMatchesNaive(const TagIndex& index, std::string_view text) {
  for (int kind = 0; kind < TagIndex::kKinds; ++kind) {
    EXPECT_EQ(index.Of(static_cast<TagIndex::Kind>(kind)), Naive(text, static_cast<TagIndex::Kind>(kind)))
        << "kind " << kind << " of: " << text;
  }
}

TEST(TagIndexTest, FindsEveryTagOfEveryKind) {
  const std::vector<std::string> texts = {
      "",
      "<table><tr><td>a</td><th>b</th></tr></table>",
      "<TABLE><TR><TD>a</TD><TH>b</TH></TR></TABLE>",
      "<TaBlE><tR><Td>mixed case rows and cells are not taken</tD></TaBlE>",
      "</table></table>/table>/TABLE>/Table>",
      "<t<tr<td/td>/td/t",  // overlapping starts, a tag cut at the end
      "<td",
      "/td",
  };
  for (const std::string& text : texts) {
    TagIndex index;
    EXPECT_TRUE(index.Build(text));
    ExpectMatchesNaive(index, text);
  }
}

// Random texts dense with the bytes tags are made of, so that tags overlap
// and run into the ends of the text and of the scan's blocks.
TEST(TagIndexTest, ReindexAfterEditsEqualsBuildingAnew) {
  std::mt19937 random(7);
  constexpr std::string_view kBytes = "<>/tTrRdDhHaAbBlLeE x";
  for (int round = 0; round < 200; ++round) {
    std::string text(1 + random() % 300, ' ');
    for (char& c : text) c = kBytes[random() % kBytes.size()];
    TagIndex index;
    ASSERT_TRUE(index.Build(text));
    ExpectMatchesNaive(index, text);
    // Rewrite ranges in place, keeping the length: a few (merged into the
    // index), or in odd rounds most of the text (indexed anew).
    std::vector<std::pair<size_t, size_t>> changed;
    const size_t gap = round % 2 == 0 ? 40 : 2;
    size_t from = 0;
    while (from < text.size()) {
      from += random() % gap;
      const size_t to = std::min(text.size(), from + 1 + random() % 20);
      if (from >= to) break;
      for (size_t i = from; i < to; ++i) text[i] = kBytes[random() % kBytes.size()];
      changed.emplace_back(from, to);
      from = to + 1;
    }
    index.Reindex(text, changed);
    ExpectMatchesNaive(index, text);
  }
}

// Forgetting the start of a page's lists while its tables are made in
// order: a restarted walker must answer every later lookup as before, and
// the lists must shrink on the way.
TEST(TagIndexTest, ForgettingPassedTagsKeepsLaterAnswers) {
  std::string page;
  for (int i = 0; i < 20000; ++i) page += "<table><tr><td>" + std::to_string(i) + "</td></tr></table>";
  TagIndex whole, forgetting;
  ASSERT_TRUE(whole.Build(page));
  ASSERT_TRUE(forgetting.Build(page));
  TagIndex::Walker expected(whole), walker(forgetting);
  const size_t tds = whole.Of(TagIndex::kTdOpen).size();
  bool shrank = false;
  for (size_t from = 0; from < page.size(); from += 997) {
    for (int kind = 0; kind < TagIndex::kKinds; ++kind) {
      const auto k = static_cast<TagIndex::Kind>(kind);
      ASSERT_EQ(walker.Next(k, from), expected.Next(k, from)) << "kind " << kind << " from " << from;
      const auto [first, last] = walker.Range(k, from, from + 500);
      const auto [want_first, want_last] = expected.Range(k, from, from + 500);
      ASSERT_EQ(std::vector<uint32_t>(first, last), std::vector<uint32_t>(want_first, want_last));
    }
    if (forgetting.ForgetBefore(from)) walker.Restart();
    shrank = shrank || forgetting.Of(TagIndex::kTdOpen).size() < tds;
    // Nothing at or after `from` is ever forgotten.
    const PositionList& left = forgetting.Of(TagIndex::kTdOpen);
    const PositionList& all = whole.Of(TagIndex::kTdOpen);
    ASSERT_EQ(std::count_if(left.begin(), left.end(), [&](uint32_t at) { return at >= from; }),
              std::count_if(all.begin(), all.end(), [&](uint32_t at) { return at >= from; }));
  }
  EXPECT_TRUE(shrank);
  EXPECT_LT(forgetting.Of(TagIndex::kTdOpen).size(), tds / 4);
}

// Positions are 32-bit: a longer text must be refused, not indexed with
// positions that wrapped. The text is never read, so a view longer than
// its buffer stands in for one of 4 GiB.
TEST(TagIndexTest, RefusesTextsBeyondThirtyTwoBitPositions) {
  if constexpr (sizeof(size_t) > sizeof(uint32_t)) {
    const std::string small = "<table><tr><td>a</td></tr></table>";
    TagIndex index;
    ASSERT_TRUE(index.Build(small));
    const std::string_view huge(small.data(), size_t{TagIndex::kMaxText} + 1);
    EXPECT_FALSE(index.Build(huge));
    for (int kind = 0; kind < TagIndex::kKinds; ++kind) {
      EXPECT_TRUE(index.Of(static_cast<TagIndex::Kind>(kind)).empty());
    }
  }
}

}  // namespace
}  // namespace quarry::internal
