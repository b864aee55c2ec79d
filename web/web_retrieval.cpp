#include "web/web_retrieval.h"

#include <cctype>
#include <cerrno>
#include <limits>
#include <memory>
#include <string>

#include "platform/atomic_file.h"
#include "platform/ascii_text.h"
#include "web/retrieval_steps.h"
#include "web/retrieval_ui.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

using web_internal::ResponseStream;

bool IsHttpProtocol(int32_t protocol) {
  return protocol == kProtocolHttp || protocol == kProtocolHttpAlt;
}

bool FailOutOfMemory(WebRetrievalRequest* request) {
  request->success = 0;
  request->error_text = web_internal::ReadFailureText(SystemErrorText(ENOMEM));
  return false;
}

bool WantsProgress(const WebRetrievalRequest& request) {
  return request.progress_bar != nullptr || request.progress_callback != nullptr;
}

// Opens the HTTP(S) or file address and reads it into the buffer.
bool FetchOverHttp(WebRetrievalRequest* request) {
  bool ask_time = request->last_modified == kAskLastModified;
  std::unique_ptr<ResponseStream> stream;
  if (!web_internal::OpenHttpRequest(request, &stream, true)) {
    if (ask_time) request->last_modified = 0;
    return false;
  }
  if (ask_time) request->last_modified = stream->LastModified();
  return web_internal::ReadResponse(request, stream.get(),
                                    WantsProgress(*request) ? stream->ContentLength() : -1);
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

// Tells the progress bar and callback how far a download to a file is.
void ReportFileProgress(WebRetrievalRequest* request, int64_t done, int64_t length) {
  if (length <= 0) return;
  if (request->progress_bar != nullptr) {
    request->progress_bar->SetPos(static_cast<int>(std::min<int64_t>(done, length) * 10 / length));
  }
  if (request->progress_callback) {
    request->progress_callback(request->progress_cookie,
                               static_cast<double>(done) / static_cast<double>(length));
  }
}

// Streams the open response into the output file as it arrives, so that a
// download of any size needs only one chunk of memory. The file is
// replaced only when the whole body came in.
int64_t StreamToFile(WebRetrievalRequest* request, ResponseStream* stream) {
  platform::AtomicFileWriter file(request->output_file);
  if (!file.ok()) return FailWrite(request, file.Reason());
  const int64_t length = stream->ContentLength();
  if (request->progress_bar != nullptr) {
    request->progress_bar->SetRange(0, 10);
    request->progress_bar->SetPos(0);
  }
  if (request->progress_callback && length > 0) {
    request->progress_callback(request->progress_cookie, 0.0);
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::unique_ptr<char[]> chunk(new char[kChunk]);
  int64_t total = 0;
  while (true) {
    const int64_t n = stream->Read(chunk.get(), kChunk);
    if (n < 0) {
      const web_internal::TransferFailure& failure = stream->failure();
      if (request->status_code == 0 || request->status_code == 200) {
        request->status_code = failure.code != 0 ? failure.code : 410;
      }
      request->success = 0;
      request->error_text = web_internal::ReadFailureText(
          failure.reason.empty() ? std::string(web_internal::kStreamClosedReason)
                                 : failure.reason);
      return 0;
    }
    if (n == 0) break;
    if (!file.Write(std::string_view(chunk.get(), static_cast<size_t>(n)))) {
      return FailWrite(request, file.Reason());
    }
    total += n;
    ReportFileProgress(request, total, length);
  }
  if (total == 0) {
    request->success = 0;
    request->error_text = web_internal::kNoDataText;
    return 0;
  }
  if (!file.Commit()) return FailWrite(request, file.Reason());
  request->success = 1;
  return total;
}

}  // namespace

bool RetrieveData(WebRetrievalRequest* request) {
  ReloadOfflineFlag();
  if (!web_internal::MayProceed(request, true)) return false;
  if (IsHttpProtocol(request->protocol)) return FetchOverHttp(request);
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
    if (request->error_text.starts_with(web_internal::kWriteFailedPrefix)) {
      return FailWrite(request,
                       request->error_text.substr(sizeof(web_internal::kWriteFailedPrefix) - 1));
    }
    return 0;
  }
  if (!IsHttpProtocol(request->protocol)) return FailUnknownProtocol(request);
  request->bytes_received = 0;
  const bool ask_time = request->last_modified == kAskLastModified;
  std::unique_ptr<ResponseStream> stream;
  if (!web_internal::OpenHttpRequest(request, &stream, true)) {
    if (ask_time) request->last_modified = 0;
    return 0;
  }
  if (ask_time) request->last_modified = stream->LastModified();
  return StreamToFile(request, stream.get());
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
  auto strip = [&rest](std::string_view scheme) {
    if (!StartsWithNoCase(rest, scheme)) return false;
    rest.erase(0, scheme.size());
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
