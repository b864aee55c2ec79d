// Writes a file whole or not at all: the bytes go to a temporary file beside
// the target, which replaces the target only once everything is written and
// flushed. Internal to the retrieval library.

#ifndef QUARRY_WEB_ATOMIC_FILE_H_
#define QUARRY_WEB_ATOMIC_FILE_H_

#include <cstddef>
#include <string>

namespace quarry::web_internal {

class AtomicFileWriter {
 public:
  // Creates the temporary file; on failure ok() is false and error() holds
  // the system error number.
  explicit AtomicFileWriter(std::string path);
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool ok() const { return error_ == 0; }
  int error() const { return error_; }
  const std::string& path() const { return path_; }

  // Appends bytes; false (and error()) when the write failed.
  bool Write(const char* data, size_t size);
  // Flushes, closes and moves the file into place; false (and error()) when
  // any of that failed, in which case the target is left as it was.
  bool Commit();

  // "<system text> (<path>)" for the current error.
  std::string Reason() const;

 private:
  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
};

}  // namespace quarry::web_internal

#endif  // QUARRY_WEB_ATOMIC_FILE_H_
