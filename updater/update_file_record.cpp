#include "updater/update_file_record.h"

#include <cstdio>

namespace quarry {

std::string FormatVersion(double version) {
  char text[64];
  std::snprintf(text, sizeof text, "%0.2f", version);
  return text;
}

bool IsNewerVersion(double available, double current) {
  return available - current > 1e-6;
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace quarry
