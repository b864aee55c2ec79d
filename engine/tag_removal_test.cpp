#include "engine/tag_removal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/testing/scanner_reference.h"
#include "engine/work_meter.h"

namespace quarry {
namespace {

using testing::RefRemoveTags;

std::string InPlace(std::string text) {
  RemoveTagsInRounds(text);
  return text;
}

// Every way of finding a round's hits against the literal rounds: the
// index from the first segment on, a small cell's scan, and both mixed.
void ExpectLikeTheRounds(const std::string& text) {
  const std::string expected = RefRemoveTags(text);
  ASSERT_EQ(internal::RemoveTagsByRounds(text, 0), expected) << "text: " << text;
  ASSERT_EQ(internal::RemoveTagsByRounds(text, 3), expected) << "text: " << text;
  ASSERT_EQ(internal::RemoveTagsByRounds(text, SIZE_MAX), expected) << "text: " << text;
  ASSERT_EQ(InPlace(text), expected) << "text: " << text;
}

TEST(TagRemovalTest, GeneratedCellsMatchTheLiteralRounds) {
  // Alphabets that keep rounds hitting far-away segments: tags ending
  // alike, texts cut at a '>' that comes first, blanks that a replacement
  // joins to what follows.
  const std::vector<std::vector<std::string>> alphabets = {
      {"<", ">", "a", "b", "/", " "},
      {"<", ">", "a", "<a", "a>", "</", "<a>", "</a>", " ", "<<", ">>", "b"},
      {"<td>", "</td>", "<b>", "</b>", "<", ">", "x", "<a<b>", "y>", " ", "/"},
      {"0>", "1>", "0", "1", "<", "00>", "<0", ">"},
      {"< ", " >", "<", ">", " ", "  ", "</ ", "x"},
  };
  std::mt19937 rng(1234);
  for (int round = 0; round < 12000; ++round) {
    const auto& pieces = alphabets[static_cast<size_t>(round) % alphabets.size()];
    const int count = 1 + static_cast<int>(rng() % (round % 16 == 0 ? 160u : 30u));
    std::string text;
    for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
    ExpectLikeTheRounds(text);
  }
}

// Small forms of the shapes that made earlier forms slow, against the
// literal rounds.
TEST(TagRemovalTest, HostileShapesMatchTheLiteralRounds) {
  const auto unclosed = [](int n) {
    std::string t = "<td>";
    for (int i = 0; i < n; ++i) t += "<" + std::to_string(i) + "<b>";
    return t + "</td>";
  };
  const auto tails = [](int n) {
    std::string t = "<td>";
    for (int i = 0; i < n; ++i) t += std::to_string(1000 + i) + "AAAA>";
    return t + "<</td>";
  };
  const auto cascade = [](int n) {
    std::string t = "<<";
    for (int i = 0; i < n; ++i) t += "<" + std::to_string(i) + ">";
    for (int i = n; i-- > 0;) t += "<" + std::to_string(i) + ">";
    return t + "a long text";
  };
  // Rounds that alternate a long tag, hitting nothing, with a short one
  // that hits many segments sharing the long tag's middle.
  const auto breadth = [](int m) {
    std::string shared;
    for (int j = 0; j < m; ++j) shared += "<x" + std::to_string(j);
    std::string t;
    for (int r = 0; r < m; ++r) {
      t += "<Z" + shared + std::string(static_cast<size_t>(r), ' ') + "<c" + std::to_string(r) +
           "><c" + std::to_string(r) + ">";
    }
    for (int i = 0; i < m; ++i) {
      t += "<X" + std::to_string(i) + shared + "<c0>";
      for (int r = 1; r < m; ++r) t += "<c" + std::to_string(r) + ">";
    }
    return t;
  };
  // Each round joins one more piece into a segment that is alone under
  // its last steps, which are long.
  const auto into_lone = [](int n) {
    std::string t = "<<";
    for (int i = 0; i < n; ++i) t += "<" + std::to_string(i) + ">";
    for (int i = n; i-- > 0;) t += "<" + std::to_string(i) + ">";
    return t + "<" + std::string(static_cast<size_t>(3 * n), 'y') + "<q" + std::string(static_cast<size_t>(n), 'z') + ">x";
  };
  // The first round cuts every "<z" and joins what is left to the short
  // "<b" after it: pairs of segments then share steps that reach back past
  // their last piece, so each keeps a cursor of its own.
  const auto deep = [](int n) {
    std::string t = "<z>";
    for (int i = 0; i < n; ++i) t += "<k" + std::to_string(i / 2) + "<z><b>";
    return t + "x";
  };
  for (int n : {1, 2, 5, 40, 200}) {
    ExpectLikeTheRounds(deep(n));
    ExpectLikeTheRounds(unclosed(n));
    ExpectLikeTheRounds(tails(n));
    ExpectLikeTheRounds(cascade(n));
    ExpectLikeTheRounds(into_lone(n));
  }
  for (int m : {1, 3, 8}) ExpectLikeTheRounds(breadth(m));
}

// Pieces and segments around the widths that their compact counts hold
// (a piece's length in 15 bits, a segment's '<' count in 16): cut below
// them, and joined past them.
TEST(TagRemovalTest, WideSegmentsMatchTheLiteralRounds) {
  const std::string many(70000, '<');
  std::string text;
  for (int k = 0; k < 4; ++k) text += "<x" + std::to_string(k % 2) + ">" + many + "q>" + many + "<x>";
  ExpectLikeTheRounds(text);
  ExpectLikeTheRounds(many + "a>" + many + "a>b");
  for (size_t width : {32760u, 32766u, 32767u, 32768u, 32775u}) {
    const std::string piece(width, 'a');
    ExpectLikeTheRounds("<q>" + piece + "<q>" + piece + "<q>x");
    ExpectLikeTheRounds(piece + "<qqqqqqqqqq>" + piece + "<qqqqqqqqqq>x<");
    // Halves joined into one segment of more than 65535 '<'.
    const std::string lts(width, '<');
    ExpectLikeTheRounds("<z>" + lts + "<z>" + lts + "a>b");
  }
}

// Large cells, checked for their results, with the work meter bounding
// the work per byte.
TEST(TagRemovalTest, LargeCellsTakeBoundedWorkPerByte) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  std::string unclosed = "<td>", tails = "<td>", mixed;
  for (int i = 0; i < 100000; ++i) {
    unclosed += "<" + std::to_string(i) + "<b>";
    tails += std::to_string(1000000 + i) + "AAAAAAAA>";
    mixed += "<a href=" + std::to_string(i) + ">w</a> ";
  }
  // Tags closed in reverse, each round joining one more piece into the
  // last segment, alone under long last steps.
  std::string into_lone = "<<";
  for (int i = 0; i < 50000; ++i) into_lone += "<" + std::to_string(i) + ">";
  for (int i = 50000; i-- > 0;) into_lone += "<" + std::to_string(i) + ">";
  into_lone += "<" + std::string(300000, 'y') + "<q" + std::string(100000, 'z') + ">x";
  // Every segment keeps a cursor of its own (see HostileShapes above).
  std::string deep = "<z>";
  for (int i = 0; i < 100000; ++i) deep += "<k" + std::to_string(i / 2) + "<z><b>";
  deep += "x";
  // Distinct tags with long names: every step that a round reads ahead of
  // its join is long.
  std::string long_names;
  for (int i = 0; i < 4000; ++i) long_names += "<" + std::string(500, 't') + std::to_string(i) + "<b>";
  unclosed += "</td>";
  tails += "<</td>";
  mixed += "x &gt; y";
  std::string mixed_expected;
  for (int i = 0; i < 100000; ++i) mixed_expected += " w  ";
  const std::vector<Case> cases = {
      // A blank for every tag, as the literal rounds leave them.
      {"unclosed tags", unclosed, std::string(100002, ' ')},
      {"repeated tails", tails, " "},
      {"a stray '>' after many tags", mixed + ">", mixed_expected + "x &gt; y>"},
      {"joins into a lone segment", into_lone, std::string(100001, ' ') + "x"},
      {"cursors behind the last piece", deep, std::string(100001, ' ') + "x"},
      {"long distinct tags", long_names, std::string(4000, ' ')},
  };
  for (const Case& c : cases) {
    const uint64_t before = EngineWorkSteps();
    EXPECT_EQ(InPlace(c.text), c.expected) << c.name;
    EXPECT_LT(EngineWorkSteps() - before, 40 * c.text.size()) << c.name;
  }
}

}  // namespace
}  // namespace quarry
