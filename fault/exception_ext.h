// CExceptionExt: one processor fault of the main program as the fault
// report sees it: the exception code, where it happened, what memory it
// touched, a short call trace and the name of the program area whose thread
// it hit.
//
// Codes are the system's exception codes (0xC0000005 for an access
// violation and so on); ExceptionCodeForSignal() turns a POSIX signal and its
// si_code into one. Everything here is plain data and text: the object is
// made by the reporting process from the record the fault handler wrote
// (fault_record.h), never inside the handler itself.

#ifndef QUARRY_FAULT_EXCEPTION_EXT_H_
#define QUARRY_FAULT_EXCEPTION_EXT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarry {

// The exception codes the capture produces, and the rest of the table.
namespace exception_code {
inline constexpr uint32_t kGuardPage = 0x80000001;
inline constexpr uint32_t kDatatypeMisalignment = 0x80000002;
inline constexpr uint32_t kBreakpoint = 0x80000003;
inline constexpr uint32_t kSingleStep = 0x80000004;
inline constexpr uint32_t kAccessViolation = 0xC0000005;
inline constexpr uint32_t kInPageError = 0xC0000006;
inline constexpr uint32_t kInvalidHandle = 0xC0000008;
inline constexpr uint32_t kIllegalInstruction = 0xC000001D;
inline constexpr uint32_t kNoncontinuable = 0xC0000025;
inline constexpr uint32_t kInvalidDisposition = 0xC0000026;
inline constexpr uint32_t kArrayBoundsExceeded = 0xC000008C;
inline constexpr uint32_t kFltDenormalOperand = 0xC000008D;
inline constexpr uint32_t kFltDivideByZero = 0xC000008E;
inline constexpr uint32_t kFltInexactResult = 0xC000008F;
inline constexpr uint32_t kFltInvalidOperation = 0xC0000090;
inline constexpr uint32_t kFltOverflow = 0xC0000091;
inline constexpr uint32_t kFltStackCheck = 0xC0000092;
inline constexpr uint32_t kFltUnderflow = 0xC0000093;
inline constexpr uint32_t kIntDivideByZero = 0xC0000094;
inline constexpr uint32_t kIntOverflow = 0xC0000095;
inline constexpr uint32_t kPrivInstruction = 0xC0000096;
inline constexpr uint32_t kStackOverflow = 0xC00000FD;
// The program stopped itself: an uncaught C++ exception or a failed check
// ended in abort(). Windows raises this code for a fail-fast stop.
inline constexpr uint32_t kAborted = 0xC0000602;
}  // namespace exception_code

// How the faulting instruction touched memory (access violations only).
enum class AccessKind : uint32_t { kNone = 0, kRead = 1, kWrite = 2 };

// The exception's name ("ACCESS_VIOLATION"), or empty when the code has
// none (then the one-line message is "Unknown exception.").
std::string_view ExceptionName(uint32_t code);
// The description in parentheses, or empty for a code without one. An
// access violation's depends on `access`.
std::string_view ExceptionDescription(uint32_t code, AccessKind access = AccessKind::kRead);

// The code for a fault delivered as `signal` with `si_code`.
// `stack_overflow` marks a SIGSEGV whose address lies in the guard area
// below the thread's stack.
uint32_t ExceptionCodeForSignal(int signal, int si_code, bool stack_overflow = false);

class CExceptionExt {
 public:
  static constexpr size_t kTraceLength = 32;

  CExceptionExt() = default;
  CExceptionExt(uint32_t code, uint64_t fault_address, std::string area = {});

  uint32_t Code() const { return code_; }
  uint64_t FaultAddress() const { return fault_address_; }
  const std::string& Area() const { return area_; }

  // For access violations: the kind of access and the address touched.
  void SetAccess(AccessKind kind, uint64_t address);
  AccessKind Access() const { return access_; }
  uint64_t AccessAddress() const { return access_address_; }

  // The call trace: return addresses, 0 past the end of the chain.
  const std::array<uint64_t, kTraceLength>& ReturnAddresses() const { return trace_; }
  void SetReturnAddresses(const std::array<uint64_t, kTraceLength>& trace) { trace_ = trace; }

  // "Exception ACCESS_VIOLATION (0xc0000005) at address 0x004010a2 trying
  // to read address 0x00000000.", or "Unknown exception.".
  std::string OneLineMessage() const;

  // Copies the one-line message into `buffer` of `size` bytes with its
  // terminating NUL and sets *help_context (may be null) to 0. A message
  // that does not fit leaves an empty string and returns false.
  bool GetErrorMessage(char* buffer, size_t size, unsigned* help_context) const;

 private:
  uint32_t code_ = 0;
  uint64_t fault_address_ = 0;
  std::string area_;
  AccessKind access_ = AccessKind::kNone;
  uint64_t access_address_ = 0;
  std::array<uint64_t, kTraceLength> trace_{};
};

}  // namespace quarry

#endif  // QUARRY_FAULT_EXCEPTION_EXT_H_
