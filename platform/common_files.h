// The installation's common files folder (Windows' "Common Files"), where
// the maker's shared components and the updater live.

#ifndef QUARRY_PLATFORM_COMMON_FILES_H_
#define QUARRY_PLATFORM_COMMON_FILES_H_

#include <string>

#include "platform/install_layout.h"

namespace quarry {

// $ZT_COMMON_FILES_DIR names the common files folder in place of the
// installation's (see platform/install_layout.h).
using platform::kCommonFilesVariable;

// The maker's shared components folder, with a trailing "/": the common
// files folder of the running program's installation (or of its build
// tree) followed by "Kestrane/".
std::string SharedComponentsFolder();

}  // namespace quarry

#endif  // QUARRY_PLATFORM_COMMON_FILES_H_
