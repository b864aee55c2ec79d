// The fault handler at work in child processes: each fault kind must end
// the child with exit code 3 and leave a record from which the report
// shows the right exception, addresses, area, run time and views.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "fault/fault_record.h"
#include "fault/fault_report.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

class FaultCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("quarry-fault-capture-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs the helper; returns the path of the one record it left.
  std::string Crash(const std::string& kind, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {QUARRY_FAULT_HELPER, folder_.string(), kind};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const testing::ProcessResult result =
        testing::RunProcess(argv, {}, {}, std::chrono::seconds(30));
    EXPECT_EQ(result.exit_code, 3) << kind << " signal " << result.signal << "\n" << result.err;
    EXPECT_NE(result.err.find("stopped by exception"), std::string::npos) << result.err;
    std::vector<std::string> records;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().extension() == ".raw") records.push_back(entry.path().string());
    }
    EXPECT_EQ(records.size(), 1u) << kind;
    return records.empty() ? std::string() : records.front();
  }

  std::string Report(const std::string& path, FaultRecord* record) {
    std::string error;
    EXPECT_TRUE(ReadFaultRecord(path, record, &error)) << error;
    return BuildFaultReport(*record, "");
  }

  fs::path folder_;
};

TEST_F(FaultCaptureTest, ReadOfAddressZeroIsAnAccessViolation) {
  FaultRecord record;
  const std::string report = Report(Crash("read"), &record);
  const CExceptionExt e = ExceptionFromRecord(record);
  EXPECT_TRUE(std::regex_match(e.OneLineMessage(),
                               std::regex("Exception ACCESS_VIOLATION \\(0xc0000005\\) at address "
                                          "0x[0-9a-f]{8,16} trying to read address 0x00000000\\.")))
      << e.OneLineMessage();
  EXPECT_NE(report.find("Exception:\t\tC0000005 (Reading from an inaccessible memory location)\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Access Type:\tRead\r\nAccess Address:\t00000000\r\n"), std::string::npos);
  // The fault lies in the helper itself, and the chain leads out of it.
  EXPECT_NE(report.find("Module:\t\t" + std::string(QUARRY_FAULT_HELPER) + "\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(e.ReturnAddresses()[0], 0u);
  EXPECT_NE(record.raw.frame_trace[0], 0u);
  // The program's values reach the report.
  EXPECT_NE(report.find("Program:\t\tQuarry\r\nFilename:\t\t/opt/quarry/bin/Quarry\r\n"
                        "Version:\t\t1.2.3.4\r\n"),
            std::string::npos);
  EXPECT_TRUE(std::regex_search(report, std::regex("Total Runtime:\t1:1:1:[12] \\(Days:Hours:"
                                                   "Min:Sec\\)\r\nCurrent Status:\tParsing the page\r\n")))
      << report;
  EXPECT_NE(report.find("Current View:\tTable Results View\r\nVisited Views:\tWeb Browser View\r\n"
                        "\t\t\tTable Results View\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(report.find("Registers:\r\nRAX="), std::string::npos);
  EXPECT_EQ(report.find("Ext. Stack Trace:"), std::string::npos);  // not asked for
}

TEST_F(FaultCaptureTest, DivisionByZeroIsNamed) {
  FaultRecord record;
  const std::string report = Report(Crash("divide"), &record);
  const CExceptionExt e = ExceptionFromRecord(record);
  EXPECT_TRUE(std::regex_match(e.OneLineMessage(),
                               std::regex("Exception INT_DIVIDE_BY_ZERO \\(0xc0000094\\) at address "
                                          "0x[0-9a-f]{8,16}\\.")))
      << e.OneLineMessage();
  EXPECT_NE(report.find("Exception:\t\tC0000094 (Dividing an integer type by 0)\r\n"),
            std::string::npos);
  EXPECT_EQ(report.find("Access Type:"), std::string::npos);
  EXPECT_EQ(record.raw.fault_address, record.raw.registers[kRip]);
}

TEST_F(FaultCaptureTest, UncaughtExceptionSaysWhatItWas) {
  FaultRecord record;
  const std::string report = Report(Crash("abort"), &record);
  EXPECT_EQ(record.raw.code, exception_code::kAborted);
  EXPECT_NE(report.find("Details:\t\tUncaught exception: a simulated fault that nothing catches\r\n"),
            std::string::npos)
      << report;
}

TEST_F(FaultCaptureTest, WorkerThreadsReportTheirArea) {
  FaultRecord record;
  const std::string report = Report(Crash("thread-read"), &record);
  EXPECT_EQ(record.raw.code, exception_code::kAccessViolation);
  EXPECT_NE(report.find("Area:\t\t\tGlobals (Execute Process)\r\n"), std::string::npos) << report;
}

TEST_F(FaultCaptureTest, StackOverflowIsReportedFromTheAlternateStack) {
  FaultRecord record;
  Report(Crash("overflow", {"--dump"}), &record);
  EXPECT_EQ(record.raw.code, exception_code::kStackOverflow);
  EXPECT_STREQ(record.raw.area, "Other");
  EXPECT_EQ(record.raw.stack_dump_wanted, 1u);
}

TEST_F(FaultCaptureTest, ExtendedDumpReadsTheStackUpToItsBase) {
  FaultRecord record;
  const std::string report = Report(Crash("read", {"--dump"}), &record);
  EXPECT_GT(record.raw.stack_dump_length, 0u);
  EXPECT_EQ(record.raw.stack_dump_address, record.raw.registers[kRsp]);
  EXPECT_NE(report.find("Ext. Stack Trace:\r\n0x"), std::string::npos);
}

TEST_F(FaultCaptureTest, ReporterStartsInAFreshProcessAndNamesFunctions) {
  const std::string record = Crash("read", {"--reporter"});
  // The reporter runs on after the crashed process ended.
  const fs::path text = record + ".txt";
  for (int i = 0; i < 200 && !fs::exists(text); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(fs::exists(text));
  std::string report;
  for (int i = 0; i < 100; ++i) {
    std::ifstream in(text, std::ios::binary);
    report.assign(std::istreambuf_iterator<char>(in), {});
    if (report.find("Call Trace:") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(report.find("fault_capture_helper+0x"), std::string::npos) << report;
  EXPECT_NE(report.find("quarry::SimulateFault"), std::string::npos) << report;
  EXPECT_NE(report.find("main+0x"), std::string::npos) << report;
  // The reporter describes the machine.
  EXPECT_NE(report.find("Installed CPUs:\t"), std::string::npos);
  EXPECT_NE(report.find("Tot Phys Mem:\t"), std::string::npos);
}

}  // namespace
}  // namespace quarry
