// The text form in which ztreg shows, exports and imports settings:
//
//   # comment
//   [HKCU\Software\Zandor Tech\Globals]
//   "OfflineMode" = dword 1
//   "Size" = qword 123456789012
//   "ProxyServer" = string "proxy.example \"x\" \\ \n"
//   "Path" = expand-string "%HOME%/data"
//   "Placement" = binary 2c 00 00 00 ff
//   "List" = type 7 61 00 00
//
// One key header per key, followed by its values; a key with no values is
// a bare header. Value names and strings are double-quoted with the
// escapes \\ \" \n \r \t and \xHH (other control bytes); other bytes,
// including non-ASCII ones, appear as they are. Numbers are decimal on
// output; input also takes 0x hexadecimal. Lines end in LF on output; CR LF
// is accepted on input.

#ifndef QUARRY_TOOLS_ZTREG_SETTINGS_TEXT_H_
#define QUARRY_TOOLS_ZTREG_SETTINGS_TEXT_H_

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

namespace quarry::ztreg {

using platform::SettingsStore;
using platform::Value;
using platform::ValueEntry;

// "HKCU\<path>" for a key path without hive prefix; "HKCU" for the root.
std::string DisplayKey(std::string_view path);

// "[HKCU\<path>]", the header line of a key.
std::string FormatKeyLine(std::string_view path);

// "\"<name>\" = <type> <data>", without line end.
std::string FormatValueLine(std::string_view name, const Value& value);

// Double-quotes `text` with the escapes above.
std::string QuoteText(std::string_view text);

// Parses "01 02 ff", "0102ff", "01,02,ff" or "01:02:ff" (separators between
// whole bytes only); empty text is no bytes. On failure returns false with
// a one-line reason in *error.
bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* bytes, std::string* error);

// Parses a non-negative decimal or 0x-hexadecimal number no greater than
// `max`; refuses signs, blanks, trailing text and overflow with a reason.
bool ParseNumber(std::string_view text, uint64_t max, uint64_t* number, std::string* error);

// Writes `key` (a path as key_path.h takes it) and its whole subtree, keys
// in sorted order, each header followed by its values; keys that have
// neither values nor a place in a longer path (empty leaves) get a bare
// header. The root exports every key. False with *error when the key does
// not exist, the store cannot be read, or a key lies deeper than a path may
// reach (only files of an older version hold such keys); *out may then
// hold part of the text.
bool ExportSettings(const SettingsStore& store, std::string_view key, std::ostream& out,
                    std::string* error);

// What ParseSettingsText reads, handed over in text order: `key` for each
// key line (the path without hive prefix), `value` for each value line with
// the path of its key. Either may be empty. A function that returns false
// stops the parse, which then fails with the reason the function left in
// the parse's *error.
struct SettingsTextSink {
  std::function<bool(const std::string& path)> key;
  std::function<bool(const std::string& path, const ValueEntry& value)> value;
};

// Parses a whole text, checking everything the store would refuse (key
// paths, value names, data sizes), and hands each key and value to `sink`.
// Time is linear in the text, memory one line's worth beyond it. On a bad
// line returns false with "line N: reason" in *error.
bool ParseSettingsText(std::string_view text, const SettingsTextSink& sink, std::string* error);

// One key read from the text, with its values in text order.
struct ParsedKey {
  std::string path;  // without hive prefix
  std::vector<ValueEntry> values;
};

// Parses a whole text into *keys, as above; *keys is unspecified on failure.
bool ParseSettingsText(std::string_view text, std::vector<ParsedKey>* keys, std::string* error);

// Stores every key and value of `text` in one transaction: all of them, or
// none when the text has an error or a write fails; false with the reason
// in *error then. The store stays locked for the whole import.
bool ImportSettings(SettingsStore& store, std::string_view text, std::string* error);

}  // namespace quarry::ztreg

#endif  // QUARRY_TOOLS_ZTREG_SETTINGS_TEXT_H_
