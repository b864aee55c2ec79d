// CQuarryApp: the main program's application object. InitInstance() runs
// the start-up sequence (the checks that can stop the program, tidying the
// settings store, the document, frame and view, the first show) and the
// object then holds what the fault report asks about the running program.

#ifndef QUARRY_APP_QUARRY_APP_H_
#define QUARRY_APP_QUARRY_APP_H_

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/obsolete_components.h"

namespace quarry {

namespace platform {
class SettingsStore;
}

class CAppSettings;
class CQuarryDoc;
class CQuarryView;
class CUsageFeedback;

// The parts of start-up that reach outside the program, replaceable for
// tests and for the parts that arrive later. Empty members take the
// defaults named.
struct StartupHooks {
  // The component layer (what hosts the control modules and reaches the
  // updater). Default: always ready, as it needs no initialisation here.
  std::function<bool()> init_component_layer;
  // Default: a socket can be made (ProbeSockets()).
  std::function<bool()> init_sockets;
  // The plain message box of start-up (caption "Quarry", stop icon).
  // Default: a modal message box.
  std::function<void(const QString& text)> stop_box;
  // Asks the updater whether an update is waiting. Default: nothing yet.
  std::function<void()> check_auto_update;
  // Turns processor faults into reports. Default: nothing yet.
  std::function<void()> install_fault_translator;
  // Creates document, frame and view; default: ProcessShellCommand().
  std::function<bool()> process_shell_command;
  // The store the program's settings live in; default the user's.
  platform::SettingsStore* store = nullptr;
  // What the Web Browser view does on every Go before it opens the page.
  // Default: the one-time usage report (CUsageFeedback).
  std::function<void()> usage_feedback;
  // Whether the frame is shown at the end of start-up.
  bool show_main_window = true;
  // Whether closing the frame ends the application's event loop.
  bool quit_on_close = false;
  MainFrameOptions frame_options;
};

// A socket of the internet family can be made.
bool ProbeSockets();

// The value under "Settings" that adds the raw stack to fault reports
// (DWORD, default 0: the stack may hold what the user was working on).
inline constexpr char kFaultStackDumpValue[] = "FaultReportStackDump";

// Installs the fault capture for the running program: records go to the
// fault report folder and this program, started with "--fault-report",
// reports them. False (and a trace line) when it could not be installed.
bool InstallQuarryFaultCapture(platform::SettingsStore& store);

// What the fault report asks of the application.
struct DiagnosticSnapshot {
  std::string app_name;
  std::string module_path;
  std::string version;
  std::chrono::system_clock::time_point start_time;
  std::string status;  // the stage before the window exists, then the
                       // frame's status text
  std::string current_view;
  std::vector<std::string> visited_views;
};

class CQuarryApp : public QObject {
  Q_OBJECT

 public:
  // `args` are the command line's arguments after the program name. A
  // QApplication must exist. Records the start time, and takes every
  // message of the program (AppMessageBox) into DoMessageBox.
  explicit CQuarryApp(std::vector<std::string> args, StartupHooks hooks = {});
  // Ends a usage report under way, destroys the frame (and with it the
  // view), then the document, and gives the messages back.
  ~CQuarryApp() override;

  CQuarryApp(const CQuarryApp&) = delete;
  CQuarryApp& operator=(const CQuarryApp&) = delete;

  // Runs start-up. False means the program must end (a message has been
  // shown); what was built is torn down by the destructor.
  bool InitInstance();
  // Ends the background work; the exit status.
  int ExitInstance();

  // Shows one message of the program: a CKsMessageBox captioned "Quarry"
  // over the active window (else the frame), whose Help opens the help
  // pages at `help_id`. Returns the id of the button pressed, or the
  // remembered answer. Start-up failures before the frame exists use the
  // plain stop box instead (StartupHooks::stop_box).
  int DoMessageBox(const QString& text, uint32_t style, int help_id);

  // The application's own commands (About); false for any other.
  bool OnCommand(int id);
  // Shows the modal About box.
  void OnAppAbout();

  // The start-up stage under way; empty once the main window exists.
  const QString& Stage() const { return stage_; }
  // Every stage text set during this run, in order.
  const std::vector<QString>& StageHistory() const { return stage_history_; }

  const QString& Caption() const { return caption_; }
  const std::string& ModulePathText() const { return module_path_; }
  const std::string& Version() const { return version_; }
  std::chrono::system_clock::time_point StartTime() const { return start_time_; }
  const CommandLineInfo& CommandLine() const { return command_line_; }
  uint32_t MaxFileList() const { return max_file_list_; }

  // The sub-view shown now, and every one shown during the run in order
  // (a view shown twice in a row counts once).
  const QString& CurrentView() const { return current_view_; }
  const std::vector<QString>& VisitedViews() const { return visited_views_; }

  CQuarryDoc* Document() const { return document_.get(); }
  CAppSettings* Settings() const { return settings_; }
  CMainFrame* MainFrame() const { return frame_.get(); }
  CQuarryView* View() const { return view_; }

  DiagnosticSnapshot Snapshot() const;

  // Document, frame and view, laid out and activated.
  bool ProcessShellCommand();

 private:
  void SetStage(const QString& stage);
  void StopBox(const QString& text);

  std::vector<std::string> args_;
  StartupHooks hooks_;
  platform::SettingsStore& store_;
  const std::chrono::system_clock::time_point start_time_;

  QString stage_;
  std::vector<QString> stage_history_;
  QString caption_;
  std::string module_path_;
  std::string version_;
  CommandLineInfo command_line_;
  uint32_t max_file_list_ = 9;
  QString current_view_;
  std::vector<QString> visited_views_;
  bool window_up_ = false;

  // Declared first: the clean-up's worker is joined last.
  ObsoleteComponentCleanup obsolete_cleanup_;
  // The document outlives the frame and view, which use its settings.
  std::unique_ptr<CQuarryDoc> document_;
  CAppSettings* settings_ = nullptr;
  std::unique_ptr<CMainFrame> frame_;
  CQuarryView* view_ = nullptr;  // owned by the frame
  // Declared last: its worker is stopped first.
  std::unique_ptr<CUsageFeedback> usage_feedback_;
};

}  // namespace quarry

#endif  // QUARRY_APP_QUARRY_APP_H_
