// The updater's own values in the settings store, below
// "Software\\Kestrane\\KspAutoUpdater\\<section>", and the marks of files
// the user was already asked about.

#ifndef QUARRY_UPDATER_UPDATER_SETTINGS_H_
#define QUARRY_UPDATER_UPDATER_SETTINGS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace quarry {

namespace platform {
class SettingsStore;
}

inline constexpr char kUpdaterSettingsKey[] = "Software\\Kestrane\\KspAutoUpdater\\Settings";
inline constexpr char kUpdaterSoftwareUpdateKey[] =
    "Software\\Kestrane\\KspAutoUpdater\\SoftwareUpdate";
inline constexpr char kUpdaterFileErrorsKey[] = "Software\\Kestrane\\KspAutoUpdater\\FileErrors";
// The window placement record's value name in the "Settings" section.
inline constexpr char kUpdaterPlacementValue[] = "KspAutoUpdaterDlg";

// The caller's product information (automation SetProductInfo) and the
// query values of the version list.
struct ProductInfo {
  uint32_t code = 0;
  double version = 0.0;  // stored x 100
  uint32_t config = 0;
};

// Reads and writes through to the store at once; not cached, so several
// processes see each other's values. Thread-safe as the store is.
class CUpdaterSettings {
 public:
  // `store` is not owned and must outlive the object.
  explicit CUpdaterSettings(platform::SettingsStore& store);

  platform::SettingsStore& Store() const { return store_; }

  uint32_t DebugMode() const;

  uint32_t BaseProductCode() const;
  uint32_t BaseProductVersion() const;
  // Writes "BaseProductCode", "BaseProductVersion" and the three product
  // values, as a check started by automation does.
  void SaveCheckValues(uint32_t pc, uint32_t pv, const ProductInfo& product);
  ProductInfo LoadProductInfo() const;

  // Seconds since 1970 of the last successful check (low 32 bits); 0: never.
  uint32_t LastUpdate() const;
  void SetLastUpdate(int64_t now);
  uint32_t DownloadSuccess() const;
  void SetDownloadSuccess(uint32_t value);

  // Whether the user was asked about the missing file shown as
  // `display_name`, and marking that.
  bool WasAskedAboutMissing(const std::string& display_name) const;
  void MarkAskedAboutMissing(const std::string& display_name);

  std::vector<uint8_t> WindowPlacement() const;
  void SetWindowPlacement(const std::vector<uint8_t>& record);

 private:
  platform::SettingsStore& store_;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATER_SETTINGS_H_
