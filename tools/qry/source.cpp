#include "tools/qry/source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "platform/ascii_text.h"

namespace quarry::qry {

namespace {

// Closes the descriptor on every way out of ReadFileSource.
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
  return "cannot read '" + DisplaySource(source) + "': " + std::strerror(err);
}

}  // namespace

std::size_t PageSizeLimit() { return static_cast<std::size_t>(MaxPageSize()); }

bool ReadSource(const std::string& source, const WebAccess& access,
                SourceText* out, std::string* error) {
  if (!IsWebAddress(source)) return ReadFileSource(source, out, error, PageSizeLimit());
  PageFetch page = FetchPage(source, access);
  out->limit = static_cast<std::size_t>(page.limit);
  out->truncated = page.truncated;
  out->bytes = std::move(page.bytes);
  if (!page.ok) *error = std::move(page.reason);
  return page.ok;
}

bool ReadFileSource(const std::string& path, SourceText* out,
                    std::string* error, std::size_t limit) {
  out->bytes.clear();
  out->truncated = false;
  out->limit = limit;
  // Plain POSIX reads rather than a stream: a directory or a device error
  // must surface as a reason, not as an empty page. Opened without waiting,
  // so that a pipe with no writer cannot block the open itself.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    *error = Reason(path, errno);
    return false;
  }
  FileCloser closer(fd);
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    *error = Reason(path, errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "cannot read '" + DisplaySource(path) + "': " +
             (S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file");
    return false;
  }

  // One byte past the limit tells a page of exactly `limit` bytes from a
  // longer one without reading the rest of a huge file.
  // The file's size, as it stood, is room for the bytes read straight into
  // place: a page is not copied and cleared again at every doubling of a
  // growing string. A file that grows meanwhile is read on in chunks.
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  const std::size_t want = limit + 1;
  const std::size_t expected =
      std::min(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)), limit) + 1;
  out->bytes.reserve(expected);
  while (out->bytes.size() < want) {
    const std::size_t have = out->bytes.size();
    const std::size_t step = std::min(have < expected ? expected - have : kChunk, want - have);
    out->bytes.resize(have + step);
    ssize_t got = ::read(fd, out->bytes.data() + have, step);
    if (got < 0) {
      if (errno == EINTR) {
        out->bytes.resize(have);
        continue;
      }
      const int err = errno;
      out->bytes.clear();
      *error = Reason(path, err);
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

std::string DisplaySource(const std::string& source) { return DisplayAddress(source); }

std::string DescribeSize(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024, kMiB = kKiB * 1024;
  if (bytes > 0 && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  if (bytes > 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace quarry::qry
