// Fetching a page to find its tables: the one road from an address to its
// bytes, taken by the results view of the window and by qry alike, so that
// what works on the command line works in the window and both give the
// same reason when it does not.
//
// Usage:
//   quarry::PageFetchOptions options;        // stored proxy, no credentials
//   quarry::PageFetch page = quarry::FetchPage(address, options);
//   if (!page.ok) show(page.reason);         // one line, ready to show
//   else parse(page.bytes);                  // warn when page.truncated

#ifndef QUARRY_WEB_PAGE_FETCH_H_
#define QUARRY_WEB_PAGE_FETCH_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quarry {

struct PageFetchOptions {
  // "HOST[:PORT]": every address goes through this proxy. nullopt: the
  // user's stored "Online" settings decide (UseProxy, ProxyServer,
  // ProxyPort), as for every retrieval of the program.
  std::optional<std::string> proxy;
  // Credentials for the single retry after a 401 or 407 answer (Basic
  // scheme) and for the FTP log-on. Used when both are non-empty; otherwise
  // the installed RetrievalUi may ask the user.
  std::string user_name;
  std::string password;
  // Called on the fetching thread with the fraction read so far (0.0
  // first, 1.0 last) when the server told the page's length; pages of
  // unknown length report nothing. May be empty.
  std::function<void(double fraction)> progress;
  // Set by another thread to stop the fetch (see WebRetrievalRequest::
  // cancel). Not owned; may be null.
  const std::atomic<bool>* cancel = nullptr;
};

// What a fetch brought back.
struct PageFetch {
  bool ok = false;
  bool cancelled = false;  // stopped through the cancel flag
  std::string bytes;       // the page as read, when ok
  bool truncated = false;  // the page was longer than `limit` and cut there
  int64_t limit = 0;       // the most bytes a page may have (MaxPageSize)
  std::string reason;      // why not, when !ok: one line, control bytes
                           // escaped and passwords masked
};

// The reason given while the shared offline switch is on: what is wrong and
// the command that puts it right.
inline constexpr char kOfflineReason[] =
    "Offline mode is on, so nothing is fetched from the network; switch it off with: "
    "ztreg set 'HKCU\\Software\\Zandor Tech\\Globals' OfflineMode --dword 0";
// The reason given when no network interface is up for a remote address.
inline constexpr char kNoNetworkReason[] = "No network connection is available";
// The reason given for an address Quarry cannot read.
inline constexpr char kUnsupportedAddressReason[] =
    "Only http://, https://, ftp:// and file:// addresses can be read";

// Fetches the page at `address` (http, https, ftp or file; see
// IsWebAddress) afresh: the whole page up to MaxPageSize() bytes, a longer
// one cut there (truncated). The offline switch stops every address but a
// file:// one at once, with kOfflineReason. Addresses on this machine
// (IsLocalAddress) are fetched without asking whether a network exists;
// others first need a network interface that is up. Blocks until the
// transfer ends; the connect, stall and whole-transfer limits of the
// retrieval bound it, and the cancel flag ends it early.
PageFetch FetchPage(const std::string& address, const PageFetchOptions& options);

// Why FetchPage would refuse `address` before reaching for it (an address
// it cannot read, the offline switch, no network for a remote address),
// with the reason FetchPage gives; "" when it would go ahead. Re-reads the
// offline switch. For other roads to a page that must keep the same rules.
std::string FetchRefusal(std::string_view address);

// A retrieval's multi-line reason as one line that keeps every word: a line
// ending in ':' or followed by one starting in lower case (a sentence
// broken for a message box) joins with a blank, other lines with "; ";
// blank lines and surrounding blanks go, and control bytes are escaped.
std::string OneLineReason(std::string_view text);

}  // namespace quarry

#endif  // QUARRY_WEB_PAGE_FETCH_H_
