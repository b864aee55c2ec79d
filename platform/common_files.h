// The installation's common files folder (Windows' "Common Files"), where
// the maker's shared components and the updater live.

#ifndef QUARRY_PLATFORM_COMMON_FILES_H_
#define QUARRY_PLATFORM_COMMON_FILES_H_

#include <string>

namespace quarry {

// The environment variable that names the installation's common files
// folder, in place of the one chosen when the program was built.
inline constexpr char kCommonFilesVariable[] = "ZT_COMMON_FILES_DIR";

// The maker's shared components folder, with a trailing "/": the common
// files folder followed by "Kestrane/".
std::string SharedComponentsFolder();

}  // namespace quarry

#endif  // QUARRY_PLATFORM_COMMON_FILES_H_
