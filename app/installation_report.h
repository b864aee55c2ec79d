// "Quarry --paths": where this Quarry finds the files that ship with it —
// the help pages, the control modules its dialogs are built from and the
// companion programs it starts — and whether each is there. Answers "why
// does Help not open?" and "why are the buttons plain?" for a user, and
// lets a packaging check prove that an unpacked installation is whole.
//
// Plain C++: runs before any window exists, without a display.

#ifndef QUARRY_APP_INSTALLATION_REPORT_H_
#define QUARRY_APP_INSTALLATION_REPORT_H_

#include <string>
#include <vector>

namespace quarry {

// The folders an installation is looked for in.
struct InstallationFolders {
  std::string help;       // holds index.html
  std::string modules;    // the shared components folder with the .so modules
  std::string programs;   // holds the companion programs
};

// The folders of the running program (platform/install_layout.h and the
// environment's overrides).
InstallationFolders RunningInstallationFolders();

struct InstallationReport {
  std::string text;   // one line per item, for standard output
  bool complete = false;  // every item was found (and every module loads)
};

// Looks at `folders`: the help index, each of the four control modules
// (loaded to read the name and version it reports: a module whose
// libraries are missing does not count as found) and the programs named in
// `programs`.
InstallationReport CheckInstallation(const InstallationFolders& folders,
                                     const std::vector<std::string>& programs);

}  // namespace quarry

#endif  // QUARRY_APP_INSTALLATION_REPORT_H_
