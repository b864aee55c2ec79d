#include "platform/common_files.h"

namespace quarry {

std::string SharedComponentsFolder() {
  std::string folder = platform::InstallationFolder(platform::InstallFolder::kCommonFiles);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + "Kestrane/";
}

}  // namespace quarry
