#include "app/app_settings.h"

#include "fault/fault_capture.h"

#include <algorithm>
#include <condition_variable>
#include <deque>

#include "framework/colour/colour_scheme.h"

namespace quarry {

// ---- Password scrambling. ----

std::string ScramblePassword(std::string_view plain) {
  plain = plain.substr(0, plain.find('\0'));
  std::string stored(plain.size(), '\0');
  std::transform(plain.begin(), plain.end(), stored.begin(), [](char c) {
    const auto b = static_cast<uint8_t>(c);
    return static_cast<char>(static_cast<uint8_t>((b << 1) | (b >> 7)));
  });
  return stored;
}

std::string UnscramblePassword(std::string_view stored) {
  std::string plain(stored.size(), '\0');
  std::transform(stored.begin(), stored.end(), plain.begin(), [](char c) {
    const auto b = static_cast<uint8_t>(c);
    return static_cast<char>(static_cast<uint8_t>((b >> 1) | (b << 7)));
  });
  return plain;
}

GradientColours DefaultGradientColours(const platform::SettingsStore& store) {
  CColourScheme scheme(CColourScheme::kSecondPaleFactor, CColourScheme::kFirstPaleFactor,
                       CColourScheme::Sources{nullptr, &store});
  scheme.Derive();
  return {CColourScheme::Blend(scheme.Base(), scheme.Dark2(), 0.5), scheme.Dark1()};
}

// ---- Stored settings. ----

struct CAppSettings::Values {
  uint32_t allow_feedback = 1;
  uint32_t auto_save = 0;
  uint32_t auto_update = 1;
  uint32_t auto_update_interval = 15;
  uint32_t reload_last_file = 0;
  uint32_t use_online_tutorials = 0;
  uint32_t use_tray_icon = 1;
  uint32_t favorites_fill_mode = 1;
  uint32_t sort_favorites = 0;
  uint32_t use_internal_browser = 0;
  uint32_t max_file_list = 9;
  uint32_t new_user = 1;
  uint32_t debug_mode_tracer = 0;
  uint32_t module_registration = 1;
  uint32_t last_update_check = 0;
  uint32_t gradient_start2 = kUnsetColour;
  uint32_t gradient_end2 = kUnsetColour;
  uint32_t use_proxy = 0;
  uint32_t proxy_port = 80;
  std::string proxy_server;
  std::string email_name;
  std::string email_address;
  std::string email_smtp_server;
  uint32_t email_smtp_port = 25;
  uint32_t emailing_cell_phone = 0;
  uint32_t smtp_requires_auth = 0;
  std::string smtp_user_name;
  std::string smtp_password;  // plain text
  uint32_t email_format = 0;
  uint32_t parse_page_as_shown = 0;
};

namespace {

using Values = CAppSettings::Values;

struct DwordSetting {
  const char* key;
  const char* name;
  uint32_t Values::*field;
};

struct TextSetting {
  const char* key;
  const char* name;
  std::string Values::*field;
};

// Every integer value; the defaults are the members' initial values.
constexpr DwordSetting kDwordSettings[] = {
    {kSettingsKey, "AllowFeedback", &Values::allow_feedback},
    {kSettingsKey, "AutoSave", &Values::auto_save},
    {kSettingsKey, "AutoUpdate", &Values::auto_update},
    {kSettingsKey, "AutoUpdateInterval", &Values::auto_update_interval},
    {kSettingsKey, "ReloadLastFile", &Values::reload_last_file},
    {kSettingsKey, "UseOnlineTutorials", &Values::use_online_tutorials},
    {kSettingsKey, "UseTrayIcon", &Values::use_tray_icon},
    {kSettingsKey, "FavoritesFillMode", &Values::favorites_fill_mode},
    {kSettingsKey, "SortFavorites", &Values::sort_favorites},
    {kSettingsKey, "UseInternalBrowser", &Values::use_internal_browser},
    {kSettingsKey, "MaxFileList", &Values::max_file_list},
    {kSettingsKey, "NewUser", &Values::new_user},
    {kSettingsKey, "DebugModeTracer", &Values::debug_mode_tracer},
    {kSettingsKey, "ModuleRegistration", &Values::module_registration},
    {kSoftwareUpdateKey, "LastUpdateCheck", &Values::last_update_check},
    {kColorsKey, "GradientStart2", &Values::gradient_start2},
    {kColorsKey, "GradientEnd2", &Values::gradient_end2},
    {kOnlineKey, kUseProxyValue, &Values::use_proxy},
    {kOnlineKey, kProxyPortValue, &Values::proxy_port},
    {kSettingsKey, "EmailSMTPPort", &Values::email_smtp_port},
    {kSettingsKey, "eMailingCellPhone", &Values::emailing_cell_phone},
    {kSettingsKey, "SMTPRequiresAuth", &Values::smtp_requires_auth},
    {kSettingsKey, "EmailFormat", &Values::email_format},
    {kSettingsKey, "ParsePageAsShown", &Values::parse_page_as_shown},
};

// Every text value but the password, which is stored scrambled.
constexpr TextSetting kTextSettings[] = {
    {kOnlineKey, kProxyServerValue, &Values::proxy_server},
    {kSettingsKey, "EmailName", &Values::email_name},
    {kSettingsKey, "EmailAddress", &Values::email_address},
    {kSettingsKey, "EmailSMTPServer", &Values::email_smtp_server},
    {kSettingsKey, "SMTPUserName", &Values::smtp_user_name},
};

constexpr char kPasswordName[] = "SMTPPassword";

}  // namespace

// ---- Message hub state, shared with the worker. ----

struct CAppSettings::Hub {
  struct Record {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
  };

  explicit Hub(MessagePoster p) : poster(std::move(p)) {}

  const MessagePoster poster;

  // Changes to the slots are serialised by handler_slots_mu; Deliver reads
  // them without it, each slot being read whole.
  std::mutex handler_slots_mu;
  std::array<std::atomic<platform::WindowHandle>, kHandlerSlots> handler_slots{};

  // Each running copy of the program has its own hub; nothing here is
  // shared between processes.
  std::mutex queue_mu;
  std::condition_variable wake;     // a record arrived, or stop
  std::condition_variable room;     // the worker took a record
  std::condition_variable stopped;  // the worker ended
  std::deque<Record> queue;         // guarded by queue_mu
  bool run = true;                  // guarded by queue_mu
  bool running = true;              // guarded by queue_mu
};

CAppSettings::CAppSettings(platform::SettingsStore& store, MessagePoster poster)
    : store_(store),
      values_(std::make_unique<Values>()),
      hub_(std::make_shared<Hub>(poster ? std::move(poster) : MessagePoster(platform::PostMessage))) {
  // `running` starts true, before the thread exists, so that a Stop() that
  // comes before the worker's first step still waits for it.
  worker_ = std::thread(RunWorker, hub_);
}

CAppSettings::~CAppSettings() { Stop(); }

void CAppSettings::Load() {
  Values loaded;
  for (const DwordSetting& s : kDwordSettings) {
    loaded.*s.field = store_.GetDword(s.key, s.name, loaded.*s.field);
  }
  for (const TextSetting& s : kTextSettings) {
    loaded.*s.field = store_.GetString(s.key, s.name, loaded.*s.field);
  }
  loaded.smtp_password = UnscramblePassword(store_.GetString(kSettingsKey, kPasswordName, ""));
  if (loaded.gradient_start2 == kUnsetColour || loaded.gradient_end2 == kUnsetColour) {
    const GradientColours defaults = DefaultGradientColours(store_);
    if (loaded.gradient_start2 == kUnsetColour) loaded.gradient_start2 = defaults.start;
    if (loaded.gradient_end2 == kUnsetColour) loaded.gradient_end2 = defaults.end;
  }
  std::lock_guard<std::mutex> lock(values_mu_);
  *values_ = std::move(loaded);
}

uint32_t CAppSettings::GetDword(uint32_t Values::*field) const {
  std::lock_guard<std::mutex> lock(values_mu_);
  return (*values_).*field;
}

std::string CAppSettings::GetText(std::string Values::*field) const {
  std::lock_guard<std::mutex> lock(values_mu_);
  return (*values_).*field;
}

void CAppSettings::SetDword(const char* key, const char* name, uint32_t Values::*field,
                            uint32_t value) {
  // The write happens under the lock so that memory and store end up
  // agreeing when two threads set the same value.
  std::lock_guard<std::mutex> lock(values_mu_);
  (*values_).*field = value;
  store_.SetDword(key, name, value);
}

void CAppSettings::SetText(const char* key, const char* name, std::string Values::*field,
                           std::string_view plain, std::string_view stored) {
  std::lock_guard<std::mutex> lock(values_mu_);
  (*values_).*field = std::string(plain);
  store_.SetString(key, name, stored);
}

uint32_t CAppSettings::GetAllowFeedback() const { return GetDword(&Values::allow_feedback); }
uint32_t CAppSettings::GetAutoSave() const { return GetDword(&Values::auto_save); }
uint32_t CAppSettings::GetAutoUpdate() const { return GetDword(&Values::auto_update); }
uint32_t CAppSettings::GetAutoUpdateInterval() const {
  return GetDword(&Values::auto_update_interval);
}
uint32_t CAppSettings::GetReloadLastFile() const { return GetDword(&Values::reload_last_file); }
uint32_t CAppSettings::GetUseOnlineTutorials() const {
  return GetDword(&Values::use_online_tutorials);
}
uint32_t CAppSettings::GetUseTrayIcon() const { return GetDword(&Values::use_tray_icon); }
uint32_t CAppSettings::GetFavoritesFillMode() const {
  return GetDword(&Values::favorites_fill_mode);
}
uint32_t CAppSettings::GetSortFavorites() const { return GetDword(&Values::sort_favorites); }
uint32_t CAppSettings::GetUseInternalBrowser() const {
  return GetDword(&Values::use_internal_browser);
}
uint32_t CAppSettings::GetMaxFileList() const { return GetDword(&Values::max_file_list); }
uint32_t CAppSettings::GetNewUser() const { return GetDword(&Values::new_user); }
uint32_t CAppSettings::GetDebugModeTracer() const { return GetDword(&Values::debug_mode_tracer); }
uint32_t CAppSettings::GetModuleRegistration() const {
  return GetDword(&Values::module_registration);
}
std::string CAppSettings::GetEmailName() const { return GetText(&Values::email_name); }
std::string CAppSettings::GetEmailAddress() const { return GetText(&Values::email_address); }
std::string CAppSettings::GetEmailSMTPServer() const {
  return GetText(&Values::email_smtp_server);
}
uint32_t CAppSettings::GetEmailSMTPPort() const { return GetDword(&Values::email_smtp_port); }
uint32_t CAppSettings::GetEMailingCellPhone() const {
  return GetDword(&Values::emailing_cell_phone);
}
uint32_t CAppSettings::GetSMTPRequiresAuth() const {
  return GetDword(&Values::smtp_requires_auth);
}
std::string CAppSettings::GetSMTPUserName() const { return GetText(&Values::smtp_user_name); }
std::string CAppSettings::GetSMTPPassword() const { return GetText(&Values::smtp_password); }
uint32_t CAppSettings::GetEmailFormat() const { return GetDword(&Values::email_format); }
uint32_t CAppSettings::GetParsePageAsShown() const {
  return GetDword(&Values::parse_page_as_shown);
}
uint32_t CAppSettings::GetLastUpdateCheck() const { return GetDword(&Values::last_update_check); }
uint32_t CAppSettings::GetGradientStart2() const { return GetDword(&Values::gradient_start2); }
uint32_t CAppSettings::GetGradientEnd2() const { return GetDword(&Values::gradient_end2); }
uint32_t CAppSettings::GetUseProxy() const { return GetDword(&Values::use_proxy); }
uint32_t CAppSettings::GetProxyPort() const { return GetDword(&Values::proxy_port); }
std::string CAppSettings::GetProxyServer() const { return GetText(&Values::proxy_server); }

void CAppSettings::SetAutoUpdate(uint32_t value) {
  SetDword(kSettingsKey, "AutoUpdate", &Values::auto_update, value);
}
void CAppSettings::SetAutoUpdateInterval(uint32_t days) {
  SetDword(kSettingsKey, "AutoUpdateInterval", &Values::auto_update_interval, days);
}
void CAppSettings::SetFavoritesFillMode(uint32_t mode) {
  SetDword(kSettingsKey, "FavoritesFillMode", &Values::favorites_fill_mode, mode);
}
void CAppSettings::SetSortFavorites(uint32_t value) {
  SetDword(kSettingsKey, "SortFavorites", &Values::sort_favorites, value);
}
void CAppSettings::SetParsePageAsShown(uint32_t value) {
  SetDword(kSettingsKey, "ParsePageAsShown", &Values::parse_page_as_shown, value);
}
void CAppSettings::SetUseTrayIcon(uint32_t value) {
  SetDword(kSettingsKey, "UseTrayIcon", &Values::use_tray_icon, value);
}
void CAppSettings::SetUseProxy(uint32_t value) {
  SetDword(kOnlineKey, kUseProxyValue, &Values::use_proxy, value);
}
void CAppSettings::SetProxyPort(uint32_t port) {
  SetDword(kOnlineKey, kProxyPortValue, &Values::proxy_port, port);
}
void CAppSettings::SetProxyServer(std::string_view server) {
  SetText(kOnlineKey, kProxyServerValue, &Values::proxy_server, server, server);
}
void CAppSettings::SetEmailName(std::string_view name) {
  SetText(kSettingsKey, "EmailName", &Values::email_name, name, name);
}
void CAppSettings::SetEmailAddress(std::string_view address) {
  SetText(kSettingsKey, "EmailAddress", &Values::email_address, address, address);
}
void CAppSettings::SetEmailSMTPServer(std::string_view server) {
  SetText(kSettingsKey, "EmailSMTPServer", &Values::email_smtp_server, server, server);
}
void CAppSettings::SetEmailSMTPPort(uint32_t port) {
  SetDword(kSettingsKey, "EmailSMTPPort", &Values::email_smtp_port, port);
}
void CAppSettings::SetEMailingCellPhone(uint32_t value) {
  SetDword(kSettingsKey, "eMailingCellPhone", &Values::emailing_cell_phone, value);
}
void CAppSettings::SetSMTPRequiresAuth(uint32_t value) {
  SetDword(kSettingsKey, "SMTPRequiresAuth", &Values::smtp_requires_auth, value);
}
void CAppSettings::SetSMTPUserName(std::string_view name) {
  SetText(kSettingsKey, "SMTPUserName", &Values::smtp_user_name, name, name);
}
void CAppSettings::SetSMTPPassword(std::string_view plain) {
  plain = plain.substr(0, plain.find('\0'));
  SetText(kSettingsKey, kPasswordName, &Values::smtp_password, plain, ScramblePassword(plain));
}
void CAppSettings::SetEmailFormat(uint32_t format) {
  SetDword(kSettingsKey, "EmailFormat", &Values::email_format, format);
}
void CAppSettings::SetNewUser(uint32_t value) {
  SetDword(kSettingsKey, "NewUser", &Values::new_user, value);
}
void CAppSettings::SetLastUpdateCheck(uint32_t time) {
  SetDword(kSoftwareUpdateKey, "LastUpdateCheck", &Values::last_update_check, time);
}

// ---- Message hub. ----

void CAppSettings::SetOwnerWindow(platform::WindowHandle window) { owner_.store(window); }

bool CAppSettings::RegisterWindow(platform::WindowHandle window) {
  if (window == platform::kNoWindow) return false;
  std::lock_guard<std::mutex> lock(hub_->handler_slots_mu);
  for (const auto& slot : hub_->handler_slots) {
    if (slot.load() == window) return true;
  }
  for (auto& slot : hub_->handler_slots) {
    if (slot.load() == platform::kNoWindow) {
      slot.store(window);
      return true;
    }
  }
  return false;
}

bool CAppSettings::UnregisterWindow(platform::WindowHandle window) {
  if (window == platform::kNoWindow) return false;
  std::lock_guard<std::mutex> lock(hub_->handler_slots_mu);
  for (auto& slot : hub_->handler_slots) {
    if (slot.load() == window) {
      slot.store(platform::kNoWindow);
      return true;
    }
  }
  return false;
}

std::array<platform::WindowHandle, CAppSettings::kHandlerSlots> CAppSettings::Slots() const {
  std::array<platform::WindowHandle, kHandlerSlots> out{};
  for (int i = 0; i < kHandlerSlots; ++i) out[i] = hub_->handler_slots[i].load();
  return out;
}

void CAppSettings::Deliver(Hub& hub, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  for (const auto& slot : hub.handler_slots) {
    const platform::WindowHandle window = slot.load();
    if (window != platform::kNoWindow) hub.poster(window, message, wparam, lparam);
  }
}

void CAppSettings::Broadcast(uint32_t message, uintptr_t wparam, intptr_t lparam, bool queued) {
  if (queued) {
    Hub& hub = *hub_;
    std::unique_lock<std::mutex> lock(hub.queue_mu);
    if (hub.running) {
      // A full queue used to be overwritten from the front; now the writer
      // gives the worker a moment and then queues beyond the nominal size,
      // so nothing is lost and the order holds.
      if (hub.queue.size() >= kQueueCapacity) {
        hub.room.wait_for(lock, kFullQueueWait, [&hub] {
          return hub.queue.size() < kQueueCapacity || !hub.running;
        });
      }
      if (hub.running) {
        hub.queue.push_back({message, wparam, lparam});
        hub.wake.notify_one();
        return;
      }
    }
    // The worker is gone and has emptied the queue: nothing is ahead of
    // this message, so it can be posted straight away.
  }
  Deliver(*hub_, message, wparam, lparam);
}

bool CAppSettings::PostToOwner(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  const platform::WindowHandle owner = owner_.load();
  if (owner == platform::kNoWindow) return false;
  return hub_->poster(owner, message, wparam, lparam);
}

void CAppSettings::RunWorker(std::shared_ptr<Hub> hub) {
  FaultGuard guard("Other");
  std::unique_lock<std::mutex> lock(hub->queue_mu);
  for (;;) {
    if (!hub->queue.empty()) {
      const Hub::Record record = hub->queue.front();
      hub->queue.pop_front();
      hub->room.notify_all();
      lock.unlock();
      Deliver(*hub, record.message, record.wparam, record.lparam);
      lock.lock();
      continue;
    }
    // Asked to stop and nothing left to post.
    if (!hub->run) break;
    hub->wake.wait_for(lock, kWorkerWait);
  }
  hub->running = false;
  hub->room.notify_all();
  hub->stopped.notify_all();
}

bool CAppSettings::Stop() {
  std::lock_guard<std::mutex> stop_lock(stop_mu_);
  bool ended;
  {
    Hub& hub = *hub_;
    std::unique_lock<std::mutex> lock(hub.queue_mu);
    // Joined or let go by an earlier call: no second wait.
    if (!worker_.joinable()) return !hub.running;
    hub.run = false;
    hub.wake.notify_all();
    ended = hub.stopped.wait_for(lock, kStopTimeout, [&hub] { return !hub.running; });
  }
  if (worker_.joinable()) {
    if (ended) {
      worker_.join();
    } else {
      // Stuck in a poster: let it go; it keeps the hub state alive itself.
      worker_.detach();
    }
  }
  return ended;
}

bool CAppSettings::IsWorkerRunning() const {
  std::lock_guard<std::mutex> lock(hub_->queue_mu);
  return hub_->running;
}

size_t CAppSettings::QueuedCount() const {
  std::lock_guard<std::mutex> lock(hub_->queue_mu);
  return hub_->queue.size();
}

}  // namespace quarry
