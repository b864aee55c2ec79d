#include "fault/fault_report.h"

#include <cstring>

#include <gtest/gtest.h>

namespace quarry {
namespace {

size_t CountOf(const std::string& text, std::string_view part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(FaultReportTest, RunTimeCountsDaysHoursMinutesSeconds) {
  struct Case {
    int64_t seconds;
    const char* text;
  } cases[] = {
      {90061, "1:1:1:1 (Days:Hours:Min:Sec)"},
      {0, "0:0:0:0 (Days:Hours:Min:Sec)"},
      {86399, "0:23:59:59 (Days:Hours:Min:Sec)"},
      {3 * 86400 + 7, "3:0:0:7 (Days:Hours:Min:Sec)"},
      {-5, "0:0:0:0 (Days:Hours:Min:Sec)"},  // a clock set back
  };
  for (const Case& c : cases) EXPECT_EQ(FormatRunTime(c.seconds), c.text) << c.seconds;
  EXPECT_EQ(RunTimeSection(90061, ""),
            "Total Runtime:\t1:1:1:1 (Days:Hours:Min:Sec)\r\nCurrent Status:\tStarting\r\n");
}

TEST(FaultReportTest, StackDumpPadsTheShortLastLine) {
  // 40 bytes: two full lines and one of two words.
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += static_cast<char>(i < 16 ? 'a' + i : i);
  const std::string dump = StackDumpSection(0x7ffc1000, bytes, false);
  EXPECT_EQ(dump,
            "Ext. Stack Trace:\r\n"
            "0x7FFC1000: 64636261 68676665 6C6B6A69 706F6E6D ABCDEFGHIJKLMNOP\r\n"
            "0x7FFC1010: 13121110 17161514 1B1A1918 1F1E1D1C ................\r\n"
            "0x7FFC1020: 23222120 27262524                   " " !\"#$%&'\r\n"
            "\r\n");
  const std::string faulted = StackDumpSection(0x1000, std::string(4, 'x'), true);
  EXPECT_EQ(faulted,
            "Ext. Stack Trace:\r\n"
            "0x00001000: 78787878                            XXXX\r\n"
            "Exception encountered during extended stack dump.\r\n"
            "\r\n");
}

TEST(FaultReportTest, SectionsFollowTheirLayouts) {
  EXPECT_EQ(ProgramHeaderSection("01/02/25 3:04:05 PM", "Quarry", "/bin/Quarry", "1.0.0.0", ""),
            "Date/Time:\t\t01/02/25 3:04:05 PM\r\nProgram:\t\tQuarry\r\nFilename:\t\t/bin/Quarry\r\n"
            "Version:\t\t1.0.0.0\r\n");
  EXPECT_EQ(ProgramHeaderSection("d", "p", "f", "v", "/lib/libx.so"),
            "Date/Time:\t\td\r\nProgram:\t\tp\r\nFilename:\t\tf\r\nVersion:\t\tv\r\n"
            "Module:\t\t/lib/libx.so\r\n");

  CExceptionExt read(exception_code::kAccessViolation, 0x401000);
  read.SetAccess(AccessKind::kRead, 0);
  EXPECT_EQ(ExceptionSection(read, ""),
            "Exception:\t\tC0000005 (Reading from an inaccessible memory location)\r\n"
            "Address:\t\t00401000\r\nAccess Type:\tRead\r\nAccess Address:\t00000000\r\n\r\n");
  const CExceptionExt divide(exception_code::kIntDivideByZero, 0x401000, "Other");
  EXPECT_EQ(ExceptionSection(divide, ""),
            "Exception:\t\tC0000094 (Dividing an integer type by 0)\r\nAddress:\t\t00401000\r\n"
            "Area:\t\t\tOther\r\n\r\n");

  EXPECT_EQ(ViewsSection("", {}), "");
  EXPECT_EQ(ViewsSection("Configurations", {}), "Current View:\tConfigurations\r\n\r\n");
  EXPECT_EQ(ViewsSection("B", {"A", "B"}),
            "Current View:\tB\r\nVisited Views:\tA\r\n\t\t\tB\r\n\r\n");

  std::array<uint64_t, CExceptionExt::kTraceLength> trace{};
  trace[0] = 0x401234;
  const std::string stack = StackTraceSection(trace);
  EXPECT_EQ(CountOf(stack, "\r\n"), 8u + 2u);  // 8 lines of 4, title, empty line
  EXPECT_NE(stack.find("0000000000401234 0000000000000000"), std::string::npos);
}

TEST(FaultReportTest, SystemSectionListsProcessorsAndGroupedMemory) {
  sysinfo::MemoryFigures mb;
  mb.total_physical = 7994;
  mb.available_physical = 1234;
  mb.total_paging = 0;
  mb.available_paging = 12345;
  const std::string tail =
      "Operating System:\tDebian GNU/Linux 12 (bookworm) 6.1.0\r\nTot Phys Mem:\t7,994 MB\r\n"
      "Avail Phys Mem:\t1,234 MB\r\nTot Paging Mem:\t0 MB\r\nAvail Paging Mem:\t12,345 MB\r\n\r\n";
  EXPECT_EQ(SystemInfoSection({{"Xeon", 2993.4}}, "Debian GNU/Linux 12 (bookworm) 6.1.0", mb),
            "Installed CPUs:\t1\r\n\tCPU:\tXeon @ 2993 MHz\r\n" + tail);
  EXPECT_EQ(SystemInfoSection({{"A", 1000}, {"B", 2400.6}}, "Debian GNU/Linux 12 (bookworm) 6.1.0",
                              mb),
            "Installed CPUs:\t2\r\n\tCPU 1:\tA @ 1000 MHz\r\n\tCPU 2:\tB @ 2401 MHz\r\n" + tail);
  // No processor could be read: still at least one.
  EXPECT_TRUE(SystemInfoSection({}, "x", mb).starts_with("Installed CPUs:\t1\r\nOperating"));
}

TEST(FaultReportTest, X86RegistersUseTheWideLayout) {
  RawFaultRecord raw{};
  raw.register_set = static_cast<uint32_t>(RegisterSet::kX86_64);
  raw.registers[kRax] = 0x1122334455667788;
  raw.registers[kRip] = 0x401000;
  raw.registers[kCs] = 0x33;
  raw.registers[kEfl] = 0x10246;
  const std::string text = RegistersSection(raw);
  EXPECT_EQ(text.substr(0, text.find("\r\n", 12) + 2),
            "Registers:\r\nRAX=1122334455667788 CS=0033 RIP=0000000000401000 EFL=00010246\r\n");
  for (const char* name : {"RBX=", "SS=", "RSP=", "RBP=", "RCX=", "DS=", "RSI=", "FS=", "RDX=",
                           "ES=", "RDI=", "GS=", "R8 =", "R15="}) {
    EXPECT_NE(text.find(name), std::string::npos) << name;
  }
  EXPECT_TRUE(text.ends_with("\r\n\r\n"));
}

TEST(FaultReportTest, ModulesAreFoundFromTheMemoryMap) {
  const std::string maps =
      "55d0c0de0000-55d0c0de1000 r--p 00000000 08:01 123   /opt/q/bin/Quarry\n"
      "55d0c0de1000-55d0c0de5000 r-xp 00001000 08:01 123   /opt/q/bin/Quarry\n"
      "7f0000000000-7f0000001000 rw-p 00000000 00:00 0 \n"
      "7f0000001000-7f0000003000 r-xp 00000000 08:01 456   /usr/lib/libc.so.6\n"
      "7ffc00000000-7ffc00021000 rw-p 00000000 00:00 0   [stack]\n"
      "garbage line\n";
  struct Case {
    uint64_t address;
    const char* path;
    uint64_t offset;
  } cases[] = {
      {0x55d0c0de2345, "/opt/q/bin/Quarry", 0x2345},
      {0x7f0000001010, "/usr/lib/libc.so.6", 0x10},
      {0x7f0000000010, "", 0},  // anonymous memory
      {0x7ffc00000100, "", 0},  // the stack
      {0x10, "", 0},
  };
  for (const Case& c : cases) {
    const ModuleLocation where = FindModule(maps, c.address);
    EXPECT_EQ(where.path, c.path);
    EXPECT_EQ(where.offset, c.offset);
  }
}

TEST(FaultReportTest, DamagedRecordsAreRefused) {
  RawFaultRecord raw{};
  std::memcpy(raw.magic, RawFaultRecord::kMagic, sizeof raw.magic);
  raw.version = RawFaultRecord::kVersion;
  raw.size = sizeof raw;
  raw.stack_dump_length = 999999;  // more than the array holds
  raw.unwound_count = 1000;
  std::memset(raw.status, 'x', sizeof raw.status);  // no terminating NUL
  const std::string good(reinterpret_cast<const char*>(&raw), sizeof raw);

  FaultRecord record;
  std::string error;
  ASSERT_TRUE(ParseFaultRecord(good + "maps", &record, &error)) << error;
  EXPECT_EQ(record.raw.stack_dump_length, kStackDumpLimit);
  EXPECT_EQ(record.raw.unwound_count, CExceptionExt::kTraceLength);
  EXPECT_EQ(std::strlen(record.raw.status), sizeof raw.status - 1);
  EXPECT_EQ(record.map_text, "maps");

  std::string wrong_magic = good;
  wrong_magic[0] = 'X';
  std::string wrong_version = good;
  wrong_version[8] = 9;
  for (const std::string& bytes : {good.substr(0, 100), wrong_magic, wrong_version,
                                   std::string()}) {
    EXPECT_FALSE(ParseFaultRecord(bytes, &record, &error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace quarry
