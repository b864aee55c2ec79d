#include "fault/exception_ext.h"

#include <signal.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace quarry {

namespace {

struct CodeEntry {
  uint32_t code;
  std::string_view name;
  std::string_view description;
};

using namespace exception_code;

constexpr CodeEntry kCodes[] = {
    {kGuardPage, "GUARD_PAGE", "(Guard Page Violation Encountered)"},
    {kDatatypeMisalignment, "DATATYPE_MISALIGNMENT",
     "(Reading or writing to data at an address that is not properly aligned)"},
    {kBreakpoint, "BREAKPOINT", "(Encountering a hardware-defined breakpoint)"},
    {kSingleStep, "SINGLE_STEP", "(Executing one instruction in single-step mode)"},
    {kAccessViolation, "ACCESS_VIOLATION", "(Reading from an inaccessible memory location)"},
    {kInPageError, "IN_PAGE_ERROR",
     "(The thread tried to access a page that was not present, and the system was unable "
     "to load the page)"},
    {kInvalidHandle, "INVALID_HANDLE", "(Invalid Handle)"},
    {kIllegalInstruction, "ILLEGAL_INSTRUCTION",
     "(Attempting to execute an instruction code not defined by the processor)"},
    {kNoncontinuable, "NONCONTINUABLE_EXCEPTION",
     "(The thread attempted to continue execution after a noncontinuable exception "
     "occurred)"},
    {kInvalidDisposition, "INVALID_DISPOSITION",
     "(An exception handler returned an invalid disposition to the exception dispatcher)"},
    {kArrayBoundsExceeded, "ARRAY_BOUNDS_EXCEEDED",
     "(Accessing an array element that is out of bounds)"},
    {kFltDenormalOperand, "FLT_DENORMAL_OPERAND",
     "(One of the operands in a floating-point operation is too small to represent "
     "correctly)"},
    {kFltDivideByZero, "FLT_DIVIDE_BY_ZERO", "(Dividing floating-point type by 0.0)"},
    {kFltInexactResult, "FLT_INEXACT_RESULT",
     "(Floating-point operation cannot be represented exactly as a decimal fraction)"},
    {kFltInvalidOperation, "FLT_INVALID_OPERATION", "(Floating-point exception)"},
    {kFltOverflow, "FLT_OVERFLOW", "(Exceeding maximum positive exponent of floating-point type)"},
    {kFltStackCheck, "FLT_STACK_CHECK",
     "(The stack overflowed or underflowed as a result of a floating-point operation)"},
    {kFltUnderflow, "FLT_UNDERFLOW",
     "(Exceeding magnitude of lowest negative exponent of floating-point type)"},
    {kIntDivideByZero, "INT_DIVIDE_BY_ZERO", "(Dividing an integer type by 0)"},
    {kIntOverflow, "INT_OVERFLOW", "(Attempting an operation that exceeds the range of the integer)"},
    {kPrivInstruction, "PRIV_INSTRUCTION",
     "(Executing an instruction not allowed in current machine mode)"},
    {kStackOverflow, "STACK_OVERFLOW", "(The thread used up its stack)"},
    {kAborted, "ABORTED",
     "(The program stopped itself after an uncaught exception or a failed check)"},
    {0xC015000F, {},
     "(The activation context being deactivated is not the most recently activated one)"},
    {0xC0150010, {}, "(The activation context being deactivated cannot be found)"},
};

const CodeEntry* Find(uint32_t code) {
  for (const CodeEntry& entry : kCodes) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

}  // namespace

std::string_view ExceptionName(uint32_t code) {
  const CodeEntry* entry = Find(code);
  return entry != nullptr ? entry->name : std::string_view();
}

std::string_view ExceptionDescription(uint32_t code, AccessKind access) {
  if (code == kAccessViolation && access == AccessKind::kWrite) {
    return "(Writing to an inaccessible memory location)";
  }
  const CodeEntry* entry = Find(code);
  return entry != nullptr ? entry->description : std::string_view();
}

uint32_t ExceptionCodeForSignal(int signal, int si_code, bool stack_overflow) {
  switch (signal) {
    case SIGSEGV:
      return stack_overflow ? kStackOverflow : kAccessViolation;
    case SIGBUS:
      // A misaligned access, or a mapped page whose backing file is gone
      // or shorter than the mapping.
      return si_code == BUS_ADRALN ? kDatatypeMisalignment : kInPageError;
    case SIGFPE:
      switch (si_code) {
        case FPE_INTDIV: return kIntDivideByZero;
        case FPE_INTOVF: return kIntOverflow;
        case FPE_FLTDIV: return kFltDivideByZero;
        case FPE_FLTOVF: return kFltOverflow;
        case FPE_FLTUND: return kFltUnderflow;
        case FPE_FLTRES: return kFltInexactResult;
        case FPE_FLTSUB: return kArrayBoundsExceeded;
        default: return kFltInvalidOperation;
      }
    case SIGILL:
      return si_code == ILL_PRVOPC || si_code == ILL_PRVREG ? kPrivInstruction
                                                             : kIllegalInstruction;
    case SIGTRAP:
      return si_code == TRAP_TRACE ? kSingleStep : kBreakpoint;
    case SIGABRT:
      return kAborted;
    default:
      return 0;
  }
}

CExceptionExt::CExceptionExt(uint32_t code, uint64_t fault_address, std::string area)
    : code_(code), fault_address_(fault_address), area_(std::move(area)) {}

void CExceptionExt::SetAccess(AccessKind kind, uint64_t address) {
  access_ = kind;
  access_address_ = address;
}

std::string CExceptionExt::OneLineMessage() const {
  const std::string_view name = ExceptionName(code_);
  if (name.empty()) return "Unknown exception.";
  char text[256];
  if (code_ == kAccessViolation && access_ != AccessKind::kNone) {
    std::snprintf(text, sizeof text,
                  "Exception %.*s (0x%.8x) at address 0x%.8" PRIx64
                  " trying to %s address 0x%.8" PRIx64 ".",
                  static_cast<int>(name.size()), name.data(), code_, fault_address_,
                  access_ == AccessKind::kWrite ? "write" : "read", access_address_);
  } else {
    std::snprintf(text, sizeof text, "Exception %.*s (0x%.8x) at address 0x%.8" PRIx64 ".",
                  static_cast<int>(name.size()), name.data(), code_, fault_address_);
  }
  return text;
}

bool CExceptionExt::GetErrorMessage(char* buffer, size_t size, unsigned* help_context) const {
  if (help_context != nullptr) *help_context = 0;
  if (buffer == nullptr || size == 0) return false;
  const std::string message = OneLineMessage();
  if (message.size() >= size) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, message.c_str(), message.size() + 1);
  return true;
}

}  // namespace quarry
