#include "fault/exception_ext.h"

#include <signal.h>

#include <gtest/gtest.h>

namespace quarry {
namespace {

using namespace exception_code;

TEST(ExceptionExtTest, OneLineMessageNamesTheCodeAndAddresses) {
  struct Case {
    uint32_t code;
    uint64_t address;
    AccessKind access;
    uint64_t touched;
    std::string message;
  } cases[] = {
      {kIntDivideByZero, 0x401000, AccessKind::kNone, 0,
       "Exception INT_DIVIDE_BY_ZERO (0xc0000094) at address 0x00401000."},
      {kAccessViolation, 0x4010a2, AccessKind::kRead, 0,
       "Exception ACCESS_VIOLATION (0xc0000005) at address 0x004010a2 trying to read address "
       "0x00000000."},
      {kAccessViolation, 0x55d0c0de1234, AccessKind::kWrite, 0x7ffc0010,
       "Exception ACCESS_VIOLATION (0xc0000005) at address 0x55d0c0de1234 trying to write "
       "address 0x7ffc0010."},
      {kStackOverflow, 0x10, AccessKind::kNone, 0,
       "Exception STACK_OVERFLOW (0xc00000fd) at address 0x00000010."},
      // A code with a description but no name, and one with neither.
      {0xC015000F, 0x10, AccessKind::kNone, 0, "Unknown exception."},
      {0xE06D7363, 0x10, AccessKind::kNone, 0, "Unknown exception."},
  };
  for (const Case& c : cases) {
    CExceptionExt e(c.code, c.address);
    if (c.access != AccessKind::kNone) e.SetAccess(c.access, c.touched);
    EXPECT_EQ(e.OneLineMessage(), c.message);
  }
  EXPECT_EQ(ExceptionDescription(0xC015000F),
            "(The activation context being deactivated is not the most recently activated one)");
  EXPECT_EQ(ExceptionDescription(0xE06D7363), "");
  EXPECT_EQ(ExceptionDescription(kAccessViolation, AccessKind::kWrite),
            "(Writing to an inaccessible memory location)");
  EXPECT_EQ(ExceptionDescription(kAccessViolation, AccessKind::kRead),
            "(Reading from an inaccessible memory location)");
}

TEST(ExceptionExtTest, GetErrorMessageRefusesABufferTooSmall) {
  const CExceptionExt e(kIntDivideByZero, 0x401000);
  const std::string message = e.OneLineMessage();
  unsigned help = 77;
  std::vector<char> exact(message.size() + 1, 'x');
  EXPECT_TRUE(e.GetErrorMessage(exact.data(), exact.size(), &help));
  EXPECT_EQ(std::string(exact.data()), message);
  EXPECT_EQ(help, 0u);
  // As long as the text (no room for the NUL) is too short.
  std::vector<char> short_buffer(message.size(), 'x');
  EXPECT_FALSE(e.GetErrorMessage(short_buffer.data(), short_buffer.size(), nullptr));
  EXPECT_EQ(short_buffer[0], '\0');
}

TEST(ExceptionExtTest, SignalsMapOntoExceptionCodes) {
  struct Case {
    int signal;
    int si_code;
    bool overflow;
    uint32_t code;
  } cases[] = {
      {SIGSEGV, SEGV_MAPERR, false, kAccessViolation},
      {SIGSEGV, SEGV_ACCERR, true, kStackOverflow},
      {SIGFPE, FPE_INTDIV, false, kIntDivideByZero},
      {SIGFPE, FPE_INTOVF, false, kIntOverflow},
      {SIGFPE, FPE_FLTDIV, false, kFltDivideByZero},
      {SIGFPE, FPE_FLTINV, false, kFltInvalidOperation},
      {SIGFPE, FPE_FLTUND, false, kFltUnderflow},
      {SIGBUS, BUS_ADRALN, false, kDatatypeMisalignment},
      {SIGBUS, BUS_ADRERR, false, kInPageError},
      {SIGILL, ILL_ILLOPC, false, kIllegalInstruction},
      {SIGILL, ILL_PRVOPC, false, kPrivInstruction},
      {SIGABRT, 0, false, kAborted},
      {SIGTERM, 0, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExceptionCodeForSignal(c.signal, c.si_code, c.overflow), c.code)
        << c.signal << "/" << c.si_code;
  }
}

}  // namespace
}  // namespace quarry
