#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/ascii_text.h"
#include "web/response_stream.h"

namespace quarry::web_internal {

namespace {

// The realm of a "WWW-Authenticate: Basic realm="Staff"" header's value;
// "" when it names none. Only the first realm counts.
std::string RealmOf(std::string_view value) {
  const std::string lowered = AsciiLowered(value);
  const size_t at = lowered.find("realm=");
  if (at == std::string::npos) return {};
  std::string_view rest = value.substr(at + 6);
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    return std::string(rest.substr(0, rest.find('"')));
  }
  return std::string(Trimmed(rest.substr(0, rest.find_first_of(", \r\n"))));
}

// How long one wait for socket activity may last; libcurl's own time-outs
// are checked each time it wakes.
constexpr int kPollMs = 100;

}  // namespace

HttpTransfer::HttpTransfer() {
  EnsureCurlInitialised();
  error_buffer_[0] = '\0';
  easy_ = curl_easy_init();
  multi_ = curl_multi_init();
}

HttpTransfer::~HttpTransfer() {
  if (started_) curl_multi_remove_handle(multi_, easy_);
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
  curl_slist_free_all(headers_);
  curl_slist_free_all(proxy_headers_);
}

void HttpTransfer::AddHeader(const std::string& line) {
  curl_slist* grown = curl_slist_append(headers_, line.c_str());
  if (grown != nullptr) headers_ = grown;
}

void HttpTransfer::AddProxyHeader(const std::string& line) {
  curl_slist* grown = curl_slist_append(proxy_headers_, line.c_str());
  if (grown != nullptr) proxy_headers_ = grown;
}

bool HttpTransfer::Start() {
  if (easy_ == nullptr || multi_ == nullptr || started_) {
    failed_ = true;
    done_ = true;
    failure_ = DescribeCurlFailure(CURLE_FAILED_INIT, "");
    return false;
  }
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  // A proxy tunnel's own answer is not the page's response.
  curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (headers_ != nullptr) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
  if (proxy_headers_ != nullptr) {
    curl_easy_setopt(easy_, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
    curl_easy_setopt(easy_, CURLOPT_PROXYHEADER, proxy_headers_);
  }
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
    Finish(CURLE_FAILED_INIT);
    return false;
  }
  started_ = true;
  Pump([this] { return headers_done_; });
  return headers_done_;
}

long HttpTransfer::Status() const {
  long status = 0;
  if (easy_ != nullptr) curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

long HttpTransfer::ProxyStatus() const {
  long status = 0;
  if (easy_ != nullptr) curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &status);
  return status;
}

int64_t HttpTransfer::Read(char* dst, int64_t count) {
  if (count <= 0) return 0;
  if (!started_) return -1;
  size_t wanted = static_cast<size_t>(count);
  Pump([this, wanted] { return pending_.size() - pending_offset_ >= wanted; });
  size_t available = pending_.size() - pending_offset_;
  if (available == 0) return failed_ ? -1 : 0;
  size_t n = std::min(available, wanted);
  std::memcpy(dst, pending_.data() + pending_offset_, n);
  pending_offset_ += n;
  if (pending_offset_ == pending_.size()) {
    pending_.clear();
    pending_offset_ = 0;
  }
  return static_cast<int64_t>(n);
}

bool HttpTransfer::Alive() const { return started_ && !failed_; }

int64_t HttpTransfer::ContentLength() const {
  curl_off_t length = -1;
  if (easy_ != nullptr) curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  return length < 0 ? -1 : static_cast<int64_t>(length);
}

int64_t HttpTransfer::LastModified() const {
  curl_off_t when = -1;
  if (easy_ != nullptr) curl_easy_getinfo(easy_, CURLINFO_FILETIME_T, &when);
  return when < 0 ? 0 : static_cast<int64_t>(when);
}

size_t HttpTransfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<HttpTransfer*>(self);
  size_t bytes = size * count;
  std::string_view line(data, bytes);
  if (StartsWithNoCase(line, "http/")) {
    transfer->block_has_location_ = false;
  } else if (StartsWithNoCase(line, "location:")) {
    transfer->block_has_location_ = true;
  } else if (transfer->realm_.empty() && (StartsWithNoCase(line, "www-authenticate:") ||
                                          StartsWithNoCase(line, "proxy-authenticate:"))) {
    transfer->realm_ = RealmOf(line.substr(line.find(':') + 1));
  } else if (line == "\r\n" || line == "\n") {
    // End of one response's headers. Informational answers and redirects
    // that libcurl goes on to follow are not the final response.
    long status = transfer->Status();
    bool redirect = status >= 300 && status < 400 && transfer->block_has_location_;
    if (status >= 200 && !redirect) transfer->headers_done_ = true;
  }
  return bytes;
}

size_t HttpTransfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<HttpTransfer*>(self);
  size_t bytes = size * count;
  transfer->pending_.append(data, bytes);
  transfer->headers_done_ = true;
  return bytes;
}

template <typename Ready>
void HttpTransfer::Pump(Ready ready) {
  while (!done_ && !ready()) {
    if (cancel_ != nullptr && cancel_->load()) {
      Finish(CURLE_ABORTED_BY_CALLBACK);
      break;
    }
    if (pending_offset_ > 0) {
      // Keep only unread bytes so the backlog stays bounded by one read.
      pending_.erase(0, pending_offset_);
      pending_offset_ = 0;
    }
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      Finish(CURLE_FAILED_INIT);
      break;
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg == CURLMSG_DONE) Finish(message->data.result);
    }
    if (done_ || ready()) break;
    curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
  }
}

void HttpTransfer::Finish(CURLcode result) {
  done_ = true;
  if (result == CURLE_OK) {
    headers_done_ = true;
    return;
  }
  failed_ = true;
  failure_ = DescribeCurlFailure(result, std::string(Trimmed(error_buffer_)));
}

}  // namespace quarry::web_internal
