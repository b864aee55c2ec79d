#include "updater/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

namespace quarry {

namespace fs = std::filesystem;

bool DeleteWithRetries(const std::string& path, int attempts,
                       std::chrono::milliseconds pause) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (attempt > 0) {
      std::this_thread::sleep_for(pause);
      struct stat info{};
      if (::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        (void)::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR);
      }
    }
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  }
  return false;
}

std::optional<mode_t> FileMode(const std::string& path) {
  struct stat info{};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return info.st_mode & 07777;
}

bool CopyFileWhole(const std::string& from, const std::string& to, mode_t mode,
                   std::string* reason) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    if (reason != nullptr) {
      *reason = std::string(std::strerror(errno)) + ": '" + EscapeControlBytes(from) + "'";
    }
    return false;
  }
  platform::AtomicFileWriter out(to);
  out.SetMode(mode);
  std::vector<char> chunk(256 * 1024);
  bool read_ok = true;
  while (out.ok()) {
    const ssize_t n = ::read(in, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      read_ok = false;
      if (reason != nullptr) {
        *reason = std::string(std::strerror(errno)) + ": '" + EscapeControlBytes(from) + "'";
      }
      break;
    }
    if (n == 0) break;
    if (!out.Write(std::string_view(chunk.data(), static_cast<size_t>(n)))) break;
  }
  ::close(in);
  if (!read_ok) return false;  // the writer removes its temporary file
  if (out.Commit()) return true;
  if (reason != nullptr) *reason = out.Reason();
  return false;
}

bool RemoveFolderWithFiles(const std::string& folder, std::chrono::milliseconds pause) {
  std::error_code ec;
  if (!fs::exists(folder, ec)) return true;
  std::vector<std::string> files;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    files.push_back(it->path().string());
  }
  for (const std::string& file : files) {
    std::error_code kind;
    if (fs::is_directory(fs::symlink_status(file, kind))) {
      fs::remove_all(file, kind);  // nothing of ours nests, but leave no trace
    } else {
      DeleteWithRetries(file);
    }
  }
  std::this_thread::sleep_for(pause);
  fs::remove(folder, ec);
  return !fs::exists(folder, ec);
}

}  // namespace quarry
