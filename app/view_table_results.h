// CViewTableResults: the Table Results sub-view. It owns the list of tables
// found on the last parsed page, runs the parse (download, or the page as
// the browser shows it, and scan) on a worker thread when the hub relays
// WM_PARSE_PAGE, lists the tables, shows the clicked one as a grid, and lets
// the user rename and delete tables, edit the grid's lines and columns,
// export the grid to a file and point at the table in the page shown.
//
// Texts of tables are the page's bytes; the lists show them through
// TextFromBytes (UTF-8 when they are, else Latin-1) and keep the bytes, so
// exports write them back unchanged. A label the user types is kept as
// UTF-8.

#ifndef QUARRY_APP_VIEW_TABLE_RESULTS_H_
#define QUARRY_APP_VIEW_TABLE_RESULTS_H_

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/sub_view_pages.h"
#include "app/table_in_page.h"
#include "engine/extracted_table.h"
#include "engine/table_grid.h"
#include "engine/table_summary.h"
#include "framework/list_ctrl_ext.h"
#include "web/page_fetch.h"

class QMenu;
class QSplitter;

namespace quarry {

class CKsButtonCtrl;
class CKsCheckCtrl;
class CParseProgress;

// What one parse brought back from its worker.
struct ParseOutcome {
  bool ok = false;         // the page was read; `tables` holds what it had
  bool as_shown = false;   // the page was the browser's, not a download
  int too_large_to_expand = 0;  // tables whose merged cells stayed merged
  bool cancelled = false;  // the user stopped it
  TableList tables;        // named, in page order
  std::vector<TableSummary> summaries;  // one per table, same order
  bool truncated = false;  // the page was cut at `limit` bytes
  int64_t limit = 0;       // the most a page may have (bytes)
  std::string error;       // why the page could not be read, when !ok
  std::string note;        // what the page's reading had to say (a zero
                           // byte that ended its text), "" when nothing
};

// Fetches `url` afresh through FetchPage (up to MaxPageSize bytes; the
// stored proxy settings apply) and scans it into named tables. Blocks;
// meant for a worker thread; touches no window. The options' cancel flag
// also stops the scan between tables.
// With `expand_merged_cells`, spans are laid out (ExpandMergedCells).
ParseOutcome ParsePage(const std::string& url, const PageFetchOptions& options,
                       bool expand_merged_cells = false);

// Scans the page as the browser shows it (its serialised document), cut at
// MaxPageSize bytes of UTF-8 like a download, into named tables. Blocks;
// meant for a worker thread; touches no window.
ParseOutcome ParseShownPage(const QString& document, const std::atomic<bool>* cancel,
                            bool expand_merged_cells = false);

// Orders names as people read them: case ignored, and runs of digits by
// their value, so "Table 2" comes before "Table 10".
bool NaturalLess(const QString& a, const QString& b);

// The save dialog's filter in Qt's form, from the "Desc|patterns|...||"
// form the program's texts use: "HTML Files (*.htm *.html);;...".
QString ConvertFileFilter(const QString& pipe_filter);

// `path` with the extension of its last component (the dot included)
// replaced by `extension` (".htm"); a path without one gets it appended.
QString ReplaceExtension(const QString& path, const QString& extension);

class CViewTableResults : public CSubViewPage {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 409;
  static constexpr int kIdTableList = 1039;
  static constexpr int kIdGrid = 1040;
  static constexpr int kIdExport = 1013;
  static constexpr int kIdHasHeader = 1017;
  static constexpr int kIdExpandSpans = 1018;
  static constexpr int kIdShowInPage = 1019;
  static constexpr int kMenuTableList = 201;
  static constexpr int kMenuGrid = 202;
  static constexpr int kCmdDeleteTable = 32768;
  static constexpr int kCmdRemoveColumn = 32771;
  static constexpr int kCmdRemoveLine = 32772;
  static constexpr int kCmdShiftLeft = 32773;
  static constexpr int kCmdShiftRight = 32774;
  static constexpr int kCmdCopyTable = 32780;
  static constexpr int kCmdShowInPage = 32781;
  // The table list's columns.
  static constexpr int kColumnId = 0;
  static constexpr int kColumnSize = 1;
  static constexpr int kColumnPreview = 2;
  // The grey that marks the row and column a grid command will touch.
  static constexpr COLORREF kHighlight = 0xC8C8C8;
  // The save dialog's filter as the program's texts hold it.
  static const char kExportFilter[];

  // Asks the user for a new label, given the current one; nullopt when
  // cancelled. The default opens CEditLabelDlg.
  using LabelPrompt = std::function<std::optional<QString>(const QString&)>;
  // Asks the user where to save, given the suggested path; empty when
  // cancelled. The default opens the save-file dialog.
  using SavePrompt = std::function<QString(const QString& suggested)>;
  // Tells the user something went wrong. The default shows a message box.
  using ErrorSink = std::function<void(const QString& text)>;

  CViewTableResults();
  // Stops a running parse (its result is dropped) and waits a moment for
  // its worker; a worker still deep in a huge page then finishes on its
  // own, touching nothing of this view. Waits for a running export to
  // finish writing.
  ~CViewTableResults() override;

  QString Caption() const override;
  int CommandId() const override;
  std::vector<QWidget*> Panes() override;

  // ---- The parse.
  // Starts parsing `url` as WM_PARSE_PAGE does: runs ParsePage on a worker,
  // with the download's progress and a Stop command in the status bar.
  // The tables listed so far stay until the page has been read: a parse
  // that is stopped or fails leaves them as they were. When it is done the
  // new tables are listed and WM_PARSE_DONE (wParam 1 when tables were
  // found) is posted to the hub's owner. Returns false, changing nothing,
  // while a parse runs or for an empty address.
  bool StartParse(const QString& url);
  // The same for the page as the browser shows it: `document` is its
  // serialised text, `url` its address.
  bool StartParseShown(const QString& url, const QString& document);
  // Whether the last page parsed was the browser's page as shown.
  bool ParsedAsShown() const { return parsed_as_shown_; }
  // Stops the running parse; it ends with "Stopped" in the status bar.
  void StopParse();
  bool IsBusy() const { return busy_; }
  const QString& PageUrl() const { return url_; }
  // The last text this view put in the frame's status bar.
  const QString& StatusText() const { return status_text_; }
  // The progress bar and Stop command, once a parse has started in a
  // window with a status bar (null before).
  CParseProgress* Progress() const { return progress_; }

  // ---- The tables.
  const TableList& Tables() const { return tables_; }
  // The shown table's position, or -1.
  int SelectedTable() const { return selected_; }
  // Shows table `row` in the grid as a click on its list row does; a row
  // outside the list only empties the grid. A small table is shown at once;
  // a large one is laid out on a worker and shown when ready (tableShown),
  // so that the window never waits for it.
  void ShowTable(int row);
  // Tables whose data text is at least this long are laid out on a worker.
  static constexpr size_t kLayOutOnWorkerBytes = 256 * 1024;
  // Renames table `row` through the label prompt.
  void RenameTable(int row);
  // Deletes the tables selected in the list. When the shown table goes, the
  // grid is emptied and nothing is selected.
  void DeleteSelectedTables();
  // Orders the list (and the tables behind it) by one of its columns: ids
  // as people read them ("Table 2" before "Table 10"), sizes by rows then
  // columns, previews by their text. The shown table stays shown.
  void SortTables(int column, Qt::SortOrder order);

  // ---- Merged cells.
  // "Expand merged cells": lays out colspan and rowspan as a browser does
  // (ExpandMergedCells) in the tables parsed from now on and, on a worker,
  // in the tables listed that the grid commands have not changed (those
  // keep their cells); unticked, reads them plainly again.
  void SetExpandMergedCells(bool expand);
  bool ExpandsMergedCells() const;

  // ---- The table in the page.
  // Asks the Web Browser view to mark table `row` in the page it shows
  // (WM_SHOW_TABLE_IN_PAGE); with `show`, also to come to the front and
  // say what it found. Selecting a table marks it quietly.
  void ShowInPage(int row, bool show);

  // ---- Copying, for pasting into a spreadsheet or a document.
  // Puts table `row` (as the grid would show it, "Has Header" included)
  // on the clipboard as tab-separated text and as an HTML table.
  void CopyTable(int row);
  // The grid's selected row, or the whole shown table when no row is
  // selected, in the same two forms.
  void CopyGridSelection();

  // ---- Grid commands.
  // Remembers the grid cell under `hit` for the grid commands and marks its
  // row and column grey, as a right click does before the menu opens. A
  // point over the header remembers only the column. Returns false (and
  // forgets any position) when no table is shown or no cell is there.
  bool RememberGridPoint(const ListHitTest& hit);
  int RememberedLine() const { return line_; }
  int RememberedRow() const { return grid_row_; }
  int RememberedColumn() const { return grid_column_; }
  // Runs a menu command (kCmd*); commands without the position they need do
  // nothing. Returns true when the command was run.
  bool RunCommand(int id);

  // ---- Export.
  // The Export button: asks for a path (suggesting SuggestedExportPath())
  // and exports there.
  void Export();
  // Starts writing the shown grid to `path`, in the format its extension
  // chooses, on a worker (the window stays responsive however large the
  // table). Returns false, starting nothing, while another export runs or
  // when no table is shown. When done, emits exportFinished; on failure the
  // user is told why. Only a path that was written is remembered.
  bool ExportTo(const QString& path);
  bool IsExporting() const { return exporting_; }
  // What the save dialog would suggest now: the remembered path, else the
  // documents folder (the home folder when there is none) and the table's
  // name, with ".htm".
  QString SuggestedExportPath() const;

  // ---- Seams for tests and for hosts.
  void SetLabelPrompt(LabelPrompt prompt) { label_prompt_ = std::move(prompt); }
  void SetSavePrompt(SavePrompt prompt) { save_prompt_ = std::move(prompt); }
  void SetErrorSink(ErrorSink sink) { error_sink_ = std::move(sink); }
  // What opens an exported file; the default hands it to the desktop.
  void SetOpenAfterExport(OpenAfterExportHook open) { open_after_export_ = std::move(open); }

  CListCtrlExt* TableListCtrl() const { return table_list_; }
  CListCtrlExt* Grid() const { return grid_; }
  CKsButtonCtrl* ExportButton() const { return export_button_; }
  CKsCheckCtrl* HeaderCheck() const { return header_check_; }
  CKsCheckCtrl* ExpandSpansCheck() const { return spans_check_; }
  CKsButtonCtrl* ShowInPageButton() const { return show_in_page_; }

  bool OnCommand(int id) override;

 signals:
  // The parse's worker has ended and its result is shown.
  void parseFinished(bool found);
  // Table `row` is now shown in the grid.
  void tableShown(int row);
  // An export started by ExportTo has ended.
  void exportFinished(bool written, const QString& path);
  // The listed tables were read again after "Expand merged cells" changed.
  void mergedCellsApplied();

 protected:
  void OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // What a parse's worker shares with this view: a stop flag, and whether
  // it has finished. Each parse has its own.
  struct ParseJob {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
  };

  bool StartWorker(const QString& url, const QString& reading,
                   std::function<ParseOutcome(const std::atomic<bool>* cancel)> parse);
  void FinishParse(const std::shared_ptr<ParseOutcome>& outcome);
  void ApplyMergedCells();
  void PostTableInPage(bool show);
  void FinishExport(bool written, const QString& path, const QString& reason);
  void ApplyGrid(int row, TableGrid grid);
  void ListTable(int row);
  QString TableToolTip(int row) const;
  void CopyToClipboard(const std::vector<std::string>& titles,
                       const std::vector<std::vector<std::string>>& rows);
  void EnsureProgress();
  void ListTables();
  void ClearGrid();
  void ForgetPositions();
  void ShowStatus(const QString& text);
  void ShowContextMenu(CListCtrlExt* list, const QPoint& global_pos,
                       bool from_keyboard);
  void LayOut();
  void PlaceBelowGrid();

  QSplitter* splitter_ = nullptr;
  bool split_placed_ = false;
  CListCtrlExt* table_list_ = nullptr;
  CListCtrlExt* grid_ = nullptr;
  CKsButtonCtrl* export_button_ = nullptr;
  CKsCheckCtrl* header_check_ = nullptr;
  CKsCheckCtrl* spans_check_ = nullptr;
  CKsButtonCtrl* show_in_page_ = nullptr;

  TableList tables_;
  std::vector<TableSummary> summaries_;  // one per table, same order
  // One per table, same order: the grid commands changed its cells, so
  // reading it again from its source would lose that.
  std::vector<char> edited_;
  // Counts changes to the list (parse, sort, deletion, edit), so that a
  // re-reading made on a worker is applied only to the list it read.
  uint64_t list_generation_ = 0;
  std::thread spans_worker_;
  std::shared_ptr<std::atomic<bool>> spans_cancel_;
  // What WM_SHOW_TABLE_IN_PAGE points at; overwritten by the next one.
  TableInPage table_in_page_;
  bool parsed_as_shown_ = false;
  QString parsed_url_;  // the page the listed tables came from
  int selected_ = -1;
  int shown_header_ = 0;  // 1 when the grid's titles come from line 0
  int line_ = -1;
  int grid_row_ = -1;
  int grid_column_ = -1;

  QString url_;
  bool busy_ = false;
  // The running parse: its worker, and its job (below).
  std::thread worker_;
  std::shared_ptr<ParseJob> job_;
  CParseProgress* progress_ = nullptr;  // owned by the window
  QString status_text_;
  QString export_path_;  // the last path an export was written to
  bool exporting_ = false;
  std::thread export_worker_;
  std::thread grid_worker_;
  int grid_request_ = 0;  // the newest table layout asked for

  LabelPrompt label_prompt_;
  SavePrompt save_prompt_;
  ErrorSink error_sink_;
  OpenAfterExportHook open_after_export_;
};

}  // namespace quarry

#endif  // QUARRY_APP_VIEW_TABLE_RESULTS_H_
