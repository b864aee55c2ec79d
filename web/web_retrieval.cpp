#include "web/web_retrieval.h"

#include <cctype>
#include <cerrno>
#include <limits>
#include <memory>
#include <string>

#include "web/atomic_file.h"
#include "web/retrieval_steps.h"
#include "web/retrieval_ui.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

using web_internal::ResponseStream;

// Buffer for a file download whose length the server did not tell.
constexpr int64_t kUnknownLengthBuffer = 2000000;

bool IsHttpProtocol(int32_t protocol) {
  return protocol == kProtocolHttp || protocol == kProtocolHttpAlt;
}

bool FailOutOfMemory(WebRetrievalRequest* request) {
  request->success = 0;
  request->error_text = web_internal::ReadFailureText(SystemErrorText(ENOMEM));
  return false;
}

// Makes sure the buffer can take `length` bytes: reused when it fits,
// reallocated otherwise. Keeps the status of the open response.
bool SizeBufferFor(WebRetrievalRequest* request, int64_t length) {
  uint32_t status = request->status_code;
  bool ok;
  if (request->buffer != nullptr && length <= request->capacity) {
    ok = ClearBuffer(request);
  } else {
    ok = length <= std::numeric_limits<int32_t>::max() - 1 &&
         AllocateBuffer(request, static_cast<int32_t>(length));
  }
  request->status_code = status;
  return ok || FailOutOfMemory(request);
}

// Opens the HTTP(S) or file address and reads it into the buffer; with
// `for_file`, the buffer is first sized by the response's length.
bool FetchOverHttp(WebRetrievalRequest* request, bool for_file) {
  bool ask_time = request->last_modified == kAskLastModified;
  std::unique_ptr<ResponseStream> stream;
  if (!web_internal::OpenHttpRequest(request, &stream, true)) {
    if (ask_time) request->last_modified = 0;
    return false;
  }
  if (ask_time) request->last_modified = stream->LastModified();
  int64_t length = stream->ContentLength();
  if (for_file && !SizeBufferFor(request, length < 0 ? kUnknownLengthBuffer : length)) {
    return false;
  }
  bool progress = request->progress_bar != nullptr || request->progress_callback != nullptr;
  return web_internal::ReadResponse(request, stream.get(), progress ? length : -1);
}

// Runs an FTP download; returns the bytes downloaded or -1.
int64_t FetchOverFtp(WebRetrievalRequest* request) {
  if (request->port == 80) request->port = 21;
  web_internal::FtpConnection connection;
  if (!web_internal::OpenFtpConnection(request, &connection, true)) {
    if (request->last_modified == kAskLastModified) request->last_modified = 0;
    return -1;
  }
  return web_internal::FetchFtpFile(request, &connection);
}

bool FailUnknownProtocol(WebRetrievalRequest* request) {
  request->success = 0;
  request->error_text = web_internal::kInvalidVariablesText;
  return false;
}

int64_t FailWrite(WebRetrievalRequest* request, const std::string& reason) {
  request->success = 0;
  request->error_text = web_internal::kWriteFailedPrefix + reason;
  if (request->report_errors == 1) {
    if (RetrievalUi* ui = CurrentRetrievalUi()) ui->ShowMessage(request->error_text);
  }
  NotifyWindow* window = request->notify_window;
  if (window != nullptr && window->HasWindow()) {
    window->PostMessage(WM_DATAFILE_WRITE_FAILED, 0, 0);
  }
  return 0;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

bool RetrieveData(WebRetrievalRequest* request) {
  ReloadOfflineFlag();
  if (!web_internal::MayProceed(request, true)) return false;
  if (IsHttpProtocol(request->protocol)) return FetchOverHttp(request, false);
  if (request->protocol == kProtocolFtp) return FetchOverFtp(request) >= 0;
  return FailUnknownProtocol(request);
}

int64_t RetrieveToFile(WebRetrievalRequest* request) {
  ReloadOfflineFlag();
  if (!web_internal::MayProceed(request, true)) return 0;
  if (request->output_file.empty()) return FailWrite(request, "No file name was given");
  if (request->protocol == kProtocolFtp) {
    int64_t written = FetchOverFtp(request);
    if (written >= 0) return written;
    if (StartsWith(request->error_text, web_internal::kWriteFailedPrefix)) {
      return FailWrite(request,
                       request->error_text.substr(sizeof(web_internal::kWriteFailedPrefix) - 1));
    }
    return 0;
  }
  if (!IsHttpProtocol(request->protocol)) return FailUnknownProtocol(request);
  if (!FetchOverHttp(request, true)) return 0;
  web_internal::AtomicFileWriter writer(request->output_file);
  if (!writer.Write(request->buffer, static_cast<size_t>(request->bytes_received)) ||
      !writer.Commit()) {
    return FailWrite(request, writer.Reason());
  }
  return request->bytes_received;
}

int64_t QueryContentLength(WebRetrievalRequest* request) {
  ReloadOfflineFlag();
  if (!web_internal::MayProceed(request, false)) return -1;
  if (!IsHttpProtocol(request->protocol)) return -1;
  std::unique_ptr<ResponseStream> stream;
  if (!web_internal::OpenHttpRequest(request, &stream, request->report_errors == 1)) return -1;
  return stream->ContentLength();
}

bool RetrievePage(WebRetrievalRequest* request) {
  if (request == nullptr) return false;
  int32_t limit = MaxPageSize();
  if (!AllocateBuffer(request, limit)) return FailOutOfMemory(request);
  uint32_t cut = request->cut_at_capacity;
  request->cut_at_capacity = 1;
  bool ok = RetrieveData(request);
  request->cut_at_capacity = cut;
  return ok;
}

void SplitServerAndObject(int32_t protocol, const std::string& url, std::string* server,
                          std::string* object) {
  std::string rest = url;
  auto strip = [&rest](const char* scheme) {
    size_t n = std::char_traits<char>::length(scheme);
    if (rest.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
      if (std::tolower(static_cast<unsigned char>(rest[i])) != scheme[i]) return false;
    }
    rest.erase(0, n);
    return true;
  };
  if (IsHttpProtocol(protocol)) {
    if (!strip("http://")) strip("https://");
  } else if (protocol == kProtocolFtp) {
    strip("ftp://");
  } else {
    *server = url;
    *object = url;
    return;
  }
  size_t slash = rest.find('/');
  if (slash == std::string::npos) {
    *server = rest;
    *object = "/";
  } else {
    *server = rest.substr(0, slash);
    *object = rest.substr(slash + 1);
  }
}

}  // namespace quarry
