// Fetching a page from a web address for qry, through the web retrieval
// library, the way the results view fetches a page before it parses it.

#ifndef QUARRY_TOOLS_QRY_WEB_FETCH_H_
#define QUARRY_TOOLS_QRY_WEB_FETCH_H_

#include <string>
#include <string_view>

#include "tools/qry/source.h"
#include "web/retrieval_request.h"

namespace quarry::qry {

// Where the user's stored proxy settings live, as the program keeps them.
inline constexpr char kOnlineKey[] = "Software\\Zandor Tech\\Quarry\\Online";
inline constexpr char kUseProxyValue[] = "UseProxy";
inline constexpr char kProxyServerValue[] = "ProxyServer";
inline constexpr char kProxyPortValue[] = "ProxyPort";

// The reason given when the offline switch stops a fetch: what is wrong and
// the command that puts it right.
inline constexpr char kOfflineReason[] =
    "offline mode is on; switch it off with: "
    "ztreg set 'HKCU\\Software\\Zandor Tech\\Globals' OfflineMode --dword 0";

// Fetches the page at `address` (see IsWebAddress) into `*out`: RetrievePage
// under a freshly created CWebDataRetrievalImp, protocol 2 for ftp:// and 0
// otherwise, the whole page up to MaxPageSize() with a longer one cut there
// (out->truncated). While the offline switch is on, any address but a
// file:// one fails at once with kOfflineReason and nothing is sent.
// Returns false with the retrieval's reason made one line (FlattenReason) in
// `*error`; `*out` is then empty. Blocks until the transfer ends; the
// library's connect and stall time-outs bound it.
bool FetchWebSource(const std::string& address, const WebAccess& access,
                    SourceText* out, std::string* error);

// Fills the request's three proxy fields: from access.proxy when given
// (use proxy = 1, the text as the proxy server, the port field left at its
// default), else from the stored "Online" settings (UseProxy, ProxyServer,
// ProxyPort; defaults 0, empty, 80) of the store the retrieval code uses.
void ApplyProxy(const WebAccess& access, WebRetrievalRequest* request);

// A retrieval's multi-line reason as one line that keeps every word: a line
// ending in ':' or followed by one starting in lower case (a sentence
// broken for a message box) joins with a blank, other lines with "; ";
// blank lines and surrounding blanks go, and control characters are
// escaped (Printable).
std::string FlattenReason(std::string_view text);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_WEB_FETCH_H_
