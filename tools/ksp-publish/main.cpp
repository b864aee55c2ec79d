// ksp-publish: writes a static update site from a folder of new files.
//
//   ksp-publish --new-key KEY_FILE
//   ksp-publish SOURCE_DIR SITE_DIR --url https://updates.example/quarry
//               --key KEY_FILE [--notice TEXT]
//
// Serve SITE_DIR at the given address with any web server, point the
// updater's "UpdateSite" setting at it, and build the updater with the
// public key --new-key printed (QUARRY_UPDATE_PUBLIC_KEY).

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/ksp-publish/publisher.h"

namespace {

constexpr char kUsage[] =
    "usage: ksp-publish SOURCE_DIR SITE_DIR --url SITE_ADDRESS --key KEY_FILE [--notice TEXT]\n"
    "       ksp-publish --new-key KEY_FILE\n"
    "Writes an update site for the files in SOURCE_DIR into SITE_DIR, to be served\n"
    "at SITE_ADDRESS, its version list signed with the key in KEY_FILE. Versions\n"
    "come from the modules themselves or from SOURCE_DIR/versions.txt\n"
    "(\"<file name> <version>\" a line). --new-key makes a key file and prints\n"
    "its public half, which the updater is built with.\n";

}  // namespace

int main(int argc, char** argv) {
  quarry::publish::PublishOptions options;
  std::vector<std::string> positional;
  std::string key_file;
  if (argc == 3 && std::strcmp(argv[1], "--new-key") == 0) {
    std::string public_key, error;
    if (!quarry::publish::NewKeyFile(argv[2], &public_key, &error)) {
      std::fprintf(stderr, "ksp-publish: %s\n", error.c_str());
      return 1;
    }
    std::printf("Secret key written to %s (keep it private).\nPublic key: %s\n", argv[2],
                public_key.c_str());
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--url" || arg == "--notice" || arg == "--key") && i + 1 < argc) {
      (arg == "--url" ? options.site_url : arg == "--notice" ? options.notice : key_file) =
          argv[++i];
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
  if (positional.size() != 2 || options.site_url.empty() || key_file.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  if (!quarry::publish::ReadKeyFile(key_file, &options.secret_key, &error)) {
    std::fprintf(stderr, "ksp-publish: %s\n", error.c_str());
    return 1;
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
