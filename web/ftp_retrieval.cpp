#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/ascii_text.h"
#include "platform/atomic_file.h"
#include "web/retrieval_error.h"
#include "web/retrieval_steps.h"

namespace quarry::web_internal {

namespace {

// Keeps the server's last reply line ("550 No such file") as this thread's
// last response, so that a refusal can be described in the server's words.
// libcurl also hands over header lines it makes up itself; those are not
// replies and are skipped.
size_t OnFtpReply(char* data, size_t size, size_t count, void*) {
  size_t bytes = size * count;
  if (bytes >= 4 && std::isdigit(static_cast<unsigned char>(data[0])) &&
      std::isdigit(static_cast<unsigned char>(data[1])) &&
      std::isdigit(static_cast<unsigned char>(data[2])) && (data[3] == ' ' || data[3] == '-')) {
    SetLastResponseInfo(std::string(data, bytes));
  }
  return bytes;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

struct MemorySink {
  std::string bytes;
  int64_t limit = 0;
  bool overflow = false;
};

size_t ToMemory(char* data, size_t size, size_t count, void* context) {
  auto* sink = static_cast<MemorySink*>(context);
  size_t bytes = size * count;
  if (static_cast<int64_t>(sink->bytes.size() + bytes) > sink->limit) {
    sink->overflow = true;
    return 0;  // aborts the transfer
  }
  sink->bytes.append(data, bytes);
  return bytes;
}

// A page read into the request's own buffer, cut at its capacity.
struct BufferSink {
  char* buffer = nullptr;
  int64_t capacity = 0;
  int64_t filled = 0;
  bool cut = false;
};

size_t ToBuffer(char* data, size_t size, size_t count, void* context) {
  auto* sink = static_cast<BufferSink*>(context);
  const size_t bytes = size * count;
  const int64_t room = sink->capacity - sink->filled;
  const size_t taken = static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(bytes)));
  std::memcpy(sink->buffer + sink->filled, data, taken);
  sink->filled += static_cast<int64_t>(taken);
  if (taken < bytes) {
    sink->cut = true;
    return 0;  // the rest is not wanted: aborts the transfer
  }
  return bytes;
}

struct FileSink {
  platform::AtomicFileWriter* writer;
  int64_t written = 0;
};

size_t ToFile(char* data, size_t size, size_t count, void* context) {
  auto* sink = static_cast<FileSink*>(context);
  size_t bytes = size * count;
  if (!sink->writer->Write(std::string_view(data, bytes))) return 0;
  sink->written += static_cast<int64_t>(bytes);
  return bytes;
}

TransferFailure CurlFailure(CURLcode result, const char* error_buffer) {
  return DescribeCurlFailure(result, std::string(Trimmed(error_buffer)));
}

}  // namespace

FtpConnection::FtpConnection() { error_buffer[0] = '\0'; }

FtpConnection::~FtpConnection() {
  if (easy != nullptr) curl_easy_cleanup(easy);
}

bool OpenFtpConnection(WebRetrievalRequest* request, FtpConnection* connection, bool report) {
  if (request == nullptr) return false;
  if (connection == nullptr || connection->easy != nullptr) {
    request->error_text = kInvalidVariablesText;
    request->success = 0;
    return false;
  }
  EnsureCurlInitialised();
  SetLastResponseInfo("");
  TransferFailure failure;
  if (PrepareUrl(request->url, {"ftp"}, request->port, 21, &connection->url, &failure)) {
    connection->easy = curl_easy_init();
    if (connection->easy == nullptr) {
      failure = DescribeCurlFailure(CURLE_OUT_OF_MEMORY, "");
    } else {
      CURL* easy = connection->easy;
      ApplyCommonOptions(easy, *request, connection->error_buffer);
      curl_easy_setopt(easy, CURLOPT_URL, connection->url.c_str());
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
      // Without a user name the server is asked for anonymous access.
      if (!request->user_name.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, request->user_name.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, request->password.c_str());
      }
      // Passive mode: the server opens no connection back to us, so the
      // transfer works from behind NAT and firewalls.
      curl_easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 1L);
      curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnFtpReply);
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &DiscardBody);
      // Finding the file: its size and time, without fetching it. Some
      // servers answer SIZE only in binary mode, so look in binary mode.
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
      curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
      CURLcode result = curl_easy_perform(easy);
      if (result == CURLE_OK) {
        curl_off_t size = -1;
        curl_off_t when = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &when);
        connection->size = size < 0 ? -1 : static_cast<int64_t>(size);
        connection->modified = when < 0 ? 0 : static_cast<int64_t>(when);
        request->success = 1;
        return true;
      }
      failure = CurlFailure(result, connection->error_buffer);
      curl_easy_cleanup(easy);
      connection->easy = nullptr;
    }
  }
  request->status_code = failure.code;
  request->success = 0;
  request->error_text = FailureText(failure.reason, failure.code);
  if (report) NotifyRetrievalFailed(request);
  return false;
}

int64_t FetchFtpFile(WebRetrievalRequest* request, FtpConnection* connection) {
  if (request == nullptr) return -1;
  request->success = 0;
  if (connection == nullptr || connection->easy == nullptr) {
    request->error_text = kInvalidVariablesText;
    return -1;
  }
  CURL* easy = connection->easy;
  curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 0L);
  bool binary = (request->internet_flags & kInternetFlagTransferBinary) != 0;
  curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, binary ? 0L : 1L);

  CURLcode result;
  int64_t received = 0;
  if (!request->output_file.empty()) {
    platform::AtomicFileWriter writer(request->output_file);
    if (!writer.ok()) {
      request->error_text = kWriteFailedPrefix + writer.Reason();
      request->status_code = static_cast<uint32_t>(writer.error());
      return -1;
    }
    FileSink sink{&writer};
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &ToFile);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    result = curl_easy_perform(easy);
    if (result == CURLE_WRITE_ERROR || (result == CURLE_OK && !writer.Commit())) {
      request->error_text = kWriteFailedPrefix + writer.Reason();
      request->status_code = static_cast<uint32_t>(writer.error());
      return -1;
    }
    received = sink.written;
    request->bytes_received = 0;
  } else if (request->cut_at_capacity == 1 && request->buffer != nullptr &&
             request->capacity >= 0) {
    // A page: the most it may have is the buffer's capacity; the rest is
    // not fetched.
    BufferSink sink{request->buffer, request->capacity};
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &ToBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    result = curl_easy_perform(easy);
    if (sink.cut && result == CURLE_WRITE_ERROR) result = CURLE_OK;
    if (result == CURLE_OK) {
      if (sink.filled == 0) {
        request->error_text = kNoDataText;
        return -1;
      }
      request->buffer[sink.filled] = '\0';
      request->bytes_received = static_cast<int32_t>(sink.filled);
      request->truncated = sink.cut ? 1 : 0;
      received = sink.filled;
    }
  } else {
    MemorySink sink;
    sink.limit = std::numeric_limits<int32_t>::max() - 1;
    if (connection->size > 0 && connection->size <= sink.limit) {
      sink.bytes.reserve(static_cast<size_t>(connection->size));
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &ToMemory);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    result = curl_easy_perform(easy);
    if (sink.overflow) {
      request->error_text = kOverflowText;
      return -1;
    }
    if (result == CURLE_OK) {
      int32_t length = static_cast<int32_t>(sink.bytes.size());
      if (!AllocateBuffer(request, length)) {
        request->error_text = ReadFailureText(SystemErrorText(ENOMEM));
        return -1;
      }
      if (length > 0) std::memcpy(request->buffer, sink.bytes.data(), sink.bytes.size());
      request->bytes_received = length;
      received = length;
    }
  }
  if (result != CURLE_OK) {
    TransferFailure failure = CurlFailure(result, connection->error_buffer);
    request->status_code = failure.code;
    request->error_text = FailureText(failure.reason, failure.code);
    return -1;
  }
  if (request->last_modified == kAskLastModified) request->last_modified = connection->modified;
  request->success = 1;
  return received;
}

}  // namespace quarry::web_internal
