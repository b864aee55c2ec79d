// The offline switch shared by all of the maker's programs, and the probe of
// whether this machine has a network at all.
//
// The switch is one process-wide value mirrored in the store as the DWORD
// "OfflineMode" under "Software\\Zandor Tech\\Globals" (1 = offline). Every
// retrieval reloads it first and fails at once, without touching the
// network, while it is 1. Changes are written back at once so every program
// sees them. Concurrent callers get last-writer-wins.

#ifndef QUARRY_WEB_OFFLINE_STATE_H_
#define QUARRY_WEB_OFFLINE_STATE_H_

#include <cstdint>
#include <functional>

namespace quarry {

// Created on the stack around each retrieval so that the offline switch is
// fresh: construction reloads it from the store. Holds no state.
class CWebDataRetrievalImp {
 public:
  CWebDataRetrievalImp();
  virtual ~CWebDataRetrievalImp();
  CWebDataRetrievalImp(const CWebDataRetrievalImp&) = delete;
  CWebDataRetrievalImp& operator=(const CWebDataRetrievalImp&) = delete;
};

// What CheckConnection does; the defaults probe the network.
struct ConnectionCheckOptions {
  int32_t show_error = 0;     // 1: a failed probe shows the system's reason
  int32_t reset_offline = 0;  // 1: clear the offline switch first
  int32_t query_only = 0;     // 1: only report the switch
  int32_t result = 0;         // out: 1 when offline
  int32_t forced_state = -1;  // -1: probe; 0 or 1: set the switch to this
};

// Re-reads "OfflineMode" into the process-wide switch. A missing value (or
// an unusable store) leaves the switch as it is. Returns the switch.
uint32_t ReloadOfflineFlag();

// The process-wide switch as last loaded or set.
uint32_t OfflineFlag();

// Sets the switch and writes it to the store. Returns false when the store
// refused the write (the process-wide switch is set regardless).
bool SaveOfflineFlag(uint32_t offline);

// Reports, sets or probes the connection state; returns true when online.
// `options` may be null (the defaults). Probing while the switch is on
// reports offline without probing; a failed probe turns the switch on, a
// successful one off. With show_error, a failed probe's reason goes to the
// installed RetrievalUi.
bool CheckConnection(ConnectionCheckOptions* options = nullptr);

// Connection-state flags of InternetGetConnectedState.
inline constexpr uint32_t kConnectionModem = 0x01;
inline constexpr uint32_t kConnectionLan = 0x02;
inline constexpr uint32_t kConnectionProxy = 0x04;
inline constexpr uint32_t kConnectionOffline = 0x20;
inline constexpr uint32_t kConnectionConfigured = 0x40;

// What the network interfaces say: whether any non-loopback interface is up
// with an address, and of which sort.
struct NetworkState {
  bool up = false;     // a non-loopback interface is up
  bool lan = false;    // one of them is an ordinary (broadcast) interface
  bool modem = false;  // one of them is point-to-point (dial-up, tunnels)
  int error = 0;       // errno when the interfaces could not be listed
};

// Looks at the machine's network interfaces (getifaddrs).
NetworkState ProbeNetworkInterfaces();

// Replaces the interface probe for the whole process (tests use this so that
// they do not depend on the machine's network); an empty function restores
// ProbeNetworkInterfaces.
void SetNetworkProbe(std::function<NetworkState()> probe);

// 0 when the machine can attempt a connection (an interface is up), else a
// system error number (ENETUNREACH when nothing is up).
uint32_t InternetAttemptConnect();

// False when no interface is up. Otherwise true with `flags` (may be null)
// holding kConnection* bits: LAN and/or modem, proxy when the proxy
// environment variables name one, offline when the switch is on.
bool InternetGetConnectedState(uint32_t* flags);

}  // namespace quarry

#endif  // QUARRY_WEB_OFFLINE_STATE_H_
