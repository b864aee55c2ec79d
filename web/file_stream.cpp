#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ascii_text.h"
#include "web/response_stream.h"
#include "web/web_address.h"
#include "web/retrieval_error.h"

namespace quarry::web_internal {

bool IsFileUrl(const std::string& url) { return StartsWithNoCase(url, "file://"); }

std::string FileUrlToPath(const std::string& url) {
  if (!IsFileUrl(url)) return {};
  EnsureCurlInitialised();
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return {};
  std::string path;
  char* text = nullptr;
  // The URL parser accepts only this machine ("", "localhost") as host and
  // refuses decoded NULs, which would cut the path short. Typed addresses
  // often carry blanks unescaped.
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_ALLOW_SPACE) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PATH, &text, CURLU_URLDECODE) == CURLUE_OK &&
      text != nullptr) {
    path = text;
  }
  curl_free(text);
  curl_url_cleanup(parsed);
  return path;
}

FileStream::FileStream(const std::string& url) {
  path_ = FileUrlToPath(url);
  if (path_.empty()) {
    failed_ = true;
    failure_.code = kErrorInternetInvalidUrl;
    failure_.reason =
        "The address does not name a file on this computer (" + DisplayAddress(url) + ")";
    return;
  }
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    Fail(errno);
    return;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    int error = errno;
    ::close(fd);
    Fail(error);
    return;
  }
  // Only plain files: a directory has no bytes and a pipe or device could
  // block or never end.
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    failed_ = true;
    failure_.code = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    failure_.reason = "'" + EscapeControlBytes(path_) +
                      (S_ISDIR(info.st_mode) ? "' is a folder" : "' is not a regular file");
    return;
  }
  fd_ = fd;
  size_ = static_cast<int64_t>(info.st_size);
  mtime_ = static_cast<int64_t>(info.st_mtime);
}

FileStream::~FileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t FileStream::Read(char* dst, int64_t count) {
  if (fd_ < 0 || failed_) return -1;
  int64_t total = 0;
  while (total < count) {
    ssize_t n = ::read(fd_, dst + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return total > 0 ? total : -1;
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

void FileStream::Fail(int error) {
  failed_ = true;
  failure_.code = static_cast<uint32_t>(error);
  std::string text = SystemErrorText(static_cast<uint32_t>(error));
  if (text.empty()) text = DescribeRetrievalError(kErrorKindFile, 1);
  failure_.reason = text + ": '" + EscapeControlBytes(path_) + "'";
}

}  // namespace quarry::web_internal
