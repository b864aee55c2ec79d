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
    NoteError("bad key " + Quoted(std::string(key)) + ": " + error);
    return false;
  }
  return true;
}

template <typename Body>
bool SettingsStore::WriteTransaction(const char* what, Body body) {
  // IMMEDIATE takes the write lock up front, so waiting for another writer
  // goes through the busy time-out instead of failing on upgrade.
  if (!Exec("BEGIN IMMEDIATE", what)) return false;
  if (body() && Exec("COMMIT", what)) return true;
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

std::optional<std::string> SettingsStore::StoredPathLocked(const std::string& path) const {
  if (path.empty()) return std::string();
  SqliteStatement st(db_, "SELECT path FROM keys WHERE path = ?1");
  st.BindText(1, path);
  int rc = st.Step();
  if (rc == SQLITE_ROW) return std::string(st.ColumnText(0));
  if (rc != SQLITE_DONE) NoteFailure("reading the key", rc);
  return std::nullopt;
}

bool SettingsStore::EnsureKeyLocked(const std::vector<std::string>& names,
                                    std::string* stored_path) {
  if (auto found = StoredPathLocked(JoinKeyPath(names))) {
    *stored_path = *found;
    return true;
  }
  // Existing ancestors lend their spelling to the new descendants' paths.
  std::string stored;
  for (const std::string& name : names) {
    std::string wanted = stored.empty() ? name : stored + "\\" + name;
    if (auto found = StoredPathLocked(wanted)) {
      stored = *found;
      continue;
    }
    if (!IsUsable()) return false;
    SqliteStatement st(db_, "INSERT INTO keys (path, parent, name) VALUES (?1, ?2, ?3)");
    st.BindText(1, wanted);
    st.BindText(2, stored);
    st.BindText(3, name);
    if (int rc = st.Step(); rc != SQLITE_DONE) {
      NoteFailure("creating the key", rc);
      return false;
    }
    stored = std::move(wanted);
  }
  *stored_path = std::move(stored);
  return true;
}

std::optional<Value> SettingsStore::GetLocked(const std::string& path,
                                              std::string_view name) const {
  SqliteStatement st(db_, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2");
  st.BindText(1, path);
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
  return GetLocked(JoinKeyPath(names), name);
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

bool SettingsStore::SetValue(std::string_view key, std::string_view name,
                             const Value& value) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return false;
  std::string error;
  if (!CheckValueName(name, &error)) {
    NoteError(error);
    return false;
  }
  if (names.empty()) {
    NoteError("values cannot be stored at the root of the hive");
    return false;
  }
  if ((value.type == ValueType::kDword && value.data.size() != 4) ||
      (value.type == ValueType::kQword && value.data.size() != 8)) {
    NoteError("a DWORD value needs 4 bytes of data and a QWORD value 8");
    return false;
  }
  return WriteTransaction("storing the value", [&] {
    std::string stored;
    if (!EnsureKeyLocked(names, &stored)) return false;
    SqliteStatement st(db_,
                       "INSERT INTO vals (key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
                       "ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, "
                       "data = excluded.data");
    st.BindText(1, stored);
    st.BindText(2, name);
    st.BindInt64(3, static_cast<int64_t>(value.type));
    st.BindBlob(4, value.data);
    if (int rc = st.Step(); rc != SQLITE_DONE) {
      NoteFailure("storing the value", rc);
      return false;
    }
    return true;
  });
}

bool SettingsStore::CreateKey(std::string_view key) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return false;
  if (names.empty()) return true;
  return WriteTransaction("creating the key", [&] {
    std::string stored;
    return EnsureKeyLocked(names, &stored);
  });
}

bool SettingsStore::DeleteValue(std::string_view key, std::string_view name) {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  if (!Resolve(key, &names)) return false;
  SqliteStatement st(db_, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
  st.BindText(1, JoinKeyPath(names));
  st.BindText(2, name);
  if (int rc = st.Step(); rc != SQLITE_DONE) {
    NoteFailure("deleting the value", rc);
    return false;
  }
  if (sqlite3_changes(db_) == 0) {
    NoteError("the value does not exist");
    return false;
  }
  return true;
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
    std::optional<std::string> stored = StoredPathLocked(JoinKeyPath(names));
    if (!stored) {
      if (IsUsable()) NoteError("the key does not exist");
      return false;
    }
    for (const char* sql :
         {"DELETE FROM vals WHERE key = ?1 OR (key >= ?2 AND key < ?3)",
          "DELETE FROM keys WHERE path = ?1 OR (path >= ?2 AND path < ?3)"}) {
      SqliteStatement st(db_, sql);
      st.BindText(1, *stored);
      st.BindText(2, *stored + "\\");
      st.BindText(3, *stored + "]");
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
  return StoredPathLocked(JoinKeyPath(names));
}

std::vector<std::string> SettingsStore::SubKeys(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  std::vector<std::string> children;
  if (!Resolve(key, &names)) return children;
  SqliteStatement st(db_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY name COLLATE NOCASE");
  st.BindText(1, JoinKeyPath(names));
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) children.emplace_back(st.ColumnText(0));
  if (rc != SQLITE_DONE) {
    NoteFailure("listing the subkeys", rc);
    children.clear();
  }
  return children;
}

std::vector<ValueEntry> SettingsStore::Values(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<std::string> names;
  std::vector<ValueEntry> entries;
  if (!Resolve(key, &names)) return entries;
  SqliteStatement st(db_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY name");
  st.BindText(1, JoinKeyPath(names));
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
}

}  // namespace quarry::platform
