// CKspAutoUpdaterDlg: the updater's one window. It lists the maker's files
// installed here with their installed and available versions and download
// sizes, the time of the last check, a notice from the server, a progress
// bar and an Update button; it runs the check of the update server on a
// worker, and is what the automation object (the D-Bus object a client
// drives) forwards every member to.
//
// Started by a user it shows itself, scans and checks on its own. Started
// for an automation client it stays hidden until the client asks, and does
// not simply close: it hides, asks its client's window to let it go
// (WM_UPDATER_MAY_CLOSE), and closes when released or after fifteen
// one-second tries (timer 2).
//
// The Update button (or automation DownloadFiles) starts a download run on
// a pool of workers; when it succeeds the manifest "Ksp.inf" and the signed
// version list are saved, and timer 1 starts the installation
// (update_installer.h), which runs on a worker of its own and asks its
// questions through this window. While a download run or an installation
// is under way the updater does not close: a close asked for meanwhile
// happens when they end. At construction an installation killed on an
// earlier run is finished or undone.
//
// Everything here runs on the window's thread; workers report through a
// mailbox (check_relay.h) or calls posted to the window.

#ifndef QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_DLG_H_
#define QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_DLG_H_

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/ks_dialog.h"
#include "platform/window_message.h"
#include "updater/file_scan.h"
#include "updater/module_registration.h"
#include "updater/process_control.h"
#include "updater/size_pool.h"
#include "updater/update_installer.h"
#include "updater/update_check.h"
#include "updater/updater_settings.h"

class QLabel;
class QMenu;
class QProgressBar;

namespace quarry {

class CKsButtonCtrl;
class CKsStaticCtrl;
class CListCtrlExt;

namespace platform {
class SettingsStore;
}

namespace updater {
class RelayMailbox;
struct RelayEvent;
}  // namespace updater

class CKspAutoUpdaterDlg : public CKsDialog, public platform::MessageWindow {
  Q_OBJECT

 public:
  // Timers of the window.
  static constexpr uintptr_t kTimerStart = 1;   // set-up's start, 10 ms
  static constexpr uintptr_t kTimerClose = 2;   // the closing handshake
  static constexpr uintptr_t kTimerTopmost = 3; // after programs restarted
  static constexpr unsigned kCloseAfterCheckMs = 900000;
  static constexpr int kCloseAttempts = 15;

  struct Options {
    bool automation = false;        // started by an automation client
    std::string working_folder;     // probed for modules; default: shared
                                    // components folder
    std::string download_folder;    // holds "Ksp.inf"; default: working
                                    // folder + "Update/"
    platform::SettingsStore* store = nullptr;  // default: the user's
    ScanUi* scan_ui = nullptr;      // default: this window's questions
    // Shows a message box; default: a window-modal box that does not block.
    std::function<void(const QString& text)> show_message;
    // Opens a web page; default: the desktop's browser.
    std::function<void(const std::string& address)> open_page;
    SizeWorkerPool::SizeQuery size_query;  // default: ask the server
    // Between the tries of the closing handshake.
    unsigned close_retry_ms = 1000;
    // Asks a Yes/No question; default: a message box.
    std::function<bool(const QString& question)> ask_yes_no;
    // The machine's programs and the module registration program; default:
    // the real ones. Shared with the installation's worker.
    std::shared_ptr<ProcessControl> processes;
    std::shared_ptr<ModuleRegistrar> registrar;
    // The publisher's key (raw bytes); default: TrustedPublicKey().
    std::optional<std::string> public_key;
    InstallTimings install_timings;
  };

  explicit CKspAutoUpdaterDlg(Options options);
  ~CKspAutoUpdaterDlg() override;

  // ---- The automation members (see automation_names.h).
  int NeedsUpdating() const { return needs_updating_; }
  void SetNeedsUpdating(int value) { needs_updating_ = value; }
  int FilesUpdated() const { return files_updated_; }
  void SetFilesUpdated(int value) { files_updated_ = value; }
  // 1 when the manifest holds records; read once per run.
  int UpdateWaiting();
  // Scans and, when files were found, checks quietly; `answer` gets
  // NeedsUpdating once the check ended (at once with 0 when nothing was
  // found or a check is running already). Sets timer 2 to 900000 ms.
  void UpdateAvailable(std::function<void(int)> answer);
  QString UpdateWebsite() const { return update_website_; }
  void SetUpdateWebsite(const QString& address) { update_website_ = address; }
  // 0 hides; any other show command shows (5: show, 3: maximised...).
  void ShowWindowCommand(uint32_t command);
  // The client's window: `post` delivers a message there and returns false
  // once it is gone, after which the parent is forgotten. Null clears it.
  void SetParentWnd(std::function<bool(uint32_t message, uintptr_t wparam)> post);
  // Neither rescans nor checks while a download run or an installation is
  // under way: the list stays what they work through.
  int ScanForFiles();
  void CheckOnlineFiles(uint16_t pc, uint16_t pv);

 public slots:
  void EndDialog();

 public:
  // Installs a waiting update on a worker; nothing when none waits or an
  // installation runs already.
  void UpdateFiles();
  // Starts a download run (show 1: the window comes up, on top); the run's
  // FilesUpdated, 0 when nothing was started.
  int DownloadFiles(uint32_t show);
  double Version() const { return kUpdaterVersion; }
  void SetProductInfo(uint16_t code, int32_t version_x100, uint32_t config);
  // The client dropped its reference: when the updater asked to close, it
  // closes now.
  void ClientReleased();

  // ---- State, for the program and for tests.
  const std::vector<UpdateFileRecord>& Records() const { return records_; }
  bool CheckRunning() const { return check_running_; }
  bool DownloadRunActive() const { return download_run_active_; }
  bool Installing() const { return installing_; }
  const InstallOutcome& LastInstall() const { return last_install_; }
  bool Closing() const { return closing_; }
  CListCtrlExt* FileList() const { return list_; }
  QProgressBar* Progress() const { return progress_; }
  CKsButtonCtrl* UpdateButton() const { return update_; }
  QString LastCheckLine() const;
  QString NoticeLine() const;
  // The system menu (Alt+Space, or a right click on the window); the
  // caller owns it.
  QMenu* CreateSystemMenu(QWidget* parent);
  void ShowAbout();

 signals:
  // The window was closed for good; the program may end.
  void closed();
  // A check ended (WM_UPDATER_CHECK_DONE reached the window).
  void checkDone();
  // A download run ended (WM_UPDATER_DOWNLOADS_DONE), with its result.
  void downloadsDone(int result);
  // An installation ended (LastInstall() tells how).
  void installDone();

 protected:
  bool OnCommand(int id) override;
  intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  class QuestionUi;

  void BuildList();
  void FillList();
  void SetRow(size_t row, bool listed);
  void StartCheck(bool quiet, std::function<void(int)> answer);
  bool StartDownloadRun();
  void RecordDownloaded(size_t row, const UpdateFileRecord& record, const std::string& reason);
  void RunComplete(int result);
  void StartInstallation(std::function<void()> then);
  void InstallFinished(const InstallOutcome& outcome);
  void AfterInstallation();
  InstallOptions MakeInstallOptions() const;
  bool Busy() const;
  bool Ask(const std::string& question);
  void SetRowState(size_t row, int state, QString text);
  void OnRelay();
  void Apply(updater::RelayEvent& event);
  void CheckFinished(const CheckOutcome& outcome);
  void StartSizes();
  void ShowTotal(int64_t total_bytes);
  void NotifyCheckDone();
  bool PostToParent(uint32_t message, uintptr_t wparam);
  void TryClose();
  void CloseNow();
  void OnTimerStart();
  void ShowMessage(const std::string& text);
  void RestorePlacement();
  void SavePlacement();

  Options options_;
  platform::SettingsStore* store_;
  CUpdaterSettings settings_;
  std::unique_ptr<QuestionUi> question_ui_;

  CListCtrlExt* list_ = nullptr;
  QProgressBar* progress_ = nullptr;
  CKsStaticCtrl* last_check_ = nullptr;
  CKsStaticCtrl* notice_ = nullptr;
  CKsButtonCtrl* ok_ = nullptr;
  CKsButtonCtrl* update_ = nullptr;

  std::vector<UpdateFileRecord> records_;
  std::vector<int> row_states_;
  std::vector<QString> row_texts_;  // the state column's words, when not the usual
  std::vector<bool> listed_;
  std::vector<int64_t> sizes_;
  std::string plain_base_;
  std::string compressed_base_;
  std::string signed_list_;  // the check's verified version list

  int needs_updating_ = 0;
  int files_updated_ = 0;
  std::optional<int> update_waiting_;
  std::vector<UpdateFileRecord> manifest_;
  QString update_website_;
  ProductInfo product_;
  uint16_t pc_ = 0;
  uint16_t pv_ = 0;

  std::shared_ptr<updater::RelayMailbox> mailbox_;
  bool check_running_ = false;
  std::vector<std::function<void(int)>> answers_;
  SizeWorkerPool sizes_pool_;

  InstallFolders folders_;
  std::string public_key_;
  WorkerPool download_pool_;
  bool download_run_active_ = false;
  bool install_pending_ = false;  // timer 1 installs
  bool installing_ = false;
  bool consent_ = false;          // close and restart without asking, once
  std::function<void()> after_install_;
  InstallOutcome last_install_;
  bool close_pending_ = false;

  std::function<bool(uint32_t, uintptr_t)> parent_post_;
  bool closing_ = false;
  bool asked_to_close_ = false;
  int close_attempts_ = 0;
  bool closed_ = false;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_DLG_H_
