// A table as the clipboard carries it to other programs: tab-separated text
// (what a spreadsheet reads from a plain paste) and an HTML table (what a
// word processor or a spreadsheet keeps as cells), from the same cells.

#ifndef QUARRY_APP_TABLE_CLIPBOARD_H_
#define QUARRY_APP_TABLE_CLIPBOARD_H_

#include <string>
#include <vector>

class QMimeData;

namespace quarry {

// `titles` (may be empty: no title line) and `rows` hold the page's bytes,
// shown as UTF-8 when they are, else Latin-1. The text is the text export's
// (cells trimmed, CR LF line ends); the HTML escapes every cell. The caller
// owns the result (QClipboard::setMimeData takes it).
QMimeData* TableMimeData(const std::vector<std::string>& titles,
                         const std::vector<std::vector<std::string>>& rows);

}  // namespace quarry

#endif  // QUARRY_APP_TABLE_CLIPBOARD_H_
