// Quarry, the desktop program: pulls the tables out of web pages.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_icons.h"
#include "app/command_line.h"
#include "app/control_registration.h"
#include "app/explorer.h"
#include "app/installation_report.h"
#include "app/obsolete_components.h"
#include "app/quarry_view.h"
#include "app/quarry_app.h"
#include "app/startup_steps.h"
#include "app/update_trigger.h"
#include "app/view_web_browser.h"
#include "fault/fault_capture.h"
#include "fault/fault_reporter.h"
#include "fault/support_dlg.h"
#include "platform/settings_store.h"
#include "updater/module_registration.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);

  // Answered before any window is made, so they work without a display.
  const quarry::CommandLineInfo info = quarry::ParseCommandLine(args);
  if (!info.error.empty()) {
    std::fprintf(stderr, "Quarry: %s\n%s", info.error.c_str(),
                 quarry::CommandLineUsage().c_str());
    return 2;
  }
  if (info.show_help) {
    std::fputs(quarry::CommandLineUsage().c_str(), stdout);
    return 0;
  }
  if (info.show_version) {
    std::printf("Quarry %s\n", quarry::VersionString().c_str());
    return 0;
  }
  if (info.show_paths) {
    const quarry::InstallationReport report = quarry::CheckInstallation(
        quarry::RunningInstallationFolders(),
        {quarry::kUpdaterProgramName, quarry::kRegServerProgramName});
    std::fputs(report.text.c_str(), stdout);
    return report.complete ? 0 : 1;
  }
  // A crashed Quarry starts this to show its report; nothing else runs.
  if (!info.fault_report.empty()) {
    return quarry::RunFaultReporter(info.fault_report, argc, argv);
  }

  // The embedded browser reads its environment and attributes once, when
  // the first one is made; set what it needs unless the user already has.
  quarry::PrepareBrowserEnvironment(/*no_gpu=*/!std::filesystem::exists("/dev/dri"));
  quarry::PrepareEmbeddedBrowser();

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quarry"));
  QApplication::setOrganizationName(QStringLiteral("Zandor Tech"));
  QApplication::setApplicationVersion(QString::fromStdString(quarry::VersionString()));
  QApplication::setDesktopFileName(QString::fromLatin1(quarry::kDesktopEntryName));
  QApplication::setWindowIcon(quarry::AppIcon());
  // The frame may be hidden in the notification area when it is closed;
  // closing the frame is what ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  // The dialogs are built from the control modules: a user's first start
  // of an installation made for everyone registers them for that user.
  quarry::RegisterMissingControls(quarry::SharedComponentsFolder(),
                                  quarry::platform::SettingsStore::User());

  // The updater: a waiting update completes at start-up; the view checks
  // in the background and opens it from the Help menu. Outlives the view.
  quarry::CUpdateTrigger::Options updater_options;
  updater_options.store = &quarry::platform::SettingsStore::User();
  quarry::CUpdateTrigger updater(std::move(updater_options));

  quarry::StartupHooks hooks;
  hooks.quit_on_close = true;
  hooks.check_auto_update = [&updater] { updater.RunStartupStep(); };
  hooks.install_fault_translator = [] {
    quarry::InstallQuarryFaultCapture(quarry::platform::SettingsStore::User());
  };
  quarry::CQuarryApp app(std::move(args), std::move(hooks));
  if (!app.InitInstance()) return 1;
  updater.Attach(app.View());
  if (app.View() != nullptr) {
    app.View()->SetSupportDialog([&app](quarry::SupportMode mode) {
      quarry::CSupportDlg dialog(mode, app.Settings(), app.MainFrame());
      dialog.exec();
    });
  }
  if (const auto fault = quarry::ParseSimulatedFault(info.simulate_fault)) {
    // Once the window is up and the event loop runs, as a real fault would.
    QTimer::singleShot(1500, [fault] { quarry::SimulateFault(*fault); });
  }
  // Start-up has begun loading the address; Parse follows its first load.
  if (info.parse && app.View() != nullptr && app.View()->WebBrowser() != nullptr) {
    app.View()->WebBrowser()->ParseWhenLoaded();
  }
  const int status = QApplication::exec();
  const int exit_status = app.ExitInstance();
  return status != 0 ? status : exit_status;
}
