#include "platform/common_files.h"

#include <cstdlib>

#ifndef QUARRY_COMMON_FILES_DIR
#define QUARRY_COMMON_FILES_DIR "/usr/local/lib/common-files"
#endif

namespace quarry {

std::string SharedComponentsFolder() {
  const char* common = std::getenv(kCommonFilesVariable);
  std::string folder = common && *common ? common : QUARRY_COMMON_FILES_DIR;
  if (folder.back() != '/') folder += '/';
  return folder + "Kestrane/";
}

}  // namespace quarry
