// The settings the retrieval code reads from the per-user store, and the
// addresses of the maker's web services.
//
// The maker's sites are deployment values: a base address (scheme, host and
// an optional port, e.g. "https://updates.quarry.example:8443") stored as
// strings under "Software\\Zandor Tech\\Quarry\\Services". Only the page
// paths on those sites are fixed here.

#ifndef QUARRY_WEB_WEB_SETTINGS_H_
#define QUARRY_WEB_WEB_SETTINGS_H_

#include <cstdint>
#include <string>

namespace quarry {

namespace platform {
class SettingsStore;
}

// The store the retrieval code uses: the one installed by
// SetWebSettingsStore, else SettingsStore::User().
platform::SettingsStore& WebSettingsStore();

// Makes the retrieval code use `store` (nullptr: back to the user's store).
// Not owned; it must outlive its use. Meant for tests and tools that work
// on another store file.
void SetWebSettingsStore(platform::SettingsStore* store);

inline constexpr char kGlobalsKey[] = "Software\\Zandor Tech\\Globals";
inline constexpr char kOfflineModeValue[] = "OfflineMode";
inline constexpr char kQuarrySettingsKey[] = "Software\\Zandor Tech\\Quarry\\Settings";
inline constexpr char kMaxPageSizeValue[] = "MaxPageSize";
inline constexpr char kTransferTimeLimitValue[] = "TransferTimeLimit";
// The installation's identity in the program's "Settings" section: the
// time of the first usage report once the site acknowledged it (also
// handed to the updater), and an identity given at setup.
inline constexpr char kSetupConfig3Value[] = "SetupConfig3";
inline constexpr char kSetupConfigValue[] = "SetupConfig";
// The program's proxy settings, which every retrieval of a page copies.
inline constexpr char kOnlineKey[] = "Software\\Zandor Tech\\Quarry\\Online";
inline constexpr char kUseProxyValue[] = "UseProxy";
inline constexpr char kProxyServerValue[] = "ProxyServer";
inline constexpr char kProxyPortValue[] = "ProxyPort";
inline constexpr char kServicesKey[] = "Software\\Zandor Tech\\Quarry\\Services";
inline constexpr char kUpdateSiteValue[] = "UpdateSite";
inline constexpr char kProductSiteValue[] = "ProductSite";

inline constexpr uint32_t kDefaultMaxPageSize = 64u * 1024 * 1024;
inline constexpr uint32_t kDefaultTransferTimeLimit = 300;  // seconds
inline constexpr char kDefaultUpdateSite[] = "https://updates.quarry.example";
inline constexpr char kDefaultProductSite[] = "https://www.quarry.example";

// The largest page a parse reads: DWORD "MaxPageSize" in the program's
// "Settings" section, default 64 MiB. 0 reads as the default; values beyond
// what a buffer can hold are clamped.
int32_t MaxPageSize();

// The most seconds one transfer may take: DWORD "TransferTimeLimit" in the
// program's "Settings" section, default kDefaultTransferTimeLimit; 0 means
// no limit.
uint32_t TransferTimeLimit();

// Base addresses of the maker's update site and product web site, without
// a trailing "/". A stored value without a scheme gets "http://".
std::string UpdateSiteAddress();
std::string ProductSiteAddress();

// The update site's address-list page and its older second choice.
std::string AddressListPage();
std::string LegacyAddressListPage();
// The product site's usage-report page.
std::string FeedbackPage();
// The help pages opened from the Help menu.
std::string HelpHomePage();
std::string HelpFaqPage();
std::string HelpIssuesPage();

}  // namespace quarry

#endif  // QUARRY_WEB_WEB_SETTINGS_H_
