#include "app/usage_feedback.h"

#include <QGuiApplication>
#include <QScreen>
#include <condition_variable>
#include <mutex>

#include "app/app_settings.h"
#include "fault/system_info.h"
#include "web/web_settings.h"

namespace quarry {

struct CUsageFeedback::Shared {
  std::atomic<bool> cancel{false};
  std::mutex mu;
  std::condition_variable idle;
  bool running = false;  // guarded by mu
  UsageReportOutcome outcome;  // guarded by mu
};

void DescribeMachine(const QSize& screen, MachineFacts* facts) {
  facts->processors = sysinfo::GetProcessorCount();
  facts->processor_features = sysinfo::GetProcessorFeatures();
  facts->processor_mhz = static_cast<int32_t>(sysinfo::GetProcessorSpeed(true, 0));
  facts->physical_memory = sysinfo::GetMemoryFigures(false).total_physical;
  sysinfo::OsVersionRecord record;
  if (sysinfo::GetVersionIndex(nullptr, &record) != sysinfo::kUnknownVersionIndex) {
    facts->os_version = record.major + record.minor / 100.0;
  }
  facts->screen_width = screen.width();
  facts->screen_height = screen.height();
}

CUsageFeedback::CUsageFeedback(const CAppSettings& settings, std::string version,
                               Describer describe)
    : settings_(settings),
      version_(std::move(version)),
      describe_(describe ? std::move(describe) : Describer(&DescribeMachine)),
      shared_(std::make_shared<Shared>()) {}

CUsageFeedback::~CUsageFeedback() {
  shared_->cancel = true;
  if (worker_.joinable()) worker_.join();
}

bool CUsageFeedback::OnGo() {
  // Honoured although older programs did not: a user who said no to
  // feedback expects nothing to be sent.
  if (settings_.GetAllowFeedback() == 0) return false;
  if (settings_.Store().GetDword(kQuarrySettingsKey, kSetupConfig3Value, 0) != 0) return false;
  {
    std::lock_guard<std::mutex> lock(shared_->mu);
    if (shared_->running) return false;
    shared_->running = true;
  }
  if (worker_.joinable()) worker_.join();  // the last one has ended

  UsageReportJob job;
  job.record.version_text = TrimVersionText(version_);
  job.record.page_address = FeedbackPage();
  job.record.send_version = true;
  job.record.send_detail = true;
  job.record.send_identity = true;
  job.record.send_processors_given = true;
  job.use_proxy = settings_.GetUseProxy();
  job.proxy_port = settings_.GetProxyPort();
  job.proxy_server = settings_.GetProxyServer();
  job.store = &settings_.Store();
  job.cancel = &shared_->cancel;
  // The screen is read here, on the GUI thread; the rest on the worker.
  QSize screen;
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    screen = primary->size() * primary->devicePixelRatio();
  }
  job.describe_machine = [describe = describe_, screen](MachineFacts* facts) {
    describe(screen, facts);
  };

  worker_ = std::thread([shared = shared_, job = std::move(job)] {
    UsageReportOutcome outcome = SendUsageReport(job);
    std::lock_guard<std::mutex> lock(shared->mu);
    shared->outcome = std::move(outcome);
    shared->running = false;
    shared->idle.notify_all();
  });
  return true;
}

bool CUsageFeedback::WaitIdle(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(shared_->mu);
  return shared_->idle.wait_for(lock, limit, [this] { return !shared_->running; });
}

UsageReportOutcome CUsageFeedback::LastOutcome() const {
  std::lock_guard<std::mutex> lock(shared_->mu);
  return shared_->outcome;
}

}  // namespace quarry
