#include "updater/lzrw1/lzrw1_codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "updater/lzrw1/lzrw1.h"
#include "updater/lzrw1/lzrw1_container.h"

namespace quarry {

namespace {

// Shows the wait cursor for one operation.
class WaitCursor {
 public:
  explicit WaitCursor(CodecUi* ui) : ui_(ui) {
    if (ui_ != nullptr) ui_->BeginWait();
  }
  ~WaitCursor() {
    if (ui_ != nullptr) ui_->EndWait();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  CodecUi* ui_;
};

std::string SystemReason(const std::string& path) {
  return std::string(std::strerror(errno)) + " (" + path + ")";
}

// The whole file, or false with *reason. A file that changes length while
// it is read fails rather than being taken in part.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = "cannot open " + SystemReason(path);
    return false;
  }
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (!ok) *reason = "not a readable file (" + path + ")";
  if (ok && static_cast<uint64_t>(info.st_size) > std::numeric_limits<size_t>::max() / 2) {
    ok = false;
    *reason = "too large to process (" + path + ")";
  }
  if (ok) {
    try {
      data->assign(static_cast<size_t>(info.st_size), 0);
    } catch (const std::bad_alloc&) {
      ok = false;
      *reason = "not enough memory for " + path;
    }
  }
  size_t done = 0;
  while (ok && done < data->size()) {
    const ssize_t n = ::read(fd, data->data() + done, data->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      *reason = n < 0 ? "cannot read " + SystemReason(path) : "short read of " + path;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr CreateFile(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "wb")); }

// Writes the pieces, flushes and closes; false with *reason on any failure.
bool WriteAndClose(FilePtr file, const std::string& path,
                   std::initializer_list<std::pair<const void*, size_t>> pieces,
                   std::string* reason) {
  for (const auto& [data, size] : pieces) {
    if (size > 0 && std::fwrite(data, 1, size, file.get()) != size) {
      *reason = "cannot write " + SystemReason(path);
      return false;
    }
  }
  if (std::fflush(file.get()) != 0) {
    *reason = "cannot write " + SystemReason(path);
    return false;
  }
  std::FILE* raw = file.release();
  if (std::fclose(raw) != 0) {
    *reason = "cannot write " + SystemReason(path);
    return false;
  }
  return true;
}

// The folder part of `path` with its trailing "/", or "" for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

CLZRW1Codec::CLZRW1Codec(CodecUi* ui) : ui_(ui) {}

CLZRW1Codec::~CLZRW1Codec() = default;

int CLZRW1Codec::Fail(std::string reason) {
  error_ = std::move(reason);
  return 0;
}

void CLZRW1Codec::Show(const char* text) {
  if (ui_ != nullptr) ui_->ShowMessage(text);
}

int CLZRW1Codec::CompressBuffer(const uint8_t* source, size_t length, uint8_t* destination,
                                size_t* capacity, int show_messages) {
  error_.clear();
  size_t written = 0;
  const lzrw1::CompressResult result =
      lzrw1::Compress(source, length, destination, *capacity, length + length / 10, &written);
  *capacity = written;
  switch (result) {
    case lzrw1::CompressResult::kCompressed:
    case lzrw1::CompressResult::kStored:
      return 1;
    case lzrw1::CompressResult::kLooksCompressed:
      if (show_messages == 1) Show(kCannotRecompressText);
      return Fail("the file is compressed already");
    case lzrw1::CompressResult::kNoRoom:
      break;
  }
  return Fail("the output buffer is too small");
}

int CLZRW1Codec::ExpandBuffer(const uint8_t* stream, size_t length, uint8_t* destination,
                              size_t capacity, size_t* length_out) {
  error_.clear();
  switch (lzrw1::Expand(stream, length, destination, capacity, length_out)) {
    case lzrw1::ExpandResult::kExpanded:
      return 1;
    case lzrw1::ExpandResult::kStoredCopy:
      Show(kDoubleCompressedText);
      return Fail("the file holds a stored copy, not compressed data");
    case lzrw1::ExpandResult::kTooShort:
    case lzrw1::ExpandResult::kTruncated:
      return Fail("the compressed data is cut short");
    case lzrw1::ExpandResult::kBadFlag:
      return Fail("the compressed data has an unknown form");
    case lzrw1::ExpandResult::kOverrun:
      return Fail("the compressed data expands beyond its stated size");
    case lzrw1::ExpandResult::kBadOffset:
      return Fail("the compressed data refers outside itself");
  }
  return Fail("the compressed data is damaged");
}

int CLZRW1Codec::ProcessFile(const std::string& source, std::string* destination,
                             int compress, int use_name) {
  error_.clear();
  if (destination == nullptr) return Fail("no destination given");
  WaitCursor wait(ui_);
  return compress == 1 ? Compress(source, *destination, use_name == 1)
                       : Expand(source, destination, use_name == 1);
}

int CLZRW1Codec::Compress(const std::string& source, const std::string& destination,
                          bool use_name) {
  std::string reason;
  // The source is read before the destination is created, so that a
  // destination equal to the source never truncates it before it is read.
  std::vector<uint8_t> data;
  if (!ReadWholeFile(source, &data, &reason)) return Fail(reason);
  FilePtr out = CreateFile(destination);
  if (!out) return Fail("cannot create " + SystemReason(destination));
  if (data.size() > std::numeric_limits<uint32_t>::max()) {
    return Fail("too large for an update file (" + source + ")");
  }

  std::vector<uint8_t> stream;
  if (!data.empty()) {
    size_t capacity = lzrw1::CompressCapacity(data.size());
    try {
      stream.resize(capacity);
    } catch (const std::bad_alloc&) {
      return Fail("not enough memory to compress " + source);
    }
    if (CompressBuffer(data.data(), data.size(), stream.data(), &capacity, 1) == 0) return 0;
    stream.resize(capacity);
  }
  const std::string name = lzrw1::StoredNameOf(source);
  const std::string header =
      lzrw1::BuildContainerHeader(static_cast<uint32_t>(data.size()), use_name ? &name : nullptr);
  if (!WriteAndClose(std::move(out), destination,
                     {{header.data(), header.size()}, {stream.data(), stream.size()}},
                     &reason)) {
    return Fail(reason);
  }
  return 1;
}

int CLZRW1Codec::Expand(const std::string& source, std::string* destination, bool use_name) {
  std::string reason;
  std::vector<uint8_t> data;
  FilePtr out;
  if (!use_name) {
    out = CreateFile(*destination);
    if (!out) return Fail("cannot create " + SystemReason(*destination));
  }
  if (!ReadWholeFile(source, &data, &reason)) return Fail(reason);

  lzrw1::ContainerHeader header;
  const lzrw1::ContainerError error = lzrw1::ReadContainerHeader(data.data(), data.size(), &header);
  if (error != lzrw1::ContainerError::kNone) {
    return Fail(std::string("refused ") + source + ": " + lzrw1::ContainerErrorText(error));
  }

  if (use_name) {
    if (header.has_name) {
      *destination = destination->empty() ? header.name : FolderOf(*destination) + header.name;
    }
    if (destination->empty()) return Fail("no destination given");
    out = CreateFile(*destination);
    if (!out) return Fail("cannot create " + SystemReason(*destination));
  }

  std::vector<uint8_t> expanded;
  try {
    expanded.resize(header.expanded_size);
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory to expand " + source);
  }
  const size_t stream_length = data.size() - header.stream_offset;
  size_t produced = 0;
  if (stream_length > 0 &&
      ExpandBuffer(data.data() + header.stream_offset, stream_length, expanded.data(),
                   expanded.size(), &produced) == 0) {
    return 0;
  }
  // A stream that stops early would pass off part of a file as the whole.
  if (produced != expanded.size()) {
    return Fail("refused " + source + ": the compressed data is cut short");
  }
  if (!WriteAndClose(std::move(out), *destination, {{expanded.data(), expanded.size()}},
                     &reason)) {
    return Fail(reason);
  }
  return 1;
}

}  // namespace quarry
