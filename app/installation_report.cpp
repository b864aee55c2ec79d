#include "app/installation_report.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "controls/common/module_identity.h"
#include "platform/common_files.h"
#include "platform/install_layout.h"
#include "updater/module_probe.h"

namespace quarry {

namespace {

namespace fs = std::filesystem;

// "  <what>: <where>" with the verdict at the end.
void AddLine(std::string* text, const std::string& what, const std::string& where,
             const std::string& verdict) {
  *text += "  " + what + ": " + where;
  if (!verdict.empty()) *text += " (" + verdict + ")";
  *text += '\n';
}

std::string DescribeModule(const ModuleInfo& info) {
  std::string text = info.nice_name.value_or("");
  if (info.version) {
    char version[32];
    std::snprintf(version, sizeof version, "%0.2f", *info.version);
    text += (text.empty() ? "" : " ") + std::string(version);
  }
  return text;
}

}  // namespace

InstallationFolders RunningInstallationFolders() {
  InstallationFolders folders;
  folders.help = platform::InstallationFolder(platform::InstallFolder::kHelp);
  folders.modules = SharedComponentsFolder();
  folders.programs = platform::InstallationFolder(platform::InstallFolder::kPrograms);
  return folders;
}

InstallationReport CheckInstallation(const InstallationFolders& folders,
                                     const std::vector<std::string>& programs) {
  InstallationReport report;
  bool complete = true;
  std::error_code ec;

  report.text += "Help pages:\n";
  const fs::path index = fs::path(folders.help) / "index.html";
  const bool has_help = !folders.help.empty() && fs::is_regular_file(index, ec);
  AddLine(&report.text, "index.html", index.string(), has_help ? "" : "missing");
  complete = complete && has_help;

  report.text += "Control modules:\n";
  for (const controls::ModuleIdentity* module : controls::kAllModules) {
    const std::string name = std::string(module->module_name) + ".so";
    const fs::path file = fs::path(folders.modules) / name;
    std::string verdict;
    if (!fs::is_regular_file(file, ec)) {
      verdict = "missing";
    } else {
      const ModuleInfo info = ProbeModule(file.string());
      verdict = info.version ? DescribeModule(info) : "does not load";
    }
    const bool found = verdict != "missing" && verdict != "does not load";
    AddLine(&report.text, name, file.string(), verdict);
    complete = complete && found;
  }

  report.text += "Programs:\n";
  for (const std::string& program : programs) {
    const fs::path file = fs::path(folders.programs) / program;
    const bool found = access(file.c_str(), X_OK) == 0 && fs::is_regular_file(file, ec);
    AddLine(&report.text, program, file.string(), found ? "" : "missing");
    complete = complete && found;
  }
  report.complete = complete;
  return report;
}

}  // namespace quarry
