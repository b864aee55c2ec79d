#include "engine/testing/hostile_pages.h"

#include <cstdio>
#include <string>

namespace quarry::testing {

namespace {

constexpr std::string_view kCellStart = "<html><body><table><tr><td>";
constexpr std::string_view kCellEnd = "</td></tr></table></body></html>";

// One table with one cell whose HTML repeats `piece(i)` until the page
// reaches `bytes`, followed by `tail`.
template <typename Piece>
std::string OneCell(size_t bytes, const Piece& piece, std::string_view tail = {}) {
  std::string page;
  page.reserve(bytes + 64);
  page += kCellStart;
  const size_t stop = bytes > kCellEnd.size() + tail.size() ? bytes - kCellEnd.size() - tail.size() : 0;
  for (size_t i = 0; page.size() < stop; ++i) piece(page, i);
  page += tail;
  page += kCellEnd;
  return page;
}

std::string Number(size_t i, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*zu", width, i);
  return text;
}

// "<0<b><1<b>...": every tag text differs, all end alike.
std::string UnclosedTags(size_t bytes) {
  return OneCell(bytes, [](std::string& page, size_t i) {
    page += '<';
    page += std::to_string(i);
    page += "<b>";
  });
}

// "0000000AAAAAAAA>0000001AAAAAAAA>..." and one '<': long pieces with a
// shared tail, each deleted in a round of its own.
std::string RepeatedTails(size_t bytes) {
  return OneCell(
      bytes,
      [](std::string& page, size_t i) {
        page += Number(i, 7);
        page += "AAAAAAAA>";
      },
      "<");
}

// '<' after '<' and never a '>' in the cell's text.
std::string TagsWithoutEnd(size_t bytes) {
  return OneCell(bytes, [](std::string& page, size_t i) {
    page += "<a";
    page += std::to_string(i % 1000);
    page += ' ';
  });
}

// Tags opened in one order and closed in the reverse one before a long
// text: each round joins the text to one more piece.
std::string TagCascade(size_t bytes) {
  const size_t tags = bytes / 48;
  std::string page;
  page.reserve(bytes + 64);
  page += kCellStart;
  page += "<<";  // the brackets do not alternate
  for (size_t i = 0; i < tags; ++i) page += "<" + std::to_string(i) + ">";
  for (size_t i = tags; i-- > 0;) page += "<" + std::to_string(i) + ">";
  while (page.size() + kCellEnd.size() < bytes) page += "text ";
  page += kCellEnd;
  return page;
}

// Nested tables cut out between "<tab" and "le>": every cut spells a new
// "<table" across its joint.
std::string NestedJoints(size_t bytes) {
  std::string page;
  page.reserve(bytes + 64);
  page += "<table><tr><td>";
  constexpr std::string_view kInner = "<table><tr><td>in</td></tr></table>";
  constexpr std::string_view kClose = "</table>";
  while (page.size() + kInner.size() + 32 < bytes) {
    page += "x<tab";
    page += kInner;
    page += "le><tr><td>y</td></tr>";
  }
  for (size_t open = 0; page.size() + kClose.size() < bytes; ++open) page += kClose;
  return page;
}

// Tables nested inside each other's first cell, as deep as the size allows.
std::string DeepNesting(size_t bytes) {
  constexpr std::string_view kOpen = "<table><tr><td>";
  constexpr std::string_view kClose = "</td></tr></table>";
  const size_t depth = bytes / (kOpen.size() + kClose.size() + 2);
  std::string page;
  page.reserve(bytes + 64);
  for (size_t i = 0; i < depth; ++i) {
    page += kOpen;
    page += 'x';
  }
  for (size_t i = 0; i < depth; ++i) {
    page += 'y';
    page += kClose;
  }
  return page;
}

// References that complete each other ("&amp;lt;" becomes "&lt;", then
// "<"), so that the decoder takes its exact, step-by-step path.
std::string EntityChains(size_t bytes) {
  static const std::string_view kPieces[] = {"&amp;lt;", "%2526", "&amp;quot;", "&#38;#60;",
                                             "&%2360;", "&#60%3B", "&nbsp;", "&amp;#233;"};
  return OneCell(bytes, [](std::string& page, size_t i) {
    page += kPieces[i % std::size(kPieces)];
    page += ' ';
  });
}

// "%25%25%25...": a run of escapes in one cell.
std::string PercentRuns(size_t bytes) {
  return OneCell(bytes, [](std::string& page, size_t) { page += "%25"; });
}

// One row of as many cells as fit.
std::string WideRow(size_t bytes) {
  std::string page;
  page.reserve(bytes + 64);
  page += "<table><tr>";
  while (page.size() + 32 < bytes) page += "<td>x</td>";
  page += "</tr></table>";
  return page;
}

// One wide row over many rows of a single cell: padded, the short rows
// would take rows times columns commas.
std::string SparseWideTable(size_t bytes) {
  std::string page;
  page.reserve(bytes + 64);
  page += "<table><tr>";
  while (page.size() < bytes / 2) page += "<td>h</td>";
  page += "</tr>";
  while (page.size() + 32 < bytes) page += "<tr><td>x</td></tr>";
  page += "</table>";
  return page;
}

// One cell of prose with alternating markup, line breaks and references.
std::string LongCell(size_t bytes) {
  return OneCell(bytes, [](std::string& page, size_t i) {
    page += i % 5 == 0 ? "<b>bold</b> &amp; " : "plain words\r\n  ";
  });
}

// Many small tables, the way listing pages are built.
std::string SmallTables(size_t bytes) {
  std::string page;
  page.reserve(bytes + 64);
  for (size_t i = 0; page.size() + 80 < bytes; ++i) {
    page += "<table id=t" + std::to_string(i) + "><tr><td>a</td><td>" + std::to_string(i) +
            "</td></tr></table>\n";
  }
  return page;
}

// A UTF-16 page (zero bytes in every other position) of small tables.
std::string Utf16Tables(size_t bytes) {
  const std::string narrow = SmallTables(bytes / 2);
  std::string page = "\xFF\xFE";
  page.reserve(narrow.size() * 2 + 2);
  for (char c : narrow) {
    page += c;
    page += '\0';
  }
  return page;
}

// Small tables, cut short by a zero byte in the middle of the page.
std::string ZeroByteEarly(size_t bytes) {
  std::string page = SmallTables(bytes / 2);
  page += '\0';
  page += SmallTables(bytes - page.size());
  return page;
}

}  // namespace

const std::vector<HostileFamily>& HostileFamilies() {
  static const std::vector<HostileFamily> families = {
      {"unclosed_tags", "one cell of \"<i<b>\" pieces", UnclosedTags},
      {"repeated_tails", "one cell of \"0000000AAAAAAAA>\" pieces and a '<'", RepeatedTails},
      {"tags_without_end", "one cell of '<' without '>'", TagsWithoutEnd},
      {"tag_cascade", "tags closed in reverse before a long text", TagCascade},
      {"nested_joints", "nested tables whose cuts spell tags", NestedJoints},
      {"deep_nesting", "tables nested in each other", DeepNesting},
      {"entity_chains", "references that complete each other", EntityChains},
      {"percent_runs", "one cell of \"%25\"", PercentRuns},
      {"wide_row", "one row of \"<td>x</td>\"", WideRow},
      {"sparse_wide_table", "one wide row over many one-cell rows", SparseWideTable},
      {"long_cell", "one cell of text, markup and line breaks", LongCell},
      {"small_tables", "many two-cell tables", SmallTables},
      {"utf16_tables", "a UTF-16 page of small tables", Utf16Tables},
      {"zero_byte_early", "small tables cut by a zero byte halfway", ZeroByteEarly},
  };
  return families;
}

}  // namespace quarry::testing
