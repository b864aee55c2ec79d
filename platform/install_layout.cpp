#include "platform/install_layout.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

// The build defines these; the fallbacks keep the file compilable alone.
#ifndef QUARRY_INSTALL_BINDIR
#define QUARRY_INSTALL_BINDIR "bin"
#endif
#ifndef QUARRY_INSTALL_HELPERS_DIR
#define QUARRY_INSTALL_HELPERS_DIR "libexec/quarry"
#endif
#ifndef QUARRY_INSTALL_HELPDIR
#define QUARRY_INSTALL_HELPDIR "share/quarry/help"
#endif
#ifndef QUARRY_INSTALL_COMMON_FILES_DIR
#define QUARRY_INSTALL_COMMON_FILES_DIR "lib/common-files"
#endif
#ifndef QUARRY_INSTALL_PREFIX
#define QUARRY_INSTALL_PREFIX "/usr/local"
#endif
#ifndef QUARRY_BUILD_DIR
#define QUARRY_BUILD_DIR ""
#endif
#ifndef QUARRY_BUILD_PROGRAMS_DIR
#define QUARRY_BUILD_PROGRAMS_DIR ""
#endif
#ifndef QUARRY_BUILD_HELPERS_DIR
#define QUARRY_BUILD_HELPERS_DIR ""
#endif
#ifndef QUARRY_BUILD_HELP_DIR
#define QUARRY_BUILD_HELP_DIR ""
#endif
#ifndef QUARRY_BUILD_COMMON_FILES_DIR
#define QUARRY_BUILD_COMMON_FILES_DIR ""
#endif

namespace quarry::platform {

namespace {

namespace fs = std::filesystem;

// `path` without trailing separators (the root stays "/").
std::string Trimmed(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// `relative` below `prefix`, or `relative` itself when it is absolute.
std::string Below(const std::string& prefix, const std::string& relative) {
  if (!relative.empty() && relative.front() == '/') return Trimmed(relative);
  if (relative.empty()) return Trimmed(prefix);
  return Trimmed((fs::path(prefix) / relative).lexically_normal().string());
}

// The build tree as this machine names it: the configured path and, when
// it goes through symbolic links, the path they lead to (the running
// program's path is always the resolved one).
InstallLayout ResolvedBuiltLayout() {
  InstallLayout layout;
  layout.bin_dir = QUARRY_INSTALL_BINDIR;
  layout.helpers_dir = QUARRY_INSTALL_HELPERS_DIR;
  layout.help_dir = QUARRY_INSTALL_HELPDIR;
  layout.common_files_dir = QUARRY_INSTALL_COMMON_FILES_DIR;
  layout.configured_prefix = QUARRY_INSTALL_PREFIX;
  layout.build_dir = QUARRY_BUILD_DIR;
  layout.build_programs_dir = QUARRY_BUILD_PROGRAMS_DIR;
  layout.build_helpers_dir = QUARRY_BUILD_HELPERS_DIR;
  layout.build_help_dir = QUARRY_BUILD_HELP_DIR;
  layout.build_common_files_dir = QUARRY_BUILD_COMMON_FILES_DIR;
  if (!layout.build_dir.empty()) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(layout.build_dir, ec);
    if (!ec) layout.build_dir = real.string();
  }
  return layout;
}

}  // namespace

const InstallLayout& BuiltLayout() {
  static const InstallLayout layout = ResolvedBuiltLayout();
  return layout;
}

std::string InstallationPrefix(const std::string& program_path, const InstallLayout& layout) {
  fs::path folder = fs::path(program_path).parent_path().lexically_normal();
  const fs::path bin = fs::path(layout.bin_dir).lexically_normal();
  if (program_path.empty() || layout.bin_dir.empty() || bin.is_absolute()) {
    return Trimmed(layout.configured_prefix);
  }
  // Peel the bin folder's names off the program's folder, last first; any
  // mismatch means the program is not where an installation puts it.
  std::vector<std::string> names;
  for (const fs::path& part : bin) {
    if (!part.empty() && part != ".") names.push_back(part.string());
  }
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    if (folder == folder.root_path() || folder.filename().string() != *name) {
      return Trimmed(layout.configured_prefix);
    }
    folder = folder.parent_path();
  }
  return Trimmed(folder.string());
}

bool RunsFromBuildTree(const std::string& program_path, const InstallLayout& layout) {
  if (layout.build_dir.empty() || program_path.empty()) return false;
  const std::string tree = Trimmed(layout.build_dir) + "/";
  return program_path.size() > tree.size() && program_path.compare(0, tree.size(), tree) == 0;
}

std::string ResolveInstallFolder(InstallFolder folder, const std::string& program_path,
                                 const InstallLayout& layout) {
  if (RunsFromBuildTree(program_path, layout)) {
    switch (folder) {
      case InstallFolder::kPrograms:
        return Trimmed(layout.build_programs_dir);
      case InstallFolder::kHelpers:
        return Trimmed(layout.build_helpers_dir);
      case InstallFolder::kHelp:
        return Trimmed(layout.build_help_dir);
      case InstallFolder::kCommonFiles:
        return Trimmed(layout.build_common_files_dir);
    }
  }
  const std::string prefix = InstallationPrefix(program_path, layout);
  switch (folder) {
    case InstallFolder::kPrograms:
      return Below(prefix, layout.bin_dir);
    case InstallFolder::kHelpers:
      return Below(prefix, layout.helpers_dir);
    case InstallFolder::kHelp:
      return Below(prefix, layout.help_dir);
    case InstallFolder::kCommonFiles:
      return Below(prefix, layout.common_files_dir);
  }
  return {};
}

std::string RunningProgramPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

std::string InstallationFolder(InstallFolder folder) {
  const char* variable = nullptr;
  if (folder == InstallFolder::kHelp) variable = kHelpFolderVariable;
  if (folder == InstallFolder::kCommonFiles) variable = kCommonFilesVariable;
  if (variable != nullptr) {
    if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
      return Trimmed(value);
    }
  }
  return ResolveInstallFolder(folder, RunningProgramPath(), BuiltLayout());
}

}  // namespace quarry::platform
