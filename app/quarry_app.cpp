#include "app/quarry_app.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>

#include "app/about_dialog.h"
#include "app/app_settings.h"
#include "app/quarry_doc.h"
#include "app/quarry_view.h"
#include "app/startup_steps.h"
#include "app/sub_view_pages.h"
#include "app/view_configurations.h"
#include "app/view_table_results.h"
#include "app/view_web_browser.h"
#include "app/trace_log.h"
#include "app/usage_feedback.h"
#include "fault/fault_capture.h"
#include "fault/report_store.h"
#include "framework/command_ids.h"
#include "framework/msgbox/app_message_box.h"
#include "framework/msgbox/ks_message_box.h"
#include "framework/string_table.h"
#include "platform/settings_store.h"

namespace quarry {

namespace {

constexpr char kMaxFileListValue[] = "MaxFileList";
constexpr uint32_t kDefaultMaxFileList = 9;

}  // namespace

bool ProbeSockets() {
  for (int family : {AF_INET, AF_INET6}) {
    const int fd = socket(family, SOCK_STREAM, 0);
    if (fd >= 0) {
      close(fd);
      return true;
    }
  }
  return false;
}

bool InstallQuarryFaultCapture(platform::SettingsStore& store) {
  FaultCaptureOptions options;
  options.report_folder = FaultReportFolder();
  options.reporter = {ModulePath(), "--fault-report"};
  options.extended_stack_dump = store.GetDword(kSettingsKey, kFaultStackDumpValue, 0) != 0;
  std::string error;
  if (InstallFaultCapture(options, &error)) return true;
  Trace("Fault capture not installed: %s", error.c_str());
  return false;
}

CQuarryApp::CQuarryApp(std::vector<std::string> args, StartupHooks hooks)
    : args_(std::move(args)),
      hooks_(std::move(hooks)),
      store_(hooks_.store != nullptr ? *hooks_.store : platform::SettingsStore::User()),
      start_time_(std::chrono::system_clock::now()) {
  SetMessageBoxHook([this](const QString& text, uint32_t style, int help_id) {
    return DoMessageBox(text, style, help_id);
  });
}

CQuarryApp::~CQuarryApp() {
  SetMessageBoxHook({});
  usage_feedback_.reset();
  frame_.reset();
  view_ = nullptr;
  settings_ = nullptr;
  document_.reset();
}

void CQuarryApp::SetStage(const QString& stage) {
  stage_ = stage;
  stage_history_.push_back(stage);
  SetFaultStatus(stage.isEmpty() ? std::string("Starting") : stage.toStdString());
  if (!stage.isEmpty()) Trace("%s", stage.toUtf8().constData());
}

void CQuarryApp::StopBox(const QString& text) {
  Trace("Message: %s", text.toUtf8().constData());
  if (hooks_.stop_box) {
    hooks_.stop_box(text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Quarry"), text,
                  QMessageBox::Ok);
  box.exec();
}

bool CQuarryApp::InitInstance() {
  SetStage(QStringLiteral("InitInstance::AfxOleInit"));
  const bool components_ready =
      hooks_.init_component_layer ? hooks_.init_component_layer() : true;
  if (!components_ready) {
    StopBox(StringTable::Get(ids::kOleInitFailed) +
            QStringLiteral("\nQry cannot run without the OLE libraries.\nQry is now exiting."));
    return false;
  }

  SetStage(QStringLiteral("InitInstance::AfxSocketInit"));
  const bool sockets_ready = hooks_.init_sockets ? hooks_.init_sockets() : ProbeSockets();
  if (!sockets_ready) {
    StopBox(StringTable::Get(ids::kSocketsInitFailed) +
            QStringLiteral("\nThis may cause problems with online access."));
  }

  max_file_list_ = store_.GetDword(kSettingsKey, kMaxFileListValue, kDefaultMaxFileList);
  module_path_ = ModulePath();
  version_ = VersionString();
  SetFaultProgramInfo("Quarry", module_path_, version_, start_time_);
  if (hooks_.install_fault_translator) hooks_.install_fault_translator();
  CleanUpOldKeys(store_);

  SetStage(QStringLiteral("InitInstance::CheckAutoUpdate"));
  if (hooks_.check_auto_update) hooks_.check_auto_update();

  EnsureModuleRegistration(store_);

  // The document, frame and view are made together by the shell command.
  SetStage(QStringLiteral("InitInstance::CreatingQryDoc"));

  SetStage(QStringLiteral("InitInstance::ParseCommandLine"));
  command_line_ = ParseCommandLine(args_);
  if (!command_line_.error.empty()) {
    StopBox(QString::fromStdString("Quarry: " + command_line_.error + "\n\n" +
                                   CommandLineUsage()));
    return false;
  }
  StartTraceIfWanted(store_);

  SetStage(QStringLiteral("InitInstance::ProcessShellCommand %1")
               .arg(command_line_.shell_command));
  const bool shell_ok =
      hooks_.process_shell_command ? hooks_.process_shell_command() : ProcessShellCommand();
  if (!shell_ok) {
    StopBox(StringTable::Get(ids::kShellCommandFailed));
    return false;
  }

  SetStage(QString());
  window_up_ = true;
  // From here on the report's status is the frame's.
  SetFaultStatus(frame_->StatusText().toStdString());
  if (QStatusBar* bar = frame_->FrameStatusBar()) {
    connect(bar, &QStatusBar::messageChanged, this, [this] {
      if (frame_ != nullptr) SetFaultStatus(frame_->StatusText().toStdString());
    });
  }
  frame_->hide();
  settings_ = document_->GetSettings();

  caption_ = QStringLiteral("Quarry");
  frame_->SetCaption(caption_);
  if (hooks_.show_main_window) frame_->ShowWithCommand(kShowCmdShow);
  frame_->update();

  if (!command_line_.address.empty() && view_->WebBrowser() != nullptr) {
    view_->WebBrowser()->Navigate(QString::fromStdString(command_line_.address));
  }
  settings_->PostToOwner(platform::WM_STARTUP_DONE, 0, 0);

  obsolete_cleanup_.Start();
  return true;
}

bool CQuarryApp::ProcessShellCommand() {
  document_ = std::make_unique<CQuarryDoc>(store_);
  frame_ = std::make_unique<CMainFrame>(document_->GetSettings(), hooks_.frame_options);
  if (!frame_->Create()) return false;
  frame_->SetAppCommandHandler([this](int id) { return OnCommand(id); });
  if (hooks_.quit_on_close) {
    connect(frame_.get(), &CMainFrame::frameClosed, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
  }

  view_ = new CQuarryView(document_.get(), frame_.get());
  connect(view_, &CQuarryView::subViewShown, this, [this](const QString& caption) {
    current_view_ = caption;
    if (visited_views_.empty() || visited_views_.back() != caption) {
      visited_views_.push_back(caption);
    }
    std::vector<std::string> visited;
    for (const QString& name : visited_views_) visited.push_back(name.toStdString());
    SetFaultViews(caption.toStdString(), visited);
  });
  frame_->SetView(view_);
  view_->OnInitialUpdate();
  if (CViewWebBrowser* browser = view_->WebBrowser()) {
    if (hooks_.usage_feedback) {
      browser->SetUsageFeedback(hooks_.usage_feedback);
    } else {
      usage_feedback_ = std::make_unique<CUsageFeedback>(*document_->GetSettings(), VersionString());
      browser->SetUsageFeedback([this] {
        if (usage_feedback_) usage_feedback_->OnGo();
      });
    }
  }
  frame_->ActivateFrame(kShowDefault);
  return true;
}

int CQuarryApp::ExitInstance() {
  TraceLog::Instance().Stop();
  return 0;
}

int CQuarryApp::DoMessageBox(const QString& text, uint32_t style, int help_id) {
  Trace("Message: %s", text.toUtf8().constData());
  CKsMessageBox box(MessageBoxParent(frame_.get()), text, QStringLiteral("Quarry"), style, help_id);
  QPointer<CQuarryView> view = view_;
  box.SetHelpHandler([view](int id) {
    if (view) view->OpenHelp(static_cast<uint32_t>(id));
  });
  return box.DoModal();
}

bool CQuarryApp::OnCommand(int id) {
  if (id == cmd::kAppAbout) {
    OnAppAbout();
    return true;
  }
  return false;
}

void CQuarryApp::OnAppAbout() {
  QPointer<CQuarryView> view = view_;
  CAboutDlg about(QString::fromStdString(version_),
                  [view](const std::string& address) {
                    if (view) view->OpenLink(address);
                  },
                  frame_.get());
  about.exec();
}

DiagnosticSnapshot CQuarryApp::Snapshot() const {
  DiagnosticSnapshot snapshot;
  snapshot.app_name = "Quarry";
  snapshot.module_path = module_path_;
  snapshot.version = version_;
  snapshot.start_time = start_time_;
  if (window_up_ && frame_ != nullptr) {
    snapshot.status = frame_->StatusText().toStdString();
  } else {
    snapshot.status = stage_.isEmpty() ? "Starting" : stage_.toStdString();
  }
  snapshot.current_view = current_view_.toStdString();
  for (const QString& name : visited_views_) {
    snapshot.visited_views.push_back(name.toStdString());
  }
  return snapshot;
}

}  // namespace quarry
