#include "updater/file_scan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/ascii_text.h"
#include "platform/settings_store.h"
#include "updater/module_probe.h"
#include "updater/update_texts.h"
#include "updater/updater_settings.h"

namespace quarry {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxKeyDepth = 32;
constexpr const char* kRegistrationPrefixes[] = {"KsAUFile", "ZtAUFile"};

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

void Collect(const platform::SettingsStore& store, const std::string& key, int depth,
             std::vector<FileRegistration>* out) {
  for (const char* prefix : kRegistrationPrefixes) {
    for (int n = 1;; ++n) {
      const std::string name = prefix + std::to_string(n);
      const std::optional<platform::Value> value = store.Get(key, name);
      if (!value || (value->type != platform::ValueType::kSz &&
                     value->type != platform::ValueType::kExpandSz)) {
        break;
      }
      out->push_back({store.StoredKeyPath(key).value_or(key), name,
                      store.GetString(key, name, "", true)});
    }
  }
  if (depth >= kMaxKeyDepth) return;
  for (const std::string& child : store.SubKeys(key)) {
    Collect(store, key + "\\" + child, depth + 1, out);
  }
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(path, error);
}

// Asks about a missing registered file until it is found or the user gives
// up; the path the user picked, or nullopt.
std::optional<std::string> BrowseForMissing(ScanUi& ui, const std::string& path,
                                            const std::string& display_name) {
  if (!ui.AskYesNo(FormatText(kMissingFileQuestion, display_name))) return std::nullopt;
  const std::string extension = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  const std::string filter = FormatText(kBrowseFilter, extension);
  const std::string wanted = FileNameOf(path);
  // Each round needs the user's answer; the count only guards against a
  // user interface that answers by itself forever.
  for (int round = 0; round < 100; ++round) {
    const std::optional<std::string> picked = ui.BrowseForFile(filter);
    if (!picked) return std::nullopt;
    if (EqualsNoCase(FileNameOf(*picked), wanted) && FileExists(*picked)) return picked;
    if (!ui.AskYesNo(kFileMismatchQuestion)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::vector<FileRegistration> CollectFileRegistrations(const platform::SettingsStore& store,
                                                       const std::vector<std::string>& roots) {
  std::vector<FileRegistration> out;
  for (const std::string& root : roots) Collect(store, root, 0, &out);
  return out;
}

std::string DisplaySuffixFor(std::string_view path) {
  const std::string name = FileNameOf(std::string(path));
  const size_t dot = name.rfind('.');
  // Programs here carry no extension at all.
  if (dot == std::string::npos || dot == 0) return {};
  const std::string extension = AsciiLowered(std::string_view(name).substr(dot + 1));
  if (extension == "cfg") return " Configurations";
  if (extension == "chm" || extension == "hlp") return " Help";
  if (extension == "inf") return " Information";
  if (extension == "dat" || extension == "csv") return " Data File";
  static const std::set<std::string, std::less<>> kKnown = {
      // programs, libraries and scripts
      "exe", "dll", "ocx", "so", "sys", "drv", "com", "bat", "cmd", "sh", "py", "pl", "msi",
      "cab", "lib", "a", "tlb", "cpl", "scr",
      // documents and text
      "txt", "log", "doc", "docx", "rtf", "pdf", "xls", "xlsx", "ppt", "md", "ini", "json",
      "xml",
      // images and sounds
      "bmp", "png", "jpg", "jpeg", "gif", "ico", "svg", "tif", "tiff", "wav", "mp3",
      // archives
      "zip", "gz", "tar", "bz2", "xz", "7z", "rar",
      // web files
      "htm", "html", "css", "js", "asp", "aspx", "php"};
  return kKnown.contains(extension) ? std::string() : std::string(" Data File");
}

std::string VersionValueNameFor(std::string_view path) {
  std::string name = FileNameOf(std::string(path));
  std::erase(name, '.');
  return Upper(name) + "Ver";
}

std::vector<UpdateFileRecord> ScanForFiles(const ScanOptions& options) {
  std::vector<UpdateFileRecord> records;
  std::set<std::string> listed;
  if (options.store == nullptr) return records;
  platform::SettingsStore& store = *options.store;

  // 1. Modules of the updater's folder.
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator it(options.working_folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    if (EqualsNoCase(file.filename().string(), options.own_file_name)) continue;
    const ModuleInfo info = ProbeModule(file.string());
    if (!info.version && !info.nice_name) continue;
    UpdateFileRecord record;
    record.path = file.string();
    record.display_name = info.nice_name.value_or(file.filename().string());
    record.current_version = info.version.value_or(0.0);
    listed.insert(record.path);
    records.push_back(std::move(record));
  }

  // 2. Registrations.
  const std::vector<std::string> roots = {"Software\\Kestrane", "Software\\Zandor Tech"};
  for (const std::string& root : roots) store.CreateKey(root);
  CUpdaterSettings marks(store);
  for (const FileRegistration& registration : CollectFileRegistrations(store, roots)) {
    std::string path = registration.text;
    std::string display_name;
    const size_t semicolon = path.find(';');
    if (semicolon != std::string::npos) {
      display_name = path.substr(semicolon + 1);
      path.erase(semicolon);
    } else {
      const std::string name = FileNameOf(path);
      display_name = name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
    }
    display_name += DisplaySuffixFor(path);

    if (!FileExists(path)) {
      if (options.ui == nullptr || marks.WasAskedAboutMissing(display_name)) continue;
      std::optional<std::string> found = BrowseForMissing(*options.ui, path, display_name);
      if (!found) {
        marks.MarkAskedAboutMissing(display_name);
        continue;
      }
      path = *found;
      const std::string text = semicolon != std::string::npos
                                   ? path + registration.text.substr(semicolon)
                                   : path;
      store.SetString(registration.key, registration.value_name, text);
    }
    if (!listed.insert(path).second) continue;

    UpdateFileRecord record;
    record.path = path;
    record.display_name = display_name;
    record.registration_key = registration.key;
    record.registration_value = registration.value_name;
    const ModuleInfo info = ProbeModule(path);
    record.current_version =
        info.version ? *info.version
                     : store.GetDword(registration.key, VersionValueNameFor(path), 0) / 100.0;
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace quarry
