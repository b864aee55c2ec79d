// The raw fault record: what the fault handler knows at the moment of a
// fault, written by it to a file as one fixed block followed by the text of
// the process's memory map. The handler may do nothing that is not safe in a
// signal handler, so the record holds numbers and fixed-size texts only;
// the reporting process (a fresh start of the program) reads it back and
// builds the report from it.
//
// A record file comes from our own handler, but it sits in the user's
// folder and may be cut short (a full disk, a second crash) or be anything
// at all: ReadFaultRecord() checks the block's marker, version and size and
// reads at most kMaxMapText bytes of map text.

#ifndef QUARRY_FAULT_FAULT_RECORD_H_
#define QUARRY_FAULT_FAULT_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "fault/exception_ext.h"

namespace quarry {

// Which processor the registers belong to.
enum class RegisterSet : uint32_t { kNone = 0, kX86_64 = 1, kAarch64 = 2 };

// Slots of RawFaultRecord::registers for x86-64.
enum X86Register : int {
  kRax, kRbx, kRcx, kRdx, kRsi, kRdi, kRbp, kRsp,
  kR8, kR9, kR10, kR11, kR12, kR13, kR14, kR15,
  kRip, kEfl, kCs, kSs, kDs, kEs, kFs, kGs,
  kX86RegisterCount
};
// For aarch64: x0..x30 in slots 0..30, then sp, pc, pstate.
inline constexpr int kArmSp = 31, kArmPc = 32, kArmPstate = 33, kArmRegisterCount = 34;

inline constexpr size_t kStackDumpLimit = 12288;
inline constexpr size_t kMaxMapText = 1 << 20;

// Fixed-size texts end with a NUL within their array.
struct RawFaultRecord {
  static constexpr char kMagic[8] = {'Q', 'R', 'Y', 'F', 'A', 'U', 'L', 'T'};
  static constexpr uint32_t kVersion = 1;

  char magic[8];
  uint32_t version;
  uint32_t size;  // sizeof(RawFaultRecord) of the writer

  uint32_t code;  // exception code
  int32_t signal;
  int32_t si_code;
  uint32_t access;  // AccessKind
  uint64_t fault_address;   // the faulting instruction
  uint64_t access_address;  // the memory touched (si_addr)
  int64_t fault_time;       // seconds since the epoch
  int64_t start_time;       // when the program started
  int32_t pid;
  uint32_t register_set;  // RegisterSet
  uint64_t registers[40];

  uint64_t frame_trace[CExceptionExt::kTraceLength];     // frame-pointer chain
  uint64_t unwound_trace[CExceptionExt::kTraceLength];   // from the unwinder
  uint32_t unwound_count;  // entries of unwound_trace in use

  uint32_t stack_dump_wanted;   // the extended dump was asked for
  uint32_t stack_dump_faulted;  // reading stopped at an unreadable page
  uint32_t stack_dump_length;   // bytes in stack_dump
  uint64_t stack_dump_address;  // address of stack_dump[0]
  unsigned char stack_dump[kStackDumpLimit];

  char area[64];
  char app_name[64];
  char module_path[1024];
  char version_text[64];
  char status[512];
  char current_view[128];
  char visited_views[1024];  // one name per line
  char detail[512];          // what an uncaught exception said, or empty
};

// A record read back, with its map text.
struct FaultRecord {
  RawFaultRecord raw{};
  std::string map_text;  // the process's memory map as /proc/PID/maps shows it
};

// Reads `path`. False with a one-line reason in *error when the file cannot
// be read or is not a complete record of this version; the texts are then
// made safe (terminated within their arrays) and the counts clamped.
bool ReadFaultRecord(const std::string& path, FaultRecord* record, std::string* error);

// The same from bytes already in memory.
bool ParseFaultRecord(std::string_view bytes, FaultRecord* record, std::string* error);

// The exception object the record describes.
CExceptionExt ExceptionFromRecord(const FaultRecord& record);

// The return addresses the report shows: the unwinder's when it crossed the
// signal frame (it also sees callers of functions without a frame pointer),
// else the frame-pointer chain.
std::array<uint64_t, CExceptionExt::kTraceLength> CallTrace(const RawFaultRecord& raw);

// The file of the mapping that holds `address` according to `map_text`
// (lines of /proc/PID/maps), with the address's offset from the start of
// that file's first mapping; empty when no file mapping holds it.
struct ModuleLocation {
  std::string path;
  uint64_t offset = 0;
};
ModuleLocation FindModule(std::string_view map_text, uint64_t address);

}  // namespace quarry

#endif  // QUARRY_FAULT_FAULT_RECORD_H_
