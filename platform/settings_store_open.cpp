// Opening the store file: creating it, recognising it, checking it, and
// refusing anything that is not a healthy store without writing to it.

#include <errno.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/settings_store.h"
#include "platform/sqlite_statement.h"
#include "platform/store_internal.h"
#include "platform/store_location.h"

namespace quarry::platform {

using store_internal::DamagedText;
using store_internal::IsDamageCode;
using store_internal::Quoted;

namespace {

// "ZTRG" in the file header, so that another program's database is never
// taken for a store (and never written to).
constexpr int64_t kApplicationId = 0x5A545247;
// Version of the tables below, kept in the header's user_version. Version 1
// kept each key's whole path in its row, which made a deep key cost the
// square of its depth; it is converted on opening.
constexpr int64_t kSchemaVersion = 2;
constexpr int64_t kFirstFormat = 1;

// Each key row holds its own name and its parent's row (0 for a top-level
// key); the unique pair finds a child and lists the children in order.
// Values belong to their key's row. `schema` is "main", or "temp" for the
// copy of a read-only file of the first format.
std::string TablesSql(std::string_view schema) {
  std::string s(schema);
  return "CREATE TABLE " + s + R"sql(.key_nodes (
  id     INTEGER PRIMARY KEY,
  parent INTEGER NOT NULL,
  name   TEXT NOT NULL COLLATE NOCASE,
  UNIQUE (parent, name)
);
CREATE TABLE )sql" + s + R"sql(.key_values (
  key  INTEGER NOT NULL,
  name TEXT NOT NULL COLLATE NOCASE,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY (key, name)
);
)sql";
}

// Fills the tables of TablesSql(schema) from those of the first format,
// where a key row held its path, its parent's path and its name. A key row
// keeps its rowid as its id; rows whose parent is missing were never
// reachable and are left out.
std::string ConvertSql(std::string_view schema) {
  std::string s(schema);
  return "INSERT OR IGNORE INTO " + s + R"sql(.key_nodes (id, parent, name)
  SELECT k.rowid,
         CASE WHEN k.parent = '' THEN 0
              ELSE (SELECT p.rowid FROM main.keys p WHERE p.path = k.parent) END,
         k.name
  FROM main.keys k
  WHERE k.rowid > 0
    AND (k.parent = '' OR EXISTS (SELECT 1 FROM main.keys p WHERE p.path = k.parent));
INSERT OR IGNORE INTO )sql" + s + R"sql(.key_values (key, name, type, data)
  SELECT k.rowid, v.name, v.type, v.data
  FROM main.vals v JOIN main.keys k ON k.path = v.key
  WHERE k.rowid > 0;
)sql";
}

// The first line of an integrity report that names a problem; the report
// runs to many lines and starts with a banner.
std::string FirstFinding(std::string_view report) {
  while (!report.empty()) {
    size_t end = report.find('\n');
    std::string_view line = report.substr(0, end);
    if (!line.empty() && !line.starts_with("***")) return std::string(line);
    if (end == std::string_view::npos) break;
    report.remove_prefix(end + 1);
  }
  return "the integrity check failed";
}

std::string ForeignText(const std::string& path) {
  return "The settings file " + Quoted(path) +
         " is not a settings store; it is left as it is and default settings "
         "are used.";
}

std::string UnopenableText(const std::string& path, const std::string& detail) {
  return "The settings file " + Quoted(path) + " cannot be opened (" + detail +
         "); default settings are used.";
}

// Creates the missing folders of `folder`, each private to the user.
bool CreateFolders(const std::filesystem::path& folder, std::string* error) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot create the folder " + Quoted(partial.string()) + ": " +
               std::strerror(errno);
      return false;
    }
  }
  return true;
}

enum class FileState { kMissing, kPresent, kUnusable };

// Tells a missing file from one SQLite may open. Whether a present file is a
// database is left to SQLite, which looks under its file locks: a look of
// our own could catch another process's first write half done.
FileState ProbeFile(const std::string& path, std::string* error) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return FileState::kMissing;
    *error = std::strerror(errno);
    return FileState::kUnusable;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "not a regular file";
    return FileState::kUnusable;
  }
  return FileState::kPresent;
}

// True when a directory entry of that name exists, whatever it is.
bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

bool Writable(const std::string& path) {
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// `path` as an SQLite file URI, every byte outside the unreserved ones
// percent-encoded.
std::string FileUri(const std::string& path, std::string_view query) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (unsigned char c : path) {
    bool alnum = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    if (alnum || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xf];
    }
  }
  return uri + "?" + std::string(query);
}

std::string OctalMode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Takes the other users' permissions off the store and its -wal and -shm
// files where this user owns them. A note for the user when it changed or
// could not change the store file, else empty.
std::string TightenPermissions(const std::string& path) {
  std::string note;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    std::string file = path + suffix;
    struct stat info {};
    if (stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != geteuid() || (info.st_mode & 077) == 0) {
      continue;
    }
    const mode_t mode = info.st_mode & 0600;
    const bool changed = chmod(file.c_str(), mode) == 0;
    if (*suffix != '\0') continue;
    if (changed) {
      note = "The settings file " + Quoted(path) + " could be read by other users (mode " +
             OctalMode(info.st_mode) + "); it is now private to you (mode " + OctalMode(mode) +
             ").";
    } else {
      note = "The settings file " + Quoted(path) + " can be read by other users (mode " +
             OctalMode(info.st_mode) + ") and could not be made private: " +
             std::strerror(errno) + ".";
    }
  }
  return note;
}

}  // namespace

SettingsStore& SettingsStore::User() {
  // Deliberately never destroyed: every commit is already durable, and a
  // late user (a static destructor, a detached thread) must not find it gone.
  static SettingsStore* const store =
      new SettingsStore(UserStorePath(), /*report_to_stderr=*/true);
  return *store;
}

SettingsStore::SettingsStore(std::string path)
    : SettingsStore(std::move(path), /*report_to_stderr=*/false) {}

SettingsStore::SettingsStore(std::string path, bool report_to_stderr)
    : path_(std::move(path)), report_to_stderr_(report_to_stderr) {
  std::lock_guard<std::mutex> lock(mu_);
  Open();
}

SettingsStore::~SettingsStore() {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

void SettingsStore::Open() {
  if (path_.empty()) {
    MarkUnusable(
        "No folder for the settings file is known (HOME is not set); default "
        "settings are used.");
    return;
  }
  std::string error;
  std::filesystem::path parent = std::filesystem::path(path_).parent_path();
  if (!parent.empty() && !CreateFolders(parent, &error)) {
    MarkUnusable(UnopenableText(path_, error));
    return;
  }
  switch (ProbeFile(path_, &error)) {
    case FileState::kMissing: {
      // Created here rather than by SQLite to make it private: it holds
      // mail credentials among other things.
      int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        close(fd);
      } else if (errno != EEXIST) {
        MarkUnusable(UnopenableText(path_, std::strerror(errno)));
        return;
      }
      break;
    }
    case FileState::kPresent:
      break;
    case FileState::kUnusable:
      MarkUnusable(UnopenableText(path_, error));
      return;
  }

  // A file this user cannot write, or one in a folder where the journal
  // files cannot be made, is only read. Without journal files beside it, no
  // program can change it either, so it is read as unchanging: SQLite then
  // needs no journal files, which it could not create.
  const bool had_wal = Exists(path_ + "-wal");
  const bool had_shm = Exists(path_ + "-shm");
  const bool folder_writable = Writable(parent.empty() ? "." : parent.string());
  read_only_ = !Writable(path_) || (!folder_writable && !(had_wal && had_shm));
  const bool unchanging = read_only_ && !had_wal && !had_shm;

  sqlite3* db = nullptr;
  int flags = (read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  std::string name = path_;
  if (unchanging) {
    flags |= SQLITE_OPEN_URI;
    name = FileUri(path_, "immutable=1");
  }
  int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    MarkUnusable(UnopenableText(path_, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    sqlite3_close_v2(db);
    return;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kStoreBusyTimeoutMs);
  // The file is data, not code: no trigger or view of a planted file may
  // run functions, and nothing may edit the schema records directly or
  // switch the journal off.
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  db_ = db;
  if (!CheckOrCreateSchema()) {
    // Closing must not checkpoint a write-ahead log into a file we refused.
    // When the -wal and -shm files are ours, made by the look at the file,
    // closing may take them away again: SQLite does so only as the last
    // connection, and the checkpoint before has nothing to copy.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, had_wal || had_shm ? 1 : 0,
                      nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return;
  }
  notice_ = TightenPermissions(path_);
  if (report_to_stderr_ && !notice_.empty()) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, notice_.c_str());
  }
}

bool SettingsStore::CheckOrCreateSchema() {
  // The header fields and the number of schema objects, read in one
  // statement so that they come from one snapshot: read apart, another
  // process's set-up could land between them.
  struct Header {
    int64_t app_id = 0, version = 0, objects = 0;
  };
  auto read_header = [this](Header* header) {
    SqliteStatement st(db_,
                       "SELECT (SELECT application_id FROM pragma_application_id()), "
                       "(SELECT user_version FROM pragma_user_version()), "
                       "(SELECT count(*) FROM sqlite_schema)");
    int rc = st.Step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
    *header = Header{st.ColumnInt64(0), st.ColumnInt64(1), st.ColumnInt64(2)};
    return SQLITE_OK;
  };
  auto fail = [this](int rc) {
    std::string detail = sqlite3_errmsg(db_);
    if (IsDamageCode(rc)) {
      MarkUnusable(rc == SQLITE_NOTADB ? ForeignText(path_)
                                       : DamagedText(path_, detail));
    } else {
      if (read_only_) detail += "; the file or its folder cannot be written";
      MarkUnusable(UnopenableText(path_, detail));
    }
    return false;
  };

  Header header;
  if (int rc = read_header(&header); rc != SQLITE_OK) return fail(rc);
  // Only a database without anything in it is taken over; anything else
  // belongs to someone else and is not touched.
  if (header.app_id == 0 && header.objects == 0) {
    if (read_only_) {
      MarkUnusable(UnopenableText(path_, "it is empty and cannot be written"));
      return false;
    }
    // WAL lets readers go on while another process writes.
    Exec("PRAGMA journal_mode=WAL", nullptr);
    if (!Exec("BEGIN IMMEDIATE", nullptr)) return fail(sqlite3_errcode(db_));
    // Another process may have set the file up since the first look.
    int rc = read_header(&header);
    if (rc == SQLITE_OK && header.app_id == 0 && header.objects == 0) {
      std::string sql = TablesSql("main") +
                        "PRAGMA application_id = " + std::to_string(kApplicationId) +
                        "; PRAGMA user_version = " + std::to_string(kSchemaVersion) +
                        ";";
      rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK || sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      int failed = sqlite3_errcode(db_);
      if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return fail(failed);
    }
    if (int rc = read_header(&header); rc != SQLITE_OK) return fail(rc);
  }
  if (header.app_id != kApplicationId) {
    MarkUnusable(ForeignText(path_));
    return false;
  }

  const int64_t version = header.version;
  if (version > kSchemaVersion) {
    MarkUnusable("The settings file " + Quoted(path_) +
                 " was written by a newer version (format " +
                 std::to_string(version) +
                 "); it is left as it is and default settings are used.");
    return false;
  }
  static constexpr const char* kProbes[] = {
      "SELECT id, parent, name FROM key_nodes LIMIT 0",
      "SELECT key, name, type, data FROM key_values LIMIT 0",
  };
  static constexpr const char* kFirstFormatProbes[] = {
      "SELECT path, parent, name FROM keys LIMIT 0",
      "SELECT key, name, type, data FROM vals LIMIT 0",
  };
  auto tables_fit = [&](const char* const* probes) {
    for (int i = 0; i < 2; ++i) {
      SqliteStatement st(db_, probes[i]);
      if (st.status() != SQLITE_OK) {
        if (IsDamageCode(st.status())) return fail(st.status());
        MarkUnusable(DamagedText(path_, "its tables are not those of a settings store"));
        return false;
      }
    }
    return true;
  };
  if (version != kSchemaVersion && version != kFirstFormat) {
    MarkUnusable(DamagedText(path_, "its tables are not those of a settings store"));
    return false;
  }
  if (!tables_fit(version == kSchemaVersion ? kProbes : kFirstFormatProbes)) return false;
  {
    SqliteStatement st(db_, "PRAGMA quick_check");
    int rc = st.Step();
    if (rc != SQLITE_ROW) return fail(rc);
    if (st.ColumnText(0) != "ok") {
      MarkUnusable(DamagedText(path_, FirstFinding(st.ColumnText(0))));
      return false;
    }
  }
  if (version == kFirstFormat && (!ConvertFirstFormat() || !tables_fit(kProbes))) return false;
  if (!read_only_) {
    Exec("PRAGMA journal_mode=WAL", nullptr);
    // Settings are written rarely and must survive a power cut once set.
    Exec("PRAGMA synchronous=FULL", nullptr);
  }
  return true;
}

bool SettingsStore::ConvertFirstFormat() {
  // A file that can only be read is converted into temporary tables, which
  // hide nothing of it and last as long as the connection.
  const char* schema = read_only_ ? "temp" : "main";
  int rc = sqlite3_exec(db_, read_only_ ? "BEGIN" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  bool convert = true;
  if (rc == SQLITE_OK && !read_only_) {
    // Another process may have converted the file since the first look.
    SqliteStatement st(db_, "SELECT user_version FROM pragma_user_version()");
    rc = st.Step() == SQLITE_ROW ? SQLITE_OK : st.status();
    convert = rc == SQLITE_OK && st.ColumnInt64(0) == kFirstFormat;
  }
  if (rc == SQLITE_OK && convert) {
    std::string sql = TablesSql(schema) + ConvertSql(schema);
    if (!read_only_) {
      sql += "DROP TABLE main.vals; DROP TABLE main.keys; PRAGMA main.user_version = " +
             std::to_string(kSchemaVersion) + ";";
    }
    rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return true;
  std::string detail = sqlite3_errmsg(db_);
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  if (IsDamageCode(rc)) {
    MarkUnusable(DamagedText(path_, detail));
  } else {
    MarkUnusable("The settings file " + Quoted(path_) +
                 " could not be converted to the current format (" + detail +
                 "); it is left as it is and default settings are used.");
  }
  return false;
}

}  // namespace quarry::platform
