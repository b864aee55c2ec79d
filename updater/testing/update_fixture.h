// An installation of the maker's files with a downloaded update waiting,
// made in a folder of its own for the installation tests: a program, a
// module and a help file, their new versions in the download folder with
// the manifest and the version list signed by the test key.
//
//   <root>/bin/Quarry            program (0755)   "Quarry" 1.00 -> 1.10
//   <root>/common/Kestrane/      working folder
//        KsButton.so             module  (0644)   3.04 -> 3.10
//        Update/                 Ksp.inf, Ksp.ver, the new files
//   <root>/help/Qry.chm          data    (0600)   1.01 -> 1.02

#ifndef QUARRY_UPDATER_TESTING_UPDATE_FIXTURE_H_
#define QUARRY_UPDATER_TESTING_UPDATE_FIXTURE_H_

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "updater/testing/test_signing_key.h"
#include "updater/update_installer.h"
#include "updater/update_manifest.h"

namespace quarry::testing {

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline mode_t ModeOf(const std::filesystem::path& path) {
  struct stat info{};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

struct UpdateFixture {
  // The key the registered program and help file live under.
  static constexpr char kKey[] = "Software\\Zandor Tech\\Quarry\\SoftwareUpdate";

  explicit UpdateFixture(std::filesystem::path root_folder) : root(std::move(root_folder)) {
    namespace fs = std::filesystem;
    folders = FoldersOf((root / "common" / "Kestrane").string());
    for (const fs::path& folder : {root / "bin", root / "help", fs::path(folders.download)}) {
      fs::create_directories(folder);
    }
    files = {{(root / "bin" / "Quarry").string(), "Quarry", 0755, 1.00, 1.10, kKey},
             {folders.working + "KsButton.so", "Zt Button Ctrl", 0644, 3.04, 3.10, ""},
             {(root / "help" / "Qry.chm").string(), "Quarry Help", 0600, 1.01, 1.02, kKey}};
    std::string list;
    for (File& f : files) {
      const std::string name = FileNameOf(f.path);
      Put(f.path, Old(name), f.mode);
      // Downloads arrive with an ordinary file's bits.
      Put(folders.download + name, New(name), 0644);
      list += name + "," + FormatVersion(f.available) + ",," + Sha256Hex(New(name)) + "\r\n";
      UpdateFileRecord r;
      r.path = f.path;
      r.display_name = f.display_name;
      r.registration_key = f.key;
      r.registration_value = f.key.empty() ? "" : "KsAUFile1";
      r.current_version = f.current;
      r.available_version = f.available;
      r.needs_update = 1;
      r.download_result = 1;
      manifest.push_back(r);
    }
    list += "http://127.0.0.1:1/files/,files,http://127.0.0.1:1/packed/\r\n";
    signed_list = TestSigned(list);
    Put(folders.download + kSignedListFileName, signed_list, 0644);
    SaveManifest(folders.download + kManifestFileName, manifest, nullptr);
  }

  static std::string Old(const std::string& name) { return "old " + name + " bytes"; }
  static std::string New(const std::string& name) { return "NEW " + name + " bytes, longer"; }

  static void Put(const std::string& path, const std::string& bytes, mode_t mode) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ::chmod(path.c_str(), mode);
  }

  // "old", "new" or "other" for each installed file.
  std::vector<std::string> States() const {
    std::vector<std::string> states;
    for (const File& f : files) {
      const std::string bytes = ReadWhole(f.path);
      const std::string name = FileNameOf(f.path);
      states.push_back(bytes == Old(name) ? "old" : bytes == New(name) ? "new" : "other");
    }
    return states;
  }

  struct File {
    std::string path;
    std::string display_name;
    mode_t mode;
    double current;
    double available;
    std::string key;
  };

  std::filesystem::path root;
  InstallFolders folders;
  std::vector<File> files;
  std::vector<UpdateFileRecord> manifest;
  std::string signed_list;
};

}  // namespace quarry::testing

#endif  // QUARRY_UPDATER_TESTING_UPDATE_FIXTURE_H_
