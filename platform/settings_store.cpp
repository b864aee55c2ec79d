// Reads and writes of the settings store; opening and checking the file is
// in settings_store_open.cpp.

#include "platform/settings_store.h"

#include <errno.h>  // program_invocation_short_name
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

#include "platform/env_expand.h"
#include "platform/key_path.h"
#include "platform/sqlite_statement.h"
#include "platform/store_internal.h"

namespace quarry::platform {

using store_internal::DamagedText;
using store_internal::IsDamageCode;
using store_internal::Quoted;

namespace {

constexpr char kFindChild[] = "SELECT id, name FROM key_nodes WHERE parent = ?1 AND name = ?2";
constexpr char kAddChild[] = "INSERT INTO key_nodes (parent, name) VALUES (?1, ?2)";
constexpr char kGetValue[] = "SELECT type, data FROM key_values WHERE key = ?1 AND name = ?2";
constexpr char kPutValue[] =
    "INSERT INTO key_values (key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
    "ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, data = excluded.data";

std::vector<uint8_t> LittleEndian(uint64_t value, int bytes) {
  std::vector<uint8_t> data(bytes);
  for (int i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
  return data;
}

uint64_t FromLittleEndian(const std::vector<uint8_t>& data) {
  uint64_t value = 0;
  for (size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

}  // namespace

void SettingsStore::MarkUnusable(const std::string& problem) const {
  if (unusable_.load(std::memory_order_acquire)) return;
  // One line, whatever SQLite's message held.
  problem_ = problem;
  std::replace(problem_.begin(), problem_.end(), '\n', ' ');
  unusable_.store(true, std::memory_order_release);
  last_error_ = problem_;
  if (db_ != nullptr) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  if (report_to_stderr_) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, problem_.c_str());
  }
}

void SettingsStore::NoteError(std::string text) const { last_error_ = std::move(text); }

void SettingsStore::NoteFailure(const char* what, int rc) const {
  std::string detail = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
    detail = "the settings file is busy in another program";
  } else if ((rc & 0xff) == SQLITE_READONLY) {
    detail = "the settings file " + Quoted(path_) + " cannot be written";
  }
  last_error_ = std::string(what) + ": " + detail;
  if (IsDamageCode(rc)) MarkUnusable(DamagedText(path_, detail));
}

bool SettingsStore::Exec(const char* sql, const char* what) const {
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return true;
  if (what != nullptr) NoteFailure(what, rc);
  return false;
}

SqliteStatement SettingsStore::Cached(const char* sql) const {
  for (const auto& [text, statement] : statements_) {
    if (text == sql) return SqliteStatement(statement, SQLITE_OK);
  }
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(statement);
    return SqliteStatement(nullptr, rc);
  }
  statements_.emplace_back(sql, statement);
  return SqliteStatement(statement, SQLITE_OK);
}

bool SettingsStore::IsUsable() const { return !unusable_.load(std::memory_order_acquire); }

const std::string& SettingsStore::Problem() const {
  static const std::string kNone;
  return unusable_.load(std::memory_order_acquire) ? problem_ : kNone;
}

std::string SettingsStore::LastError() const {
  std::lock_guard<std::mutex> lock(mu_);
  return last_error_;
}

bool SettingsStore::Resolve(std::string_view key, std::vector<std::string>* names) const {
  if (unusable_.load(std::memory_order_acquire) || db_ == nullptr) {
    last_error_ = problem_;
    return false;
  }
  std::string error;
  if (!ParseKeyPath(key, names, &error)) {
    NoteError("bad key " + QuoteForMessage(key) + ": " + error);
    return false;
  }
  return true;
}

bool SettingsStore::CheckWritableLocked(const char* what) const {
  if (read_only_) {
    NoteError(std::string(what) + ": the settings file " + Quoted(path_) +
              " can only be read (it or its folder cannot be written)");
    return false;
  }
  return true;
}

template <typename Body>
auto SettingsStore::ReadSnapshot(Body body) const {
  // Without it, a key found by one statement could be deleted, and its row
  // taken by another key, before the next statement reads its values.
  bool begun = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  auto result = body();
  if (begun && !sqlite3_get_autocommit(db_)) {
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
  return result;
}

template <typename Body>
bool SettingsStore::WriteTransaction(const char* what, Body body) {
  if (!CheckWritableLocked(what)) return false;
  // IMMEDIATE takes the write lock up front, so waiting for another writer
  // goes through the busy time-out instead of failing on upgrade.
  if (!Exec("BEGIN IMMEDIATE", what)) return false;
  if (body() && Exec("COMMIT", what)) return true;
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

std::optional<int64_t> SettingsStore::FindKeyLocked(const std::vector<std::string>& names,
                                                    std::string* stored_path) const {
  if (stored_path != nullptr) stored_path->clear();
  int64_t row = kRootKey;
  if (names.empty()) return row;
  SqliteStatement st = Cached(kFindChild);
  for (size_t i = 0; i < names.size(); ++i) {
    st.Reset();
    st.BindInt64(1, row);
    st.BindText(2, names[i]);
    int rc = st.Step();
    if (rc == SQLITE_DONE) return kMissingKey;
    if (rc != SQLITE_ROW) {
      NoteFailure("reading the key", rc);
      return std::nullopt;
    }
    row = st.ColumnInt64(0);
    if (stored_path != nullptr) {
      if (i > 0) *stored_path += '\\';
      *stored_path += st.ColumnText(1);
    }
  }
  return row;
}

std::optional<int64_t> SettingsStore::EnsureKeyLocked(const std::vector<std::string>& names,
                                                      std::vector<int64_t>* rows,
                                                      size_t known) {
  SqliteStatement find = Cached(kFindChild);
  SqliteStatement insert = Cached(kAddChild);
  if (rows == nullptr) known = 0;
  int64_t row = known > 0 ? (*rows)[known - 1] : kRootKey;
  if (rows != nullptr) rows->resize(known);
  bool creating = false;  // below a new key everything is new
  for (size_t i = known; i < names.size(); ++i) {
    if (!creating) {
      find.Reset();
      find.BindInt64(1, row);
      find.BindText(2, names[i]);
      int rc = find.Step();
      if (rc == SQLITE_ROW) {
        row = find.ColumnInt64(0);
        if (rows != nullptr) rows->push_back(row);
        continue;
      }
      if (rc != SQLITE_DONE) {
        NoteFailure("creating the key", rc);
        return std::nullopt;
      }
      creating = true;
    }
    insert.Reset();
    insert.BindInt64(1, row);
    insert.BindText(2, names[i]);
    if (int rc = insert.Step(); rc != SQLITE_DONE) {
      NoteFailure("creating the key", rc);
      return std::nullopt;
    }
    row = sqlite3_last_insert_rowid(db_);
    if (rows != nullptr) rows->push_back(row);
  }
  return row;
}

std::optional<Value> SettingsStore::GetLocked(int64_t key, std::string_view name) const {
  SqliteStatement st = Cached(kGetValue);
  st.BindInt64(1, key);
  st.BindText(2, name);
  int rc = st.Step();
  if (rc == SQLITE_ROW) {
    Value value;
    value.type = static_cast<ValueType>(st.ColumnInt64(0));
    std::span<const uint8_t> data = st.ColumnBlob(1);
    value.data.assign(data.begin(), data.end());
    return value;
  }
  if (rc != SQLITE_DONE) NoteFailure("reading the value", rc);
  return std::nullopt;
}

std::optional<Value> SettingsStore::Get(std::string_view key, std::string_view name) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return std::nullopt;
  return ReadSnapshot([&]() -> std::optional<Value> {
    std::optional<int64_t> row = FindKeyLocked(names);
    if (!row || *row == kMissingKey) return std::nullopt;
    return GetLocked(*row, name);
  });
}

uint32_t SettingsStore::GetDword(std::string_view key, std::string_view name,
                                 uint32_t def) const {
  std::optional<Value> value = Get(key, name);
  if (!value || value->type != ValueType::kDword || value->data.size() != 4) return def;
  return static_cast<uint32_t>(FromLittleEndian(value->data));
}

uint64_t SettingsStore::GetQword(std::string_view key, std::string_view name,
                                 uint64_t def) const {
  std::optional<Value> value = Get(key, name);
  if (!value || value->type != ValueType::kQword || value->data.size() != 8) return def;
  return FromLittleEndian(value->data);
}

std::string SettingsStore::GetString(std::string_view key, std::string_view name,
                                     std::string def, bool expand) const {
  std::optional<Value> value = Get(key, name);
  if (!value || (value->type != ValueType::kSz && value->type != ValueType::kExpandSz)) {
    return def;
  }
  std::string text(value->data.begin(), value->data.end());
  // Data written by other means may carry the registry's terminating NUL.
  if (size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (expand && value->type == ValueType::kExpandSz) {
    return ExpandEnvironmentReferences(text);
  }
  return text;
}

std::vector<uint8_t> SettingsStore::GetBinary(std::string_view key, std::string_view name,
                                              std::vector<uint8_t> def) const {
  std::optional<Value> value = Get(key, name);
  if (!value || value->type != ValueType::kBinary) return def;
  return std::move(value->data);
}

bool SettingsStore::SetDword(std::string_view key, std::string_view name, uint32_t value) {
  return SetValue(key, name, Value{ValueType::kDword, LittleEndian(value, 4)});
}

bool SettingsStore::SetQword(std::string_view key, std::string_view name, uint64_t value) {
  return SetValue(key, name, Value{ValueType::kQword, LittleEndian(value, 8)});
}

bool SettingsStore::SetString(std::string_view key, std::string_view name,
                              std::string_view text, ValueType type) {
  if (type != ValueType::kSz && type != ValueType::kExpandSz) {
    std::lock_guard<std::mutex> lock(mu_);
    NoteError("a string value must be of type SZ or EXPAND_SZ");
    return false;
  }
  if (text.find('\0') != std::string_view::npos) {
    // Readers stop at the first NUL; storing it would lose the rest silently.
    std::lock_guard<std::mutex> lock(mu_);
    NoteError("a string value cannot contain a NUL character");
    return false;
  }
  return SetValue(key, name, Value{type, std::vector<uint8_t>(text.begin(), text.end())});
}

bool SettingsStore::SetBinary(std::string_view key, std::string_view name,
                              std::span<const uint8_t> data) {
  return SetValue(key, name,
                  Value{ValueType::kBinary, std::vector<uint8_t>(data.begin(), data.end())});
}

bool SettingsStore::CheckValueLocked(std::string_view name, const Value& value) const {
  std::string error;
  if (!CheckValueName(name, &error)) {
    NoteError(error);
    return false;
  }
  if ((value.type == ValueType::kDword && value.data.size() != 4) ||
      (value.type == ValueType::kQword && value.data.size() != 8)) {
    NoteError("a DWORD value needs 4 bytes of data and a QWORD value 8");
    return false;
  }
  return true;
}

bool SettingsStore::PutValueLocked(int64_t key, std::string_view name, const Value& value) {
  if (key == kRootKey) {
    NoteError("values cannot be stored at the root of the hive");
    return false;
  }
  SqliteStatement st = Cached(kPutValue);
  st.BindInt64(1, key);
  st.BindText(2, name);
  st.BindInt64(3, static_cast<int64_t>(value.type));
  st.BindBlob(4, value.data);
  if (int rc = st.Step(); rc != SQLITE_DONE) {
    NoteFailure("storing the value", rc);
    return false;
  }
  return true;
}

bool SettingsStore::SetValue(std::string_view key, std::string_view name,
                             const Value& value) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names) || !CheckValueLocked(name, value)) return false;
  if (names.empty()) {
    NoteError("values cannot be stored at the root of the hive");
    return false;
  }
  return WriteTransaction("storing the value", [&] {
    std::optional<int64_t> row = EnsureKeyLocked(names);
    return row && PutValueLocked(*row, name, value);
  });
}

bool SettingsStore::CreateKey(std::string_view key) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return false;
  if (names.empty()) return true;
  return WriteTransaction("creating the key",
                          [&] { return EnsureKeyLocked(names).has_value(); });
}

bool SettingsStore::DeleteValue(std::string_view key, std::string_view name) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return false;
  bool deleted = false;
  bool done = WriteTransaction("deleting the value", [&] {
    std::optional<int64_t> row = FindKeyLocked(names);
    if (!row) return false;
    if (*row == kMissingKey) return true;
    SqliteStatement st(db_, "DELETE FROM key_values WHERE key = ?1 AND name = ?2");
    st.BindInt64(1, *row);
    st.BindText(2, name);
    if (int rc = st.Step(); rc != SQLITE_DONE) {
      NoteFailure("deleting the value", rc);
      return false;
    }
    deleted = sqlite3_changes(db_) > 0;
    return true;
  });
  if (done && !deleted) NoteError("the value does not exist");
  return done && deleted;
}

bool SettingsStore::DeleteKey(std::string_view key) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return false;
  if (names.empty()) {
    NoteError("the root of the hive cannot be deleted");
    return false;
  }
  return WriteTransaction("deleting the key", [&] {
    std::optional<int64_t> row = FindKeyLocked(names);
    if (!row) return false;
    if (*row == kMissingKey) {
      NoteError("the key does not exist");
      return false;
    }
    // The subtree, gathered by parent links. UNION rather than UNION ALL:
    // it stops at a row met twice, so even a file whose links loop ends.
    for (const char* sql :
         {"WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT k.id FROM key_nodes k "
          "JOIN tree ON k.parent = tree.id) DELETE FROM key_values WHERE key IN tree",
          "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION SELECT k.id FROM key_nodes k "
          "JOIN tree ON k.parent = tree.id) DELETE FROM key_nodes WHERE id IN tree"}) {
      SqliteStatement st(db_, sql);
      st.BindInt64(1, *row);
      if (int rc = st.Step(); rc != SQLITE_DONE) {
        NoteFailure("deleting the key", rc);
        return false;
      }
    }
    return true;
  });
}

bool SettingsStore::KeyExists(std::string_view key) const {
  return StoredKeyPath(key).has_value();
}

std::optional<std::string> SettingsStore::StoredKeyPath(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return std::nullopt;
  return ReadSnapshot([&]() -> std::optional<std::string> {
    std::string stored;
    std::optional<int64_t> row = FindKeyLocked(names, &stored);
    if (!row || *row == kMissingKey) return std::nullopt;
    return stored;
  });
}

std::vector<std::string> SettingsStore::SubKeys(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return {};
  return ReadSnapshot([&] {
    std::vector<std::string> children;
    std::optional<int64_t> row = FindKeyLocked(names);
    if (!row || *row == kMissingKey) return children;
    SqliteStatement st(db_,
                       "SELECT name FROM key_nodes WHERE parent = ?1 ORDER BY name COLLATE NOCASE");
    st.BindInt64(1, *row);
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) children.emplace_back(st.ColumnText(0));
    if (rc != SQLITE_DONE) {
      NoteFailure("listing the subkeys", rc);
      children.clear();
    }
    return children;
  });
}

std::vector<ValueEntry> SettingsStore::Values(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return {};
  return ReadSnapshot([&] {
    std::vector<ValueEntry> entries;
    std::optional<int64_t> row = FindKeyLocked(names);
    if (!row || *row == kMissingKey) return entries;
    SqliteStatement st(db_,
                       "SELECT name, type, data FROM key_values WHERE key = ?1 ORDER BY name");
    st.BindInt64(1, *row);
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
      ValueEntry entry;
      entry.name = st.ColumnText(0);
      entry.type = static_cast<ValueType>(st.ColumnInt64(1));
      std::span<const uint8_t> data = st.ColumnBlob(2);
      entry.data.assign(data.begin(), data.end());
      entries.push_back(std::move(entry));
    }
    if (rc != SQLITE_DONE) {
      NoteFailure("listing the values", rc);
      entries.clear();
    }
    return entries;
  });
}

bool SettingsStore::WriteBatch(const std::function<bool(Batch&)>& body) {
  std::lock_guard<std::mutex> lock(mu_);
  if (unusable_.load(std::memory_order_acquire) || db_ == nullptr) {
    last_error_ = problem_;
    return false;
  }
  Batch batch(*this);
  return WriteTransaction("writing the settings", [&] { return body(batch); });
}

std::optional<SettingsStore::Batch::Key> SettingsStore::Batch::CreateKey(std::string_view key) {
  std::vector<std::string> names;
  if (!store_.Resolve(key, &names)) return std::nullopt;
  // Rows stay as they are until the batch ends: it deletes nothing, and
  // no one else writes meanwhile.
  size_t known = 0;
  while (known < names.size() && known < last_names_.size() &&
         EqualsIgnoreCase(names[known], last_names_[known])) {
    ++known;
  }
  std::optional<int64_t> row = store_.EnsureKeyLocked(names, &last_rows_, known);
  if (!row) {
    last_names_.clear();
    last_rows_.clear();
    return std::nullopt;
  }
  last_names_ = std::move(names);
  return Key{*row};
}

bool SettingsStore::Batch::SetValue(Key key, std::string_view name, const Value& value) {
  if (!store_.IsUsable()) {
    store_.last_error_ = store_.problem_;
    return false;
  }
  return store_.CheckValueLocked(name, value) && store_.PutValueLocked(key.row, name, value);
}

}  // namespace quarry::platform
