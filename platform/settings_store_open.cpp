// Opening the store file: creating it, recognising it, checking it, and
// refusing anything that is not a healthy store without writing to it.

#include <errno.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

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
// Version of the tables below, kept in the header's user_version.
constexpr int64_t kSchemaVersion = 1;

// Keys hold their full path so that a subtree is one range of the primary
// key: "A\\" <= path < "A]" (']' follows '\\'), compared case-insensitively
// like every name. Top-level keys have the parent ''.
constexpr char kCreateTables[] = R"sql(
CREATE TABLE keys (
  path   TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  parent TEXT NOT NULL COLLATE NOCASE,
  name   TEXT NOT NULL
);
CREATE INDEX keys_by_parent ON keys (parent);
CREATE TABLE vals (
  key  TEXT NOT NULL COLLATE NOCASE,
  name TEXT NOT NULL COLLATE NOCASE,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY (key, name)
);
)sql";

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

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
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
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
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
      MarkUnusable(UnopenableText(path_, detail));
    }
    return false;
  };

  Header header;
  if (int rc = read_header(&header); rc != SQLITE_OK) return fail(rc);
  // Only a database without anything in it is taken over; anything else
  // belongs to someone else and is not touched.
  if (header.app_id == 0 && header.objects == 0) {
    // WAL lets readers go on while another process writes.
    Exec("PRAGMA journal_mode=WAL", nullptr);
    if (!Exec("BEGIN IMMEDIATE", nullptr)) return fail(sqlite3_errcode(db_));
    // Another process may have set the file up since the first look.
    int rc = read_header(&header);
    if (rc == SQLITE_OK && header.app_id == 0 && header.objects == 0) {
      std::string sql = std::string(kCreateTables) +
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
  for (const char* probe : {"SELECT path, parent, name FROM keys LIMIT 0",
                            "SELECT key, name, type, data FROM vals LIMIT 0"}) {
    SqliteStatement st(db_, probe);
    if (version != kSchemaVersion || st.status() != SQLITE_OK) {
      if (IsDamageCode(st.status())) return fail(st.status());
      MarkUnusable(DamagedText(path_, "its tables are not those of a settings store"));
      return false;
    }
  }
  {
    SqliteStatement st(db_, "PRAGMA quick_check");
    int rc = st.Step();
    if (rc != SQLITE_ROW) return fail(rc);
    if (st.ColumnText(0) != "ok") {
      MarkUnusable(DamagedText(path_, FirstFinding(st.ColumnText(0))));
      return false;
    }
  }
  Exec("PRAGMA journal_mode=WAL", nullptr);
  // Settings are written rarely and must survive a power cut once set.
  Exec("PRAGMA synchronous=FULL", nullptr);
  return true;
}

}  // namespace quarry::platform
