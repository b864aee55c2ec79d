// ksp-publish: writes a static update site from a folder of new files.
//
//   ksp-publish SOURCE_DIR SITE_DIR --url http://updates.example/quarry
//               [--notice TEXT]
//
// Serve SITE_DIR at the given address with any web server, and point the
// updater's "UpdateSite" setting at it.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/ksp-publish/publisher.h"

namespace {

constexpr char kUsage[] =
    "usage: ksp-publish SOURCE_DIR SITE_DIR --url SITE_ADDRESS [--notice TEXT]\n"
    "Writes an update site for the files in SOURCE_DIR into SITE_DIR, to be served\n"
    "at SITE_ADDRESS. Versions come from the modules themselves or from\n"
    "SOURCE_DIR/versions.txt (\"<file name> <version>\" a line).\n";

}  // namespace

int main(int argc, char** argv) {
  quarry::publish::PublishOptions options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--url" || arg == "--notice") && i + 1 < argc) {
      (arg == "--url" ? options.site_url : options.notice) = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg.rfind("--", 0) == 0) {
      std::fprintf(stderr, "ksp-publish: unknown or incomplete option %s\n%s", arg.c_str(),
                   kUsage);
      return 2;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2 || options.site_url.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options.source_dir = positional[0];
  options.site_dir = positional[1];
  const quarry::publish::PublishResult result = quarry::publish::PublishSite(options);
  if (!result.ok) {
    std::fprintf(stderr, "ksp-publish: %s\n", result.error.c_str());
    return 1;
  }
  for (const auto& file : result.files) {
    if (file.compressed) {
      std::printf("%-32s %6.2f  %llu bytes, packed %llu\n", file.name.c_str(), file.version,
                  static_cast<unsigned long long>(file.bytes),
                  static_cast<unsigned long long>(file.packed_bytes));
    } else {
      std::printf("%-32s %6.2f  %llu bytes, plain\n", file.name.c_str(), file.version,
                  static_cast<unsigned long long>(file.bytes));
    }
  }
  std::printf("Published %zu files to %s\n", result.files.size(), options.site_dir.c_str());
  return 0;
}
