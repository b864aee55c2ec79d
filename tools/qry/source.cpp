#include "tools/qry/source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quarry::qry {

namespace {

// Closes the descriptor on every way out of ReadSource.
class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { ::close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

std::string Reason(const std::string& source, int err) {
  return "cannot read '" + source + "': " + std::strerror(err);
}

}  // namespace

bool ReadSource(const std::string& source, SourceText* out, std::string* error,
                std::size_t limit) {
  out->bytes.clear();
  out->truncated = false;
  // Plain POSIX reads rather than a stream: a directory or a device error
  // must surface as a reason, not as an empty page.
  int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason(source, errno);
    return false;
  }
  FileCloser closer(fd);

  // One byte past the limit tells a page of exactly `limit` bytes from a
  // longer one without reading the rest of a huge file.
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  const std::size_t want = limit + 1;
  while (out->bytes.size() < want) {
    const std::size_t have = out->bytes.size();
    const std::size_t step = std::min(kChunk, want - have);
    out->bytes.resize(have + step);
    ssize_t got = ::read(fd, out->bytes.data() + have, step);
    if (got < 0) {
      if (errno == EINTR) {
        out->bytes.resize(have);
        continue;
      }
      const int err = errno;
      out->bytes.clear();
      *error = Reason(source, err);
      return false;
    }
    out->bytes.resize(have + static_cast<std::size_t>(got));
    if (got == 0) break;
  }
  if (out->bytes.size() > limit) {
    out->bytes.resize(limit);
    out->truncated = true;
  }
  return true;
}

}  // namespace quarry::qry
