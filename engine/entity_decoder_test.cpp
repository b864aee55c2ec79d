#include "engine/entity_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quarry {
namespace {

std::string Decoded(std::string text) {
  DecodeHtmlEntities(text);
  return text;
}

// The decoding written the slow, obvious way: the ordered list, each step
// replacing every occurrence over the whole text.
class ReferenceDecoder {
 public:
  ReferenceDecoder() {
    const int punctuation[] = {32, 33, 34, 35, 36, 39, 40, 41, 42, 43,
                               44, 45, 46, 47, 58, 59, 60, 61, 62, 63};
    for (int code : punctuation) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "%%%02X", code);
      steps_.emplace_back(escape, std::string(1, static_cast<char>(code)));
      steps_.emplace_back(Ref(code), std::string(1, static_cast<char>(code)));
    }
    steps_.emplace_back("&#160;", " ");
    steps_.emplace_back("&nbsp;", " ");
    const char* names[] = {"iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect",
                           "uml", "copy", "ordf", "laquo", "not", "shy", "reg", "macr",
                           "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para",
                           "middot", "cedil", "sup1", "ordm", "raquo", "frac14",
                           "frac12", "frac34", "iquest"};
    for (int code = 161; code <= 191; ++code) {
      std::string to(1, static_cast<char>(code));
      if (code == 171) to = "<<";
      if (code == 187) to = ">>";
      steps_.emplace_back(Ref(code), to);
      steps_.emplace_back(std::string("&") + names[code - 161] + ";", to);
    }
    for (int code = 192; code <= 255; ++code) {
      steps_.emplace_back(Ref(code), std::string(1, static_cast<char>(code)));
    }
    for (auto [from, to] : {std::pair{"&quot;", "\""}, {"&amp;", "&"}, {"&lt;", "<"},
                            {"&gt;", ">"}, {"%25", "%"}, {"%26", "&"}, {"&#37;", "%"},
                            {"&#38;", "&"}, {"%0d%0a", "\r\n"}}) {
      steps_.emplace_back(from, to);
    }
  }

  size_t size() const { return steps_.size(); }
  const std::vector<std::pair<std::string, std::string>>& steps() const { return steps_; }

  std::string Decode(std::string text) const {
    for (const auto& [from, to] : steps_) {
      std::string out;
      size_t done = 0;
      for (size_t hit; (hit = text.find(from, done)) != std::string::npos;
           done = hit + from.size()) {
        out += text.substr(done, hit - done) + to;
      }
      text = out + text.substr(done);
    }
    return text;
  }

 private:
  static std::string Ref(int code) { return "&#" + std::to_string(code) + ";"; }

  std::vector<std::pair<std::string, std::string>> steps_;
};

TEST(EntityDecoderTest, ReferenceListHas177Steps) {
  EXPECT_EQ(ReferenceDecoder().size(), 177u);
}

TEST(EntityDecoderTest, OnlyListedPatternsDecodeExactlyAsWritten) {
  EXPECT_EQ(Decoded("&#65; &#x41; &#032; &eacute; &NBSP; &Amp; %2a %3c"),
            "&#65; &#x41; &#032; &eacute; &NBSP; &Amp; %2a %3c");
  EXPECT_EQ(Decoded("%2A%20%3C&#63;"), "* <?");
  EXPECT_EQ(Decoded("a&nbsp;b&#160;c"), "a b c");
  EXPECT_EQ(Decoded("Caf&#233;"), "Caf\xE9");
  EXPECT_EQ(Decoded("&pound;5 &copy;"), "\xA3" "5 \xA9");
  EXPECT_EQ(Decoded("&laquo;x&raquo; &#171;"), "<<x>> <<");
  EXPECT_EQ(Decoded("%0d%0a|%0D%0A"), "\r\n|%0D%0A");
  EXPECT_EQ(Decoded("no escapes at all"), "no escapes at all");
  EXPECT_EQ(Decoded(""), "");
}

TEST(EntityDecoderTest, OrderDecidesChains) {
  EXPECT_EQ(Decoded("&amp;lt;"), "<");          // "&amp;" runs before "&lt;"
  EXPECT_EQ(Decoded("&amp;quot;"), "&quot;");   // ... but after "&quot;"
  EXPECT_EQ(Decoded("%2526"), "&");             // "%25" before "%26"
  EXPECT_EQ(Decoded("%2625"), "&25");
  EXPECT_EQ(Decoded("&#38;#60;"), "&#60;");     // "&#60;" ran long before
  EXPECT_EQ(Decoded("&%2360;"), "<");           // "%23" (35) before "&#60;"
  EXPECT_EQ(Decoded("&#60%3B"), "<");           // "%3B" (59) before "&#60;"
  EXPECT_EQ(Decoded("&#33%3B"), "&#33;");       // but after "&#33;"
  EXPECT_EQ(Decoded("&amp;#233;"), "&#233;");
  EXPECT_EQ(Decoded("&amp;amp;"), "&amp;");     // one pass per step
}

// Every generated text decodes as the ordered list does. The pieces are the
// patterns themselves, their fragments and the bytes that chains are made
// of, so that replacements keep completing and breaking each other.
TEST(EntityDecoderTest, MatchesOrderedReplacementsOnGeneratedTexts) {
  const ReferenceDecoder reference;
  std::vector<std::string> pieces = {"&", "#", ";", "%", "0", "2", "3", "5", "6", "9",
                                     "A", "B", "C", "F", "a", "d", "amp", "lt", "gt",
                                     "nbsp", "quot", "laquo", "x", " ", "&#", "%2", "%3"};
  for (const auto& [from, to] : reference.steps()) {
    pieces.push_back(from);
    pieces.push_back(from.substr(0, from.size() / 2));
    pieces.push_back(from.substr(from.size() / 2));
  }
  std::mt19937 rng(20240611);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int count = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
    ASSERT_EQ(Decoded(text), reference.Decode(text)) << "input: " << text;
  }
}

// Long texts full of chains take the step-by-step path, whose occurrences
// are filed by step and whose deleted bytes pile up between them; those
// texts too decode as the ordered list does, in place or from a view.
TEST(EntityDecoderTest, LongChainedTextsMatchTheReference) {
  const ReferenceDecoder reference;
  const std::vector<std::string> pieces = {
      "&amp;lt;", "%2526", "&amp;quot;", "&#38;#60;", "&%2360;", "&#60%3B", "&nbsp;",
      "&amp;#233;", "%25", "26", "&", "amp;", "#", ";", "%", "3B", "x", " ", "&amp;amp;",
      "%2525", "%0d%0a", "%0d%25"};
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int count = 50 + static_cast<int>(rng() % 400);
    for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
    const std::string expected = reference.Decode(text);
    ASSERT_EQ(Decoded(text), expected) << "input: " << text;
    std::string out = "stale";
    internal::DecodeHtmlEntitiesFrom(text, out);
    ASSERT_EQ(out, expected) << "input: " << text;
    std::string in_place = text;
    if (internal::DecodeHtmlEntitiesUnlessChained(in_place)) {
      ASSERT_EQ(in_place, expected) << "input: " << text;
    }
    in_place = text;
    internal::DecodeHtmlEntitiesChained(in_place);
    ASSERT_EQ(in_place, expected) << "input: " << text;
  }
}

TEST(EntityDecoderTest, LongTextsMatchTheReference) {
  const ReferenceDecoder reference;
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    text += reference.steps()[static_cast<size_t>(i * 7) % reference.size()].first;
    text += i % 3 == 0 ? "&amp;" : "w ";
  }
  EXPECT_EQ(Decoded(text), reference.Decode(text));
}

}  // namespace
}  // namespace quarry
