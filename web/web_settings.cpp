#include "web/web_settings.h"

#include <atomic>
#include <limits>

#include "platform/settings_store.h"

namespace quarry {

namespace {

std::atomic<platform::SettingsStore*> g_store{nullptr};

std::string SiteAddress(const char* value, const char* fallback) {
  std::string site =
      WebSettingsStore().GetString(kServicesKey, value, fallback, true);
  while (!site.empty() && (site.back() == '/' || site.back() == ' ')) {
    site.pop_back();
  }
  if (site.empty()) site = fallback;
  if (site.find("://") == std::string::npos) site = "http://" + site;
  return site;
}

}  // namespace

platform::SettingsStore& WebSettingsStore() {
  platform::SettingsStore* store = g_store.load();
  return store != nullptr ? *store : platform::SettingsStore::User();
}

void SetWebSettingsStore(platform::SettingsStore* store) { g_store.store(store); }

int32_t MaxPageSize() {
  uint32_t size = WebSettingsStore().GetDword(kQuarrySettingsKey, kMaxPageSizeValue,
                                              kDefaultMaxPageSize);
  if (size == 0) size = kDefaultMaxPageSize;
  // The buffer holds one byte more than its capacity.
  constexpr uint32_t kLargest = std::numeric_limits<int32_t>::max() - 1;
  return static_cast<int32_t>(size > kLargest ? kLargest : size);
}

uint32_t TransferTimeLimit() {
  return WebSettingsStore().GetDword(kQuarrySettingsKey, kTransferTimeLimitValue,
                                     kDefaultTransferTimeLimit);
}

std::string UpdateSiteAddress() { return SiteAddress(kUpdateSiteValue, kDefaultUpdateSite); }

std::string ProductSiteAddress() {
  return SiteAddress(kProductSiteValue, kDefaultProductSite);
}

std::string AddressListPage() { return UpdateSiteAddress() + "/IPAddresses/FileIPs.aspx"; }

std::string LegacyAddressListPage() {
  return UpdateSiteAddress() + "/IPAddresses/FileIPs.asp";
}

std::string FeedbackPage() { return ProductSiteAddress() + "/Feedback/Info.aspx"; }

std::string HelpHomePage() { return ProductSiteAddress() + "/?REF=Qry"; }

std::string HelpFaqPage() { return ProductSiteAddress() + "/QryFAQ.aspx?REF=Qry"; }

std::string HelpIssuesPage() { return ProductSiteAddress() + "/CurrentIssues.aspx?REF=Qry"; }

}  // namespace quarry
