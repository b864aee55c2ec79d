#include "engine/html_writer.h"

#include <cstdio>
#include <utility>

#include "engine/work_meter.h"

namespace quarry {

namespace {

constexpr std::string_view kNbsp = "&nbsp;";

std::string Emit(std::string text, std::ostream* out) {
  if (out) out->write(text.data(), static_cast<std::streamsize>(text.size()));
  return text;
}

std::string AlignmentPart(int32_t alignment) {
  if (alignment == kAlignRight) return " align=\"right\"";
  if (alignment == kAlignCenter) return " align=\"center\"";
  return std::string();
}

std::string WidthPart(int32_t width, bool is_percent) {
  if (width < 1) return std::string();
  if (is_percent && width <= 100) {
    return " width=\"" + std::to_string(width) + "%\"";
  }
  return " width=\"" + std::to_string(width) + "\"";
}

std::string BackgroundPart(uint32_t colour) {
  if (colour == kColourWhite) return std::string();
  return " bgcolor=\"#" + HtmlColourText(colour) + "\"";
}

// The font element's opening and closing; both empty when the format asks
// for neither a colour nor a size.
std::pair<std::string, std::string> FontTags(const HtmlCellFormat& format) {
  std::string colour;
  if (format.text_colour != 0) {
    colour = " color=\"#" + HtmlColourText(format.text_colour) + "\"";
  }
  std::string size;
  if (format.font_size >= 1) {
    size = " size=\"" + std::to_string(format.font_size) + "\"";
  }
  if (colour.empty() && size.empty()) return {};
  return {"<font" + colour + size + ">", "</font>"};
}

std::pair<std::string, std::string> BoldTags(bool bold) {
  if (!bold) return {};
  return {"<b>", "</b>"};
}

// Each blank at either end of the text becomes "&nbsp;", so that the
// browser keeps the padding the grid shows; inner blanks stay.
std::string KeepOuterBlanks(std::string_view text) {
  size_t lead = text.find_first_not_of(' ');
  if (lead == std::string_view::npos) lead = text.size();
  size_t trail = 0;
  if (lead < text.size()) trail = text.size() - 1 - text.find_last_not_of(' ');
  std::string result;
  result.reserve(text.size() + (lead + trail) * (kNbsp.size() - 1));
  for (size_t i = 0; i < lead; ++i) result += kNbsp;
  result += text.substr(lead, text.size() - lead - trail);
  for (size_t i = 0; i < trail; ++i) result += kNbsp;
  return result;
}

}  // namespace

std::string HtmlColourText(uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof(text), "%02X%02X%02X", colour & 0xFFu,
                (colour >> 8) & 0xFFu, (colour >> 16) & 0xFFu);
  return text;
}

std::string HtmlDocumentStart(std::string_view title, std::ostream* out) {
  std::string text = "<html>\r\n<head>\r\n<title>";
  text += title;
  text += "</title>\r\n</head>\r\n\r\n<body>\r\n";
  return Emit(std::move(text), out);
}

namespace {

// `open` ("<p", "\t\t<td") with the format's attributes, then the opening
// font and bold markup and `inner`.
std::string ElementStart(std::string_view open, const HtmlCellFormat& format,
                         std::string_view inner) {
  auto [font_open, font_close] = FontTags(format);
  auto [bold_open, bold_close] = BoldTags(format.bold);
  std::string text(open);
  text += AlignmentPart(format.alignment);
  text += BackgroundPart(format.background);
  text += WidthPart(format.width, format.width_is_percent);
  text += ">";
  text += font_open;
  text += bold_open;
  text += inner;
  return text;
}

// `inner`, the closing bold and font markup, then `close` ("</p>\r\n").
std::string ElementEnd(std::string_view inner, const HtmlCellFormat& format,
                       std::string_view close) {
  auto [font_open, font_close] = FontTags(format);
  auto [bold_open, bold_close] = BoldTags(format.bold);
  std::string text(inner);
  text += bold_close;
  text += font_close;
  text += close;
  return text;
}

}  // namespace

std::string HtmlParagraph(const HtmlCellFormat& paragraph, std::ostream* out) {
  if (paragraph.verbatim) return Emit(paragraph.text, out);
  std::string text = ElementStart("<p", paragraph, {});
  text += paragraph.text.empty() ? std::string(kNbsp) : paragraph.text;
  text += ElementEnd({}, paragraph, "</p>\r\n");
  return Emit(std::move(text), out);
}

std::string HtmlTableStart(std::string_view id, int32_t width, int32_t border,
                           int32_t cellspacing, int32_t cellpadding,
                           std::string_view font_size_text,
                           std::string_view font_family_text,
                           std::ostream* out) {
  std::string style;
  if (!font_size_text.empty() && !font_family_text.empty()) {
    style = " style=\"font-size: " + std::string(font_size_text) +
            "; font-family:" + std::string(font_family_text) + "\"";
  } else if (!font_size_text.empty()) {
    style = " style=\"font-size: " + std::string(font_size_text) + "\"";
  } else if (!font_family_text.empty()) {
    style = " style=\"font-family: " + std::string(font_family_text) + "\"";
  }
  std::string text = "<table border=\"" + std::to_string(border) + "\"";
  text += WidthPart(width, /*is_percent=*/true);
  text += " id=\"";
  text += id;
  text += "\" cellspacing=\"" + std::to_string(cellspacing) +
          "\" cellpadding=\"" + std::to_string(cellpadding) + "\"";
  text += style;
  text += ">\r\n";
  return Emit(std::move(text), out);
}

namespace {

// "\t\t<td ...>" and the opening font, bold and link markup of a cell.
std::string CellStart(const HtmlCellFormat& cell, std::string_view link_open) {
  return ElementStart("\t\t<td", cell, link_open);
}

// The closing markup of a cell, up to and including its line end.
std::string CellEnd(const HtmlCellFormat& cell, bool link) {
  return ElementEnd(link ? "</A>" : "", cell, "</td>\r\n");
}

// A cell without a link whose text is `text`, written in three pieces so
// that a large text is never copied; `keep_outer_blanks` turns its outer
// blanks into "&nbsp;" as KeepOuterBlanks does.
void WritePlainCell(const HtmlCellFormat& cell, std::string_view text, bool keep_outer_blanks,
                    ExportSink& sink) {
  sink.Write(CellStart(cell, {}));
  size_t lead = 0, trail = 0;
  if (keep_outer_blanks) {
    lead = text.find_first_not_of(' ');
    if (lead == std::string_view::npos) lead = text.size();
    if (lead < text.size()) trail = text.size() - 1 - text.find_last_not_of(' ');
  }
  if (text.empty()) sink.Write(kNbsp);
  for (size_t i = 0; i < lead; ++i) sink.Write(kNbsp);
  sink.Write(text.substr(lead, text.size() - lead - trail));
  for (size_t i = 0; i < trail; ++i) sink.Write(kNbsp);
  sink.Write(CellEnd(cell, false));
  AddEngineWork(text.size() + 1);
}

}  // namespace

std::string HtmlCell(const HtmlCellFormat& cell) {
  std::string body = cell.text;
  std::string link_open;
  if (!cell.link.empty()) {
    // Spaces inside an anchor would be underlined; the padding moves in
    // front of it instead.
    std::string stripped;
    std::string padding;
    size_t pos = 0;
    for (size_t hit; (hit = body.find(kNbsp, pos)) != std::string::npos;
         pos = hit + kNbsp.size()) {
      stripped.append(body, pos, hit - pos);
      padding += kNbsp;
    }
    stripped.append(body, pos, std::string::npos);
    body = std::move(stripped);
    link_open = padding + "<A HREF=\"" + cell.link + "\">";
  }
  if (body.empty()) body = kNbsp;
  return CellStart(cell, link_open) + body + CellEnd(cell, !cell.link.empty());
}

std::string HtmlRow(std::span<const HtmlCellFormat> cells, std::ostream* out) {
  std::string text = "\t<tr>\r\n";
  for (const HtmlCellFormat& cell : cells) text += HtmlCell(cell);
  text += "\t</tr>\r\n";
  return Emit(std::move(text), out);
}

std::string HtmlTableEnd(std::ostream* out) {
  return Emit("</table>\r\n", out);
}

std::string HtmlDocumentEnd(std::ostream* out) {
  std::string text = Emit("\r\n</body>\r\n</html>", out);
  if (out) out->flush();
  return text;
}

void WriteHtmlDocument(const ExportGrid& grid, const ExportOptions* options, ExportSink& sink) {
  const ExportOptions defaults;
  const ExportOptions& opts = options ? *options : defaults;

  sink.Write(HtmlDocumentStart(options ? opts.title : std::string()));
  if (options && !opts.heading.empty()) {
    HtmlCellFormat heading;
    heading.text = opts.heading;
    heading.bold = true;
    heading.alignment = kAlignCenter;
    heading.font_size = opts.heading_font_size;
    sink.Write(HtmlParagraph(heading));
  }
  sink.Write(HtmlTableStart("ExportTable1", 100, 1, 0, 2, "8pt", "Arial"));

  uint32_t header_background = grid.BackgroundColour();
  uint32_t header_text = kColourBlack;
  uint32_t extended_background = 0, extended_text = 0;
  if (grid.ExtendedHeaderColours(&extended_background, &extended_text)) {
    header_background = extended_background;
    header_text = extended_text;
  }
  const int32_t header_size = opts.header_font_size == opts.heading_font_size
                                  ? 0
                                  : opts.header_font_size;
  const int32_t data_size = opts.data_font_size == opts.header_font_size
                                ? 0
                                : opts.data_font_size;

  // Rows are written a cell at a time (what HtmlRow would make of them),
  // with the cells' text passed through rather than copied, so that a very
  // wide grid or a very large cell never has to fit in memory twice.
  const ExportColumnList columns(grid, opts.excluded_columns);
  constexpr std::string_view kRowStart = "\t<tr>\r\n";
  constexpr std::string_view kRowEnd = "\t</tr>\r\n";
  HtmlCellFormat cell;
  std::string header_names;
  std::string scratch;
  sink.Write(kRowStart);
  columns.ForEach([&](int column) {
    cell = HtmlCellFormat();
    cell.alignment = kAlignCenter;
    cell.bold = true;
    cell.background = header_background;
    cell.text_colour = header_text;
    cell.font_size = header_size;
    std::optional<std::string_view> title = grid.HeaderTextView(column);
    if (!title) {
      scratch = grid.HeaderText(column).value_or(std::string());
      title = scratch;
    }
    if (opts.header_names_out) {
      header_names += *title;
      header_names += ',';
    }
    WritePlainCell(cell, *title, false, sink);
    return true;
  });
  sink.Write(kRowEnd);
  if (opts.header_names_out) {
    // Appended to what the caller's string held; the trailing commas of
    // the whole text go.
    std::string& names = *opts.header_names_out;
    names += header_names;
    const size_t end = names.find_last_not_of(',');
    names.resize(end == std::string::npos ? 0 : end + 1);
  }

  const int rows = grid.RowCount();
  for (int row = 0; row < rows && sink.ok(); ++row) {
    sink.Write(kRowStart);
    columns.ForEach([&](int column) {
      const CellFormat format = grid.CellFormatAt(row, column);
      const int32_t alignment = grid.HeaderAlignment(column);
      cell = HtmlCellFormat();
      cell.alignment = format.is_percent ? kAlignCenter
                       : alignment == kAlignCenter || alignment == kAlignRight ? alignment
                                                                               : kAlignLeft;
      cell.bold = format.bold;
      cell.background = format.background;
      cell.text_colour = format.text_colour;
      cell.font_size = data_size;
      const std::string_view text = CellDisplayView(grid, row, column, scratch);
      if (format.is_link && !format.link.empty()) {
        cell.link = format.link;
        cell.text = KeepOuterBlanks(text);
        const std::string written = HtmlCell(cell);
        AddEngineWork(written.size());
        sink.Write(written);
      } else {
        WritePlainCell(cell, text, true, sink);
      }
      return true;
    });
    sink.Write(kRowEnd);
  }

  sink.Write(HtmlTableEnd());
  sink.Write(HtmlDocumentEnd());
}

std::string BuildHtmlDocument(const ExportGrid& grid,
                              const ExportOptions* options) {
  std::string doc;
  StringSink sink(&doc);
  WriteHtmlDocument(grid, options, sink);
  return doc;
}

bool ExportListToHtml(const ExportGrid& grid, const std::string& path,
                      const ExportOptions* options, const OpenAfterExportHook& open_after,
                      std::string* reason) {
  const bool written = WriteFileReplacingWith(
      path, [&](ExportSink& sink) { WriteHtmlDocument(grid, options, sink); }, reason);
  if (!written) return false;
  if (options && options->open_after_export && open_after) open_after(path);
  return true;
}

}  // namespace quarry
