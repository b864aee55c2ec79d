#include "app/view_table_results.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include "app/app_settings.h"
#include "app/link_opener.h"
#include "app/main_frame.h"
#include "app/parse_progress.h"
#include "app/table_clipboard.h"
#include "engine/delimited_export.h"
#include "engine/export_grid.h"
#include "engine/grid_commands.h"
#include "engine/merged_cells.h"
#include "engine/page_parser.h"
#include "engine/table_grid.h"
#include "engine/table_positions.h"
#include "engine/table_scanner.h"
#include "framework/byte_text.h"
#include "framework/command_ids.h"
#include "framework/edit_label_dlg.h"
#include "framework/ks_controls.h"
#include "framework/msgbox/app_message_box.h"
#include "platform/window_message_ids.h"
#include "web/web_address.h"
#include "web/web_settings.h"

namespace quarry {

const char CViewTableResults::kExportFilter[] =
    "HTML Files (*.htm;*.html)|*.htm; *.html|Workbooks (*.xlsx)|*.xlsx|"
    "Data Files (*.csv)|*.csv|Text Files (*.txt;*.tsv)|*.txt; *.tsv|All Files (*.*)|*.*||";

namespace {

// Template 409 in dialog units.
constexpr QRect kTableListUnits(0, 0, 105, 219);
constexpr int kIdColumnWidth = 154;  // pixels, the widest a name column starts
constexpr QRect kGridUnits(105, 0, 264, 198);
constexpr QRect kExportUnits(310, 202, 52, 14);
constexpr QRect kHeaderUnits(112, 205, 54, 10);
constexpr QRect kSpansUnits(168, 205, 88, 10);
constexpr QRect kShowInPageUnits(258, 202, 48, 14);
constexpr int kTemplateWidth = 369;
constexpr int kTemplateHeight = 219;

DialogTemplate ResultsTemplate() {
  return DialogTemplate{
      CViewTableResults::kTemplateId,
      QStringLiteral("Table Results View"),
      kTemplateWidth,
      kTemplateHeight,
      {
          {CViewTableResults::kIdExport, DialogItemKind::kPushButton,
           kExportUnits, QStringLiteral("Export")},
          {CViewTableResults::kIdHasHeader, DialogItemKind::kCheckBox,
           kHeaderUnits, QStringLiteral("Has Header")},
          {CViewTableResults::kIdExpandSpans, DialogItemKind::kCheckBox,
           kSpansUnits, QStringLiteral("Expand merged cells")},
          {CViewTableResults::kIdShowInPage, DialogItemKind::kPushButton,
           kShowInPageUnits, QStringLiteral("Show in Page")},
      }};
}

QString PageSizeText(int64_t bytes) {
  constexpr int64_t kMiB = 1024 * 1024;
  if (bytes >= kMiB) {
    return QStringLiteral("%1 MB").arg(
        QString::number(static_cast<double>(bytes) / kMiB, 'g', 4));
  }
  return QStringLiteral("%1 KB").arg(QString::number(bytes / 1024.0, 'g', 4));
}

// Opens exported files with the desktop's program. The opener outlives
// every view: exports may still be opening while the program closes.
void OpenExportedFile(const std::string& path) {
  static LinkOpener* opener = new LinkOpener();
  opener->Open(QUrl::fromLocalFile(QString::fromStdString(path))
                   .toString()
                   .toStdString(),
               [](const OpenOutcome&) {});
}

}  // namespace

// ---- Free helpers ----

namespace {

// The tables of a page's bytes, read the same way whichever road brought
// them: named, each with its place in the page, spans laid out when asked.
// The page is handed over: the tables may keep it for their HTML.
ParseOutcome ReadTables(std::string page, const std::atomic<bool>* cancel,
                        bool expand_merged_cells) {
  ParseOutcome outcome;
  const auto stopped = [&] { return cancel != nullptr && cancel->load(); };
  PageTextNotes notes;
  const auto shared_page = std::make_shared<const std::string>(std::move(page));
  const std::string& bytes = *shared_page;
  outcome.tables = ParsePageText(shared_page, &notes, cancel);
  if (!stopped()) NoteTablePositions(bytes, outcome.tables);
  if (!stopped() && expand_merged_cells) {
    outcome.too_large_to_expand = ExpandMergedCells(outcome.tables, cancel).too_large;
  }
  if (stopped()) {
    outcome = ParseOutcome();
    outcome.cancelled = true;
    outcome.error = "Stopped";
    return outcome;
  }
  outcome.ok = true;
  outcome.note = ZeroByteWarning(notes);
  NameUnnamedTables(outcome.tables);
  outcome.summaries.reserve(outcome.tables.size());
  for (const ExtractedTable& table : outcome.tables) {
    outcome.summaries.push_back(SummarizeTable(table.data));
  }
  return outcome;
}

}  // namespace

ParseOutcome ParsePage(const std::string& url, const PageFetchOptions& options,
                       bool expand_merged_cells) {
  PageFetch page = FetchPage(url, options);
  if (!page.ok) {
    ParseOutcome outcome;
    outcome.limit = page.limit;
    outcome.cancelled = page.cancelled;
    outcome.error = std::move(page.reason);
    return outcome;
  }
  ParseOutcome outcome = ReadTables(std::move(page.bytes), options.cancel, expand_merged_cells);
  outcome.limit = page.limit;
  outcome.truncated = outcome.ok && page.truncated;
  return outcome;
}

ParseOutcome ParseShownPage(const QString& document, const std::atomic<bool>* cancel,
                            bool expand_merged_cells) {
  // As much of the page as a download would take.
  const int64_t limit = MaxPageSize();
  const QByteArray utf8 = document.toUtf8();
  const bool truncated = utf8.size() > limit;
  std::string bytes(utf8.constData(), static_cast<size_t>(truncated ? limit : utf8.size()));
  ParseOutcome outcome = ReadTables(std::move(bytes), cancel, expand_merged_cells);
  outcome.as_shown = true;
  outcome.limit = limit;
  outcome.truncated = outcome.ok && truncated;
  return outcome;
}

bool NaturalLess(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      // Runs of digits compare by value: fewer significant digits first.
      qsizetype i_end = i, j_end = j;
      while (i_end < a.size() && a[i_end].isDigit()) ++i_end;
      while (j_end < b.size() && b[j_end].isDigit()) ++j_end;
      qsizetype i_start = i, j_start = j;
      while (i_start + 1 < i_end && a[i_start] == u'0') ++i_start;
      while (j_start + 1 < j_end && b[j_start] == u'0') ++j_start;
      const qsizetype i_len = i_end - i_start, j_len = j_end - j_start;
      if (i_len != j_len) return i_len < j_len;
      const int order = QStringView(a).mid(i_start, i_len).compare(QStringView(b).mid(j_start, j_len));
      if (order != 0) return order < 0;
      i = i_end;
      j = j_end;
      continue;
    }
    const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
    if (x != y) return x < y;
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

QString ConvertFileFilter(const QString& pipe_filter) {
  const QStringList parts = pipe_filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'))) {
      const QString trimmed = pattern.trimmed();
      if (trimmed.isEmpty()) continue;
      patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    QString description = parts[i];
    const qsizetype paren = description.indexOf(QLatin1String(" ("));
    if (paren >= 0) description.truncate(paren);
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(' '));
  }
  return filters.join(QStringLiteral(";;"));
}

QString ReplaceExtension(const QString& path, const QString& extension) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  // A dot that starts the name (".profile") marks no extension.
  if (dot > slash + 1) return path.left(dot) + extension;
  return path + extension;
}

// ---- The view ----

CViewTableResults::CViewTableResults()
    : CSubViewPage(ResultsTemplate()) {
  // The list and the grid share the top of the view; the user may move the
  // border between them.
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setAccessibleName(QStringLiteral("Tables and details"));
  splitter_->setChildrenCollapsible(false);
  table_list_ = new CListCtrlExt(splitter_);
  table_list_->setObjectName(ControlObjectName(kIdTableList));
  table_list_->setProperty(kControlIdProperty, kIdTableList);
  table_list_->setAccessibleName(QStringLiteral("Tables"));
  table_list_->InsertColumn(kColumnId, QStringLiteral("Table ID"), kIdColumnWidth);
  table_list_->InsertColumn(kColumnSize, QStringLiteral("Size"), 90);
  table_list_->InsertColumn(kColumnPreview, QStringLiteral("Preview"), 260);
  table_list_->SetItemToolTipSource([this](int row) { return TableToolTip(row); });
  // A click on a column's title orders the list by it.
  QHeaderView* list_header = table_list_->horizontalHeader();
  list_header->setSectionsClickable(true);
  list_header->setSortIndicatorShown(true);
  list_header->setSortIndicator(-1, Qt::AscendingOrder);
  connect(list_header, &QHeaderView::sectionClicked, this, [this, list_header](int column) {
    SortTables(column, list_header->sortIndicatorOrder());
  });
  table_list_->SetEmptyText(
      QStringLiteral("There are no items to show\nParse Web Page for tables"));

  grid_ = new CListCtrlExt(splitter_);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] { PlaceBelowGrid(); });
  grid_->setObjectName(ControlObjectName(kIdGrid));
  grid_->setProperty(kControlIdProperty, kIdGrid);
  grid_->setAccessibleName(QStringLiteral("Table details"));
  grid_->SetEmptyText(QStringLiteral("Select Table to the left for details"));

  // The lists' corner buttons would be the only unnamed controls left for
  // screen readers.
  for (CListCtrlExt* list : {table_list_, grid_}) {
    for (QAbstractButton* corner : list->findChildren<QAbstractButton*>()) {
      if (corner->accessibleName().isEmpty()) {
        corner->setAccessibleName(list->accessibleName() + QStringLiteral(" corner"));
      }
    }
  }

  export_button_ = CKsButtonCtrl::FromTemplate(this, kIdExport);
  header_check_ = CKsCheckCtrl::FromTemplate(this, kIdHasHeader);
  spans_check_ = CKsCheckCtrl::FromTemplate(this, kIdExpandSpans);
  show_in_page_ = CKsButtonCtrl::FromTemplate(this, kIdShowInPage);
  export_button_->SetEnabled(false);
  show_in_page_->SetEnabled(false);
  spans_check_->SetToolTip(QStringLiteral(
      "Lay out merged cells as the page shows them, repeating a merged cell's text in "
      "every cell it covers"));
  show_in_page_->SetToolTip(QStringLiteral(
      "Click to see the selected table marked in the Web Page (Ctrl+Shift+L)"));
  // Tab order: the tables, their details, then the check boxes and the
  // buttons.
  setTabOrder(table_list_, grid_);
  setTabOrder(grid_, header_check_->Widget());
  setTabOrder(header_check_->Widget(), spans_check_->Widget());
  setTabOrder(spans_check_->Widget(), show_in_page_->Widget());
  setTabOrder(show_in_page_->Widget(), export_button_->Widget());
  LayOut();
  auto* show_in_page = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), this,
                                     nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(show_in_page, &QShortcut::activated, this, [this] {
    const int row = table_list_->GetSelectedRow();
    ShowInPage(row >= 0 ? row : selected_, true);
  });

  connect(table_list_, &CListCtrlExt::clicked, this,
          [this](int row, int) { ShowTable(row); });
  // Ctrl+C copies what is shown, or the table selected in the list.
  auto* copy_grid = new QShortcut(QKeySequence::Copy, grid_, nullptr, nullptr,
                                  Qt::WidgetWithChildrenShortcut);
  connect(copy_grid, &QShortcut::activated, this, &CViewTableResults::CopyGridSelection);
  auto* copy_table = new QShortcut(QKeySequence::Copy, table_list_, nullptr, nullptr,
                                   Qt::WidgetWithChildrenShortcut);
  connect(copy_table, &QShortcut::activated, this,
          [this] { CopyTable(table_list_->GetSelectedRow()); });
  connect(table_list_, &CListCtrlExt::doubleClicked, this,
          [this](int row, int) { RenameTable(row); });
  connect(table_list_, &CListCtrlExt::keyPressed, this, [this](int key) {
    if (key == Qt::Key_Delete) DeleteSelectedTables();
  });
  connect(table_list_, &CListCtrlExt::contextMenuRequested, this,
          [this](const QPoint& at, bool keyboard) {
            ShowContextMenu(table_list_, at, keyboard);
          });
  connect(grid_, &CListCtrlExt::contextMenuRequested, this,
          [this](const QPoint& at, bool keyboard) {
            ShowContextMenu(grid_, at, keyboard);
          });

  label_prompt_ = [this](const QString& current) -> std::optional<QString> {
    CEditLabelDlg dialog(current, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.GetNewLabel();
  };
  save_prompt_ = [this](const QString& suggested) {
    QFileDialog dialog(this, QStringLiteral("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("htm"));
    dialog.setNameFilter(ConvertFileFilter(QString::fromLatin1(kExportFilter)));
    dialog.selectFile(suggested);
    // The overwrite prompt is on unless switched off.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return QString();
    }
    return dialog.selectedFiles().constFirst();
  };
  error_sink_ = [this](const QString& text) {
    AppMessageBox(text, mb::kIconExclamation);
  };
  open_after_export_ = &OpenExportedFile;
}

CViewTableResults::~CViewTableResults() {
  // The workers hand their results to this object's thread by queued
  // calls; once they have ended, destroying this object discards those.
  if (job_) job_->cancel = true;
  if (worker_.joinable()) {
    // A stopped download ends at once, a scan at its next table; a single
    // enormous table may take longer, and the window does not wait for it.
    for (int waited = 0; !job_->done && waited < 1000; waited += 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (job_->done) {
      worker_.join();
    } else {
      worker_.detach();
    }
  }
  if (export_worker_.joinable()) export_worker_.join();
  if (grid_worker_.joinable()) grid_worker_.join();
  if (spans_cancel_) *spans_cancel_ = true;
  if (spans_worker_.joinable()) spans_worker_.join();
}

QString CViewTableResults::Caption() const {
  return QStringLiteral("Table Results View");
}

int CViewTableResults::CommandId() const { return cmd::kTableResults; }

std::vector<QWidget*> CViewTableResults::Panes() { return {table_list_, grid_}; }

// ---- The parse ----

void CViewTableResults::OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (message != platform::WM_PARSE_PAGE || wparam == 0) return;
  // The sender's strings may change once we return: copy them now.
  const auto* address = reinterpret_cast<const std::string*>(wparam);
  if (lparam != 0) {
    StartParseShown(QString::fromStdString(*address), *reinterpret_cast<const QString*>(lparam));
  } else {
    StartParse(QString::fromStdString(*address));
  }
}

bool CViewTableResults::StartParse(const QString& url) {
  if (busy_ || url.isEmpty()) return false;
  const std::string address = url.toStdString();
  const bool expand = ExpandsMergedCells();
  // The worker reaches this view only through its window handle, so that
  // it may outlive the view (see the destructor).
  const platform::WindowHandle self = Handle();
  return StartWorker(
      url, QStringLiteral("Reading %1\u2026").arg(TextFromBytes(DisplayAddress(address))),
      [this, self, address, expand](const std::atomic<bool>* cancel) {
        PageFetchOptions options;
        options.cancel = cancel;
        options.progress = [this, self](double fraction) {
          platform::PostCall(self, [this, fraction] {
            if (busy_ && progress_) progress_->SetFraction(fraction);
          });
        };
        return ParsePage(address, options, expand);
      });
}

bool CViewTableResults::StartParseShown(const QString& url, const QString& document) {
  if (busy_ || url.isEmpty()) return false;
  const bool expand = ExpandsMergedCells();
  // A copy that shares the text: converting it is the worker's job.
  return StartWorker(url, QStringLiteral("Reading the page as shown\u2026"),
                     [document, expand](const std::atomic<bool>* cancel) {
                       return ParseShownPage(document, cancel, expand);
                     });
}

bool CViewTableResults::StartWorker(const QString& url, const QString& reading,
                                    std::function<ParseOutcome(const std::atomic<bool>*)> parse) {
  setCursor(Qt::WaitCursor);
  busy_ = true;
  url_ = url;
  // The bar first: adding it to the status bar must not bring back what
  // the message hides.
  EnsureProgress();
  if (progress_ != nullptr) progress_->Start();
  ShowStatus(reading);

  job_ = std::make_shared<ParseJob>();
  if (worker_.joinable()) worker_.join();  // the last one has finished
  const platform::WindowHandle self = Handle();
  worker_ = std::thread([this, self, parse = std::move(parse), job = job_] {
    auto outcome = std::make_shared<ParseOutcome>(parse(&job->cancel));
    platform::PostCall(self, [this, outcome] { FinishParse(outcome); });
    job->done = true;
  });
  return true;
}

void CViewTableResults::StopParse() {
  if (busy_ && job_) job_->cancel = true;
}

void CViewTableResults::EnsureProgress() {
  if (progress_ != nullptr) return;
  auto* frame = qobject_cast<QMainWindow*>(window());
  if (frame == nullptr) return;
  progress_ = new CParseProgress(frame);
  connect(progress_, &CParseProgress::stopRequested, this, &CViewTableResults::StopParse);
}

void CViewTableResults::FinishParse(const std::shared_ptr<ParseOutcome>& outcome) {
  if (outcome->ok) {
    // Only a page that was read replaces what the list held.
    tables_ = std::move(outcome->tables);
    summaries_ = std::move(outcome->summaries);
    edited_.assign(tables_.size(), 0);
    ++list_generation_;
    ++grid_request_;
    selected_ = -1;
    parsed_url_ = url_;
    parsed_as_shown_ = outcome->as_shown;
    ForgetPositions();
    ClearGrid();
    export_button_->SetEnabled(false);
    show_in_page_->SetEnabled(false);
    ListTables();
    // The mark of a table of the page before goes.
    table_in_page_ = TableInPage();
    table_in_page_.clear = true;
    if (settings_ != nullptr) {
      settings_->PostToOwner(platform::WM_SHOW_TABLE_IN_PAGE,
                             reinterpret_cast<uintptr_t>(&table_in_page_), 0);
    }
    const QString source = outcome->as_shown ? QStringLiteral("the page as shown")
                                             : QStringLiteral("the downloaded page");
    if (outcome->truncated) {
      ShowStatus(QStringLiteral("Only the first %1 of %2 were read; "
                                "later tables may be missing")
                     .arg(PageSizeText(outcome->limit), source));
    } else {
      ShowStatus(QStringLiteral("%1 table(s) found in %2").arg(tables_.size()).arg(source));
    }
    if (outcome->too_large_to_expand > 0) {
      ShowStatus(status_text_ +
                 QStringLiteral("; %1 table(s) too large to expand their merged cells")
                     .arg(outcome->too_large_to_expand));
    }
    if (!outcome->note.empty()) {
      ShowStatus(status_text_ + QStringLiteral("; ") + QString::fromStdString(outcome->note));
    }
  } else if (outcome->cancelled) {
    ShowStatus(QStringLiteral("Stopped"));
  } else {
    ShowStatus(TextFromBytes(outcome->error));
  }
  const bool found = outcome->ok && !tables_.empty();
  if (settings_ != nullptr) {
    settings_->PostToOwner(platform::WM_PARSE_DONE, found ? 1 : 0, 0);
  }
  busy_ = false;
  if (progress_ != nullptr) progress_->Finish();
  unsetCursor();
  emit parseFinished(found);
}

namespace {

// What the list's Size and Preview columns say of a table.
QString SizeText(const TableSummary& summary) {
  return QStringLiteral("%1 \u00d7 %2").arg(summary.lines).arg(summary.columns);
}

// The first cells that say something, so tables can be told apart before
// they are opened.
QString PreviewText(const TableSummary& summary) {
  QStringList preview;
  for (const std::vector<std::string>& line : summary.first_lines) {
    for (const std::string& cell : line) {
      const QString text = TextFromBytes(cell).simplified();
      if (!text.isEmpty()) preview << text;
    }
  }
  return preview.join(QStringLiteral(" \u00b7 "));
}

}  // namespace

void CViewTableResults::ListTables() {
  NameUnnamedTables(tables_);
  summaries_.resize(tables_.size());
  edited_.resize(tables_.size(), 0);
  table_list_->DeleteAllItems();
  table_list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  // Every row in one insertion; tool tips are made when one shows.
  std::vector<std::vector<std::string>> rows(tables_.size());
  for (size_t i = 0; i < tables_.size(); ++i) {
    rows[i] = {TableName(tables_[i]), BytesFromText(SizeText(summaries_[i])),
               BytesFromText(PreviewText(summaries_[i]))};
  }
  table_list_->AppendItemsBytes(std::move(rows));
  // Names and sizes are short: they take what they need (names no more
  // than the template gives them), and the preview gets the rest.
  if (!tables_.empty()) {
    table_list_->resizeColumnToContents(kColumnId);
    table_list_->SetColumnWidth(kColumnId,
                                std::min(kIdColumnWidth, table_list_->GetColumnWidth(kColumnId)));
    table_list_->resizeColumnToContents(kColumnSize);
  }
}

void CViewTableResults::ListTable(int row) {
  const TableSummary& summary = summaries_[row];
  table_list_->SetItemText(row, kColumnSize, SizeText(summary));
  table_list_->SetItemText(row, kColumnPreview, PreviewText(summary));
}

// The first lines as a small table, under the table's name and size.
QString CViewTableResults::TableToolTip(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= tables_.size() ||
      static_cast<size_t>(row) >= summaries_.size()) {
    return {};
  }
  const TableSummary& summary = summaries_[row];
  QString tip = QStringLiteral("<b>%1</b> \u2014 %2 rows \u00d7 %3 columns<table>")
                    .arg(TextFromBytes(TableName(tables_[row])).toHtmlEscaped())
                    .arg(summary.lines)
                    .arg(summary.columns);
  for (const std::vector<std::string>& line : summary.first_lines) {
    tip += QStringLiteral("<tr>");
    for (const std::string& cell : line) {
      tip += QStringLiteral("<td>%1</td>").arg(TextFromBytes(cell).toHtmlEscaped());
    }
    tip += QStringLiteral("</tr>");
  }
  return tip + QStringLiteral("</table>");
}

void CViewTableResults::SortTables(int column, Qt::SortOrder order) {
  const size_t count = tables_.size();
  std::vector<size_t> order_of(count);
  for (size_t i = 0; i < count; ++i) order_of[i] = i;
  std::vector<QString> keys(count);
  for (size_t i = 0; i < count; ++i) {
    keys[i] = column == kColumnPreview ? table_list_->GetItemText(static_cast<int>(i), column)
                                       : TextFromBytes(TableName(tables_[i]));
  }
  auto less = [&](size_t a, size_t b) {
    if (column == kColumnSize) {
      const TableSummary& x = summaries_[a];
      const TableSummary& y = summaries_[b];
      return std::pair(x.lines, x.columns) < std::pair(y.lines, y.columns);
    }
    return NaturalLess(keys[a], keys[b]);
  };
  std::stable_sort(order_of.begin(), order_of.end(), [&](size_t a, size_t b) {
    return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
  });
  TableList tables;
  std::vector<TableSummary> summaries;
  std::vector<char> edited;
  int selected = -1;
  for (size_t i = 0; i < count; ++i) {
    if (static_cast<int>(order_of[i]) == selected_) selected = static_cast<int>(i);
    tables.push_back(std::move(tables_[order_of[i]]));
    summaries.push_back(std::move(summaries_[order_of[i]]));
    edited.push_back(edited_[order_of[i]]);
  }
  tables_ = std::move(tables);
  summaries_ = std::move(summaries);
  edited_ = std::move(edited);
  ++list_generation_;
  ListTables();
  table_list_->horizontalHeader()->setSortIndicator(column, order);
  selected_ = selected;
  ++grid_request_;  // a layout on its way names the old order
  if (selected_ >= 0) table_list_->SetSelectedRow(selected_);
}

// ---- Copying ----

void CViewTableResults::CopyTable(int row) {
  if (row < 0 || row >= static_cast<int>(tables_.size())) return;
  TableGrid grid = BuildTableGrid(tables_[row].data, header_check_->GetValue() != 0);
  CopyToClipboard(grid.header ? grid.titles : std::vector<std::string>(), grid.rows);
  ShowStatus(QStringLiteral("Copied %1").arg(TextFromBytes(TableName(tables_[row]))));
}

void CViewTableResults::CopyGridSelection() {
  if (grid_->GetColumnCount() == 0) return;
  const int row = grid_->GetSelectedRow();
  std::unique_ptr<MemoryGrid> shown = grid_->ExportSnapshot();
  std::vector<std::string> titles;
  if (shown_header_) {
    for (int k = 0; k < shown->ColumnCount(); ++k) {
      titles.push_back(shown->HeaderText(k).value_or(std::string()));
    }
  }
  std::vector<std::vector<std::string>> rows;
  for (int r = row >= 0 ? row : 0; r < shown->RowCount() && (row < 0 || r == row); ++r) {
    std::vector<std::string>& cells = rows.emplace_back();
    for (int k = 0; k < shown->ColumnCount(); ++k) cells.push_back(CellDisplayText(*shown, r, k));
  }
  CopyToClipboard(row >= 0 ? std::vector<std::string>() : titles, rows);
  ShowStatus(row >= 0 ? QStringLiteral("Copied the selected row")
                      : QStringLiteral("Copied the table"));
}

void CViewTableResults::CopyToClipboard(const std::vector<std::string>& titles,
                                        const std::vector<std::vector<std::string>>& rows) {
  QGuiApplication::clipboard()->setMimeData(TableMimeData(titles, rows));
}

void CViewTableResults::ShowStatus(const QString& text) {
  status_text_ = text;
  ShowStatusMessage(this, text);
}

// ---- Showing and editing tables ----

void CViewTableResults::ClearGrid() {
  grid_->DeleteAllItems();
  grid_->DeleteAllColumns();
}

void CViewTableResults::ForgetPositions() {
  line_ = grid_row_ = grid_column_ = -1;
}

void CViewTableResults::ShowTable(int row) {
  // Export writes what the grid shows: nothing to write, nothing to offer.
  export_button_->SetEnabled(false);
  const int request = ++grid_request_;
  if (row < 0 || row >= static_cast<int>(tables_.size())) {
    ClearGrid();
    return;
  }
  selected_ = row;
  show_in_page_->SetEnabled(true);
  // The browser marks it quietly; "Show in Page" goes there.
  PostTableInPage(false);
  const bool header = header_check_->GetValue() != 0;
  const std::string& data = tables_[row].data;
  if (data.size() < kLayOutOnWorkerBytes) {
    ApplyGrid(row, BuildTableGrid(data, header));
    return;
  }
  ClearGrid();
  ShowStatus(QStringLiteral("Preparing the table\u2026"));
  if (grid_worker_.joinable()) grid_worker_.join();
  grid_worker_ = std::thread([this, row, header, request, data = std::string(data)] {
    auto grid = std::make_shared<TableGrid>(BuildTableGrid(data, header));
    QMetaObject::invokeMethod(
        this,
        [this, row, request, grid] {
          // A later click (or a new parse) has asked for something else.
          if (request == grid_request_) ApplyGrid(row, std::move(*grid));
        },
        Qt::QueuedConnection);
  });
}

void CViewTableResults::ApplyGrid(int row, TableGrid grid) {
  shown_header_ = grid.header ? 1 : 0;
  // The width is shared out between the columns, but no column gets too
  // narrow to show a few characters: a very wide table scrolls instead.
  const int minimum = grid_->fontMetrics().averageCharWidth() * 4;
  const int width =
      grid.columns > 0 ? std::max(grid_->viewport()->width() / grid.columns, minimum) : 0;
  // Cells keep the page's bytes so that an export writes them unchanged.
  grid_->SetTableBytes(grid.columns, grid.header ? std::move(grid.titles)
                                                 : std::vector<std::string>(),
                       std::move(grid.rows), width);
  export_button_->SetEnabled(!exporting_);
  if (row >= 0 && static_cast<size_t>(row) < tables_.size() &&
      tables_[row].data.size() >= kLayOutOnWorkerBytes) {
    ShowStatus(QStringLiteral("%1 rows \u00d7 %2 columns")
                   .arg(grid_->GetItemCount())
                   .arg(grid_->GetColumnCount()));
  }
  emit tableShown(row);
}

void CViewTableResults::RenameTable(int row) {
  if (row < 0 || row >= static_cast<int>(tables_.size()) || !label_prompt_) return;
  const QString current = table_list_->GetItemText(row, 0);
  const std::optional<QString> label = label_prompt_(current);
  if (!label) return;
  // OK on an unchanged label keeps the id's own bytes: they may be Latin-1
  // that would come back altered as UTF-8.
  if (*label == current) return;
  // The double-clicked row is renamed: it is the one whose label the user
  // saw in the dialog. Typed text is kept as UTF-8 so no character is lost.
  quarry::RenameTable(tables_[row], BytesFromText(*label));
  table_list_->SetItemBytes(row, kColumnId, TableName(tables_[row]));
  ListTable(row);
}

void CViewTableResults::DeleteSelectedTables() {
  const int row = table_list_->GetSelectedRow();
  if (row < 0 || row >= static_cast<int>(tables_.size())) return;
  DeleteTables(tables_, {row});
  summaries_.erase(summaries_.begin() + row);
  edited_.erase(edited_.begin() + row);
  ++list_generation_;
  table_list_->DeleteItem(row);
  if (selected_ == row) {
    ++grid_request_;  // a layout still on its way is for a table now gone
    selected_ = -1;
    ForgetPositions();
    ClearGrid();
    export_button_->SetEnabled(false);
    show_in_page_->SetEnabled(false);
    table_list_->SetSelectedRow(-1);
    table_in_page_ = TableInPage();
    table_in_page_.clear = true;
    if (settings_ != nullptr) {
      settings_->PostToOwner(platform::WM_SHOW_TABLE_IN_PAGE,
                             reinterpret_cast<uintptr_t>(&table_in_page_), 0);
    }
  } else if (selected_ > row) {
    --selected_;  // the shown table moved up with the list
  }
}

bool CViewTableResults::RememberGridPoint(const ListHitTest& hit) {
  ForgetPositions();
  if (selected_ < 0 || hit.column < 0 || (hit.row < 0 && !hit.in_header)) {
    return false;
  }
  grid_column_ = hit.column;
  if (!hit.in_header) {
    grid_row_ = hit.row;
    line_ = hit.row + shown_header_;
  }
  for (int k = 0; grid_row_ >= 0 && k < grid_->GetColumnCount(); ++k) {
    grid_->SetCellBackground(grid_row_, k, kHighlight);
  }
  for (int r = 0; r < grid_->GetItemCount(); ++r) {
    grid_->SetCellBackground(r, grid_column_, kHighlight);
  }
  return true;
}

bool CViewTableResults::RunCommand(int id) {
  if (id == kCmdDeleteTable) {
    DeleteSelectedTables();
    return true;
  }
  if (id == kCmdCopyTable) {
    const int row = table_list_->GetSelectedRow();
    CopyTable(row >= 0 ? row : selected_);
    return true;
  }
  if (id == kCmdShowInPage) {
    const int row = table_list_->GetSelectedRow();
    ShowInPage(row >= 0 ? row : selected_, true);
    return true;
  }
  if (selected_ < 0 || selected_ >= static_cast<int>(tables_.size())) return false;
  std::string& data = tables_[selected_].data;
  bool done = false;
  switch (id) {
    case kCmdRemoveLine:
      done = line_ >= 0 && RemoveLine(data, line_);
      break;
    case kCmdRemoveColumn:
      done = grid_column_ >= 0 && RemoveColumn(data, grid_column_);
      break;
    case kCmdShiftRight:
      done = line_ >= 0 && grid_column_ >= 0 && ShiftRight(data, line_, grid_column_);
      break;
    case kCmdShiftLeft:
      done = line_ >= 0 && grid_column_ >= 0 && ShiftLeft(data, line_, grid_column_);
      break;
    default:
      return false;
  }
  if (!done) return false;
  edited_[selected_] = 1;
  ++list_generation_;
  summaries_[selected_] = SummarizeTable(data);
  ListTable(selected_);
  // The remembered cell named a line that may now be gone or moved.
  ForgetPositions();
  ShowTable(selected_);
  return true;
}

void CViewTableResults::ShowContextMenu(CListCtrlExt* list, const QPoint& global_pos,
                                        bool from_keyboard) {
  if (selected_ < 0) return;
  QMenu menu(this);
  if (list == grid_) {
    // From the keyboard the menu names the selected row's first cell.
    ListHitTest hit = grid_->HitTestGlobal(global_pos);
    if (from_keyboard) {
      hit = ListHitTest{grid_->GetSelectedRow(), grid_->GetSelectedRow() >= 0 ? 0 : -1,
                        false};
    }
    if (!RememberGridPoint(hit)) return;
    const bool on_cell = line_ >= 0;
    menu.addAction(QStringLiteral("Remove Line"))->setData(kCmdRemoveLine);
    menu.addAction(QStringLiteral("Remove Column"))->setData(kCmdRemoveColumn);
    menu.addAction(QStringLiteral("Shift Right"))->setData(kCmdShiftRight);
    menu.addAction(QStringLiteral("Shift Left"))->setData(kCmdShiftLeft);
    for (QAction* action : menu.actions()) {
      if (action->data().toInt() != kCmdRemoveColumn) action->setEnabled(on_cell);
    }
  } else {
    menu.addAction(QStringLiteral("Delete Table"))->setData(kCmdDeleteTable);
    QAction* copy = menu.addAction(QStringLiteral("Copy Table"));
    copy->setData(kCmdCopyTable);
    copy->setShortcut(QKeySequence::Copy);
    QAction* show = menu.addAction(QStringLiteral("Show in Page"));
    show->setData(kCmdShowInPage);
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
  }
  if (QAction* chosen = menu.exec(global_pos)) RunCommand(chosen->data().toInt());
}

// ---- Merged cells ----

bool CViewTableResults::ExpandsMergedCells() const { return spans_check_->GetValue() != 0; }

void CViewTableResults::SetExpandMergedCells(bool expand) {
  if (ExpandsMergedCells() == expand) return;
  spans_check_->SetValue(expand ? 1 : 0);
  ApplyMergedCells();
}

void CViewTableResults::ApplyMergedCells() {
  const bool expand = ExpandsMergedCells();
  // A re-reading still running reads what is no longer wanted.
  if (spans_cancel_) *spans_cancel_ = true;
  if (spans_worker_.joinable()) spans_worker_.join();  // it stops at its next table
  std::vector<std::pair<size_t, TableHtml>> sources;
  int kept = 0;
  for (size_t i = 0; i < tables_.size(); ++i) {
    if (edited_[i]) {
      ++kept;
    } else {
      sources.emplace_back(i, tables_[i].source_html);
    }
  }
  if (sources.empty()) {
    emit mergedCellsApplied();
    return;
  }
  struct Reread {
    size_t row;
    std::string data;
    TableSummary summary;
  };
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  spans_cancel_ = cancel;
  const uint64_t generation = list_generation_;
  spans_worker_ = std::thread([this, expand, kept, generation, cancel,
                               sources = std::move(sources)] {
    auto reread = std::make_shared<std::vector<Reread>>();
    int expanded = 0, too_large = 0;
    for (const auto& [row, source] : sources) {
      if (*cancel) return;
      std::string data;
      const MergedCells spans = expand ? ExpandMergedCells(source, &data) : MergedCells::kNone;
      if (spans == MergedCells::kExpanded) {
        ++expanded;
      } else {
        if (spans == MergedCells::kTooLarge) ++too_large;
        ParseTable(source, &data, nullptr, false, true, false);
      }
      reread->push_back({row, data, SummarizeTable(data)});
    }
    QMetaObject::invokeMethod(
        this,
        [this, reread, expand, expanded, too_large, kept, generation] {
          if (generation != list_generation_) {
            ApplyMergedCells();  // the list changed meanwhile: read it again
            return;
          }
          for (Reread& table : *reread) {
            tables_[table.row].data = std::move(table.data);
            summaries_[table.row] = std::move(table.summary);
            ListTable(static_cast<int>(table.row));
          }
          QString text = expand ? QStringLiteral("Merged cells expanded in %1 table(s)").arg(expanded)
                                : QStringLiteral("Merged cells shown as in the page source");
          if (too_large > 0) {
            text += QStringLiteral("; %1 table(s) too large to expand").arg(too_large);
          }
          if (kept > 0) {
            text += QStringLiteral("; %1 edited table(s) kept as they are").arg(kept);
          }
          ShowStatus(text);
          if (selected_ >= 0 && !edited_[selected_]) ShowTable(selected_);
          emit mergedCellsApplied();
        },
        Qt::QueuedConnection);
  });
}

// ---- The table in the page ----

void CViewTableResults::ShowInPage(int row, bool show) {
  if (row < 0 || row >= static_cast<int>(tables_.size())) return;
  if (row != selected_) {
    table_list_->SetSelectedRow(row);
    ShowTable(row);  // marks it quietly
  }
  if (show) PostTableInPage(true);
}

void CViewTableResults::PostTableInPage(bool show) {
  if (settings_ == nullptr || selected_ < 0 || selected_ >= static_cast<int>(tables_.size())) {
    return;
  }
  const ExtractedTable& table = tables_[selected_];
  table_in_page_ = TableInPage();
  table_in_page_.address = parsed_url_.toStdString();
  table_in_page_.parsed_as_shown = parsed_as_shown_;
  table_in_page_.name = TextFromBytes(TableName(table));
  table_in_page_.position = table.page_position;
  table_in_page_.key = TableKey(table.source_html);
  settings_->PostToOwner(platform::WM_SHOW_TABLE_IN_PAGE,
                         reinterpret_cast<uintptr_t>(&table_in_page_), show ? 1 : 0);
}

// ---- Export ----

QString CViewTableResults::SuggestedExportPath() const {
  QString path = export_path_;
  if (path.isEmpty()) {
    // Never a relative path: the save dialog could not use it.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    QString name = selected_ >= 0 ? TextFromBytes(TableName(tables_[selected_]))
                                  : QStringLiteral("Table");
    // A table id is page text: keep it a plain name inside the folder.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
      name = QStringLiteral("Table");
    }
    path = folder + QLatin1Char('/') + name;
  }
  return ReplaceExtension(path, QStringLiteral(".htm"));
}

void CViewTableResults::Export() {
  if (!export_button_->IsEnabled()) return;
  const QString chosen = save_prompt_ ? save_prompt_(SuggestedExportPath()) : QString();
  if (chosen.isEmpty()) return;
  ExportTo(chosen);
}

bool CViewTableResults::ExportTo(const QString& path) {
  if (exporting_ || selected_ < 0 || grid_->GetColumnCount() == 0) return false;
  const std::string file = path.toStdString();
  ExportOptions options;
  options.heading_font_size = 4;
  options.header_font_size = 3;
  options.data_font_size = 2;
  options.file_type = FileTypeFromExtension(file);
  options.open_after_export = true;
  // A workbook's sheet is named after the table, its header row bold.
  options.sheet_name = TableName(tables_[selected_]);
  options.has_header = shown_header_ != 0;
  // The writers read a copy, so the grid may change while they work.
  std::shared_ptr<MemoryGrid> snapshot = grid_->ExportSnapshot();
  exporting_ = true;
  export_button_->SetEnabled(false);
  ShowStatus(QStringLiteral("Writing %1\u2026").arg(QDir::toNativeSeparators(path)));
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
  if (export_worker_.joinable()) export_worker_.join();  // the last one has finished
  export_worker_ = std::thread([this, snapshot, file, options, path, open = open_after_export_] {
    std::string reason;
    const bool written = ExportListToFile(*snapshot, file, &options, open, &reason);
    QMetaObject::invokeMethod(
        this,
        [this, written, path, reason = TextFromBytes(reason)] {
          FinishExport(written, path, reason);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void CViewTableResults::FinishExport(bool written, const QString& path, const QString& reason) {
  exporting_ = false;
  QGuiApplication::restoreOverrideCursor();
  export_button_->SetEnabled(selected_ >= 0 && grid_->GetColumnCount() > 0);
  if (written) {
    export_path_ = path;  // remembered only once it was written
    ShowStatus(QStringLiteral("Exported to %1").arg(QDir::toNativeSeparators(path)));
  } else {
    // The cause says what to put right: a missing folder, a full disk.
    QString text = QStringLiteral("Could not write %1").arg(QDir::toNativeSeparators(path));
    if (!reason.isEmpty()) text += QStringLiteral(": ") + reason;
    ShowStatus(text);
    // A file the user asked for and did not get must not pass unnoticed.
    if (error_sink_) error_sink_(text);
  }
  emit exportFinished(written, path);
}

// ---- Commands and layout ----

bool CViewTableResults::OnCommand(int id) {
  switch (id) {
    case kIdExport:
      Export();
      return true;
    case kIdHasHeader:
      if (selected_ >= 0) ShowTable(selected_);
      return true;
    case kIdExpandSpans:
      ApplyMergedCells();
      return true;
    case kIdShowInPage:
      ShowInPage(selected_, true);
      return true;
    default:
      return RunCommand(id);
  }
}

void CViewTableResults::resizeEvent(QResizeEvent* event) {
  CSubViewPage::resizeEvent(event);
  LayOut();
}

void CViewTableResults::LayOut() {
  // Every control keeps the distances the template gives it to the edges it
  // is tied to: the lists stretch, the button and check box stay near the
  // bottom (the button also near the right). The list starts wide enough
  // for its size and preview columns; the border may then be moved.
  if (table_list_ == nullptr) return;
  const QRect full = MapDialogRect(QRect(0, 0, kTemplateWidth, kTemplateHeight));
  const int dx = width() - full.width();
  const int dy = height() - full.height();
  const QRect list = MapDialogRect(kTableListUnits);
  const QRect grid = MapDialogRect(kGridUnits);
  splitter_->setGeometry(QRect(list.topLeft(), grid.bottomRight()).adjusted(0, 0, dx, dy));
  if (!split_placed_ && width() > 0) {
    const int list_width = std::max(list.width(), splitter_->width() * 2 / 5);
    splitter_->setSizes({list_width, std::max(1, splitter_->width() - list_width)});
    split_placed_ = true;
  }
  export_button_->MoveWindow(MapDialogRect(kExportUnits).translated(dx, dy));
  show_in_page_->MoveWindow(MapDialogRect(kShowInPageUnits).translated(dx, dy));
  PlaceBelowGrid();
}

void CViewTableResults::PlaceBelowGrid() {
  // The check boxes stay as far right of the grid's left edge as the
  // template puts them, wherever that edge is, but never run into the
  // buttons on the right nor further left than the template has them.
  const QRect header = MapDialogRect(kHeaderUnits);
  const QRect spans = MapDialogRect(kSpansUnits);
  const int dy = height() - MapDialogRect(QRect(0, 0, kTemplateWidth, kTemplateHeight)).height();
  const int wanted = grid_->mapTo(this, QPoint(0, 0)).x() + header.left() -
                     MapDialogRect(kGridUnits).left();
  const int gap = header.left() - MapDialogRect(kGridUnits).left();
  const int room = show_in_page_->GetGeometry().left() - gap - (spans.right() - header.left());
  const int dx = std::max(0, std::min(wanted, room) - header.left());
  header_check_->MoveWindow(header.translated(dx, dy));
  spans_check_->MoveWindow(spans.translated(dx, dy));
}

}  // namespace quarry
