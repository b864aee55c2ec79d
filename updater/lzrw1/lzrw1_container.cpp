#include "updater/lzrw1/lzrw1_container.h"

#include <cstring>

#include "updater/lzrw1/lzrw1.h"

namespace quarry::lzrw1 {

namespace {

constexpr char kMagic[4] = {'z', 'i', 'p', '\0'};

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
         (uint32_t{p[3]} << 24);
}

void AppendU32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool IsBareFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::string StoredNameOf(std::string_view path) {
  size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) cut = path.rfind('/');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

ContainerError ReadContainerHeader(const uint8_t* data, size_t length,
                                   ContainerHeader* header) {
  *header = ContainerHeader{};
  if (length < kHeaderBytes) {
    // Too short for a header, but say "not a container" when even the
    // magic is wrong: that is the more useful reason.
    if (length >= 4 && std::memcmp(data, kMagic, 4) != 0) return ContainerError::kNotContainer;
    return ContainerError::kTooShort;
  }
  if (std::memcmp(data, kMagic, 4) != 0) return ContainerError::kNotContainer;
  header->expanded_size = ReadU32(data + 8);
  const uint32_t name_flag = ReadU32(data + 12);
  size_t offset = kHeaderBytes;
  if (name_flag > 1) return ContainerError::kBadNameFlag;
  if (name_flag == 1) {
    if (length - offset < kNameLengthBytes) return ContainerError::kTooShort;
    const uint32_t name_length = ReadU32(data + offset);
    offset += kNameLengthBytes;
    if (name_length > length - offset) return ContainerError::kTooShort;
    std::string_view name(reinterpret_cast<const char*>(data + offset), name_length);
    if (!IsBareFileName(name)) return ContainerError::kUnsafeName;
    header->has_name = true;
    header->name.assign(name);
    offset += name_length;
  }
  header->stream_offset = offset;
  // A stream yields at most kMaxExpansionRatio bytes per byte after its
  // flag word; a stored copy exactly its own length.
  const uint64_t stream_length = length - offset;
  const uint64_t most =
      stream_length > kFlagBytes ? (stream_length - kFlagBytes) * kMaxExpansionRatio : 0;
  if (header->expanded_size > most) return ContainerError::kImplausibleSize;
  return ContainerError::kNone;
}

std::string BuildContainerHeader(uint32_t expanded_size, const std::string* name) {
  std::string out(kMagic, 4);
  AppendU32(&out, 0);
  AppendU32(&out, expanded_size);
  AppendU32(&out, name != nullptr ? 1 : 0);
  if (name != nullptr) {
    AppendU32(&out, static_cast<uint32_t>(name->size()));
    out += *name;
  }
  return out;
}

const char* ContainerErrorText(ContainerError error) {
  switch (error) {
    case ContainerError::kNone: return "no error";
    case ContainerError::kTooShort: return "the file is cut short";
    case ContainerError::kNotContainer: return "not a compressed update file";
    case ContainerError::kBadNameFlag: return "its header is damaged";
    case ContainerError::kUnsafeName:
      return "it names a file outside its folder";
    case ContainerError::kImplausibleSize:
      return "its expanded size does not match its data";
  }
  return "unknown error";
}

}  // namespace quarry::lzrw1
