// Where the running program finds the files that ship with it: the help
// pages, the shared components folder of the control modules, and its
// companion programs.
//
// An installation is one prefix: programs in <prefix>/bin, the helper
// programs they start in <prefix>/libexec/quarry, help pages in
// <prefix>/share/quarry/help, the shared components folder in
// <prefix>/lib/common-files (the relative folder names are the ones chosen
// when the build was configured). The prefix is taken from where the running
// program is, never from where the build meant to install it, so an
// installed tree works wherever it is copied or unpacked (a package staged
// in a scratch folder, a per-user install under ~/.local, /usr).
//
// A program that runs from the build tree it was built in uses the build's
// own files instead: the help pages of the source tree and the modules the
// build made, and links to its programs gathered in one folder. Which of
// the two applies is decided by the program's own path
// alone, so an installed copy never picks up files of a build tree that
// happens to exist on the same machine.
//
// Environment variables override single folders (tests, unusual setups):
// $QUARRY_HELP_DIR the help pages, $ZT_COMMON_FILES_DIR the shared
// components folder.
//
// Plain C++, no Qt; the control modules use it from inside the host
// program, where "the running program" is the host.

#ifndef QUARRY_PLATFORM_INSTALL_LAYOUT_H_
#define QUARRY_PLATFORM_INSTALL_LAYOUT_H_

#include <string>

namespace quarry::platform {

// The environment variables that name the help pages' folder and the
// common files folder in place of the installation's.
inline constexpr char kHelpFolderVariable[] = "QUARRY_HELP_DIR";
inline constexpr char kCommonFilesVariable[] = "ZT_COMMON_FILES_DIR";

enum class InstallFolder {
  kPrograms,     // Quarry, qry, ztreg, ztregsvr, KspAutoUpdater
  kHelpers,      // quarry-render
  kHelp,         // index.html and the other help pages
  kCommonFiles,  // holds the maker's folder "Kestrane/" of control modules
};

// How a build lays out its installation and its build tree. The folder
// names relative to the prefix may also be absolute (a distribution that
// configures /usr/lib64 as its library folder); they are used as they are
// then.
struct InstallLayout {
  std::string bin_dir;          // relative to the prefix, e.g. "bin"
  std::string helpers_dir;      // e.g. "libexec/quarry"
  std::string help_dir;         // e.g. "share/quarry/help"
  std::string common_files_dir; // e.g. "lib/common-files"
  std::string configured_prefix;  // the prefix chosen at configure time
  // The build tree and where it keeps the same things; build_dir empty when
  // the layout has no build tree (a program built elsewhere).
  std::string build_dir;
  std::string build_programs_dir;
  std::string build_helpers_dir;
  std::string build_help_dir;
  std::string build_common_files_dir;
};

// The layout this program was built with.
const InstallLayout& BuiltLayout();

// The prefix of an installed program at `program_path` (a canonical path):
// the program's folder with `layout.bin_dir` taken off its end. When the
// program is not in such a folder, the configured prefix.
std::string InstallationPrefix(const std::string& program_path, const InstallLayout& layout);

// Whether `program_path` lies inside the layout's build tree.
bool RunsFromBuildTree(const std::string& program_path, const InstallLayout& layout);

// `folder` for a program at `program_path` with `layout`, with no trailing
// "/" and without looking at the environment or the disk.
std::string ResolveInstallFolder(InstallFolder folder, const std::string& program_path,
                                 const InstallLayout& layout);

// The canonical path of the running program ("/proc/self/exe"); empty when
// the system does not say.
std::string RunningProgramPath();

// `folder` for the running program, the environment's override first.
std::string InstallationFolder(InstallFolder folder);

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_INSTALL_LAYOUT_H_
