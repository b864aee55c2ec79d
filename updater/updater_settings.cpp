#include "updater/updater_settings.h"

#include <cmath>

#include "platform/settings_store.h"

namespace quarry {

CUpdaterSettings::CUpdaterSettings(platform::SettingsStore& store) : store_(store) {}

uint32_t CUpdaterSettings::DebugMode() const {
  return store_.GetDword(kUpdaterSettingsKey, "DebugMode", 0);
}

uint32_t CUpdaterSettings::BaseProductCode() const {
  return store_.GetDword(kUpdaterSettingsKey, "BaseProductCode", 0);
}

uint32_t CUpdaterSettings::BaseProductVersion() const {
  return store_.GetDword(kUpdaterSettingsKey, "BaseProductVersion", 0);
}

void CUpdaterSettings::SaveCheckValues(uint32_t pc, uint32_t pv, const ProductInfo& product) {
  store_.SetDword(kUpdaterSettingsKey, "BaseProductCode", pc);
  store_.SetDword(kUpdaterSettingsKey, "BaseProductVersion", pv);
  store_.SetDword(kUpdaterSettingsKey, "ProductCode", product.code);
  store_.SetDword(kUpdaterSettingsKey, "ProductVersion",
                  static_cast<uint32_t>(std::lround(product.version * 100.0)));
  store_.SetDword(kUpdaterSettingsKey, "ProductConfig", product.config);
}

ProductInfo CUpdaterSettings::LoadProductInfo() const {
  ProductInfo info;
  info.code = store_.GetDword(kUpdaterSettingsKey, "ProductCode", 0);
  info.version = store_.GetDword(kUpdaterSettingsKey, "ProductVersion", 0) / 100.0;
  info.config = store_.GetDword(kUpdaterSettingsKey, "ProductConfig", 0);
  return info;
}

uint32_t CUpdaterSettings::LastUpdate() const {
  return store_.GetDword(kUpdaterSoftwareUpdateKey, "LastUpdate", 0);
}

void CUpdaterSettings::SetLastUpdate(int64_t now) {
  store_.SetDword(kUpdaterSoftwareUpdateKey, "LastUpdate", static_cast<uint32_t>(now));
}

uint32_t CUpdaterSettings::DownloadSuccess() const {
  return store_.GetDword(kUpdaterSoftwareUpdateKey, "DownloadSuccess", 0);
}

void CUpdaterSettings::SetDownloadSuccess(uint32_t value) {
  store_.SetDword(kUpdaterSoftwareUpdateKey, "DownloadSuccess", value);
}

bool CUpdaterSettings::WasAskedAboutMissing(const std::string& display_name) const {
  return store_.GetDword(kUpdaterFileErrorsKey, display_name, 0) == 1;
}

void CUpdaterSettings::MarkAskedAboutMissing(const std::string& display_name) {
  store_.SetDword(kUpdaterFileErrorsKey, display_name, 1);
}

std::vector<uint8_t> CUpdaterSettings::WindowPlacement() const {
  return store_.GetBinary(kUpdaterSettingsKey, kUpdaterPlacementValue);
}

void CUpdaterSettings::SetWindowPlacement(const std::vector<uint8_t>& record) {
  store_.SetBinary(kUpdaterSettingsKey, kUpdaterPlacementValue, record);
}

}  // namespace quarry
