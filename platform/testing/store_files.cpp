#include "platform/testing/store_files.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace quarry::testing {

namespace {

// The tables of the first format, as its programs created them.
constexpr char kFirstFormatTables[] = R"sql(
PRAGMA journal_mode=WAL;
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
PRAGMA application_id = 1515475527;
PRAGMA user_version = 1;
)sql";

bool Step(sqlite3_stmt* st) {
  bool done = sqlite3_step(st) == SQLITE_DONE;
  sqlite3_reset(st);
  return done;
}

}  // namespace

std::string DeepKeyPath(size_t levels, std::string_view name) {
  std::string path;
  for (size_t i = 0; i < levels; ++i) {
    if (i > 0) path += '\\';
    path += name;
  }
  return path;
}

bool WriteFirstFormatStore(const std::string& path, const std::vector<std::string>& keys,
                           const std::vector<FirstFormatValue>& values) {
  // Private, as the programs that wrote this format made their files.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  close(fd);
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, kFirstFormatTables, nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* key = nullptr;
  sqlite3_stmt* value = nullptr;
  ok = ok &&
       sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO keys VALUES (?1, ?2, ?3)", -1, &key,
                          nullptr) == SQLITE_OK &&
       sqlite3_prepare_v2(db, "INSERT INTO vals VALUES (?1, ?2, ?3, ?4)", -1, &value,
                          nullptr) == SQLITE_OK;
  for (const std::string& path_text : keys) {
    // Every ancestor is a row of its own.
    size_t end = 0;
    while (ok && end != std::string::npos) {
      end = path_text.find('\\', end + 1);
      std::string row = path_text.substr(0, end);
      size_t cut = row.rfind('\\');
      std::string parent = cut == std::string::npos ? "" : row.substr(0, cut);
      std::string name = cut == std::string::npos ? row : row.substr(cut + 1);
      sqlite3_bind_text(key, 1, row.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(key, 2, parent.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(key, 3, name.c_str(), -1, SQLITE_TRANSIENT);
      ok = Step(key);
    }
  }
  static const uint8_t kEmpty = 0;
  for (const FirstFormatValue& v : values) {
    if (!ok) break;
    sqlite3_bind_text(value, 1, v.key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(value, 2, v.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(value, 3, v.type);
    sqlite3_bind_blob(value, 4, v.data.empty() ? &kEmpty : v.data.data(),
                      static_cast<int>(v.data.size()), SQLITE_TRANSIENT);
    ok = Step(value);
  }
  sqlite3_finalize(key);
  sqlite3_finalize(value);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

std::string RunSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string error;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : "cannot open";
  } else {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      error = message ? message : "failed";
    }
    sqlite3_free(message);
  }
  sqlite3_close(db);
  return error;
}

int64_t QueryInt(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  int64_t result = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    result = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return result;
}

}  // namespace quarry::testing
