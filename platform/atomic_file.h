// Replacing a file whole or not at all: the one way every part of Quarry
// writes a file that may already exist (exports, downloads, bookmark
// imports, the updater's files).
//
// The bytes go to a new, hidden file in the target's folder, which is
// flushed to disk and then renamed over the target. A reader therefore sees
// the old file or the complete new one, never a mixture, and a failure at
// any point (disk full, a crash, a killed process) leaves the target as it
// was.
//
// What the target is matters:
// - a symbolic link is followed, so the file it points to is replaced and
//   the link stays a link (a dangling link gets its target created);
// - an existing file keeps its permission bits (a 0600 file stays 0600); a
//   new file gets those of an ordinary create (0666 less the umask);
// - anything but a regular file (a folder, a pipe, a device, a socket) is
//   refused: it is not ours to replace, and a pipe could block forever.
//
// Usage:
//   quarry::platform::AtomicFileWriter file(path);
//   if (!file.Write(part1) || !file.Write(part2) || !file.Commit()) {
//     report(file.Reason());  // the target is unchanged
//   }

#ifndef QUARRY_PLATFORM_ATOMIC_FILE_H_
#define QUARRY_PLATFORM_ATOMIC_FILE_H_

#include <sys/types.h>

#include <string>
#include <string_view>

namespace quarry::platform {

class AtomicFileWriter {
 public:
  // Resolves `path` and creates the temporary file beside its target. On
  // failure ok() is false and Reason() says why; nothing was created.
  explicit AtomicFileWriter(std::string path);
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool ok() const { return error_ == 0; }
  // The system error number of the first failure (0: none). A refused
  // target that is not a regular file reports EISDIR for a folder and
  // EINVAL for anything else.
  int error() const { return error_; }
  // The path as given.
  const std::string& path() const { return path_; }

  // Appends `bytes`. False (and error()) when the write failed or an
  // earlier step had.
  bool Write(std::string_view bytes);
  // Gives the new file `mode` (permission bits) instead of the old file's,
  // or of an ordinary create's when there was none: a program put in place
  // of one that was removed must stay a program.
  void SetMode(mode_t mode);
  // Flushes the file to disk, gives it its permission bits and renames it
  // over the target. False (and error()) when any step failed; the target
  // is then left as it was and the temporary file is removed.
  bool Commit();

  // One line for a person: the cause and the path, with control bytes
  // escaped, e.g. "No space left on device: '/home/ann/t.csv'" or
  // "'/dev/null' is not a regular file". Empty when nothing failed.
  std::string Reason() const;

 private:
  void Fail(int error);

  std::string path_;
  std::string target_;     // `path_` with its symbolic links followed
  std::string temp_path_;  // empty when no temporary file exists
  int fd_ = -1;
  int error_ = 0;
  bool not_regular_ = false;
  bool keep_mode_ = false;
  mode_t mode_ = 0;
  bool committed_ = false;
};

// Writes `bytes` to `path` as one AtomicFileWriter does. Returns true when
// the file was replaced; otherwise false with the writer's Reason() in
// `*reason` (may be null).
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* reason = nullptr);

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_ATOMIC_FILE_H_
