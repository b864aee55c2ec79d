#include "fault/fault_record.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace quarry {

namespace {

template <size_t N>
void Terminate(char (&text)[N]) {
  text[N - 1] = '\0';
}

// Parses a hexadecimal number at the front of `text`, advancing it.
bool TakeHex(std::string_view* text, uint64_t* value) {
  uint64_t v = 0;
  size_t i = 0;
  for (; i < text->size() && i < 16; ++i) {
    const char c = (*text)[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    v = v << 4 | static_cast<uint64_t>(digit);
  }
  if (i == 0) return false;
  text->remove_prefix(i);
  *value = v;
  return true;
}

std::string_view NextField(std::string_view* line) {
  size_t start = line->find_first_not_of(' ');
  if (start == std::string_view::npos) {
    *line = {};
    return {};
  }
  line->remove_prefix(start);
  size_t end = line->find(' ');
  std::string_view field = line->substr(0, end);
  line->remove_prefix(end == std::string_view::npos ? line->size() : end);
  return field;
}

}  // namespace

bool ParseFaultRecord(std::string_view bytes, FaultRecord* record, std::string* error) {
  if (bytes.size() < sizeof(RawFaultRecord)) {
    *error = "the fault record is incomplete";
    return false;
  }
  std::memcpy(&record->raw, bytes.data(), sizeof(RawFaultRecord));
  RawFaultRecord& raw = record->raw;
  if (std::memcmp(raw.magic, RawFaultRecord::kMagic, sizeof raw.magic) != 0) {
    *error = "the file is not a fault record";
    return false;
  }
  if (raw.version != RawFaultRecord::kVersion || raw.size != sizeof(RawFaultRecord)) {
    *error = "the fault record was written by another version of the program";
    return false;
  }
  Terminate(raw.area);
  Terminate(raw.app_name);
  Terminate(raw.module_path);
  Terminate(raw.version_text);
  Terminate(raw.status);
  Terminate(raw.current_view);
  Terminate(raw.visited_views);
  Terminate(raw.detail);
  if (raw.stack_dump_length > kStackDumpLimit) raw.stack_dump_length = kStackDumpLimit;
  if (raw.unwound_count > CExceptionExt::kTraceLength) {
    raw.unwound_count = CExceptionExt::kTraceLength;
  }
  const std::string_view rest = bytes.substr(sizeof(RawFaultRecord));
  record->map_text.assign(rest.substr(0, kMaxMapText));
  return true;
}

bool ReadFaultRecord(const std::string& path, FaultRecord* record, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::string bytes(sizeof(RawFaultRecord) + kMaxMapText, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return ParseFaultRecord(bytes, record, error);
}

CExceptionExt ExceptionFromRecord(const FaultRecord& record) {
  const RawFaultRecord& raw = record.raw;
  CExceptionExt exception(raw.code, raw.fault_address, raw.area);
  if (raw.code == exception_code::kAccessViolation) {
    const AccessKind kind =
        raw.access == static_cast<uint32_t>(AccessKind::kWrite) ? AccessKind::kWrite
                                                                 : AccessKind::kRead;
    exception.SetAccess(kind, raw.access_address);
  }
  exception.SetReturnAddresses(CallTrace(raw));
  return exception;
}

std::array<uint64_t, CExceptionExt::kTraceLength> CallTrace(const RawFaultRecord& raw) {
  std::array<uint64_t, CExceptionExt::kTraceLength> trace{};
  if (raw.unwound_count > 0) {
    for (size_t i = 0; i < raw.unwound_count && i < trace.size(); ++i) {
      trace[i] = raw.unwound_trace[i];
    }
  } else {
    for (size_t i = 0; i < trace.size(); ++i) trace[i] = raw.frame_trace[i];
  }
  return trace;
}

ModuleLocation FindModule(std::string_view map_text, uint64_t address) {
  // Each line: "start-end perms offset dev inode   path". A file's first
  // mapping (file offset 0) is where it was loaded; later segments of the
  // same file lie above it.
  ModuleLocation found;
  std::string_view base_path;
  uint64_t base = 0;
  while (!map_text.empty()) {
    const size_t eol = map_text.find('\n');
    std::string_view line = map_text.substr(0, eol);
    map_text.remove_prefix(eol == std::string_view::npos ? map_text.size() : eol + 1);

    uint64_t start = 0, end = 0, offset = 0;
    std::string_view range = NextField(&line);
    if (!TakeHex(&range, &start) || range.empty() || range[0] != '-') continue;
    range.remove_prefix(1);
    if (!TakeHex(&range, &end)) continue;
    NextField(&line);  // permissions
    std::string_view offset_text = NextField(&line);
    if (!TakeHex(&offset_text, &offset)) continue;
    NextField(&line);  // device
    NextField(&line);  // inode
    const size_t path_start = line.find_first_not_of(' ');
    const std::string_view path =
        path_start == std::string_view::npos ? std::string_view() : line.substr(path_start);
    if (path.empty() || path[0] != '/') continue;
    if (offset == 0 || path != base_path) {
      base_path = path;
      base = start - offset;
    }
    if (address >= start && address < end) {
      found.path.assign(path);
      found.offset = address - base;
      return found;
    }
  }
  return found;
}

}  // namespace quarry
