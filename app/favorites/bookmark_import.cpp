#include "app/favorites/bookmark_import.h"

#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "app/favorites/url_shortcut.h"
#include "platform/ascii_text.h"
#include "platform/atomic_file.h"

namespace quarry::favorites {

namespace fs = std::filesystem;

namespace {

// Bookmark trees deeper than this are cut off: real ones are shallow, and
// the bound keeps a damaged file (a folder inside itself) finite.
constexpr int kMaxFolderDepth = 32;
constexpr size_t kMaxNameBytes = 150;

std::string Trim(std::string_view text) { return std::string(Trimmed(text)); }

// A tiny reader for profiles.ini: section -> key -> value.
using IniFile = std::map<std::string, std::map<std::string, std::string>>;

IniFile ReadIni(const fs::path& path) {
  IniFile ini;
  std::ifstream in(path);
  std::string line, section;
  for (int lines = 0; lines < 10000 && std::getline(in, line); ++lines) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      ini[section];
      continue;
    }
    const size_t eq = line.find('=');
    if (eq != std::string::npos) ini[section][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  return ini;
}

std::optional<fs::path> FirefoxDefaultProfile(const fs::path& firefox_dir) {
  const IniFile ini = ReadIni(firefox_dir / "profiles.ini");
  auto resolve = [&](const std::map<std::string, std::string>& keys) -> std::optional<fs::path> {
    auto path = keys.find("Path");
    if (path == keys.end() || path->second.empty()) return std::nullopt;
    auto relative = keys.find("IsRelative");
    const bool is_relative = relative == keys.end() || relative->second != "0";
    return is_relative ? firefox_dir / path->second : fs::path(path->second);
  };
  for (const auto& [section, keys] : ini) {
    if (section.rfind("Install", 0) != 0) continue;
    auto def = keys.find("Default");
    if (def != keys.end() && !def->second.empty()) return firefox_dir / def->second;
  }
  std::optional<fs::path> first;
  for (const auto& [section, keys] : ini) {
    if (section.rfind("Profile", 0) != 0) continue;
    auto def = keys.find("Default");
    if (def != keys.end() && def->second == "1") return resolve(keys);
    if (!first) first = resolve(keys);
  }
  return first;
}

// A private copy of the database and its write-ahead log, removed with
// the object.
class PlacesCopy {
 public:
  explicit PlacesCopy(const fs::path& places, std::string* error) {
    std::string pattern = (fs::temp_directory_path() / "quarry-places-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      *error = "cannot create a temporary folder";
      return;
    }
    dir_ = pattern;
    std::error_code ec;
    fs::copy_file(places, dir_ / "places.sqlite", ec);
    if (ec) {
      *error = "cannot copy " + places.string() + ": " + ec.message();
      return;
    }
    fs::path wal = places;
    wal += "-wal";
    if (fs::exists(wal, ec)) fs::copy_file(wal, dir_ / "places.sqlite-wal", ec);
    ok_ = true;
  }
  ~PlacesCopy() {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  bool ok() const { return ok_; }
  fs::path file() const { return dir_ / "places.sqlite"; }

 private:
  fs::path dir_;
  bool ok_ = false;
};

struct PlaceNode {
  int64_t id = 0;
  int type = 0;  // 1 bookmark, 2 folder, 3 separator
  std::string title;
  std::string guid;
  std::string url;
};

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  return text ? reinterpret_cast<const char*>(text) : std::string();
}

void WalkPlaces(const std::map<int64_t, std::vector<PlaceNode>>& children, int64_t folder,
                std::vector<std::string>& path, int depth, std::vector<Bookmark>& out) {
  if (depth > kMaxFolderDepth) return;
  auto it = children.find(folder);
  if (it == children.end()) return;
  for (const PlaceNode& node : it->second) {
    if (node.type == 1) {
      if (IsImportableAddress(node.url)) out.push_back({path, node.title, node.url});
    } else if (node.type == 2) {
      path.push_back(node.title);
      WalkPlaces(children, node.id, path, depth + 1, out);
      path.pop_back();
    }
  }
}

void WalkChromium(const QJsonObject& node, std::vector<std::string>& path, int depth,
                  std::vector<Bookmark>& out) {
  if (depth > kMaxFolderDepth) return;
  const QJsonArray children = node.value(QStringLiteral("children")).toArray();
  for (const QJsonValue& value : children) {
    const QJsonObject child = value.toObject();
    const QString type = child.value(QStringLiteral("type")).toString();
    const std::string name = child.value(QStringLiteral("name")).toString().toStdString();
    if (type == QLatin1String("url")) {
      const std::string url = child.value(QStringLiteral("url")).toString().toStdString();
      if (IsImportableAddress(url)) out.push_back({path, name, url});
    } else if (type == QLatin1String("folder")) {
      path.push_back(name);
      WalkChromium(child, path, depth + 1, out);
      path.pop_back();
    }
  }
}

}  // namespace

std::vector<BookmarkSource> FindBookmarkSources(const fs::path& home) {
  std::vector<BookmarkSource> sources;
  std::error_code ec;
  for (const fs::path& firefox_dir :
       {home / ".mozilla" / "firefox", home / "snap" / "firefox" / "common" / ".mozilla" / "firefox"}) {
    const std::optional<fs::path> profile = FirefoxDefaultProfile(firefox_dir);
    if (profile && fs::is_regular_file(*profile / "places.sqlite", ec)) {
      sources.push_back({BookmarkSource::Kind::kFirefox, *profile / "places.sqlite", "Firefox"});
      break;
    }
  }
  const std::pair<const char*, const char*> chromiums[] = {{"chromium", "Chromium"},
                                                           {"google-chrome", "Google Chrome"}};
  for (const auto& [dir, browser] : chromiums) {
    const fs::path file = home / ".config" / dir / "Default" / "Bookmarks";
    if (fs::is_regular_file(file, ec)) {
      sources.push_back({BookmarkSource::Kind::kChromium, file, browser});
    }
  }
  return sources;
}

bool IsImportableAddress(std::string_view address) {
  auto starts_with = [&](std::string_view prefix) {
    if (address.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(address[i])) != prefix[i]) return false;
    }
    return true;
  };
  if (!starts_with("http://") && !starts_with("https://")) return false;
  return std::none_of(address.begin(), address.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::optional<std::vector<Bookmark>> ReadFirefoxBookmarks(const fs::path& places,
                                                          std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  PlacesCopy copy(places, error);
  if (!copy.ok()) return std::nullopt;

  sqlite3* db = nullptr;
  if (sqlite3_open_v2(copy.file().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    *error = db ? sqlite3_errmsg(db) : "cannot open the bookmark database";
    sqlite3_close(db);
    return std::nullopt;
  }
  sqlite3_busy_timeout(db, 2000);
  const char* sql =
      "SELECT b.id, b.type, b.parent, b.title, b.guid, p.url FROM moz_bookmarks b "
      "LEFT JOIN moz_places p ON b.fk = p.id ORDER BY b.parent, b.position, b.id";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    *error = std::string("not a bookmark database: ") + sqlite3_errmsg(db);
    sqlite3_close(db);
    return std::nullopt;
  }
  std::map<int64_t, std::vector<PlaceNode>> children;
  std::map<std::string, int64_t> roots;  // guid -> id
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    PlaceNode node;
    node.id = sqlite3_column_int64(stmt, 0);
    node.type = sqlite3_column_int(stmt, 1);
    const int64_t parent = sqlite3_column_int64(stmt, 2);
    node.title = ColumnText(stmt, 3);
    node.guid = ColumnText(stmt, 4);
    node.url = ColumnText(stmt, 5);
    if (node.type == 2) roots[node.guid] = node.id;
    if (node.id != parent) children[parent].push_back(std::move(node));
  }
  const bool done = rc == SQLITE_DONE;
  if (!done) *error = sqlite3_errmsg(db);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  if (!done) return std::nullopt;

  std::vector<Bookmark> out;
  const std::pair<const char*, const char*> kRoots[] = {
      {"menu________", ""},
      {"toolbar_____", "Bookmarks Toolbar"},
      {"unfiled_____", "Other Bookmarks"},
      {"mobile______", "Mobile Bookmarks"}};
  for (const auto& [guid, name] : kRoots) {
    auto root = roots.find(guid);
    if (root == roots.end()) continue;
    std::vector<std::string> path;
    if (*name) path.push_back(name);
    WalkPlaces(children, root->second, path, 0, out);
  }
  return out;
}

std::optional<std::vector<Bookmark>> ReadChromiumBookmarks(const fs::path& file,
                                                           std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  QFile in(QString::fromStdString(file.string()));
  if (!in.open(QIODevice::ReadOnly)) {
    *error = "cannot read " + file.string();
    return std::nullopt;
  }
  QJsonParseError parse_error;
  const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &parse_error);
  if (doc.isNull() || !doc.isObject()) {
    *error = "not a bookmark file: " + parse_error.errorString().toStdString();
    return std::nullopt;
  }
  const QJsonObject roots = doc.object().value(QStringLiteral("roots")).toObject();
  std::vector<Bookmark> out;
  for (const char* key : {"bookmark_bar", "other", "synced"}) {
    const QJsonObject root = roots.value(QLatin1String(key)).toObject();
    if (root.isEmpty()) continue;
    std::vector<std::string> path{root.value(QStringLiteral("name")).toString().toStdString()};
    WalkChromium(root, path, 0, out);
  }
  return out;
}

std::optional<std::vector<Bookmark>> ReadBookmarks(const BookmarkSource& source,
                                                   std::string* error) {
  return source.kind == BookmarkSource::Kind::kFirefox ? ReadFirefoxBookmarks(source.file, error)
                                                       : ReadChromiumBookmarks(source.file, error);
}

std::string SanitiseFileName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
      out += '_';
    } else {
      out += c;
    }
  }
  if (out.size() > kMaxNameBytes) {
    size_t cut = kMaxNameBytes;
    // Back up to the start of a UTF-8 character.
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  const size_t first = out.find_first_not_of(" .");
  if (first == std::string::npos) return "Untitled";
  const size_t last = out.find_last_not_of(" .");
  return out.substr(first, last - first + 1);
}

int WriteBookmarksAsShortcuts(const std::vector<Bookmark>& bookmarks, const fs::path& folder) {
  int written = 0;
  std::set<fs::path> used;
  for (const Bookmark& bookmark : bookmarks) {
    if (!IsImportableAddress(bookmark.address)) continue;
    fs::path dir = folder;
    for (const std::string& part : bookmark.folders) {
      if (!part.empty()) dir /= SanitiseFileName(part);
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) continue;
    const std::string base =
        SanitiseFileName(bookmark.title.empty() ? bookmark.address : bookmark.title);
    for (int n = 1; n < 1000; ++n) {
      const fs::path file = dir / (n == 1 ? base + ".url" : base + " (" + std::to_string(n) + ").url");
      if (used.count(file) || fs::exists(file, ec)) continue;
      used.insert(file);
      // Never a half-written shortcut, even when the disk fills up.
      if (platform::WriteFileAtomically(file.string(), MakeShortcutText(bookmark.address))) {
        ++written;
      }
      break;
    }
  }
  return written;
}

}  // namespace quarry::favorites
