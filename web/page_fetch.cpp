#include "web/page_fetch.h"

#include <vector>

#include "platform/ascii_text.h"
#include "platform/settings_store.h"
#include "web/curl_support.h"
#include "web/offline_state.h"
#include "web/web_address.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

void ApplyProxy(const PageFetchOptions& options, WebRetrievalRequest* request) {
  if (options.proxy) {
    request->use_proxy = 1;
    request->proxy_server = *options.proxy;
    return;
  }
  // Copied as one unit, as the program copies them into every request.
  const platform::SettingsStore& store = WebSettingsStore();
  request->use_proxy = store.GetDword(kOnlineKey, kUseProxyValue, 0);
  request->proxy_port = store.GetDword(kOnlineKey, kProxyPortValue, 80);
  request->proxy_server = store.GetString(kOnlineKey, kProxyServerValue, "");
}

}  // namespace

std::string FetchRefusal(std::string_view address) {
  CWebDataRetrievalImp fresh;  // reloads the offline switch
  const std::string_view trimmed = Trimmed(address);
  if (!IsWebAddress(trimmed)) return kUnsupportedAddressReason;
  if (OfflineFlag() == 1 && !StartsWithNoCase(trimmed, "file://")) return kOfflineReason;
  // A machine without a network can still read its own files and servers.
  if (!IsLocalAddress(trimmed) && InternetAttemptConnect() != 0) return kNoNetworkReason;
  return {};
}

PageFetch FetchPage(const std::string& address, const PageFetchOptions& options) {
  PageFetch page;
  page.limit = MaxPageSize();
  const std::string_view trimmed = Trimmed(address);
  page.reason = FetchRefusal(trimmed);
  if (!page.reason.empty()) return page;

  WebRetrievalRequest request;
  request.url = std::string(trimmed);
  request.protocol = ProtocolForAddress(trimmed);
  ApplyProxy(options, &request);
  request.user_name = options.user_name;
  request.password = options.password;
  request.cancel = options.cancel;
  if (options.progress) {
    request.progress_callback = [&options](uint64_t, double fraction) {
      options.progress(fraction);
    };
  }
  if (!RetrievePage(&request) || request.success != 1) {
    page.cancelled = options.cancel != nullptr && options.cancel->load();
    page.reason = page.cancelled ? std::string("Stopped") : OneLineReason(request.error_text);
    if (page.reason.empty()) page.reason = "The page at " + DisplayAddress(trimmed) +
                                           " could not be read";
    return page;
  }
  page.ok = true;
  page.truncated = request.truncated == 1;
  page.bytes.assign(request.buffer, static_cast<size_t>(request.bytes_received));
  return page;
}

std::string OneLineReason(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trimmed(text.substr(start, end - start), " \t");
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  std::string flat;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      const char next = lines[i].front();
      const bool continues = flat.back() == ':' || (next >= 'a' && next <= 'z');
      flat += continues ? " " : "; ";
    }
    std::string line(lines[i]);
    for (char& c : line) {
      if (c == '\t') c = ' ';
    }
    flat += EscapeControlBytes(line);
  }
  return flat;
}

}  // namespace quarry
