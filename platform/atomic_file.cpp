#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/ascii_text.h"

namespace quarry::platform {

namespace {

// Follows symbolic links to the file they end at, as the kernel would (at
// most 40 links). Returns false with an errno value when the chain loops
// or cannot be read.
bool ResolveLinks(const std::string& path, std::string* target, int* error) {
  namespace fs = std::filesystem;
  fs::path current(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(current, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
      *error = ec.value();
      return false;
    }
    if (!fs::is_symlink(status)) {
      *target = current.string();
      return true;
    }
    fs::path next = fs::read_symlink(current, ec);
    if (ec) {
      *error = ec.value();
      return false;
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  *error = ELOOP;
  return false;
}

// Creates a new, uniquely named hidden file beside `target`, with mode 0666
// so that the kernel applies the umask as for an ordinary create.
int CreateSibling(const std::string& target, std::string* name) {
  static std::atomic<uint64_t> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}()};
  const std::filesystem::path target_path(target);
  std::string base = target_path.filename().string();
  if (base.size() > 200) base.resize(200);  // keep within NAME_MAX
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string suffix = "." + std::to_string(::getpid()) + "." +
                               std::to_string(counter.fetch_add(1)) + "." +
                               std::to_string(random() & 0xFFFFFF) + ".tmp";
    *name = (target_path.parent_path() / ("." + base + suffix)).string();
    const int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Makes a rename durable: the folder's entry is flushed too. Failure only
// weakens durability, never the all-or-nothing promise, so it is ignored.
void SyncFolderOf(const std::string& file) {
  std::string folder = std::filesystem::path(file).parent_path().string();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {
  if (path_.empty()) {
    Fail(ENOENT);
    return;
  }
  int error = 0;
  if (!ResolveLinks(path_, &target_, &error)) {
    Fail(error);
    return;
  }
  if (std::filesystem::path(target_).filename().empty()) {
    Fail(EISDIR);
    return;
  }
  struct stat existing;
  if (::stat(target_.c_str(), &existing) == 0) {
    if (!S_ISREG(existing.st_mode)) {
      not_regular_ = true;
      Fail(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
      return;
    }
    keep_mode_ = true;
    mode_ = existing.st_mode & 07777;
  } else if (errno != ENOENT) {
    Fail(errno);
    return;
  }
  fd_ = CreateSibling(target_, &temp_path_);
  if (fd_ < 0) {
    temp_path_.clear();
    Fail(errno);
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void AtomicFileWriter::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (fd_ < 0 || error_ != 0) return false;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return false;
    }
    if (n == 0) {
      Fail(EIO);
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void AtomicFileWriter::SetMode(mode_t mode) {
  keep_mode_ = true;
  mode_ = mode & 07777;
}

bool AtomicFileWriter::Commit() {
  if (fd_ < 0 || error_ != 0 || committed_) return false;
  // The old file's bits (or those asked for): a private file must not
  // become readable by all.
  // Bits we may not set (set-id as another user) are not worth failing for.
  if (keep_mode_) (void)::fchmod(fd_, mode_);
  if (::fsync(fd_) != 0) Fail(errno);
  if (::close(fd_) != 0) Fail(errno);
  fd_ = -1;
  if (error_ == 0 && ::rename(temp_path_.c_str(), target_.c_str()) != 0) Fail(errno);
  if (error_ != 0) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
    return false;
  }
  committed_ = true;
  SyncFolderOf(target_);
  return true;
}

std::string AtomicFileWriter::Reason() const {
  if (error_ == 0) return {};
  const std::string shown = "'" + EscapeControlBytes(path_) + "'";
  if (not_regular_) {
    return shown + (error_ == EISDIR ? " is a folder" : " is not a regular file");
  }
  return std::string(std::strerror(error_)) + ": " + shown;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* reason) {
  AtomicFileWriter file(path);
  if (file.Write(bytes) && file.Commit()) return true;
  if (reason != nullptr) *reason = file.Reason();
  return false;
}

}  // namespace quarry::platform
