#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/ascii_text.h"
#include "web/curl_support.h"
#include "web/retrieval_steps.h"
#include "web/usage_query.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

std::string Trim(std::string_view text) { return std::string(Trimmed(text)); }

// The address of the page the frame set names, resolved against the frame
// set's own address; "" when the frame set names none.
std::string FrameSource(const std::string& page, const std::string& base) {
  static constexpr std::string_view kStart = "frame src=\"";
  static constexpr std::string_view kEnd = "\" name=";
  std::string lower = AsciiLowered(page);
  size_t start = lower.find(kStart);
  if (start == std::string::npos) return {};
  start += kStart.size();
  size_t end = lower.find(kEnd, start);
  if (end == std::string::npos) return {};
  std::string source = Trim(std::string_view(page).substr(start, end - start));
  if (source.empty()) return {};
  web_internal::EnsureCurlInitialised();
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return source;
  char* resolved = nullptr;
  if (curl_url_set(parsed, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(parsed, CURLUPART_URL, source.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_URL, &resolved, 0) == CURLUE_OK) {
    source = resolved;
  }
  curl_free(resolved);
  curl_url_cleanup(parsed);
  return source;
}

// Splits "host[:port]/path" (or with "\\") into the request's server text,
// port and object path. Full addresses are left whole.
void TakeServerText(WebRetrievalRequest* request) {
  std::string text = request->server_text;
  if (text.empty() || ContainsNoCase(text, "http://") || ContainsNoCase(text, "https://")) return;
  size_t separator = text.find('/');
  if (separator == std::string::npos) separator = text.find('\\');
  std::string head = text.substr(0, separator);
  std::string path;
  if (separator != std::string::npos) {
    size_t start = text.find_first_not_of("/\\", separator);
    if (start != std::string::npos) path = text.substr(start);
  }
  // Only a colon in the host part names a port; one in the path does not.
  size_t colon = head.find(':');
  if (colon != std::string::npos) {
    request->port = static_cast<uint32_t>(std::atoi(head.c_str() + colon + 1));
    head.erase(colon);
  }
  request->server_text = head;
  request->object_path = path;
}

std::string AddressListQuery(const std::string& page, const WebRetrievalRequest& request) {
  FeedbackRecord record;
  record.version_number = request.query_version;
  record.send_version = request.query_version > 0.0;
  record.send_processors_given = request.query_count != -1;
  record.send_identity = request.query_int != -1;
  UsageIdentity identity{request.query_text, request.query_int, request.query_count};
  std::string pairs = BuildUsageQuery(record, identity, nullptr).text;
  std::string address = page + "?ip=" + std::to_string(request.address_list_index);
  if (!pairs.empty()) address += "&" + pairs;
  return address;
}

}  // namespace

bool LookupServerAddress(WebRetrievalRequest* request) {
  if (request == nullptr) return false;
  ReloadOfflineFlag();
  if (request->url.empty()) request->url = " ";
  if (!web_internal::MayProceed(request, false)) return false;
  request->object_path.clear();
  // A text left from an earlier lookup must not pass for this one's answer.
  request->server_text.clear();
  bool have_buffer = request->buffer != nullptr && request->capacity > 255
                         ? ClearBuffer(request)
                         : AllocateBuffer(request, 256);
  if (!have_buffer) {
    request->error_text = web_internal::ReadFailureText(SystemErrorText(ENOMEM));
    return false;
  }

  request->url = AddressListQuery(AddressListPage(), *request);
  bool ok = RetrieveData(request);
  if (!ok) {
    if (!ClearBuffer(request)) return false;
    request->url = AddressListQuery(LegacyAddressListPage(), *request);
    ok = RetrieveData(request);
  }
  if (ok && request->bytes_received > 0) {
    request->server_text = Trim(std::string_view(request->buffer, request->bytes_received));
  }

  if (ContainsNoCase(request->server_text, "frame src")) {
    std::string source = FrameSource(request->server_text, request->url);
    if (source.empty() || !ClearBuffer(request)) {
      request->success = 0;
      return false;
    }
    request->url = source;
    if (RetrieveData(request)) {
      request->server_text = Trim(std::string_view(request->buffer, request->bytes_received));
    }
  }

  request->url = request->server_text;
  request->port = 80;
  TakeServerText(request);
  bool found = !request->server_text.empty() &&
               !ContainsNoCase(request->server_text, "frame src");
  request->success = found ? 1 : 0;
  return found;
}

}  // namespace quarry
