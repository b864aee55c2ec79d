// The main program's settings and its message hub.
//
// CAppSettings holds every per-user value of the main program, read from
// the settings store once by Load() and written back value by value by the
// setters (there is no save step). It also carries the hub through which
// the sub-views hear about each other's events: they post to the owner
// window (the main view), which relays to every registered window through
// a queue that one worker thread empties.

#ifndef QUARRY_APP_APP_SETTINGS_H_
#define QUARRY_APP_APP_SETTINGS_H_

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/settings_store.h"
#include "platform/window_message.h"
#include "web/web_settings.h"

namespace quarry {

// Where the values live: the root key and its four sections.
inline constexpr char kAppRootKey[] = "Software\\Zandor Tech\\Quarry\\";
// "Settings" and "Online" are shared with the retrieval code (web_settings.h).
inline constexpr const auto& kSettingsKey = kQuarrySettingsKey;
inline constexpr char kColorsKey[] = "Software\\Zandor Tech\\Quarry\\Colors";
inline constexpr char kSoftwareUpdateKey[] = "Software\\Zandor Tech\\Quarry\\SoftwareUpdate";

// The stored form of a gradient colour that has not been chosen: the
// colour is then taken from the colour scheme at load time.
inline constexpr uint32_t kUnsetColour = 0xFFFFFFFFu;

// "SMTPPassword" is kept scrambled: each byte of the stored text is the
// password's byte rotated left by one bit. For the characters below 128
// that is the byte doubled ("abc" is stored as 194, 196, 198), as the
// program always stored them; the bit that doubling pushes out of a byte of
// 128 or more comes back in as the low bit, so every byte round-trips and
// the stored text never holds a NUL. A byte stored by plain doubling is
// even and reads back as half its value, as before.
std::string ScramblePassword(std::string_view plain);
std::string UnscramblePassword(std::string_view stored);

// Gradient colours that "GradientStart2" and "GradientEnd2" take when
// they read kUnsetColour, from a colour scheme (factors 0.8 and 0.6)
// derived from the control appearance settings in `store`.
struct GradientColours {
  uint32_t start;  // blend(base, dark 2, 0.5)
  uint32_t end;    // dark 1
};
GradientColours DefaultGradientColours(const platform::SettingsStore& store);

// Settings and hub in one object; created and loaded by the document, which
// calls Stop() before deleting it. Getters and setters are thread-safe.
// Writes that fail (store unusable or busy) are ignored: the value in
// memory changes anyway, as the running program should follow the user's
// choice even when it cannot be remembered.
class CAppSettings {
 public:
  // Number of windows that can hear broadcasts.
  static constexpr int kHandlerSlots = 5;
  // Records the queue holds before a writer has to wait for the worker.
  static constexpr size_t kQueueCapacity = 500;
  // How long the worker sleeps between checks of its run flag.
  static constexpr std::chrono::milliseconds kWorkerWait{750};
  // How long a queued Broadcast waits for room in a full queue.
  static constexpr std::chrono::milliseconds kFullQueueWait{100};
  // How long Stop() waits for the worker to end.
  static constexpr std::chrono::milliseconds kStopTimeout{2000};

  // Delivers one message to one window; true when it was posted. The
  // default is platform::PostMessage. Called from the hub worker and from
  // the caller's thread; must not block.
  using MessagePoster = std::function<bool(platform::WindowHandle, uint32_t message,
                                           uintptr_t wparam, intptr_t lparam)>;

  // Every value at its default, the slots empty, and the hub worker
  // started. Values are read and written through `store`, which must
  // outlive this object.
  explicit CAppSettings(platform::SettingsStore& store = platform::SettingsStore::User(),
                        MessagePoster poster = {});
  // Stops the worker (Stop()).
  ~CAppSettings();

  CAppSettings(const CAppSettings&) = delete;
  CAppSettings& operator=(const CAppSettings&) = delete;

  // Reads every value from the store. A missing key or value, or one of
  // another type, gives the value's default. Writes nothing.
  void Load();

  // The store the values come from.
  platform::SettingsStore& Store() const { return store_; }

  // ---- Stored settings. ----
  // Flags read as stored: 0 is off, anything else on.

  // "Settings" section.
  uint32_t GetAllowFeedback() const;       // default 1
  uint32_t GetAutoSave() const;            // default 0
  uint32_t GetAutoUpdate() const;          // default 1
  uint32_t GetAutoUpdateInterval() const;  // default 15 (days)
  uint32_t GetReloadLastFile() const;      // default 0
  uint32_t GetUseOnlineTutorials() const;  // default 0
  uint32_t GetUseTrayIcon() const;         // default 1
  uint32_t GetFavoritesFillMode() const;   // default 1: 0 menu, 1 tree, 2 both
  uint32_t GetSortFavorites() const;       // default 0
  uint32_t GetUseInternalBrowser() const;  // default 0
  uint32_t GetMaxFileList() const;         // default 9
  uint32_t GetNewUser() const;             // default 1
  uint32_t GetDebugModeTracer() const;     // default 0
  uint32_t GetModuleRegistration() const;  // default 1
  std::string GetEmailName() const;        // default ""
  std::string GetEmailAddress() const;     // default ""
  std::string GetEmailSMTPServer() const;  // default ""
  uint32_t GetEmailSMTPPort() const;       // default 25
  uint32_t GetEMailingCellPhone() const;   // "eMailingCellPhone", default 0
  uint32_t GetSMTPRequiresAuth() const;    // default 0
  std::string GetSMTPUserName() const;     // default ""
  std::string GetSMTPPassword() const;     // plain text; default ""
  uint32_t GetEmailFormat() const;         // default 0
  // What Parse reads: 0 the address downloaded afresh, 1 the page as the
  // browser shows it (after its scripts, with the user's session).
  uint32_t GetParsePageAsShown() const;    // default 0

  // "SoftwareUpdate" section: the time of the last completed update
  // check, low 32 bits of the time in seconds; 0 when never checked.
  uint32_t GetLastUpdateCheck() const;

  // "Colors" section: COLORREF values (0x00BBGGRR), from the colour scheme
  // when stored as kUnsetColour or absent.
  uint32_t GetGradientStart2() const;
  uint32_t GetGradientEnd2() const;

  // "Online" section.
  uint32_t GetUseProxy() const;      // default 0
  uint32_t GetProxyPort() const;     // default 80
  std::string GetProxyServer() const;  // default ""

  // Setters: change the value in memory and write it to the store at once.
  void SetAutoUpdate(uint32_t value);
  void SetAutoUpdateInterval(uint32_t days);
  void SetFavoritesFillMode(uint32_t mode);
  void SetSortFavorites(uint32_t value);
  void SetUseTrayIcon(uint32_t value);
  void SetParsePageAsShown(uint32_t value);
  void SetUseProxy(uint32_t value);
  void SetProxyPort(uint32_t port);
  void SetProxyServer(std::string_view server);
  void SetEmailName(std::string_view name);
  void SetEmailAddress(std::string_view address);
  void SetEmailSMTPServer(std::string_view server);
  void SetEmailSMTPPort(uint32_t port);
  void SetEMailingCellPhone(uint32_t value);
  void SetSMTPRequiresAuth(uint32_t value);
  void SetSMTPUserName(std::string_view name);
  // Stored scrambled (ScramblePassword); text after a NUL byte is dropped.
  void SetSMTPPassword(std::string_view plain);
  void SetEmailFormat(uint32_t format);
  // The main view writes 0 when it goes away.
  void SetNewUser(uint32_t value);
  // The update check writes the time of a completed check.
  void SetLastUpdateCheck(uint32_t time);

  // ---- Message hub. ----

  // Records the window that PostToOwner() reaches (the main view).
  void SetOwnerWindow(platform::WindowHandle window);
  platform::WindowHandle OwnerWindow() const { return owner_.load(); }

  // Gives `window` a slot so that it hears broadcasts. True when it holds
  // one afterwards (it already did, or took the first empty slot); false
  // when all slots are taken or `window` is kNoWindow.
  bool RegisterWindow(platform::WindowHandle window);

  // Empties the window's slot; false when it held none.
  bool UnregisterWindow(platform::WindowHandle window);

  // The window in each slot, kNoWindow for an empty one, in slot order.
  std::array<platform::WindowHandle, kHandlerSlots> Slots() const;

  // Posts the message to every window in a slot, in slot order.
  // queued = false: posts now, on the calling thread. queued = true: hands
  // the message to the worker, which posts queued messages in the order
  // they were given; when kQueueCapacity messages are already waiting the
  // call waits up to kFullQueueWait for the worker and then queues the
  // message anyway, so no message is ever lost or reordered. After Stop()
  // a queued message is posted at once instead.
  void Broadcast(uint32_t message, uintptr_t wparam, intptr_t lparam, bool queued);

  // Posts the message to the owner window; false when there is no owner or
  // its window is gone.
  bool PostToOwner(uint32_t message, uintptr_t wparam, intptr_t lparam);

  // Ends the worker: it posts what is still queued and stops. Waits at
  // most kStopTimeout; true when the worker has ended. A worker still busy
  // then (stuck in the poster) is let go and ends on its own later; later
  // calls return at once. Safe from any thread but the worker's.
  bool Stop();

  // True while the hub worker runs.
  bool IsWorkerRunning() const;

  // Messages waiting in the queue.
  size_t QueuedCount() const;

  // The values in memory; opaque outside the implementation.
  struct Values;

 private:
  struct Hub;

  uint32_t GetDword(uint32_t Values::*field) const;
  std::string GetText(std::string Values::*field) const;
  void SetDword(const char* key, const char* name, uint32_t Values::*field, uint32_t value);
  // Keeps `plain` in memory and writes `stored` to the store.
  void SetText(const char* key, const char* name, std::string Values::*field,
               std::string_view plain, std::string_view stored);

  // Posts one message to every window in a slot.
  static void Deliver(Hub& hub, uint32_t message, uintptr_t wparam, intptr_t lparam);
  static void RunWorker(std::shared_ptr<Hub> hub);

  platform::SettingsStore& store_;

  mutable std::mutex values_mu_;
  std::unique_ptr<Values> values_;  // guarded by values_mu_

  std::atomic<platform::WindowHandle> owner_{platform::kNoWindow};
  // Shared with the worker so that a worker that outlives Stop()'s wait
  // still finds its state.
  std::shared_ptr<Hub> hub_;
  std::mutex stop_mu_;  // serialises Stop(), which joins or lets go of worker_
  std::thread worker_;  // guarded by stop_mu_
};

}  // namespace quarry

#endif  // QUARRY_APP_APP_SETTINGS_H_
