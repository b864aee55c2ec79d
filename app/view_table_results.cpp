#include "app/view_table_results.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QResizeEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "app/app_settings.h"
#include "app/link_opener.h"
#include "engine/delimited_export.h"
#include "engine/export_grid.h"
#include "engine/grid_commands.h"
#include "engine/page_parser.h"
#include "engine/table_data_reader.h"
#include "framework/byte_text.h"
#include "framework/command_ids.h"
#include "framework/edit_label_dlg.h"
#include "framework/ks_controls.h"
#include "platform/window_message_ids.h"
#include "web/offline_state.h"
#include "web/web_retrieval.h"

namespace quarry {

const char CViewTableResults::kExportFilter[] =
    "HTML Files (*.htm;*.html)|*.htm; *.html|Data Files (*.csv)|*.csv|"
    "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

namespace {

// Template 409 in dialog units.
constexpr QRect kTableListUnits(0, 0, 105, 219);
constexpr QRect kGridUnits(105, 0, 264, 198);
constexpr QRect kExportUnits(310, 202, 52, 14);
constexpr QRect kHeaderUnits(112, 205, 54, 10);
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

bool IsLocalAddress(const std::string& url) {
  const QUrl parsed(QString::fromStdString(url));
  if (parsed.isLocalFile() || parsed.scheme().compare("file", Qt::CaseInsensitive) == 0) {
    return true;
  }
  const QString host = parsed.host().toLower();
  return host == QLatin1String("localhost") || host == QLatin1String("::1") ||
         host.startsWith(QLatin1String("127."));
}

ParseOutcome ParsePage(const std::string& url, const ParseProxy& proxy) {
  ParseOutcome outcome;
  // A machine without a network can still read its own files and servers.
  if (!IsLocalAddress(url) && InternetAttemptConnect() != 0) {
    outcome.error = "No network connection is available";
    return outcome;
  }
  CWebDataRetrievalImp fresh;  // reloads the offline switch
  WebRetrievalRequest request;
  request.url = url;
  request.use_proxy = proxy.use_proxy;
  request.proxy_port = proxy.proxy_port;
  request.proxy_server = proxy.proxy_server;
  if (!RetrievePage(&request) || request.success != 1) {
    outcome.error = request.error_text.empty() ? "The page could not be read"
                                               : request.error_text;
    return outcome;
  }
  outcome.ok = true;
  outcome.truncated = request.truncated != 0;
  outcome.limit = request.capacity;
  outcome.tables = ParsePageText(std::string_view(
      request.buffer, static_cast<size_t>(std::max(0, request.bytes_received))));
  return outcome;
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
    : CSubViewPage(ResultsTemplate(), QString(), QString(), cmd::kTableResults) {
  // The page base brings a notice card for views without controls; this
  // view has its own.
  delete layout();
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->accessibleName() == QLatin1String("Notice")) delete child;
  }

  table_list_ = new CListCtrlExt(this);
  table_list_->setObjectName(ControlObjectName(kIdTableList));
  table_list_->setProperty(kControlIdProperty, kIdTableList);
  table_list_->setAccessibleName(QStringLiteral("Tables"));
  table_list_->InsertColumn(0, QStringLiteral("Table ID"), 154);
  table_list_->SetEmptyText(
      QStringLiteral("There are no items to show\nParse Web Page for tables"));

  grid_ = new CListCtrlExt(this);
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
  export_button_->SetEnabled(false);
  // Tab order: the tables, their details, then the check box and the button.
  setTabOrder(table_list_, grid_);
  setTabOrder(grid_, header_check_->Widget());
  setTabOrder(header_check_->Widget(), export_button_->Widget());
  LayOut();

  connect(table_list_, &CListCtrlExt::clicked, this,
          [this](int row, int) { ShowTable(row); });
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
    QMessageBox::warning(this, QStringLiteral("Quarry"), text);
  };
  SetOpenAfterExportHook(&OpenExportedFile);
}

CViewTableResults::~CViewTableResults() {
  // The worker hands its result to this object's thread by a queued call;
  // once it has ended, destroying this object discards that call.
  if (worker_.joinable()) worker_.join();
}

QString CViewTableResults::Caption() const {
  return QStringLiteral("Table Results View");
}

int CViewTableResults::CommandId() const { return cmd::kTableResults; }

std::vector<QWidget*> CViewTableResults::Panes() { return {table_list_, grid_}; }

// ---- The parse ----

void CViewTableResults::OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t) {
  if (message != platform::WM_PARSE_PAGE || wparam == 0) return;
  // The sender's string may change once we return: copy it now.
  const auto* address = reinterpret_cast<const std::string*>(wparam);
  StartParse(QString::fromStdString(*address));
}

bool CViewTableResults::StartParse(const QString& url) {
  if (busy_ || url.isEmpty()) return false;
  tables_.clear();
  selected_ = -1;
  ForgetPositions();
  table_list_->DeleteAllItems();
  ClearGrid();
  export_button_->SetEnabled(false);
  setCursor(Qt::WaitCursor);
  busy_ = true;
  url_ = url;

  ParseProxy proxy;
  if (settings_ != nullptr) {
    proxy.use_proxy = settings_->GetUseProxy();
    proxy.proxy_port = settings_->GetProxyPort();
    proxy.proxy_server = settings_->GetProxyServer();
  }
  if (worker_.joinable()) worker_.join();  // the last one has finished
  worker_ = std::thread([this, address = url.toStdString(), proxy] {
    auto outcome = std::make_shared<ParseOutcome>(ParsePage(address, proxy));
    // Widgets belong to the user-interface thread: hand the result over.
    QMetaObject::invokeMethod(
        this, [this, outcome] { FinishParse(outcome); }, Qt::QueuedConnection);
  });
  return true;
}

void CViewTableResults::FinishParse(const std::shared_ptr<ParseOutcome>& outcome) {
  if (outcome->ok) {
    tables_ = std::move(outcome->tables);
    ListTables();
    if (outcome->truncated) {
      ShowStatus(QStringLiteral("Only the first %1 of the page were read; "
                                "later tables may be missing")
                     .arg(PageSizeText(outcome->limit)));
    } else {
      ShowStatus(QStringLiteral("%1 table(s) found").arg(tables_.size()));
    }
  } else {
    ShowStatus(QString::fromStdString(outcome->error).simplified());
  }
  const bool found = !tables_.empty();
  if (settings_ != nullptr) {
    settings_->PostToOwner(platform::WM_PARSE_DONE, found ? 1 : 0, 0);
  }
  busy_ = false;
  unsetCursor();
  emit parseFinished(found);
}

void CViewTableResults::ListTables() {
  NameUnnamedTables(tables_);
  table_list_->DeleteAllItems();
  for (size_t i = 0; i < tables_.size(); ++i) {
    table_list_->InsertItemBytes(static_cast<int>(i), TableName(tables_[i]));
  }
}

void CViewTableResults::ShowStatus(const QString& text) {
  status_text_ = text;
  if (auto* frame = qobject_cast<QMainWindow*>(window())) {
    frame->statusBar()->showMessage(text);
  }
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
  ClearGrid();
  if (row < 0 || row >= static_cast<int>(tables_.size())) return;
  selected_ = row;
  export_button_->SetEnabled(false);

  TableDataReader reader;
  reader.Read(tables_[row].data);
  const int columns = reader.ColumnCount();
  const int lines = reader.LineCount();
  shown_header_ = (header_check_->GetValue() != 0 && lines > 0) ? 1 : 0;
  // A table with every line removed has no columns to divide the width by.
  if (columns > 0) {
    const int width = grid_->viewport()->width() / columns;
    const std::string_view titles = reader.LineView(0);
    // Cells keep the page's bytes so that an export writes them unchanged.
    for (int k = 0; k < columns; ++k) {
      if (shown_header_) {
        grid_->InsertColumnBytes(k, std::string(reader.Field(titles, k)), width);
      } else {
        grid_->InsertColumn(k, QString(), width);
      }
    }
    for (int r = 0; r + shown_header_ < lines; ++r) {
      const std::string_view line = reader.LineView(r + shown_header_);
      grid_->InsertItemBytes(r, std::string(reader.Field(line, 0)));
      for (int k = 1; k < columns; ++k) {
        grid_->SetItemBytes(r, k, std::string(reader.Field(line, k)));
      }
    }
  }
  export_button_->SetEnabled(true);
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
  table_list_->SetItemBytes(row, 0, TableName(tables_[row]));
}

void CViewTableResults::DeleteSelectedTables() {
  const int row = table_list_->GetSelectedRow();
  if (row < 0 || row >= static_cast<int>(tables_.size())) return;
  DeleteTables(tables_, {row});
  table_list_->DeleteItem(row);
  if (selected_ == row) {
    selected_ = -1;
    ForgetPositions();
    ClearGrid();
    export_button_->SetEnabled(false);
    table_list_->SetSelectedRow(-1);
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
  }
  if (QAction* chosen = menu.exec(global_pos)) RunCommand(chosen->data().toInt());
}

// ---- Export ----

QString CViewTableResults::SuggestedExportPath() const {
  QString path = export_path_;
  if (path.isEmpty()) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    QString name = selected_ >= 0 ? TextFromBytes(TableName(tables_[selected_]))
                                  : QStringLiteral("Table");
    // A table id is page text: keep it a plain name inside the folder.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty()) name = QStringLiteral("Table");
    path = folder + QLatin1Char('/') + name;
  }
  return ReplaceExtension(path, QStringLiteral(".htm"));
}

void CViewTableResults::Export() {
  const QString suggested = SuggestedExportPath();
  if (export_path_.isEmpty()) export_path_ = suggested;
  const QString chosen = save_prompt_ ? save_prompt_(suggested) : QString();
  if (chosen.isEmpty()) return;
  ExportTo(chosen);
}

bool CViewTableResults::ExportTo(const QString& path) {
  export_path_ = path;
  const std::string file = path.toStdString();
  ExportOptions options;
  options.heading_font_size = 4;
  options.header_font_size = 3;
  options.data_font_size = 2;
  options.file_type = FileTypeFromExtension(file);
  options.open_after_export = true;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const bool written = ExportListToFile(*grid_, file, &options);
  QGuiApplication::restoreOverrideCursor();
  // A file the user asked for and did not get must not pass unnoticed.
  if (!written && error_sink_) {
    error_sink_(QStringLiteral("Could not write %1").arg(QDir::toNativeSeparators(path)));
  }
  return written;
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
  // bottom (the button also near the right).
  if (table_list_ == nullptr) return;
  const QRect full = MapDialogRect(QRect(0, 0, kTemplateWidth, kTemplateHeight));
  const int dx = width() - full.width();
  const int dy = height() - full.height();
  const QRect list = MapDialogRect(kTableListUnits);
  table_list_->setGeometry(list.adjusted(0, 0, 0, dy));
  const QRect grid = MapDialogRect(kGridUnits);
  grid_->setGeometry(grid.adjusted(0, 0, dx, dy));
  export_button_->MoveWindow(MapDialogRect(kExportUnits).translated(dx, dy));
  header_check_->MoveWindow(MapDialogRect(kHeaderUnits).translated(0, dy));
}

}  // namespace quarry
