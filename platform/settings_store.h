// The per-user settings store: a small hierarchical database of keys and
// typed values that the programs of the system, its control modules and the
// ztreg tool share, in place of the Windows registry's current-user hive.
//
// The store is one SQLite file (see store_location.h for where). Every
// write is its own transaction and is visible to every other process as
// soon as the call returns; several processes may read and write at once.
// WriteBatch() groups many writes into one transaction.
//
// Stored form of the data (part of the file format, shared with other
// processes): DWORD and QWORD values are 4 and 8 bytes, little-endian, as
// the registry keeps them; SZ and EXPAND_SZ values are the text's bytes
// without a terminating NUL; BINARY values are the bytes as given.
//
// Keys are rows of their own: a key may exist without values, and storing a
// value creates its key and every missing ancestor. Key and value names
// match ASCII case-insensitively and keep the spelling they were first
// stored with. Each key row holds only its own name and its parent's row,
// so storing or finding a key costs time in proportion to its path
// (key_path.h bounds paths), however deep it lies, and deleting one in
// proportion to its subtree.
//
// The file is private to its user: it is created with mode 0600, and an
// existing one that others may read is tightened to it on opening (and
// Notice() says so). Files of the first format (one row per key holding its
// whole path) are converted in place, in one transaction, the first time a
// program of this version opens them; programs of the older version then
// refuse the file as written by a newer version (one that had it open
// already fails its reads and writes from then on, changing nothing).
//
// A store file that cannot be opened, is damaged, or is not a settings
// store makes the object unusable: reads give the callers' defaults, writes
// fail, Problem() says why, and the file is never written to, so nothing in
// it is lost to a "repair"; no journal file is left beside it either.
//
// A store that this user cannot write (the file or its folder is read-only)
// is opened for reading: reads are served and every write fails saying so.
// When no journal files lie beside it (no program is writing it), it is read
// as unchanging for as long as it is open, which needs no journal files.

#ifndef QUARRY_PLATFORM_SETTINGS_STORE_H_
#define QUARRY_PLATFORM_SETTINGS_STORE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quarry::platform {

class SqliteStatement;

// The registry's type codes; the store keeps them as they are. Other codes
// (REG_MULTI_SZ = 7, ...) can be stored and read through SetValue()/Get().
enum class ValueType : uint32_t {
  kSz = 1,
  kExpandSz = 2,
  kBinary = 3,
  kDword = 4,
  kQword = 11,
};

// A value's type and its stored bytes (see the stored form above).
struct Value {
  ValueType type = ValueType::kBinary;
  std::vector<uint8_t> data;

  bool operator==(const Value&) const = default;
};

// One value of a key, as Values() lists it; `name` in its stored spelling.
struct ValueEntry {
  std::string name;
  ValueType type = ValueType::kBinary;
  std::vector<uint8_t> data;

  bool operator==(const ValueEntry&) const = default;
};

// How long a call waits for another process's write before giving up.
inline constexpr int kStoreBusyTimeoutMs = 5000;

// Thread-safe: one connection per object, guarded by a mutex. Keys are
// paths as described in key_path.h; the hive root (empty path or "HKCU")
// can be read and enumerated but holds no values and cannot be deleted.
class SettingsStore {
 public:
  // The current user's store (store_location.h: $ZT_REGISTRY_FILE, else the
  // XDG config folder). Created on first use; lives until the process ends
  // and is never destroyed, so it can be used from static destructors and
  // late threads. When it is or becomes unusable, one line saying so goes
  // to standard error, once.
  static SettingsStore& User();

  // Opens the store file at `path`, creating it (mode 0600) and missing
  // folders (mode 0700) when absent, and an empty file's tables. Never
  // fails outright: check IsUsable().
  explicit SettingsStore(std::string path);
  ~SettingsStore();

  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The file this object opened.
  const std::string& Path() const { return path_; }

  // False once the file proved unopenable or damaged, at opening or later
  // (a query that meets corruption); it never becomes usable again.
  bool IsUsable() const;

  // A user-readable one-line reason when not usable, else empty. The
  // reference stays valid for the object's life.
  const std::string& Problem() const;

  // A one-line note about what opening did to the file (its permissions
  // tightened), else empty; User() prints it once on standard error. Set by
  // the constructor and never changed after.
  const std::string& Notice() const { return notice_; }

  // True when the file could only be opened for reading: reads are served,
  // writes fail. Set by the constructor and never changed after.
  bool IsReadOnly() const { return read_only_; }

  // The reason of the most recent failed call on this object (from any
  // thread), for tools that report failures; empty when none failed yet.
  std::string LastError() const;

  // Typed reads. A missing key or value, a value of another type, a bad
  // path and an unusable store all give `def`.
  uint32_t GetDword(std::string_view key, std::string_view name,
                    uint32_t def) const;
  uint64_t GetQword(std::string_view key, std::string_view name,
                    uint64_t def) const;
  // SZ or EXPAND_SZ, up to the first NUL byte. With `expand`, the
  // environment references of an EXPAND_SZ value are expanded
  // (env_expand.h); SZ values are returned as stored either way.
  std::string GetString(std::string_view key, std::string_view name,
                        std::string def, bool expand = false) const;
  std::vector<uint8_t> GetBinary(std::string_view key, std::string_view name,
                                 std::vector<uint8_t> def = {}) const;

  // The value's type and stored bytes; nullopt when missing (or unusable).
  std::optional<Value> Get(std::string_view key, std::string_view name) const;

  // Writes, each its own transaction, creating the key path as needed. An
  // existing value of the same name (in any case) is replaced, type
  // included, and keeps its stored spelling. False when the path or name is
  // bad, the key is the root, the store is unusable or busy beyond the
  // time-out, or the file cannot be written; nothing is changed then.
  bool SetDword(std::string_view key, std::string_view name, uint32_t value);
  bool SetQword(std::string_view key, std::string_view name, uint64_t value);
  // `type` must be kSz or kExpandSz, and `text` must hold no NUL byte.
  bool SetString(std::string_view key, std::string_view name,
                 std::string_view text, ValueType type = ValueType::kSz);
  bool SetBinary(std::string_view key, std::string_view name,
                 std::span<const uint8_t> data);
  // Any type code. DWORD and QWORD data must be 4 and 8 bytes long.
  bool SetValue(std::string_view key, std::string_view name,
                const Value& value);

  // Creates the key and its missing ancestors; true when it exists after
  // the call.
  bool CreateKey(std::string_view key);

  // True when the value existed and is now gone.
  bool DeleteValue(std::string_view key, std::string_view name);

  // Deletes the key with its values and its whole subtree, in one
  // transaction; keys that merely share a prefix ("Software\\AB" beside
  // "Software\\A") are untouched. True when the key existed and is gone.
  bool DeleteKey(std::string_view key);

  // True for the root and for every stored key.
  bool KeyExists(std::string_view key) const;

  // The key's path in its stored spelling, without hive prefix ("" for the
  // root); nullopt when it does not exist.
  std::optional<std::string> StoredKeyPath(std::string_view key) const;

  // Direct children of the key, in stored spelling, sorted
  // case-insensitively; empty when the key is missing.
  std::vector<std::string> SubKeys(std::string_view key) const;

  // The key's values sorted case-insensitively by name.
  std::vector<ValueEntry> Values(std::string_view key) const;

  class Batch;

  // Runs `body` in one write transaction and keeps what it wrote only when
  // it returns true and the commit succeeds: all of it or none of it.
  // The object is locked for the whole call, and other processes' writes
  // wait for it (up to their busy time-out), so `body` should not wait for
  // anything; it must use only the Batch it is given, never this object's
  // other members, which would deadlock. False when the store is unusable,
  // read-only or busy beyond the time-out, when `body` returns false, or
  // when the commit fails; LastError() then says why (a failed Batch call
  // leaves its reason there).
  bool WriteBatch(const std::function<bool(Batch&)>& body);

 private:
  SettingsStore(std::string path, bool report_to_stderr);

  // The row that stands for the root of the hive, and the answer for a key
  // that does not exist; no key row has either.
  static constexpr int64_t kRootKey = 0;
  static constexpr int64_t kMissingKey = -1;

  void Open();
  bool CheckOrCreateSchema();
  // Converts a file of the first format, in one transaction; a read-only
  // file is converted into temporary tables that last as long as the
  // connection. False with the object marked unusable when it fails.
  bool ConvertFirstFormat();

  // Records `problem` and makes the object unusable; the first call wins.
  // Called with mu_ held once the connection is open.
  void MarkUnusable(const std::string& problem) const;
  // Records the failure of `what` on result code `rc` in last_error_; marks
  // the store unusable when the code says the file is damaged.
  void NoteFailure(const char* what, int rc) const;
  void NoteError(std::string text) const;

  // Resolves `key` for a call; false (with last_error_ set) when the store
  // is unusable or the path is bad.
  bool Resolve(std::string_view key, std::vector<std::string>* names) const;
  std::optional<Value> GetLocked(int64_t key, std::string_view name) const;
  // Walks `names` down from the root: the key's row (kRootKey for the
  // root) and with `stored_path` its path in stored spelling, or
  // kMissingKey when a key on the way does not exist; nullopt when the read
  // failed (last_error_ says why).
  std::optional<int64_t> FindKeyLocked(const std::vector<std::string>& names,
                                       std::string* stored_path = nullptr) const;
  // Inside a write transaction: the key's row, created with its missing
  // ancestors as needed. With `rows`, which holds the rows of the first
  // `known` names on entry, the walk starts below those and leaves the rows
  // of all names there.
  std::optional<int64_t> EnsureKeyLocked(const std::vector<std::string>& names,
                                         std::vector<int64_t>* rows = nullptr,
                                         size_t known = 0);
  // Checks a value before it is stored; false with last_error_ set.
  bool CheckValueLocked(std::string_view name, const Value& value) const;
  // Inside a write transaction: stores the value in the key's row.
  bool PutValueLocked(int64_t key, std::string_view name, const Value& value);
  // False with last_error_ set when the store cannot be written at all.
  bool CheckWritableLocked(const char* what) const;
  // Runs `body` in a read transaction, so that its statements see one
  // state of the file, and returns its result.
  template <typename Body>
  auto ReadSnapshot(Body body) const;
  // Runs `body` between BEGIN IMMEDIATE and COMMIT, rolling back when it
  // returns false or the commit fails.
  template <typename Body>
  bool WriteTransaction(const char* what, Body body);
  bool Exec(const char* sql, const char* what) const;
  // `sql` prepared once for the connection's life and lent out; the cache
  // knows it by its address, so it must be a string that lives as long.
  SqliteStatement Cached(const char* sql) const;

  const std::string path_;
  const bool report_to_stderr_;
  // Both written by the constructor only.
  std::string notice_;
  bool read_only_ = false;

  mutable std::mutex mu_;
  sqlite3* db_ = nullptr;            // guarded by mu_; null when unusable
  // Guarded by mu_; finalized before db_ is closed.
  mutable std::vector<std::pair<const char*, sqlite3_stmt*>> statements_;
  mutable std::string last_error_;   // guarded by mu_

  // problem_ is written once, before unusable_ is set (release), and never
  // again, so Problem() may hand out a reference without the lock.
  mutable std::string problem_;
  mutable std::atomic<bool> unusable_{false};
};

// The writes of one WriteBatch() call; lives only during that call.
class SettingsStore::Batch {
 public:
  // A key created in this batch; valid until the batch ends.
  struct Key {
    int64_t row = 0;
  };

  // Creates the key and its missing ancestors, as CreateKey() does; the
  // root is a key too, though it holds no values. Nullopt when the path is
  // bad or the write fails.
  std::optional<Key> CreateKey(std::string_view key);

  // Stores a value in `key`, as SetValue() does; false when the name or
  // data is bad, `key` is the root, or the write fails.
  bool SetValue(Key key, std::string_view name, const Value& value);

  // The reason of the most recent failed call of this batch.
  const std::string& LastError() const { return store_.last_error_; }

 private:
  friend class SettingsStore;
  explicit Batch(SettingsStore& store) : store_(store) {}

  SettingsStore& store_;
  // The names and rows of the key created last: an import names keys that
  // share most of their path, which is then not walked again.
  std::vector<std::string> last_names_;
  std::vector<int64_t> last_rows_;
};

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_SETTINGS_STORE_H_
