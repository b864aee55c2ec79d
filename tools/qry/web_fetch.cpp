#include "tools/qry/web_fetch.h"

#include <vector>

#include "platform/settings_store.h"
#include "tools/qry/printable.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry::qry {

namespace {

// True when `address` begins with `scheme` ("ftp://"), in any case.
bool HasScheme(const std::string& address, std::string_view scheme) {
  if (address.size() < scheme.size()) return false;
  for (size_t i = 0; i < scheme.size(); ++i) {
    char c = address[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != scheme[i]) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlank = " \t";
  const size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

}  // namespace

void ApplyProxy(const WebAccess& access, WebRetrievalRequest* request) {
  if (access.proxy) {
    request->use_proxy = 1;
    request->proxy_server = *access.proxy;
    return;
  }
  // Copied as one unit, as the program copies them into every request.
  const platform::SettingsStore& store = WebSettingsStore();
  request->use_proxy = store.GetDword(kOnlineKey, kUseProxyValue, 0);
  request->proxy_port = store.GetDword(kOnlineKey, kProxyPortValue, 80);
  request->proxy_server = store.GetString(kOnlineKey, kProxyServerValue, "");
}

bool FetchWebSource(const std::string& address, const WebAccess& access,
                    SourceText* out, std::string* error) {
  out->bytes.clear();
  out->truncated = false;
  out->limit = static_cast<std::size_t>(MaxPageSize());

  CWebDataRetrievalImp fresh;  // reloads the offline switch
  if (OfflineFlag() == 1 && !HasScheme(address, "file://")) {
    *error = kOfflineReason;
    return false;
  }

  WebRetrievalRequest request;
  request.url = address;
  request.protocol = HasScheme(address, "ftp://") ? kProtocolFtp : kProtocolHttp;
  ApplyProxy(access, &request);
  request.user_name = access.user_name;
  request.password = access.password;
  if (access.progress) {
    request.progress_callback = [&access](uint64_t, double fraction) {
      access.progress(fraction);
    };
  }
  if (!RetrievePage(&request) || request.success != 1) {
    *error = FlattenReason(request.error_text);
    if (error->empty()) error->assign("cannot fetch '" + DisplaySource(address) + "'");
    return false;
  }
  out->bytes.assign(request.buffer, static_cast<size_t>(request.bytes_received));
  out->truncated = request.truncated == 1;
  return true;
}

std::string FlattenReason(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  std::string flat;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      const char next = lines[i].front();
      const bool continues =
          flat.back() == ':' || (next >= 'a' && next <= 'z');
      flat += continues ? " " : "; ";
    }
    std::string line(lines[i]);
    for (char& c : line) {
      if (c == '\t') c = ' ';
    }
    flat += Printable(line);
  }
  return flat;
}

}  // namespace quarry::qry
