#include "app/update_trigger.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <ctime>
#include <filesystem>
#include <thread>

#include "app/app_settings.h"
#include "app/help_links.h"
#include "app/quarry_view.h"
#include "app/startup_steps.h"
#include "framework/msgbox/app_message_box.h"
#include "framework/string_table.h"
#include "platform/install_layout.h"
#include "platform/settings_store.h"
#include "platform/window_message_ids.h"
#include "updater/automation_names.h"
#include "updater/client/updater_client.h"
#include "web/offline_state.h"
#include "web/web_settings.h"

namespace quarry {

namespace fs = std::filesystem;

namespace {

constexpr char kHelpFileName[] = "Qry.chm";
constexpr char kProductName[] = "Quarry";
constexpr char kAutomationClass[] = "KspAutoUpdater.Application";
// What the main program tells the updater about itself.
constexpr uint16_t kProductCode = 2;
constexpr int32_t kProductVersion = 109;
constexpr std::chrono::milliseconds kRegistrationPoll{500};
constexpr std::chrono::seconds kRegistrationLimit{30};

// Messages the workers send to the trigger's own window.
constexpr uint32_t kAskMessage = platform::WM_APP + 0x130;
constexpr uint32_t kShowMessage = platform::WM_APP + 0x131;

struct Question {
  QString text;
  bool answer = false;
};

uint32_t ProgramVersionX100() {
  // The program's version is major.minor; the updater counts hundredths.
  const std::string version = VersionString();
  int major = 0, minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) return 0;
  return static_cast<uint32_t>(major * 100 + minor);
}

// The bus failures the error handler answers by registering the updater:
// no service file at all, or one whose program cannot be started.
bool CuredByRegistering(const QString& error_name) {
  return error_name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
         error_name.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

// Runs "<updater> --regserver" and waits for it, looking every half second.
bool RegisterUpdater(const std::string& updater_program, QDBusConnection bus) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(QString::fromStdString(updater_program),
                {QString::fromLatin1(kRegServerOption)});
  if (!process.waitForStarted(static_cast<int>(kRegistrationLimit.count() * 1000))) return false;
  const auto deadline = std::chrono::steady_clock::now() + kRegistrationLimit;
  while (!process.waitForFinished(static_cast<int>(kRegistrationPoll.count()))) {
    if (std::chrono::steady_clock::now() >= deadline) {
      process.kill();
      process.waitForFinished(1000);
      return false;
    }
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return false;
  // The bus tells a rewritten service file by its time in whole seconds;
  // have it read the folder afresh.
  QDBusMessage reload = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"));
  bus.call(reload, QDBus::Block, 5000);
  return true;
}

// A client that lives in the application's thread (which delivers the
// updater's messages) and is deleted there, whichever thread lets it go.
std::shared_ptr<CUpdaterClient> NewClient(QDBusConnection bus) {
  auto* client = new CUpdaterClient(std::move(bus));
  if (QCoreApplication::instance() != nullptr &&
      client->thread() != QCoreApplication::instance()->thread()) {
    client->moveToThread(QCoreApplication::instance()->thread());
  }
  return std::shared_ptr<CUpdaterClient>(client, [](CUpdaterClient* c) { c->deleteLater(); });
}

}  // namespace

void RegisterUpdateFiles(platform::SettingsStore& store, const std::string& program_path,
                         uint32_t version_x100) {
  const fs::path program(program_path);
  store.SetString(kSoftwareUpdateKey, "KsAUFile1", program_path + ";" + kProductName);
  store.SetDword(kSoftwareUpdateKey, "QUARRYVer", version_x100);
  const fs::path help = program.parent_path() / kHelpFileName;
  std::error_code ec;
  if (fs::is_regular_file(help, ec)) {
    store.SetString(kSoftwareUpdateKey, "KsAUFile2", help.string() + ";" + kProductName);
  } else {
    // The help here is a folder of pages the program's package replaces;
    // a registration of a file that is not there would only have the
    // updater ask the user about it.
    store.DeleteValue(kSoftwareUpdateKey, "KsAUFile2");
  }
  if (store.GetDword(kSoftwareUpdateKey, "QRYCHMVer", 0) < kLowestHelpVersion) {
    store.SetDword(kSoftwareUpdateKey, "QRYCHMVer", kLowestHelpVersion);
  }
}

bool BackgroundCheckDue(uint32_t last_check, int64_t now, uint32_t interval_days) {
  // The stored time is the low 32 bits of the time; so is the difference.
  const uint32_t elapsed = static_cast<uint32_t>(now) - last_check;
  return elapsed / 86400u >= interval_days;
}

UpdaterCreation CreateUpdaterObject(const std::string& updater_program, QDBusConnection bus) {
  UpdaterCreation creation;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::shared_ptr<CUpdaterClient> client = NewClient(bus);
    if (client->Connect()) {
      creation.client = std::move(client);
      creation.error.clear();
      creation.error_name.clear();
      return creation;
    }
    creation.error = client->LastError();
    creation.error_name = client->LastErrorName();
    // The one cure the handler knows; after it, one retry.
    if (attempt > 0 || !CuredByRegistering(creation.error_name)) break;
    if (!RegisterUpdater(updater_program, bus)) break;
    creation.registered = true;
  }
  return creation;
}

struct CUpdateTrigger::Core {
  explicit Core(Options o) : options(std::move(o)) {}

  bool Ask(const QString& text);
  void Show(const QString& text);
  std::shared_ptr<CUpdaterClient> Held() const;
  bool ConnectUpdater();
  void ReleaseUpdater();
  bool RunBackgroundCheck();
  void RunUpdateCommand();

  const Options options;
  std::atomic<platform::WindowHandle> parent_window{platform::kNoWindow};
  std::atomic<platform::WindowHandle> ui_window{platform::kNoWindow};

  mutable std::mutex mu;
  std::shared_ptr<CUpdaterClient> held;  // guarded by mu
  UpdaterCreation last_failure;          // guarded by mu
  std::mutex operation;                  // one updater operation at a time
  std::mutex workers_mu;
  std::condition_variable workers_done;
  int workers = 0;                       // guarded by workers_mu
};

namespace {

CUpdateTrigger::Options WithDefaults(CUpdateTrigger::Options options) {
  if (options.program_path.empty()) options.program_path = ModulePath();
  if (options.updater_program.empty()) {
    options.updater_program =
        (fs::path(platform::InstallationFolder(platform::InstallFolder::kPrograms)) /
         kUpdaterProgramName)
            .string();
  }
  if (options.version_x100 == 0) options.version_x100 = ProgramVersionX100();
  if (!options.online) {
    options.online = [] {
      ConnectionCheckOptions query;
      query.query_only = 1;
      return CheckConnection(&query);
    };
  }
  if (!options.now) options.now = [] { return static_cast<int64_t>(std::time(nullptr)); };
  return options;
}

}  // namespace

CUpdateTrigger::CUpdateTrigger(Options options)
    : core_(std::make_shared<Core>(WithDefaults(std::move(options)))) {
  ui_window_ = std::make_unique<platform::MessageWindow>(
      [core = core_](uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        auto* question = reinterpret_cast<Question*>(wparam);  // the sender's, while it waits
        const Options& options = core->options;
        if (message == kAskMessage) {
          question->answer = options.ask ? options.ask(question->text)
                                         : AppMessageBox(question->text, mb::kYesNo | mb::kIconStop) ==
                                               mb::kIdYes;
          return 1;
        }
        if (message == kShowMessage) {
          if (options.show) {
            options.show(question->text);
          } else {
            AppMessageBox(question->text, mb::kIconExclamation);
          }
          return 1;
        }
        return 0;
      });
  core_->ui_window = ui_window_->Handle();
}

CUpdateTrigger::~CUpdateTrigger() {
  WaitForWorkers(3000);
  // A worker still running keeps the core; the window it asks through goes
  // now, so its questions are answered No.
  core_->ui_window = platform::kNoWindow;
  ui_window_.reset();
}

bool CUpdateTrigger::Core::Ask(const QString& text) {
  Question question{text};
  platform::SendMessage(ui_window, kAskMessage, reinterpret_cast<uintptr_t>(&question));
  return question.answer;
}

void CUpdateTrigger::Core::Show(const QString& text) {
  Question message{text};
  platform::SendMessage(ui_window, kShowMessage, reinterpret_cast<uintptr_t>(&message));
}

std::shared_ptr<CUpdaterClient> CUpdateTrigger::Core::Held() const {
  std::lock_guard lock(mu);
  return held;
}

bool CUpdateTrigger::HoldsUpdater() const { return core_->Held() != nullptr; }

void CUpdateTrigger::SetParentWindow(platform::WindowHandle window) {
  core_->parent_window = window;
}

void CUpdateTrigger::RunStartupStep() {
  const Options& options = core_->options;
  RegisterUpdateFiles(*options.store, options.program_path, options.version_x100);
  const UpdaterCreation creation = CreateUpdaterObject(options.updater_program, options.bus);
  if (!creation.client) return;  // silent at start-up
  if (creation.client->UpdateWaiting().value_or(0) == 1) creation.client->UpdateFiles();
  creation.client->EndDialog();
  creation.client->Release();
}

void CUpdateTrigger::Attach(CQuarryView* view) {
  if (view == nullptr) return;
  SetParentWindow(view->Handle());
  view->SetUpdateCheck([this](bool manual) {
    if (manual) {
      OnCheckForUpdates();
    } else {
      StartBackgroundCheck();
    }
  });
  // The updater wants to close: let it go (answering 0).
  view->SetUpdaterRelease([this] { RunOnWorker([](Core& core) { core.ReleaseUpdater(); }); });
}

bool CUpdateTrigger::ConnectUpdater() { return core_->ConnectUpdater(); }
void CUpdateTrigger::ReleaseUpdater() { core_->ReleaseUpdater(); }
bool CUpdateTrigger::RunBackgroundCheck() { return core_->RunBackgroundCheck(); }
void CUpdateTrigger::RunUpdateCommand() { core_->RunUpdateCommand(); }

bool CUpdateTrigger::Core::ConnectUpdater() {
  ReleaseUpdater();
  UpdaterCreation creation = CreateUpdaterObject(options.updater_program, options.bus);
  if (!creation.client) {
    std::lock_guard lock(mu);
    last_failure = std::move(creation);
    return false;
  }
  CUpdaterClient& updater = *creation.client;
  updater.SetParentWnd(parent_window);
  updater.SetUpdateWebsite(QString::fromStdString(ProductSiteAddress() + "/download"));
  if (updater.Version().value_or(0.0) >= kProductInfoUpdaterVersion - 1e-9) {
    platform::SettingsStore& store = *options.store;
    uint32_t config = store.GetDword(kSettingsKey, kSetupConfig3Value, 0);
    if (config == 0) {
      config = static_cast<uint32_t>(options.now());
      store.SetDword(kSettingsKey, kSetupConfig3Value, config);
    }
    updater.SetProductInfo(kProductCode, kProductVersion, config);
  }
  std::lock_guard lock(mu);
  held = std::move(creation.client);
  return true;
}

void CUpdateTrigger::Core::ReleaseUpdater() {
  std::shared_ptr<CUpdaterClient> updater;
  {
    std::lock_guard lock(mu);
    updater = std::move(held);
  }
  if (!updater) return;
  updater->EndDialog();
  updater->Release();
}

void CUpdateTrigger::RunOnWorker(std::function<void(Core&)> work) {
  {
    std::lock_guard lock(core_->workers_mu);
    ++core_->workers;
  }
  std::thread([core = core_, work = std::move(work)] {
    {
      std::lock_guard operation(core->operation);
      work(*core);
    }
    std::lock_guard lock(core->workers_mu);
    --core->workers;
    core->workers_done.notify_all();
  }).detach();
}

bool CUpdateTrigger::WaitForWorkers(int timeout_ms) {
  std::unique_lock lock(core_->workers_mu);
  return core_->workers_done.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                      [this] { return core_->workers == 0; });
}

void CUpdateTrigger::StartBackgroundCheck() {
  // Nothing is started while the program is offline.
  if (!core_->options.online()) return;
  RunOnWorker([](Core& core) { core.RunBackgroundCheck(); });
}

bool CUpdateTrigger::Core::RunBackgroundCheck() {
  platform::SettingsStore& store = *options.store;
  if (store.GetDword(kSettingsKey, "AutoUpdate", 1) == 0) return false;
  const int64_t now = options.now();
  const uint32_t last = store.GetDword(kSoftwareUpdateKey, "LastUpdateCheck", 0);
  const uint32_t interval = store.GetDword(kSettingsKey, "AutoUpdateInterval", 15);
  if (!BackgroundCheckDue(last, now, interval) || !ConnectUpdater()) return false;
  std::shared_ptr<CUpdaterClient> updater = Held();
  bool completed = false;
  if (updater) {
    // The updater scans and checks quietly.
    const std::optional<int> available = updater->UpdateAvailable();
    if (available && *available == 1) {
      if (Ask(StringTable::Get(ids::kUpdateAvailable))) {
        completed = updater->DownloadFiles(0).value_or(0) != 0;
      }
    } else if (available) {
      completed = true;  // nothing new
    }
  }
  ReleaseUpdater();
  if (completed) store.SetDword(kSoftwareUpdateKey, "LastUpdateCheck", static_cast<uint32_t>(now));
  return completed;
}

void CUpdateTrigger::OnCheckForUpdates() {
  RunOnWorker([](Core& core) { core.RunUpdateCommand(); });
}

void CUpdateTrigger::Core::RunUpdateCommand() {
  if (ConnectUpdater()) {
    std::shared_ptr<CUpdaterClient> updater = Held();
    if (!updater) return;
    if (updater->UpdateWaiting().value_or(0) == 1) {
      Show(StringTable::Get(ids::kUpdateWaiting));
      updater->UpdateFiles();
    } else {
      updater->ShowWindow(5);
      if (updater->ScanForFiles().value_or(0) == 1) updater->CheckOnlineFiles(0, 3);
    }
    return;  // the updater's window stays open for the user
  }
  // An error the handler has no cure for is named; a missing updater is
  // told below.
  UpdaterCreation failure;
  {
    std::lock_guard lock(mu);
    failure = last_failure;
  }
  if (!failure.error_name.isEmpty() && !CuredByRegistering(failure.error_name) &&
      failure.error_name != QLatin1String("org.freedesktop.DBus.Error.Disconnected")) {
    Show(QString::asprintf(kErrorCreatingFormat, kAutomationClass,
                           failure.error.toUtf8().constData()));
  }
  // No automation object: the updater as a plain program, when it is there.
  const QString program = QString::fromStdString(options.updater_program);
  if (QFileInfo(program).isExecutable() && QProcess::startDetached(program, {})) return;
  Show(StringTable::Get(ids::kAutoUpdaterCreateFailed) + QLatin1Char(' ') +
       QString::fromStdString(SupportMailbox()) + QStringLiteral(" for\nfurther assistance."));
}

}  // namespace quarry
