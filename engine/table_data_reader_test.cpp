#include "engine/table_data_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quarry {
namespace {

std::vector<std::string> FieldsOf(const TableDataReader& reader, int line) {
  std::vector<std::string> fields;
  for (int k = 0; k < reader.ColumnCount(); ++k) {
    fields.push_back(reader.Field(reader.Line(line), k));
  }
  return fields;
}

using Fields = std::vector<std::string>;

TEST(TableDataReaderTest, LinesAndColumns) {
  TableDataReader reader;
  ASSERT_TRUE(reader.Read("p,q\r\nr,s\r\n"));
  EXPECT_EQ(reader.LineCount(), 2);
  EXPECT_EQ(reader.ColumnCount(), 2);
  EXPECT_EQ(reader.Line(1), "r,s");
  EXPECT_EQ(reader.Field(reader.Line(0), 1), "q");
  EXPECT_EQ(reader.Line(-1), "");
  EXPECT_EQ(reader.Line(2), "");
}

TEST(TableDataReaderTest, LineEndsNeverMakeEmptyLines) {
  TableDataReader reader;
  ASSERT_TRUE(reader.Read("\r\n\r\na\r\n\r\n\nb\rc"));
  ASSERT_EQ(reader.LineCount(), 3);
  EXPECT_EQ(reader.Line(0), "a");
  EXPECT_EQ(reader.Line(1), "b");
  EXPECT_EQ(reader.Line(2), "c");

  for (const char* text : {"", "\r\n", "\r\n\r\n\n\r"}) {
    ASSERT_TRUE(reader.Read(text));
    EXPECT_EQ(reader.LineCount(), 0) << text;
    EXPECT_EQ(reader.ColumnCount(), 0) << text;
  }
}

// A line's end is found from where the next line begins, stepping back
// over the breaks between them, or looked up after a long run of them:
// every run length on both sides of that bound must give the same lines.
TEST(TableDataReaderTest, LinesEndBeforeBreakRunsOfAnyLength) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    std::vector<std::pair<size_t, size_t>> want;  // begin, end
    const int lines = 1 + static_cast<int>(random() % 6);
    text.append(random() % 3, '\n');
    for (int i = 0; i < lines; ++i) {
      const size_t begin = text.size();
      text.append(1 + random() % 4, static_cast<char>('a' + i));
      want.emplace_back(begin, text.size());
      const size_t breaks = (i + 1 < lines ? 1 : 0) + random() % 20;
      for (size_t k = 0; k < breaks; ++k) text += random() % 2 ? '\r' : '\n';
    }
    TableDataReader reader;
    ASSERT_TRUE(reader.Read(text));
    ASSERT_EQ(reader.LineCount(), lines);
    for (int i = 0; i < lines; ++i) {
      const LineSpan span = reader.LinePosition(i);
      EXPECT_EQ(span.begin, want[static_cast<size_t>(i)].first) << round << " line " << i;
      EXPECT_EQ(span.end, want[static_cast<size_t>(i)].second) << round << " line " << i;
      EXPECT_EQ(reader.LineView(i), std::string_view(text).substr(span.begin, span.end - span.begin));
    }
  }
}

TEST(TableDataReaderTest, ColumnCountComesFromFirstLineIgnoringQuotes) {
  TableDataReader reader;
  reader.Read("a,b,\r\nc\r\n");
  EXPECT_EQ(reader.ColumnCount(), 3);
  reader.Read(",,,\r\n");
  EXPECT_EQ(reader.ColumnCount(), 4);
  reader.Read("lonely\r\nc,d,e\r\n");
  EXPECT_EQ(reader.ColumnCount(), 1);
  EXPECT_EQ(reader.Field(reader.Line(1), 2), "e");
  EXPECT_EQ(reader.Field(reader.Line(1), 2, false), "");

  // The quoted comma is counted: one column more than the line has, and
  // that column reads empty.
  reader.Read("a,\"x,y\",b\r\n");
  EXPECT_EQ(reader.ColumnCount(), 4);
  EXPECT_EQ(FieldsOf(reader, 0), (Fields{"a", "x,y", "b", ""}));
}

TEST(TableDataReaderTest, SwitchesBetweenCommaAndTab) {
  TableDataReader reader;
  reader.Read("a\tb\t\r\nc,d\r\n");
  EXPECT_EQ(reader.Delimiter(), "\t");
  EXPECT_EQ(reader.ColumnCount(), 3);
  EXPECT_EQ(reader.Field("x,y\tz", 1), "z");

  // Each Read starts again from the constructor's delimiter.
  reader.Read("a b\r\n");
  EXPECT_EQ(reader.Delimiter(), ",");
  EXPECT_EQ(reader.ColumnCount(), 1);
  reader.Read("a\t,b\r\n");  // holds the delimiter: no switch
  EXPECT_EQ(reader.Delimiter(), ",");
  EXPECT_EQ(reader.ColumnCount(), 2);

  TableDataReader tabs("\t");
  tabs.Read("a,b\r\n");
  EXPECT_EQ(tabs.Delimiter(), ",");
  EXPECT_EQ(tabs.ColumnCount(), 2);

  TableDataReader whole("");
  whole.Read("a,b\tc\r\n");
  EXPECT_EQ(whole.ColumnCount(), 1);
  EXPECT_EQ(whole.Field("a,b", 0), "a,b");
  EXPECT_EQ(whole.Field("a,b", 1), "");
}

TEST(TableDataReaderTest, QuotedFields) {
  TableDataReader reader;
  reader.Read("a,\"x,y\",b\r\n");
  const std::string line = reader.Line(0);
  EXPECT_EQ(reader.Field(line, 0), "a");
  EXPECT_EQ(reader.Field(line, 1), "x,y");
  EXPECT_EQ(reader.Field(line, 2), "b");
  EXPECT_EQ(reader.Field(line, -1), "");

  // Quotes around a field without a comma stay part of it.
  EXPECT_EQ(reader.Field("\"abc\"", 0), "\"abc\"");
  EXPECT_EQ(reader.Field("a,\"b\",c", 1), "\"b\"");
  // Text around the quotes belongs to the field but not to its value.
  EXPECT_EQ(reader.Field("\"a,b\"xyz,c", 0), "a,b");
  EXPECT_EQ(reader.Field("\"a,b\"xyz,c", 1), "c");
  // A quote that never closes is plain text.
  EXPECT_EQ(reader.Field("\"a,b", 0), "\"a");
  EXPECT_EQ(reader.Field("\"a,b", 1), "b");
  // A quoted last field ends the line.
  EXPECT_EQ(reader.Field("a,\"b,c\"", 1), "b,c");
  EXPECT_EQ(reader.Field("a,\"b,c\"", 2), "");
}

// A cell such as `say "hi"` is stored bare. Its quotes close before the
// comma, so they must not stop a later quoted field from being recognised,
// nor may a quote that opens in a later field claim an earlier one.
TEST(TableDataReaderTest, QuotesOnlyCountInsideTheirOwnField) {
  TableDataReader reader;
  const std::string line = "say \"hi\",\"x,y\",z";
  EXPECT_EQ(reader.Field(line, 0), "say \"hi\"");
  EXPECT_EQ(reader.Field(line, 1), "x,y");
  EXPECT_EQ(reader.Field(line, 2), "z");
  EXPECT_EQ(reader.Field("ab,\"c,d\"", 0), "ab");
  EXPECT_EQ(reader.Field("ab,\"c,d\"", 1), "c,d");
}

// The field rules written out naively, position by position, with fresh
// quote searches for every field; the parser must agree with it.
std::string ReferenceField(const std::string& line, int k) {
  const size_t npos = std::string::npos;
  size_t pos = 0;
  for (int i = 0; i < k; ++i) {
    size_t d = line.find(',', pos);
    if (d == npos) return "";
    size_t open = line.find('"', pos);
    if (open != npos && open < d) {
      size_t close = line.find('"', open + 1);
      if (close != npos && close > d) {
        d = line.find(',', close + 1);
        if (d == npos) return "";
      }
    }
    pos = d + 1;
  }
  size_t d = line.find(',', pos);
  size_t open = line.find('"', pos);
  if (d != npos && open != npos && open < d) {
    size_t close = line.find('"', open + 1);
    if (close != npos && close > d) return line.substr(open + 1, close - open - 1);
  }
  return line.substr(pos, d == npos ? npos : d - pos);
}

TEST(TableDataReaderTest, AgreesWithReferenceOnRandomLines) {
  std::mt19937 rng(7);
  const char alphabet[] = {'a', 'b', ',', '"', ' '};
  DelimitedDataParser parser;
  for (int round = 0; round < 3000; ++round) {
    std::string line;
    int length = static_cast<int>(rng() % 24);
    for (int i = 0; i < length; ++i) line += alphabet[rng() % 5];
    std::vector<FieldSpan> fields = parser.Split(line);
    for (int k = 0; k < 26; ++k) {
      std::string expected = ReferenceField(line, k);
      ASSERT_EQ(parser.Field(line, k), expected) << line << " field " << k;
      std::string split =
          k < static_cast<int>(fields.size())
              ? line.substr(fields[k].value_begin,
                            fields[k].value_end - fields[k].value_begin)
              : "";
      ASSERT_EQ(split, expected) << line << " field " << k;
    }
  }
}

// What the data text can express, stated independently of the parser.
bool Expressible(const Fields& values, char delimiter) {
  if (values.size() == 1 && values[0].empty()) return false;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string& v = values[i];
    bool has_delimiter = v.find(delimiter) != std::string::npos;
    bool has_quote = v.find('"') != std::string::npos;
    if (has_delimiter && has_quote) return false;
    if (std::count(v.begin(), v.end(), '"') != 1) continue;
    for (size_t j = i + 1; j < values.size(); ++j) {
      if (values[j].find_first_of(std::string("\"") + delimiter) !=
          std::string::npos) {
        return false;
      }
    }
  }
  return true;
}

TEST(TableDataReaderTest, JoinedLinesReadBackExactly) {
  std::mt19937 rng(11);
  const char alphabet[] = {'a', ',', '"', '\t', ' '};
  int expressible = 0;
  for (char delimiter : {',', '\t'}) {
    DelimitedDataParser parser(std::string(1, delimiter));
    for (int round = 0; round < 4000; ++round) {
      Fields values(1 + rng() % 4);
      for (std::string& v : values) {
        int length = static_cast<int>(rng() % 4);
        for (int i = 0; i < length; ++i) v += alphabet[rng() % 5];
      }
      std::string line;
      bool joined = parser.Join(values, &line);
      ASSERT_EQ(joined, Expressible(values, delimiter)) << line;
      if (!joined) continue;
      ++expressible;
      for (size_t k = 0; k < values.size(); ++k) {
        ASSERT_EQ(parser.Field(line, static_cast<int>(k)), values[k]) << line;
      }
    }
  }
  EXPECT_GT(expressible, 2000);  // the generator must reach the easy cases

  DelimitedDataParser parser;
  std::string line;
  EXPECT_TRUE(parser.Join({"x,y", "say \"hi\"", ""}, &line));
  EXPECT_EQ(line, "\"x,y\",say \"hi\",");
  EXPECT_FALSE(parser.Join({"a\r\nb"}, &line));
}

TEST(TableDataReaderTest, LargeTextsStayLinear) {
  // 10 MB of lines, and one line of a million fields read from its end.
  std::string text;
  const std::string row = "alpha,\"be,ta\",gamma \"g\",delta\r\n";
  while (text.size() < 10'000'000) text += row;
  const int rows = static_cast<int>(text.size() / row.size());
  std::string wide;
  for (int i = 0; i < 1'000'000; ++i) wide += i % 2 ? "\"q,\"," : "x\"y\",";
  wide += "last";
  text += wide + "\r\n";

  TableDataReader reader;
  ASSERT_TRUE(reader.Read(text));
  ASSERT_EQ(reader.LineCount(), rows + 1);
  EXPECT_EQ(reader.ColumnCount(), 5);
  EXPECT_EQ(reader.Field(reader.Line(7), 2), "gamma \"g\"");
  std::string_view last = reader.LineView(reader.LineCount() - 1);
  EXPECT_EQ(reader.Field(last, 1'000'000), "last");
  EXPECT_EQ(reader.Field(last, 999'999), "q,");
  EXPECT_EQ(reader.parser().Split(last).size(), 1'000'001u);
}

}  // namespace
}  // namespace quarry
