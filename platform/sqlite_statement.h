// A prepared SQLite statement that finalizes itself. Internal to the
// settings store.

#ifndef QUARRY_PLATFORM_SQLITE_STATEMENT_H_
#define QUARRY_PLATFORM_SQLITE_STATEMENT_H_

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace quarry::platform {

// Owns one statement on a connection it does not own; the connection must
// outlive it. Preparation errors are kept in status() and make every Step()
// return them, so a caller checks once, after stepping.
class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, std::string_view sql) {
    status_ = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()),
                                 &stmt_, nullptr);
  }
  // Borrows a statement that a cache keeps prepared (null when its
  // preparation failed with `status`): when this object ends it is reset
  // and its parameters let go, not finalized. One borrower at a time.
  SqliteStatement(sqlite3_stmt* borrowed, int status)
      : stmt_(borrowed), status_(status), owned_(false) {}
  ~SqliteStatement() {
    if (owned_) {
      sqlite3_finalize(stmt_);
    } else if (stmt_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  int status() const { return status_; }

  // Parameters are 1-based, as in SQL. Texts and blobs are copied.
  void BindText(int index, std::string_view text) {
    if (stmt_ != nullptr) {
      sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
  }
  void BindBlob(int index, std::span<const uint8_t> data) {
    // A zero-length blob must still be a blob, not NULL: pass a non-null
    // pointer.
    static const uint8_t kEmpty = 0;
    if (stmt_ != nullptr) {
      sqlite3_bind_blob(stmt_, index, data.empty() ? &kEmpty : data.data(),
                        static_cast<int>(data.size()), SQLITE_TRANSIENT);
    }
  }
  void BindInt64(int index, int64_t value) {
    if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, index, value);
  }

  // Makes the statement ready to step again from the start; bindings stay
  // until replaced.
  void Reset() {
    if (stmt_ != nullptr) sqlite3_reset(stmt_);
  }

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() {
    if (stmt_ == nullptr) return status_ == SQLITE_OK ? SQLITE_MISUSE : status_;
    status_ = sqlite3_step(stmt_);
    return status_;
  }

  // Column accessors; valid until the next Step().
  std::string_view ColumnText(int column) {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    if (text == nullptr) return {};
    return {reinterpret_cast<const char*>(text), static_cast<size_t>(size)};
  }
  std::span<const uint8_t> ColumnBlob(int column) {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr) return {};
    return {static_cast<const uint8_t*>(data), static_cast<size_t>(size)};
  }
  int64_t ColumnInt64(int column) { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int status_;
  bool owned_ = true;
};

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_SQLITE_STATEMENT_H_
