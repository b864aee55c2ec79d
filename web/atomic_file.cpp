#include "web/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "web/retrieval_error.h"

namespace quarry::web_internal {

namespace {
std::atomic<unsigned> g_sequence{0};
}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {
  if (path_.empty()) {
    error_ = ENOENT;
    return;
  }
  // Unique per process and call, so concurrent downloads never share one.
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_path_ = path_ + ".part-" + std::to_string(::getpid()) + "-" +
                 std::to_string(g_sequence.fetch_add(1));
    // Mode 0666 less the umask, as for any file the user's programs create.
    fd_ = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = errno;
    temp_path_.clear();
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
}

bool AtomicFileWriter::Write(const char* data, size_t size) {
  if (fd_ < 0 || error_ != 0) return false;
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0 || error_ != 0) return false;
  if (::fsync(fd_) != 0) error_ = errno;
  if (::close(fd_) != 0 && error_ == 0) error_ = errno;
  fd_ = -1;
  if (error_ != 0) return false;
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    error_ = errno;
    return false;
  }
  committed_ = true;
  return true;
}

std::string AtomicFileWriter::Reason() const {
  std::string text = SystemErrorText(static_cast<uint32_t>(error_));
  if (text.empty()) text = DescribeRetrievalError(kErrorKindFile, 1);
  return text + " (" + path_ + ")";
}

}  // namespace quarry::web_internal
