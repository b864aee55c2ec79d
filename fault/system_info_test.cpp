#include "fault/system_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "platform/testing/subprocess.h"

namespace quarry::sysinfo {
namespace {

OsVersionRecord Windows(uint32_t major, uint32_t minor, uint32_t platform = kPlatformNt,
                        uint8_t product = kProductWorkstation, std::string service_pack = "") {
  OsVersionRecord record;
  record.major = major;
  record.minor = minor;
  record.platform = platform;
  record.product_type = product;
  record.service_pack = std::move(service_pack);
  return record;
}

TEST(SystemInfoTest, WindowsRecordsAreClassifiedAndNamedByTheTable) {
  struct Case {
    OsVersionRecord record;
    int index;
    const char* name;        // 64-bit flag 0
    const char* wow64_name;  // 64-bit flag 1
  };
  const Case cases[] = {
      {Windows(3, 1, kPlatformWin32s), 0, "Windows 3.1", "Windows 3.1"},
      {Windows(3, 0), 1, "Windows NT 3.51", "Windows NT 3.51"},
      {Windows(4, 0, kPlatformWindows), 2, "Windows 95", "Windows 95"},
      {Windows(4, 10, kPlatformWindows), 3, "Windows 98", "Windows 98"},
      {Windows(4, 90, kPlatformWindows), 4, "Windows Me", "Windows Me"},
      {Windows(4, 0, kPlatformNt), 5, "Windows NT 4.0", "Windows NT 4.0"},
      {Windows(5, 0), 6, "Windows 2000", "Windows 2000"},
      {Windows(5, 1), 7, "Windows XP - 32 Bit", "Windows XP - 64 Bit"},
      // 5.2 is XP only on a workstation; any other product is the server.
      {Windows(5, 2, kPlatformNt, kProductWorkstation), 7, "Windows XP - 32 Bit",
       "Windows XP - 64 Bit"},
      {Windows(5, 2, kPlatformNt, kProductServer), 8, "Windows Server 2003",
       "Windows Server 2003 - 64 Bit"},
      {Windows(5, 2, kPlatformNt, 0), 8, "Windows Server 2003", "Windows Server 2003 - 64 Bit"},
      {Windows(6, 0), 9, "Windows Vista - 32 Bit", "Windows Vista - 64 Bit"},
      {Windows(6, 0, kPlatformNt, kProductDomainController), 10, "Windows Server 2008 - 32 Bit",
       "Windows Server 2008 - 64 Bit"},
      {Windows(6, 1, kPlatformNt, kProductServer), 10, "Windows Server 2008 - 32 Bit",
       "Windows Server 2008 - 64 Bit"},
      {Windows(6, 1), 11, "Windows 7 - 32 Bit", "Windows 7 - 64 Bit"},
      // For 6.x an unknown product type counts as a workstation.
      {Windows(6, 1, kPlatformNt, 7), 11, "Windows 7 - 32 Bit", "Windows 7 - 64 Bit"},
      {Windows(6, 2, kPlatformNt, kProductServer), 12, "Windows Server 2012 - 64 Bit",
       "Windows Server 2012 - 64 Bit"},
      {Windows(6, 2), 13, "Windows 8 - 32 Bit", "Windows 8 - 64 Bit"},
      // Versions after the table, and minors it does not list.
      {Windows(6, 3), -1, "", ""},
      {Windows(10, 0), -1, "", ""},
      {Windows(3, 51), -1, "", ""},
      {Windows(4, 1), -1, "", ""},
      {Windows(5, 3), -1, "", ""},
      {Windows(2, 0), -1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.record.major) + "." + std::to_string(c.record.minor) +
                 " product " + std::to_string(c.record.product_type));
    EXPECT_EQ(ClassifyWindowsVersion(c.record), c.index);
    EXPECT_EQ(WindowsVersionName(c.index, false), c.name);
    EXPECT_EQ(WindowsVersionName(c.index, true), c.wow64_name);
    EXPECT_EQ(VersionNameOf(c.record, true), c.wow64_name);
  }
  EXPECT_EQ(WindowsVersionName(14, false), "");
  EXPECT_EQ(WindowsVersionName(kLinuxVersionIndex, true), "");
}

TEST(SystemInfoTest, TheServicePackFollowsANameButNeverStandsAlone) {
  EXPECT_EQ(VersionNameOf(Windows(6, 1, kPlatformNt, kProductWorkstation, "Service Pack 1"), true),
            "Windows 7 - 64 Bit Service Pack 1");
  EXPECT_EQ(VersionNameOf(Windows(6, 3, kPlatformNt, kProductWorkstation, "Service Pack 1"), true),
            "");

  OsVersionRecord linux_record = *LinuxVersionRecord("6.1.0-18-amd64", "Debian GNU/Linux 12");
  EXPECT_EQ(VersionNameOf(linux_record, false), "Debian GNU/Linux 12 6.1.0-18-amd64");
  EXPECT_EQ(VersionNameOf(linux_record, true), "Debian GNU/Linux 12 - 64 Bit 6.1.0-18-amd64");
  linux_record.system_name.clear();
  EXPECT_EQ(VersionNameOf(linux_record, false), "Linux 6.1.0-18-amd64");
}

TEST(SystemInfoTest, GroupedNumbers) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "0"},
      {7, "7"},
      {100, "100"},
      {999, "999"},
      {1000, "1,000"},
      {-4500, "-4,500"},
      {-999, "-999"},
      {123456, "123,456"},
      {1234567, "1,234,567"},
      {std::numeric_limits<int64_t>::max(), "9,223,372,036,854,775,807"},
      {std::numeric_limits<int64_t>::min(), "-9,223,372,036,854,775,808"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(GroupedNumber(value), text) << value;
}

TEST(SystemInfoTest, TheReportMegabyteIsNotAMebibyte) {
  EXPECT_EQ(ReportMegabytes(8589934592ull), 7994u);
  EXPECT_EQ(ReportMegabytes(kReportMegabyte - 1), 0u);
  EXPECT_EQ(ReportMegabytes(kReportMegabyte), 1u);
  EXPECT_EQ(ReportMegabytes(1048576ull * 1024), 999u);
}

TEST(SystemInfoTest, ThirtyTwoBitProgramsOnSixtyFourBitKernels) {
  EXPECT_TRUE(Is32BitProgramOn64BitKernel(32, "x86_64"));
  EXPECT_TRUE(Is32BitProgramOn64BitKernel(32, "aarch64"));
  EXPECT_FALSE(Is32BitProgramOn64BitKernel(64, "x86_64"));
  EXPECT_FALSE(Is32BitProgramOn64BitKernel(32, "i686"));
  EXPECT_FALSE(Is32BitProgramOn64BitKernel(32, ""));
}

TEST(SystemInfoTest, DistributionNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"PRETTY_NAME='Fedora Linux 40'\n", "Fedora Linux 40"},
      {"NAME=Arch\n", "Arch"},
      {"PRETTY_NAME=\"A \\\"quoted\\\" name\"", "A \"quoted\" name"},
      {"# PRETTY_NAME=\"comment\"\nID=debian\n", ""},
      {"", ""},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(DistributionName(text), name) << text;
}

TEST(SystemInfoTest, KernelReleasesBecomeVersionRecords) {
  struct Case {
    const char* release;
    bool valid;
    uint32_t major, minor, build;
  };
  const Case cases[] = {
      {"6.1.0-18-amd64\n", true, 6, 1, 0},
      {"5.15.167.4-microsoft-standard-WSL2", true, 5, 15, 167},
      {"6.8", true, 6, 8, 0},
      {"4", true, 4, 0, 0},
      {"99999999999.1", true, UINT32_MAX, 1, 0},
      {"", false, 0, 0, 0},
      {"v6.1", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    const std::optional<OsVersionRecord> record = LinuxVersionRecord(c.release, "X");
    ASSERT_EQ(record.has_value(), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(record->major, c.major);
    EXPECT_EQ(record->minor, c.minor);
    EXPECT_EQ(record->build, c.build);
    EXPECT_EQ(record->platform, kPlatformLinux);
    EXPECT_EQ(record->service_pack, std::string(c.release).substr(0, record->service_pack.size()));
    EXPECT_EQ(record->service_pack.find('\n'), std::string::npos);
  }
}

TEST(SystemInfoTest, CpuLists) {
  const std::pair<const char*, int> cases[] = {
      {"0\n", 1}, {"0-3", 4}, {"0-3,6", 5}, {"0,2,4-5\n", 4}, {"", 0},
      {"3-1", 0}, {"0-3,", 0}, {"a", 0}, {"0-", 0}, {"0-99999999999", 0},
  };
  for (const auto& [list, count] : cases) EXPECT_EQ(CountCpuList(list), count) << list;
}

constexpr char kCpuInfo[] =
    "processor\t: 0\n"
    "vendor_id\t: GenuineIntel\n"
    "cpu family\t: 6\n"
    "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\n"
    "cpu MHz\t\t: 3192.614\n"
    "\n"
    "processor\t: 1\n"
    "model name\t: Second Processor\n"
    "\n"
    "processor\t: 10\n"
    "cpu\t\t: POWER9 (raw), altivec supported\n"
    "cpu MHz\t\t: nonsense\n";

TEST(SystemInfoTest, ProcessorsAreFoundByTheirOwnNumber) {
  std::optional<CpuInfoEntry> first = FindCpuInfo(kCpuInfo, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->name, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
  EXPECT_DOUBLE_EQ(first->mhz, 3192.614);
  // Processor 1 names no speed: processor 0's is not taken for it.
  std::optional<CpuInfoEntry> second = FindCpuInfo(kCpuInfo, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->name, "Second Processor");
  EXPECT_EQ(second->mhz, 0.0);
  std::optional<CpuInfoEntry> tenth = FindCpuInfo(kCpuInfo, 10);
  ASSERT_TRUE(tenth);
  EXPECT_EQ(tenth->name, "POWER9 (raw), altivec supported");
  EXPECT_EQ(tenth->mhz, 0.0);
  EXPECT_FALSE(FindCpuInfo(kCpuInfo, 2));
  EXPECT_FALSE(FindCpuInfo("", 0));
}

TEST(SystemInfoTest, MemInfoFieldsAreKilobytes) {
  const char text[] = "MemTotal:        8388608 kB\nMemFree:  1 kB\nHugePages_Total: 3\nBad: x kB\n";
  EXPECT_EQ(MemInfoBytes(text, "MemTotal"), 8589934592ull);
  EXPECT_EQ(MemInfoBytes(text, "MemFree"), 1024u);
  EXPECT_EQ(MemInfoBytes(text, "HugePages_Total"), 3u);
  EXPECT_FALSE(MemInfoBytes(text, "Bad"));
  EXPECT_FALSE(MemInfoBytes(text, "Mem"));
  EXPECT_FALSE(MemInfoBytes("Huge: 99999999999999999999 kB", "Huge"));
}

// A machine laid out in a folder: two processors with a published speed
// each, a third with none.
class FakeMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sources_.root = dir_.path();
    sources_.machine = "x86_64";
    sources_.measure_khz = [this](int cpu) {
      measured_.push_back(cpu);
      return 1234567.0;
    };
    Put("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    Put("/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    Put("/sys/devices/system/cpu/online", "0-2\n");
    Put("/proc/cpuinfo",
        "processor : 0\nmodel name : First\ncpu MHz : 800.000\n\n"
        "processor : 1\nmodel name : Second\ncpu MHz : 2400.6\n\n"
        "processor : 2\nmodel name : Third\n");
    // The rated speed wins over the highest and over what cpuinfo shows now.
    Put("/sys/devices/system/cpu/cpu0/cpufreq/base_frequency", "2993000\n");
    Put("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "4600000\n");
    Put("/proc/meminfo",
        "MemTotal:       8388608 kB\nMemFree:  1048576 kB\nMemAvailable:   4194304 kB\n"
        "SwapTotal:      2097152 kB\nSwapFree:       2097152 kB\n");
    Put("/proc/self/status", "Name:\tquarry\nVmSize:\t  102400 kB\n");
  }

  void Put(const std::string& path, const std::string& text) {
    const std::filesystem::path full = dir_.path() + path;
    std::filesystem::create_directories(full.parent_path());
    ASSERT_TRUE(testing::WriteFileBytes(full.string(), text));
  }

  testing::TempDir dir_;
  SystemSources sources_;
  std::vector<int> measured_;
};

TEST_F(FakeMachineTest, VersionIndexRecordAndName) {
  bool is_64bit = true;
  OsVersionRecord record;
  EXPECT_EQ(GetVersionIndex(&is_64bit, &record, sources_), kLinuxVersionIndex);
  EXPECT_EQ(is_64bit, sizeof(void*) == 4);
  EXPECT_EQ(record.major, 6u);
  EXPECT_EQ(record.minor, 1u);
  EXPECT_EQ(record.system_name, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(GetVersionIndex(nullptr, nullptr, sources_), kLinuxVersionIndex);
  EXPECT_EQ(GetVersionName(sources_), sizeof(void*) == 4
                                          ? "Debian GNU/Linux 12 (bookworm) - 64 Bit 6.1.0-18-amd64"
                                          : "Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64");
}

TEST_F(FakeMachineTest, AnUnreadableVersionDegrades) {
  std::filesystem::remove(dir_.path() + "/proc/sys/kernel/osrelease");
  OsVersionRecord record;
  record.major = 42;
  EXPECT_EQ(GetVersionIndex(nullptr, &record, sources_), kUnknownVersionIndex);
  EXPECT_EQ(record.major, 42u);  // left as it was
  EXPECT_EQ(GetVersionName(sources_), "");
}

TEST_F(FakeMachineTest, ProcessorsNamesAndSpeeds) {
  EXPECT_EQ(GetProcessorCount(sources_), 3);
  EXPECT_EQ(GetProcessorName(0, sources_), "First");
  EXPECT_EQ(GetProcessorName(2, sources_), "Third");
  EXPECT_EQ(GetProcessorName(3, sources_), "");

  EXPECT_EQ(GetProcessorSpeed(true, 0, sources_), 2993.0);
  EXPECT_EQ(GetProcessorSpeed(false, 0, sources_), 2993000.0);
  // Without a frequency folder the speed cpuinfo shows, in whole MHz.
  EXPECT_EQ(GetProcessorSpeed(true, 1, sources_), 2401.0);
  EXPECT_TRUE(measured_.empty());
  // Nothing published: measured, in kHz, and in MHz on request.
  EXPECT_EQ(GetProcessorSpeed(false, 2, sources_), 1234567.0);
  EXPECT_DOUBLE_EQ(GetProcessorSpeed(true, 2, sources_), 1234.567);
  EXPECT_EQ(measured_, (std::vector<int>{2, 2}));

  // The highest speed when the rated one is not told.
  std::filesystem::remove(dir_.path() + "/sys/devices/system/cpu/cpu0/cpufreq/base_frequency");
  EXPECT_EQ(GetProcessorSpeed(true, 0, sources_), 4600.0);
}

TEST_F(FakeMachineTest, AMissingProcessorListCountsOne) {
  Put("/sys/devices/system/cpu/online", "garbage");
  EXPECT_EQ(GetProcessorCount(sources_), 1);
}

TEST_F(FakeMachineTest, MemoryFiguresInBytesAndInReportMegabytes) {
  MemoryFigures bytes = GetMemoryFigures(false, sources_);
  EXPECT_EQ(bytes.total_physical, 8589934592ull);
  EXPECT_EQ(bytes.available_physical, 4294967296ull);
  EXPECT_EQ(bytes.total_paging, 2147483648ull);
  EXPECT_EQ(bytes.available_paging, 2147483648ull);
  EXPECT_EQ(bytes.total_virtual - bytes.available_virtual, 102400ull * 1024);

  MemoryFigures report = GetMemoryFigures(true, sources_);
  EXPECT_EQ(report.total_physical, 7994u);
  EXPECT_EQ(report.available_physical, 3997u);
  EXPECT_EQ(report.total_paging, 1998u);
  EXPECT_EQ(GroupedNumber(static_cast<int64_t>(report.total_physical)), "7,994");

  // An older kernel without the estimate: free memory stands in for it.
  Put("/proc/meminfo", "MemTotal: 8388608 kB\nMemFree: 1048576 kB\n");
  bytes = GetMemoryFigures(false, sources_);
  EXPECT_EQ(bytes.available_physical, 1073741824ull);
  EXPECT_EQ(bytes.total_paging, 0u);
}

TEST(SystemInfoTest, TheRunningSystemIsDescribed) {
  EXPECT_GE(GetProcessorCount(), 1);
  EXPECT_EQ(GetVersionIndex(nullptr, nullptr), kLinuxVersionIndex);
  EXPECT_FALSE(GetVersionName().empty());
  EXPECT_GT(GetMemoryFigures(false).total_physical, 0u);
#if defined(__x86_64__) || defined(__i386__)
  // The counter runs at hundreds of MHz at least on any x86 of this age.
  EXPECT_GT(MeasureClockKhz(0, 20), 100000.0);
#endif
}

}  // namespace
}  // namespace quarry::sysinfo
