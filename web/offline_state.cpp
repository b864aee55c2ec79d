#include "web/offline_state.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/settings_store.h"
#include "web/retrieval_error.h"
#include "web/retrieval_ui.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

// Plain process-wide state: last writer wins, as for every program sharing
// the stored value. Atomic only so that concurrent retrievals are well
// defined.
std::atomic<uint32_t> g_offline{0};

std::mutex g_probe_mutex;
std::function<NetworkState()> g_probe;

NetworkState RunProbe() {
  std::function<NetworkState()> probe;
  {
    std::lock_guard<std::mutex> lock(g_probe_mutex);
    probe = g_probe;
  }
  return probe ? probe() : ProbeNetworkInterfaces();
}

bool ProxyConfigured() {
  for (const char* name : {"http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

CWebDataRetrievalImp::CWebDataRetrievalImp() { ReloadOfflineFlag(); }

CWebDataRetrievalImp::~CWebDataRetrievalImp() = default;

uint32_t ReloadOfflineFlag() {
  uint32_t current = g_offline.load();
  uint32_t stored = WebSettingsStore().GetDword(kGlobalsKey, kOfflineModeValue, current);
  g_offline.store(stored);
  return stored;
}

uint32_t OfflineFlag() { return g_offline.load(); }

bool SaveOfflineFlag(uint32_t offline) {
  g_offline.store(offline);
  return WebSettingsStore().SetDword(kGlobalsKey, kOfflineModeValue, offline);
}

bool CheckConnection(ConnectionCheckOptions* options) {
  ConnectionCheckOptions defaults;
  ConnectionCheckOptions& opt = options != nullptr ? *options : defaults;
  uint32_t offline = ReloadOfflineFlag();
  if (opt.query_only == 1) {
    opt.result = static_cast<int32_t>(offline);
    return offline == 0;
  }
  if (opt.reset_offline == 1) {
    SaveOfflineFlag(0);
    offline = 0;
  }
  if (opt.forced_state != -1) {
    SaveOfflineFlag(static_cast<uint32_t>(opt.forced_state));
    return opt.forced_state == 0;
  }
  opt.result = static_cast<int32_t>(offline);
  if (offline == 1) return false;
  uint32_t error = InternetAttemptConnect();
  if (error != 0 && opt.show_error == 1) {
    std::string text = SystemErrorText(error);
    RetrievalUi* ui = CurrentRetrievalUi();
    if (!text.empty() && ui != nullptr) ui->ShowMessage(text);
  }
  int32_t failed = error != 0 ? 1 : 0;
  opt.result = failed;
  if (static_cast<uint32_t>(failed) != offline) SaveOfflineFlag(static_cast<uint32_t>(failed));
  return failed == 0;
}

NetworkState ProbeNetworkInterfaces() {
  NetworkState state;
  struct ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    state.error = errno;
    return state;
  }
  for (struct ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    unsigned flags = entry->ifa_flags;
    if ((flags & IFF_UP) == 0 || (flags & IFF_LOOPBACK) != 0) continue;
    if (entry->ifa_addr == nullptr) continue;
    int family = entry->ifa_addr->sa_family;
    if (family != AF_INET && family != AF_INET6) continue;
    state.up = true;
    if ((flags & IFF_POINTOPOINT) != 0) {
      state.modem = true;
    } else {
      state.lan = true;
    }
  }
  freeifaddrs(list);
  return state;
}

void SetNetworkProbe(std::function<NetworkState()> probe) {
  std::lock_guard<std::mutex> lock(g_probe_mutex);
  g_probe = std::move(probe);
}

uint32_t InternetAttemptConnect() {
  NetworkState state = RunProbe();
  if (state.up) return 0;
  return state.error != 0 ? static_cast<uint32_t>(state.error) : ENETUNREACH;
}

bool InternetGetConnectedState(uint32_t* flags) {
  NetworkState state = RunProbe();
  uint32_t bits = 0;
  if (state.up) bits |= kConnectionConfigured;
  if (state.lan) bits |= kConnectionLan;
  if (state.modem) bits |= kConnectionModem;
  if (ProxyConfigured()) bits |= kConnectionProxy;
  if (g_offline.load() == 1) bits |= kConnectionOffline;
  if (flags != nullptr) *flags = bits;
  return state.up;
}

}  // namespace quarry
