// A child process for the fault-capture tests.
//
//   fault_capture_helper FOLDER KIND [--dump] [--reporter]
//     installs the capture with FOLDER for the records and faults: KIND is
//     read, divide or abort (as SimulateFault), thread-read (a read of
//     address 0 on a guarded worker thread) or overflow (a guarded worker
//     thread runs out of stack). --dump records the raw stack; --reporter
//     starts this program with --report as the reporter.
//   fault_capture_helper --report RECORD
//     the reporter: writes the report built from RECORD to RECORD.txt.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "fault/fault_capture.h"
#include "fault/fault_record.h"
#include "fault/fault_report.h"

namespace {

// Deep enough to use up any stack; the volatile array keeps each frame.
__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  // Far beyond any stack; the bound only tells the compiler it ends.
  if (depth > 1 << 30) return frame[0];
  return Recurse(depth + 1) + frame[0];
}

int Report(const char* path) {
  quarry::FaultRecord record;
  std::string error;
  if (!quarry::ReadFaultRecord(path, &record, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::ofstream(std::string(path) + ".txt", std::ios::binary)
      << quarry::BuildFaultReport(record, quarry::ReadSystemInfoSection());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--report") == 0) return Report(argv[2]);
  if (argc < 3) return 2;
  quarry::FaultCaptureOptions options;
  options.report_folder = argv[1];
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dump") == 0) options.extended_stack_dump = true;
    if (std::strcmp(argv[i], "--reporter") == 0) options.reporter = {argv[0], "--report"};
  }
  std::string error;
  if (!quarry::InstallFaultCapture(options, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  // Started one day, one hour, one minute and one second ago.
  quarry::SetFaultProgramInfo("Quarry", "/opt/quarry/bin/Quarry", "1.2.3.4",
                              std::chrono::system_clock::now() - std::chrono::seconds(90061));
  quarry::SetFaultStatus("Parsing the page");
  quarry::SetFaultViews("Table Results View", {"Web Browser View", "Table Results View"});

  const std::string kind = argv[2];
  if (kind == "thread-read" || kind == "overflow") {
    std::thread worker([&kind] {
      quarry::FaultGuard guard(kind == "overflow" ? "Other" : "Globals (Execute Process)");
      if (kind == "overflow") std::printf("%d\n", Recurse(0));
      quarry::SimulateFault(quarry::SimulatedFault::kRead);
    });
    worker.join();
    return 0;
  }
  const auto fault = quarry::ParseSimulatedFault(kind);
  if (!fault) return 2;
  quarry::SimulateFault(*fault);
}
