#include "app/table_clipboard.h"

#include <QMimeData>
#include <QString>

#include "engine/delimited_export.h"
#include "engine/export_grid.h"
#include "framework/byte_text.h"

namespace quarry {

QMimeData* TableMimeData(const std::vector<std::string>& titles,
                         const std::vector<std::vector<std::string>>& rows) {
  MemoryGrid grid(titles, rows);
  ExportOptions options;
  options.file_type = kFileTypeText;
  std::string text = BuildDelimitedText(grid, &options, kFileTypeText);
  if (titles.empty() && text.starts_with("\r\n")) text.erase(0, 2);  // no title line
  QString html = QStringLiteral("<table>");
  if (!titles.empty()) {
    html += QStringLiteral("<tr>");
    for (const std::string& title : titles) {
      html += QStringLiteral("<th>%1</th>").arg(TextFromBytes(title).toHtmlEscaped());
    }
    html += QStringLiteral("</tr>");
  }
  for (const std::vector<std::string>& cells : rows) {
    html += QStringLiteral("<tr>");
    for (const std::string& cell : cells) {
      html += QStringLiteral("<td>%1</td>").arg(TextFromBytes(cell).toHtmlEscaped());
    }
    html += QStringLiteral("</tr>");
  }
  html += QStringLiteral("</table>");
  auto* data = new QMimeData();
  data->setText(TextFromBytes(text));
  data->setHtml(html);
  return data;
}

}  // namespace quarry
