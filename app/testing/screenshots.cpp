// Pictures of the main program's windows built from the control modules of
// this build, for reviewing their look:
//
//   quarry_screenshots OUTPUT_DIR [--standard]
//
// writes web-browser.png, table-results.png, configurations.png, about.png,
// edit-label.png and message-box.png. The modules are registered in a private settings
// store first; with --standard they are not, and the standard widgets that
// stand in for them show instead. Runs on the display it is given
// (xvfb-run), or offscreen without one.

#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/about_dialog.h"
#include "app/app_test_support.h"
#include "app/explorer.h"
#include "app/main_frame.h"
#include "controls/testing/control_harness.h"
#include "framework/edit_label_dlg.h"
#include "framework/msgbox/ks_message_box.h"
#include "platform/component_loader.h"

namespace {

void Pump(int ms) {
  quarry::testing::WaitFor([] { return false; }, ms);
}

bool Save(QWidget* widget, const QString& path) {
  Pump(300);
  if (widget->grab().save(path)) return true;
  std::fprintf(stderr, "quarry_screenshots: cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quarry_screenshots OUTPUT_DIR [--standard]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const bool standard = argc > 2 && std::string(argv[2]) == "--standard";
  if (getenv("DISPLAY") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking", 1);
  std::string pattern = (std::filesystem::temp_directory_path() / "quarry-shots-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 2;
  const std::filesystem::path home(pattern);
  setenv("HOME", home.c_str(), 1);
  setenv("ZT_REGISTRY_FILE", (home / "registry.db").c_str(), 1);
  for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
    std::filesystem::create_directories(home / name);
    setenv(name, (home / name).c_str(), 1);
  }
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  quarry::PrepareEmbeddedBrowser();

  int status = 0;
  {
    QApplication app(argc, argv);
    QDir().mkpath(out);
    if (!standard) {
      for (const quarry::controls::ModuleIdentity* module : quarry::controls::kAllModules) {
        const quarry::com::RegistrationOutcome outcome =
            quarry::com::RunRegistration(quarry::controls::testing::ModulePath(*module), false);
        if (outcome.status != 0) {
          std::fprintf(stderr, "quarry_screenshots: %s\n", outcome.message.c_str());
          return 1;
        }
      }
    }
    bool ok = true;
    {
      quarry::testing::AppFixture fixture;
      quarry::CQuarryApp& quarry = fixture.Start();
      quarry::CMainFrame* frame = quarry.MainFrame();
      frame->resize(860, 600);
      frame->show();
      Pump(1500);
      const struct {
        int command;
        const char* file;
      } views[] = {
          {32777, "web-browser.png"}, {32776, "table-results.png"}, {32775, "configurations.png"}};
      for (const auto& view : views) {
        frame->DispatchCommand(view.command);
        ok = Save(frame, out + "/" + view.file) && ok;
      }
      quarry::CAboutDlg about(QStringLiteral("0.1.0.0"), {});
      about.show();
      ok = Save(&about, out + "/about.png") && ok;
      quarry::CEditLabelDlg edit(QStringLiteral("Table 3"));
      edit.show();
      ok = Save(&edit, out + "/edit-label.png") && ok;
      {
        quarry::CKsMessageBox box(frame, QStringLiteral("Replace the file \"prices.csv\"?"),
                                  QStringLiteral("Quarry"),
                                  quarry::mb::kYesNo | quarry::mb::kIconQuestion |
                                      quarry::mb::kDontAskAgain);
        box.Open();
        ok = Save(box.window(), out + "/message-box.png") && ok;
      }
      fixture.Close();
    }
    status = ok ? 0 : 1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return status;
}
