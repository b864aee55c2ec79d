#include "updater/app/ksp_auto_updater_dlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFont>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "framework/ks_controls.h"
#include "framework/list_ctrl_ext.h"
#include "framework/widget_placement.h"
#include "platform/common_files.h"
#include "platform/settings_store.h"
#include "platform/window_message_ids.h"
#include "updater/app/check_relay.h"
#include "updater/app/state_image_delegate.h"
#include "updater/app/updater_artwork.h"
#include "updater/app/updater_dialogs.h"
#include "updater/app/window_install_ui.h"
#include "updater/record_download.h"
#include "updater/update_manifest.h"
#include "updater/update_signature.h"
#include "updater/update_texts.h"
#include "platform/atomic_file.h"
#include "web/web_settings.h"

namespace quarry {

using namespace updater;

namespace {

constexpr char kStateCurrentText[] = "Current";
constexpr char kStateNeedsUpdateText[] = "Needs update";
constexpr char kStateBusyText[] = "Downloading";
constexpr char kStateDownloadedText[] = "Downloaded";
constexpr char kStateDownloadFailedText[] = "Download failed";
// Closing after a download run started by automation, as timer 2.
constexpr unsigned kCloseAfterDownloadMs = 300000;

void Log(const std::string& text) { std::fprintf(stderr, "KspAutoUpdater: %s\n", text.c_str()); }

QString SizeText(int64_t bytes) { return QStringLiteral("%1KB").arg(bytes / 1024); }

// "Title (*.x)|*.x|All Files (*.*)|*.*||" as a file dialog's filter list.
QString QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QString pattern = parts[i + 1];
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    QString title = parts[i];
    const qsizetype paren = title.indexOf(QLatin1String(" ("));
    if (paren >= 0) title.truncate(paren);
    filters << QStringLiteral("%1 (%2)").arg(title, pattern);
  }
  return filters.join(QStringLiteral(";;"));
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

// The scan's questions as message boxes and a file dialog over the window.
class CKspAutoUpdaterDlg::QuestionUi : public ScanUi {
 public:
  explicit QuestionUi(QWidget* window) : window_(window) {}
  bool AskYesNo(const std::string& question) override {
    return QMessageBox::question(window_, UpdaterTitle(), QString::fromStdString(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }
  std::optional<std::string> BrowseForFile(const std::string& filter) override {
    const QString path = QFileDialog::getOpenFileName(window_, QStringLiteral("Browse"),
                                                      QString(), QtFilter(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
  }

 private:
  QWidget* window_;
};

CKspAutoUpdaterDlg::CKspAutoUpdaterDlg(Options options)
    : CKsDialog(UpdaterDialogTemplate()),
      options_(std::move(options)),
      store_(options_.store != nullptr ? options_.store : &platform::SettingsStore::User()),
      settings_(*store_),
      question_ui_(std::make_unique<QuestionUi>(this)),
      sizes_pool_(options_.size_query) {
  if (options_.working_folder.empty()) options_.working_folder = SharedComponentsFolder();
  options_.working_folder = WithSlash(options_.working_folder);
  if (options_.download_folder.empty()) options_.download_folder = options_.working_folder + "Update/";
  options_.download_folder = WithSlash(options_.download_folder);
  std::error_code ignored;  // a folder that cannot be made shows as no files
  std::filesystem::create_directories(options_.download_folder, ignored);
  folders_ = {options_.working_folder, options_.download_folder, options_.working_folder + "Temp/"};
  public_key_ = options_.public_key.value_or(TrustedPublicKey());
  if (!options_.processes) options_.processes = std::make_shared<SystemProcessControl>();
  if (!options_.registrar) {
    options_.registrar = std::make_shared<ProgramModuleRegistrar>(
        DefaultRegistrationSearch(*store_, options_.working_folder));
  }
  // An installation killed on an earlier run is finished or undone before
  // anything looks at the files.
  for (const std::string& note : RecoverInterruptedInstallation(MakeInstallOptions()).notes) {
    Log(note);
  }

  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(UpdaterTitle());
  setWindowIcon(UpdaterIcon());
  setAccessibleName(UpdaterTitle());
  setFixedSize(size());

  // The top line: the last check in bold, and the server's notice, which
  // takes its place when there is one.
  last_check_ = CKsStaticCtrl::FromTemplate(this, kIdLastCheck);
  notice_ = CKsStaticCtrl::FromTemplate(this, kIdNotice);
  QFont bold = font();
  bold.setBold(true);
  last_check_->Widget()->setFont(bold);
  notice_->Widget()->setFont(bold);
  notice_->ShowWindow(false);
  last_check_->SetCaption(LastCheckText(settings_.LastUpdate()));

  BuildList();

  QWidget* progress_place = Control(kIdProgress);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(ControlObjectName(kIdProgress));
  progress_->setProperty(kControlIdProperty, kIdProgress);
  progress_->setAccessibleName(QStringLiteral("Progress"));
  progress_->setGeometry(progress_place->geometry());
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->hide();
  delete progress_place;

  ok_ = CKsButtonCtrl::FromTemplate(this, kIdOk);
  update_ = CKsButtonCtrl::FromTemplate(this, kIdUpdate);
  update_->ShowWindow(false);
  setTabOrder(list_, update_->Widget());
  setTabOrder(update_->Widget(), ok_->Widget());

  auto* system_key = new QAction(QStringLiteral("System menu"), this);
  system_key->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Space));
  system_key->setShortcutContext(Qt::WindowShortcut);
  connect(system_key, &QAction::triggered, this, [this] {
    QMenu* menu = CreateSystemMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mapToGlobal(QPoint(0, 0)));
  });
  addAction(system_key);

  mailbox_ = std::make_shared<RelayMailbox>(Handle());
  RestorePlacement();
  product_ = settings_.LoadProductInfo();
  platform::SetTimer(Handle(), kTimerStart, 10);
}

CKspAutoUpdaterDlg::~CKspAutoUpdaterDlg() {
  DestroyWindow();  // no message reaches a half-destroyed window
  sizes_pool_.Stop(std::chrono::milliseconds(500));
  download_pool_.Stop(std::chrono::milliseconds(500));
}

InstallOptions CKspAutoUpdaterDlg::MakeInstallOptions() const {
  InstallOptions install;
  install.folders = folders_;
  install.store = store_;
  install.public_key = public_key_;
  install.processes = options_.processes.get();
  install.registrar = options_.registrar.get();
  install.timings = options_.install_timings;
  return install;
}

bool CKspAutoUpdaterDlg::Busy() const {
  return download_run_active_ || install_pending_ || installing_;
}

void CKspAutoUpdaterDlg::BuildList() {
  QWidget* place = Control(kIdFileList);
  list_ = new CListCtrlExt(this);
  list_->setObjectName(ControlObjectName(kIdFileList));
  list_->setProperty(kControlIdProperty, kIdFileList);
  list_->setAccessibleName(QStringLiteral("Files"));
  list_->setGeometry(place->geometry());
  delete place;
  // The widths were drawn for a dialog font six pixels wide on average;
  // they grow with the font, as the list itself does.
  const double scale = std::max(1.0, BaseUnits().x / 6.0);
  const auto width = [scale](int pixels) { return static_cast<int>(pixels * scale + 0.5); };
  list_->InsertColumn(kColumnState, QString(), width(22), kAlignCenter);
  list_->InsertColumn(kColumnName, QStringLiteral("File/Module"), width(155), kAlignLeft);
  list_->InsertColumn(kColumnCurrent, QStringLiteral("Cur. Ver"), width(54), kAlignCenter);
  list_->InsertColumn(kColumnAvailable, QStringLiteral("Avail. Ver"), width(57), kAlignCenter);
  list_->InsertColumn(kColumnSize, QStringLiteral("File Size"), width(72), kAlignCenter);
  list_->SetEmptyText(QStringLiteral("No files of Zandor Technologies\nwere found on this computer"));
  list_->setItemDelegateForColumn(
      kColumnState, new StateImageDelegate(
                        [this](int row) {
                          return row >= 0 && row < static_cast<int>(row_states_.size())
                                     ? row_states_[static_cast<size_t>(row)]
                                     : kStateNone;
                        },
                        list_));
}

QString CKspAutoUpdaterDlg::LastCheckLine() const { return last_check_->GetCaption(); }

QString CKspAutoUpdaterDlg::NoticeLine() const {
  return notice_->Widget()->isVisibleTo(this) ? notice_->GetCaption() : QString();
}

// ---- The list

void CKspAutoUpdaterDlg::FillList() {
  list_->DeleteAllItems();
  for (size_t row = 0; row < records_.size(); ++row) {
    list_->InsertItem(static_cast<int>(row), QString());
    SetRow(row, row < listed_.size() && listed_[row]);
  }
}

void CKspAutoUpdaterDlg::SetRow(size_t row, bool listed) {
  const UpdateFileRecord& record = records_[row];
  const int r = static_cast<int>(row);
  const int state = row_states_[row];
  list_->SetItemText(r, kColumnState,
                     !row_texts_[row].isEmpty()   ? row_texts_[row]
                     : state == kStateCurrent     ? QString::fromLatin1(kStateCurrentText)
                     : state == kStateNeedsUpdate ? QString::fromLatin1(kStateNeedsUpdateText)
                                                  : QString());
  list_->SetItemText(r, kColumnName, QString::fromStdString(record.display_name));
  list_->SetItemText(r, kColumnCurrent, QString::fromStdString(FormatVersion(record.current_version)));
  QString available;
  if (listed) {
    available = QString::fromStdString(FormatVersion(record.available_version));
  } else if (state != kStateNone || (row < listed_.size() && !plain_base_.empty())) {
    available = QStringLiteral("?");
  }
  list_->SetItemText(r, kColumnAvailable, available);
  list_->SetItemText(r, kColumnSize, sizes_[row] >= 0 ? SizeText(sizes_[row]) : QString());
}

void CKspAutoUpdaterDlg::ShowTotal(int64_t total_bytes) {
  const int row = list_->InsertItem(list_->GetItemCount(), QString());
  list_->SetItemText(row, kColumnAvailable, QStringLiteral("Total"));
  list_->SetItemText(row, kColumnSize, SizeText(total_bytes));
  list_->SetCellBold(row, kColumnAvailable, true);
  list_->SetCellBold(row, kColumnSize, true);
}

// ---- Automation members

int CKspAutoUpdaterDlg::UpdateWaiting() {
  if (!update_waiting_) {
    manifest_ = LoadManifest(options_.download_folder + kManifestFileName)
                    .value_or(std::vector<UpdateFileRecord>{});
    update_waiting_ = manifest_.empty() ? 0 : 1;
  }
  return *update_waiting_;
}

void CKspAutoUpdaterDlg::UpdateAvailable(std::function<void(int)> answer) {
  if (ScanForFiles() == 1) {
    StartCheck(true, std::move(answer));
  } else if (answer) {
    answer(needs_updating_);
  }
  platform::SetTimer(Handle(), kTimerClose, kCloseAfterCheckMs);
}

void CKspAutoUpdaterDlg::ShowWindowCommand(uint32_t command) {
  if (command == 0) {
    hide();
    return;
  }
  show();
  raise();
  activateWindow();
}

void CKspAutoUpdaterDlg::SetParentWnd(std::function<bool(uint32_t, uintptr_t)> post) {
  parent_post_ = std::move(post);
}

int CKspAutoUpdaterDlg::ScanForFiles() {
  // The list a download run or an installation works through stays as it
  // is until they end.
  if (Busy()) return records_.empty() ? 0 : 1;
  ScanOptions scan;
  scan.working_folder = options_.working_folder;
  scan.store = store_;
  scan.ui = options_.scan_ui != nullptr ? options_.scan_ui : question_ui_.get();
  records_ = quarry::ScanForFiles(scan);
  row_states_.assign(records_.size(), kStateNone);
  row_texts_.assign(records_.size(), QString());
  listed_.assign(records_.size(), false);
  sizes_.assign(records_.size(), -1);
  plain_base_.clear();
  compressed_base_.clear();
  FillList();
  return records_.empty() ? 0 : 1;
}

void CKspAutoUpdaterDlg::CheckOnlineFiles(uint16_t pc, uint16_t pv) {
  if (check_running_) return;
  pc_ = pc;
  pv_ = pv;
  settings_.SaveCheckValues(pc, pv, product_);
  StartCheck(false, {});
}

void CKspAutoUpdaterDlg::EndDialog() { TryClose(); }

void CKspAutoUpdaterDlg::UpdateFiles() { StartInstallation({}); }

int CKspAutoUpdaterDlg::DownloadFiles(uint32_t show) {
  platform::KillTimer(Handle(), kTimerClose);
  if (show == 1) {
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    ShowWindowCommand(5);
  }
  if (!StartDownloadRun()) return 0;
  platform::SetTimer(Handle(), kTimerClose, kCloseAfterDownloadMs);
  return files_updated_;
}

void CKspAutoUpdaterDlg::SetProductInfo(uint16_t code, int32_t version_x100, uint32_t config) {
  product_.code = code;
  product_.version = version_x100 / 100.0;
  product_.config = config;
}

void CKspAutoUpdaterDlg::ClientReleased() {
  if (asked_to_close_) CloseNow();
}

// ---- The check

void CKspAutoUpdaterDlg::StartCheck(bool quiet, std::function<void(int)> answer) {
  if (Busy()) {
    // A check would replace the marks the download run follows.
    if (answer) answer(needs_updating_);
    return;
  }
  if (answer) answers_.push_back(std::move(answer));
  if (check_running_) return;
  check_running_ = true;
  setCursor(Qt::WaitCursor);
  needs_updating_ = 0;
  notice_->ShowWindow(false);
  last_check_->ShowWindow(true);

  CheckRequest request;
  request.records = records_;
  request.product = product_;
  request.base_product_code = settings_.BaseProductCode();
  request.base_product_version = settings_.BaseProductVersion();
  request.quiet = quiet;
  request.support_address = WebSettingsStore().GetString(kServicesKey, "SupportMailbox",
                                                         "support@quarry.example");
  request.update_web_page = update_website_.toStdString();
  request.now = static_cast<int64_t>(std::time(nullptr));
  request.public_key = public_key_;
  auto relay = std::make_shared<CheckRelay>(mailbox_);
  auto settings = std::make_shared<CUpdaterSettings>(*store_);
  // The worker owns everything it touches; a window closed meanwhile only
  // misses its report.
  std::thread([request = std::move(request), relay, settings]() mutable {
    request.settings = settings.get();
    relay->CheckDone(RunUpdateCheck(request, *relay));
  }).detach();
}

void CKspAutoUpdaterDlg::OnRelay() {
  std::deque<RelayEvent> events = mailbox_->Drain();
  for (RelayEvent& event : events) Apply(event);
}

void CKspAutoUpdaterDlg::Apply(RelayEvent& event) {
  switch (event.kind) {
    case RelayEvent::Kind::kProgressStart:
      update_->ShowWindow(false);
      progress_->setRange(0, std::max(1, event.count));
      progress_->setValue(0);
      progress_->show();
      break;
    case RelayEvent::Kind::kProgressStep:
      progress_->setValue(progress_->value() + 1);
      break;
    case RelayEvent::Kind::kRow:
      // A rescan during the check may have replaced the list.
      if (event.row < records_.size() && records_[event.row].path == event.record.path) {
        records_[event.row] = event.record;
        listed_[event.row] = event.listed;
        row_states_[event.row] = event.listed ? (event.record.needs_update == 1 ? kStateNeedsUpdate
                                                                                : kStateCurrent)
                                              : kStateNone;
        row_texts_[event.row].clear();
        SetRow(event.row, event.listed);
      }
      break;
    case RelayEvent::Kind::kMessage:
      ShowMessage(event.text);
      break;
    case RelayEvent::Kind::kNotice:
      notice_->SetCaption(QString::fromStdString(event.text));
      last_check_->ShowWindow(false);
      notice_->ShowWindow(true);
      break;
    case RelayEvent::Kind::kOpenPage:
      if (options_.open_page) {
        options_.open_page(event.text);
      } else {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(event.text)));
      }
      break;
    case RelayEvent::Kind::kCheckDone:
      CheckFinished(*event.outcome);
      break;
    case RelayEvent::Kind::kSize:
      if (event.row < sizes_.size()) {
        sizes_[event.row] = event.bytes;
        SetRow(event.row, listed_[event.row]);
      }
      break;
    case RelayEvent::Kind::kSizesDone:
      ShowTotal(event.bytes);
      NotifyCheckDone();
      break;
  }
}

void CKspAutoUpdaterDlg::CheckFinished(const CheckOutcome& outcome) {
  check_running_ = false;
  unsetCursor();
  const bool checked = outcome.status == CheckOutcome::Status::kChecked;
  if (checked && outcome.records.size() == records_.size()) {
    plain_base_ = outcome.plain_base;
    compressed_base_ = outcome.compressed_base;
    signed_list_ = outcome.signed_list;
    needs_updating_ = outcome.needs_updating ? 1 : 0;
    last_check_->SetCaption(LastCheckText(settings_.LastUpdate()));
    FillList();
  } else {
    needs_updating_ = 0;
  }
  for (auto& answer : std::exchange(answers_, {})) answer(needs_updating_);
  if (!checked || sizes_pool_.Running()) {
    NotifyCheckDone();
    return;
  }
  StartSizes();
}

void CKspAutoUpdaterDlg::StartSizes() {
  std::vector<SizeWorkerPool::Job> jobs;
  for (size_t row = 0; row < records_.size(); ++row) {
    if (!listed_[row]) continue;
    jobs.push_back({row, DownloadAddress(records_[row], plain_base_, compressed_base_)});
  }
  const int workers = WorkerCount(jobs.size(), OnLanConnection());
  sizes_pool_.Start(std::move(jobs), workers, std::make_shared<CheckRelay>(mailbox_));
}

void CKspAutoUpdaterDlg::NotifyCheckDone() {
  PostToParent(platform::WM_UPDATER_CHECK_DONE, 0);
  platform::PostMessage(Handle(), platform::WM_UPDATER_CHECK_DONE);
}

// ---- Download runs

void CKspAutoUpdaterDlg::SetRowState(size_t row, int state, QString text) {
  if (row >= records_.size()) return;
  row_states_[row] = state;
  row_texts_[row] = std::move(text);
  SetRow(row, listed_[row]);
}

bool CKspAutoUpdaterDlg::StartDownloadRun() {
  if (download_run_active_ || installing_ || records_.empty()) return false;
  if (std::none_of(records_.begin(), records_.end(),
                   [](const UpdateFileRecord& r) { return r.needs_update == 1; })) {
    return false;  // nothing to fetch
  }
  // Whoever cannot replace the files need not fetch them.
  if (!FolderWithoutWriteAccess(records_, options_.working_folder).empty()) {
    ShowMessage(kNeedsWriteAccessText);
    return false;
  }
  download_run_active_ = true;
  files_updated_ = 1;
  notice_->ShowWindow(false);
  last_check_->ShowWindow(true);
  update_->SetEnabled(false);
  progress_->setRange(0, static_cast<int>(records_.size()));
  progress_->setValue(0);
  progress_->show();
  std::error_code ignored;
  std::filesystem::create_directories(folders_.download, ignored);

  // What the workers share; each touches only its own record.
  struct Run {
    std::vector<UpdateFileRecord> records;
    DownloadBases bases;
    std::string folder;
    std::atomic<int> failed{0};
  };
  auto run = std::make_shared<Run>();
  run->records = records_;
  run->bases = {plain_base_, compressed_base_};
  run->folder = folders_.download;
  const platform::WindowHandle window = Handle();
  // The calls posted to the window run only while it exists.
  download_pool_.Start(
      records_.size(), WorkerCount(records_.size(), OnLanConnection()),
      [this, run, window](size_t row, const std::atomic<bool>& stop) {
        const UpdateFileRecord& record = run->records[row];
        if (record.needs_update == 1) {
          platform::PostCall(window, [this, row] {
            SetRowState(row, kStateBusy, QString::fromLatin1(kStateBusyText));
          });
        }
        RecordDownload done = DownloadRecord(record, run->bases, run->folder, &stop);
        if (record.needs_update == 1 && done.record.download_result != 1) ++run->failed;
        platform::PostCall(window, [this, row, done = std::move(done)] {
          RecordDownloaded(row, done.record, done.reason);
        });
      },
      [run, window] {
        platform::PostMessage(window, platform::WM_UPDATER_DOWNLOADS_DONE,
                              run->failed.load() == 0 ? 1 : 0);
      });
  return true;
}

void CKspAutoUpdaterDlg::RecordDownloaded(size_t row, const UpdateFileRecord& record,
                                          const std::string& reason) {
  progress_->setValue(progress_->value() + 1);
  // A rescan meanwhile replaced the list.
  if (row >= records_.size() || records_[row].path != record.path) return;
  records_[row] = record;
  if (record.needs_update != 1) return;
  if (record.download_result == 1) {
    SetRowState(row, kStateCurrent, QString::fromLatin1(kStateDownloadedText));
  } else {
    SetRowState(row, kStateNeedsUpdate, QString::fromLatin1(kStateDownloadFailedText));
    Log(record.file_name + ": " + reason);
    ShowMessage(record.display_name + kDownloadFailedSuffix);
  }
}

void CKspAutoUpdaterDlg::RunComplete(int result) {
  download_run_active_ = false;
  if (result == 1) {
    // The list first: a manifest is never without the list it is checked
    // against.
    std::string reason;
    if (!platform::WriteFileAtomically(folders_.download + kSignedListFileName, signed_list_,
                                       &reason) ||
        !SaveManifest(folders_.download + kManifestFileName, records_, &reason)) {
      Log(reason);
      result = 0;
    }
  }
  if (result != 1) ShowMessage(kDownloadRunFailedText);
  settings_.SetDownloadSuccess(static_cast<uint32_t>(result));
  progress_->hide();
  update_->SetEnabled(true);
  PostToParent(platform::WM_UPDATER_DOWNLOADS_DONE, static_cast<uintptr_t>(files_updated_));
  emit downloadsDone(result);
  update_waiting_.reset();
  if (result == 1) {
    // One question for a program to be replaced that runs now; the answer
    // holds for the whole installation.
    for (const UpdateFileRecord& record : records_) {
      if (record.needs_update != 1 || record.download_result != 1 ||
          FileKindOf(record.path) != FileKind::kProgram ||
          options_.processes->FindRunning(record.path).empty()) {
        continue;
      }
      if (!Ask(FormatText(kRunningProgramQuestion, record.display_name))) {
        // The update waits in the manifest for the next start.
        if (close_pending_) CloseNow();
        return;
      }
      consent_ = true;
      break;
    }
    install_pending_ = true;
    platform::SetTimer(Handle(), kTimerStart, 10);
    return;
  }
  if (close_pending_) CloseNow();
}

// ---- Installation

void CKspAutoUpdaterDlg::StartInstallation(std::function<void()> then) {
  if (installing_) return;
  if (UpdateWaiting() != 1) {
    if (then) then();
    return;
  }
  installing_ = true;
  after_install_ = std::move(then);
  InstallOptions install = MakeInstallOptions();
  install.consent = std::exchange(consent_, false);
  auto ui = std::make_shared<WindowInstallUi>(
      Handle(), [this](const std::string& question) { return Ask(question); });
  install.ui = ui.get();
  // The worker keeps alive what it uses; the window may go first, and then
  // only misses the report (and answers No to any question).
  std::thread([install, ui, processes = options_.processes, registrar = options_.registrar,
               manifest = manifest_, window = Handle(), this]() mutable {
    InstallOutcome outcome = InstallUpdate(manifest, install);
    platform::PostCall(window, [this, outcome = std::move(outcome)] { InstallFinished(outcome); });
  }).detach();
}

void CKspAutoUpdaterDlg::InstallFinished(const InstallOutcome& outcome) {
  installing_ = false;
  update_waiting_.reset();
  manifest_.clear();
  for (const std::string& note : outcome.notes) Log(note);
  if (outcome.status == InstallOutcome::Status::kFailed) Log("update failed: " + outcome.failure);
  if (!outcome.restarted.empty()) platform::SetTimer(Handle(), kTimerTopmost, 1000);
  last_install_ = outcome;
  emit installDone();
  std::function<void()> then = std::exchange(after_install_, {});
  if (close_pending_) {
    CloseNow();
    return;
  }
  if (then) then();
}

bool CKspAutoUpdaterDlg::Ask(const std::string& question) {
  const QString text = QString::fromStdString(question);
  if (options_.ask_yes_no) return options_.ask_yes_no(text);
  return QMessageBox::question(this, UpdaterTitle(), text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

// ---- Messages, timers and closing

bool CKspAutoUpdaterDlg::PostToParent(uint32_t message, uintptr_t wparam) {
  if (!parent_post_) return false;
  if (parent_post_(message, wparam)) return true;
  parent_post_ = nullptr;  // the client's window is gone
  return false;
}

intptr_t CKspAutoUpdaterDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  switch (message) {
    case WM_UPDATER_RELAY:
      OnRelay();
      return 0;
    case platform::WM_UPDATER_DOWNLOADS_DONE:
      RunComplete(static_cast<int>(wparam));
      return 0;
    case platform::WM_UPDATER_CHECK_DONE:
      progress_->hide();
      update_->ShowWindow(true);
      update_->SetEnabled(needs_updating_ == 1);
      emit checkDone();
      return 0;
    case platform::WM_TIMER:
      if (wparam == kTimerStart) {
        platform::KillTimer(Handle(), kTimerStart);
        OnTimerStart();
      } else if (wparam == kTimerClose) {
        if (closing_ && ++close_attempts_ >= kCloseAttempts) {
          CloseNow();
        } else {
          TryClose();
        }
      } else if (wparam == kTimerTopmost) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
        platform::KillTimer(Handle(), kTimerTopmost);
      }
      return 0;
    default:
      return 0;
  }
}

void CKspAutoUpdaterDlg::OnTimerStart() {
  if (install_pending_) {
    // After a download run: install, then list and check afresh.
    install_pending_ = false;
    ShowWindowCommand(5);
    StartInstallation([this] {
      if (ScanForFiles() != 1) return;
      product_ = settings_.LoadProductInfo();
      CheckOnlineFiles(pc_, pv_);
    });
    return;
  }
  if (options_.automation) {
    update_->SetEnabled(false);  // the client decides what happens
    return;
  }
  ShowWindowCommand(5);
  // A waiting update is installed first.
  StartInstallation([this] {
    if (ScanForFiles() == 1) StartCheck(false, {});
  });
}

void CKspAutoUpdaterDlg::TryClose() {
  if (closed_) return;
  closing_ = true;
  if (!options_.automation || !parent_post_) {
    CloseNow();
    return;
  }
  hide();
  if (!PostToParent(platform::WM_UPDATER_MAY_CLOSE, 0)) {
    CloseNow();
    return;
  }
  asked_to_close_ = true;
  platform::SetTimer(Handle(), kTimerClose, options_.close_retry_ms);
}

void CKspAutoUpdaterDlg::CloseNow() {
  if (closed_) return;
  if (Busy()) {
    // Never in the middle of a download run or an installation: it closes
    // when they end.
    close_pending_ = true;
    hide();
    return;
  }
  closed_ = true;
  for (uintptr_t id : {kTimerStart, kTimerClose, kTimerTopmost}) platform::KillTimer(Handle(), id);
  SavePlacement();
  PostToParent(platform::WM_UPDATER_CLOSED, 0);
  sizes_pool_.Stop(std::chrono::milliseconds(500));
  download_pool_.Stop(std::chrono::milliseconds(500));
  hide();
  emit closed();
}

bool CKspAutoUpdaterDlg::OnCommand(int id) {
  if (id == kIdOk) {
    TryClose();
    return true;
  }
  if (id == kIdUpdate) {
    StartDownloadRun();
    return true;
  }
  if (id == kIdAboutCommand) {
    ShowAbout();
    return true;
  }
  return false;
}

void CKspAutoUpdaterDlg::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  event->ignore();
  TryClose();
}

void CKspAutoUpdaterDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateSystemMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

QMenu* CKspAutoUpdaterDlg::CreateSystemMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setAccessibleName(QStringLiteral("System menu"));
  menu->addAction(QStringLiteral("&Close"), this, [this] { TryClose(); });
  const QString about = QString::fromLatin1(kAboutMenuText);
  if (!about.isEmpty()) {
    menu->addSeparator();
    menu->addAction(about, this, [this] { OnCommand(kIdAboutCommand); });
  }
  return menu;
}

void CKspAutoUpdaterDlg::ShowAbout() {
  auto* box = new QMessageBox(this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(QString::fromLatin1(kAboutTitle));
  box->setText(QString::asprintf(kAboutTextFormat, kUpdaterVersion));
  box->setIconPixmap(UpdaterIcon().pixmap(64, 64));
  box->setStandardButtons(QMessageBox::Ok);
  box->setObjectName(QStringLiteral("dlg400"));
  box->open();
}

void CKspAutoUpdaterDlg::ShowMessage(const std::string& text) {
  const QString message = QString::fromStdString(text);
  if (options_.show_message) {
    options_.show_message(message);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::Warning, UpdaterTitle(), message, QMessageBox::Ok,
                              this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();  // never blocks the window's thread
}

void CKspAutoUpdaterDlg::RestorePlacement() {
  const std::optional<WindowPlacement> placement = DecodePlacement(settings_.WindowPlacement());
  if (placement) ApplyWindowPlacement(this, *placement);
}

void CKspAutoUpdaterDlg::SavePlacement() {
  settings_.SetWindowPlacement(EncodePlacement(CaptureWindowPlacement(*this)));
}

}  // namespace quarry
