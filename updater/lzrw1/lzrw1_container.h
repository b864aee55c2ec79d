// The update container: a 16-byte header, optionally the source's file
// name, then one LZRW1 stream (lzrw1.h). All integers are 32-bit
// little-endian:
//   0  magic "zip" and a zero byte      8  expanded size in bytes
//   4  reserved, written 0, not read   12  name flag: 1 = a name follows
//   16 name length N, 20 the name's N bytes (only with name flag 1)
// A container of an empty file has no stream at all.
//
// Reading checks everything a hostile file could use against its reader:
// the name must be a bare file name (it names a file in the download
// folder of a program that replaces installed files), and the expanded
// size must be one the stream could produce, so that no header makes the
// reader allocate more than a small multiple of the file. Plain C++.

#ifndef QUARRY_UPDATER_LZRW1_LZRW1_CONTAINER_H_
#define QUARRY_UPDATER_LZRW1_LZRW1_CONTAINER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarry::lzrw1 {

inline constexpr size_t kHeaderBytes = 16;
inline constexpr size_t kNameLengthBytes = 4;

enum class ContainerError {
  kNone,
  kTooShort,        // shorter than its header (or its name)
  kNotContainer,    // does not begin with "zip" and a zero byte
  kBadNameFlag,     // a name flag other than 0 and 1
  kUnsafeName,      // a stored name that is not a bare file name
  kImplausibleSize, // an expanded size the stream cannot produce
};

struct ContainerHeader {
  uint32_t expanded_size = 0;
  bool has_name = false;
  std::string name;           // only with has_name
  size_t stream_offset = 0;   // where the LZRW1 stream starts
};

// Reads and checks the header of the container data[0 .. length).
ContainerError ReadContainerHeader(const uint8_t* data, size_t length,
                                   ContainerHeader* header);

// The header bytes for a container of `expanded_size` bytes, with `name`
// stored when it is not null.
std::string BuildContainerHeader(uint32_t expanded_size, const std::string* name);

// True for a name that is one file's name and nothing else: not empty, not
// "." or "..", without "/", "\\" or a zero byte.
bool IsBareFileName(std::string_view name);

// The name a container stores for `path`: the text after its last "\\",
// or when it has none, after its last "/".
std::string StoredNameOf(std::string_view path);

// A short English reason for `error`, for logs and error texts.
const char* ContainerErrorText(ContainerError error);

}  // namespace quarry::lzrw1

#endif  // QUARRY_UPDATER_LZRW1_LZRW1_CONTAINER_H_
