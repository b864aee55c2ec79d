// Writes a grid as a small HTML document: a title, an optional heading
// paragraph and one table with a header row and one row per grid row,
// carrying each cell's alignment, colours, boldness and link.
//
// The output is a file format read by browsers and by people's own scripts;
// every byte below is fixed, lines end in CR LF. Texts are written as the
// grid holds them, without escaping: the writer itself puts "&nbsp;" into
// texts, and callers may put markup into titles and headings.

#ifndef QUARRY_ENGINE_HTML_WRITER_H_
#define QUARRY_ENGINE_HTML_WRITER_H_

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_grid.h"
#include "engine/export_options.h"

namespace quarry {

// One table cell, or a paragraph, as it is written.
struct HtmlCellFormat {
  std::string text;  // written unchanged; an empty text becomes "&nbsp;"
  std::string link;  // cells only; no anchor when empty
  int32_t alignment = kAlignLeft;  // kAlignLeft writes nothing
  int32_t width = -1;              // none when below 1
  uint32_t background = kColourWhite;  // none when exactly white
  uint32_t text_colour = kColourBlack;  // none when 0
  int32_t font_size = 2;               // none when below 1
  bool width_is_percent = false;  // width in per cent when at most 100
  bool bold = false;
  bool verbatim = false;  // paragraphs only: the text alone, no markup
};

// The six hexadecimal digits of a colour in red, green, blue order, upper
// case, without "#": 0x0000FF gives "FF0000".
std::string HtmlColourText(uint32_t colour);

// Building blocks of the document. Each returns the text it made and, when
// `out` is given, also writes it there at once; write errors are left in
// the stream's state for the caller to check.

// "<html>" through "<body>" with the title.
std::string HtmlDocumentStart(std::string_view title,
                              std::ostream* out = nullptr);

// A "<p>" paragraph (never a link), or the text alone when verbatim.
std::string HtmlParagraph(const HtmlCellFormat& paragraph,
                          std::ostream* out = nullptr);

// The table's start tag. A width of 1 to 100 is written in per cent, above
// 100 in pixels, below 1 not at all; empty font texts are left out.
std::string HtmlTableStart(std::string_view id, int32_t width, int32_t border,
                           int32_t cellspacing, int32_t cellpadding,
                           std::string_view font_size_text,
                           std::string_view font_family_text,
                           std::ostream* out = nullptr);

// One "<td>" line of a row.
std::string HtmlCell(const HtmlCellFormat& cell);

// A "<tr>" row of the cells in order.
std::string HtmlRow(std::span<const HtmlCellFormat> cells,
                    std::ostream* out = nullptr);

std::string HtmlTableEnd(std::ostream* out = nullptr);

// Closes the body and the document; the stream is flushed, not closed (its
// owner closes it).
std::string HtmlDocumentEnd(std::ostream* out = nullptr);

// The complete document for `grid`: its columns in display order less the
// excluded ones, the header row (centred, bold, in the header's colours),
// then one row per grid row. Without options the title and heading are
// empty and the font sizes 4, 3 and 2 apply. Fills
// options->header_names_out when set.
std::string BuildHtmlDocument(const ExportGrid& grid,
                              const ExportOptions* options);

// The same document sent to `sink` piece by piece (a cell at a time), so
// that memory stays small whatever the grid's size. BuildHtmlDocument is
// this with a string sink.
void WriteHtmlDocument(const ExportGrid& grid, const ExportOptions* options, ExportSink& sink);

// Writes BuildHtmlDocument's text to `path`, streaming it (see
// WriteFileReplacingWith: on failure an existing file is left as it was
// and nothing is created, and `*reason`, when given, says why).
// Returns true when the whole document was written; then, when the options
// ask for it, the file is handed to `open_after` (when given).
bool ExportListToHtml(const ExportGrid& grid, const std::string& path,
                      const ExportOptions* options, const OpenAfterExportHook& open_after = {},
                      std::string* reason = nullptr);

}  // namespace quarry

#endif  // QUARRY_ENGINE_HTML_WRITER_H_
