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
// header. The root exports every key. False with *error when the key does not exist or the store
// cannot be read.
bool ExportSettings(const SettingsStore& store, std::string_view key, std::ostream& out,
                    std::string* error);

// One key read from the text, with its values in text order.
struct ParsedKey {
  std::string path;  // without hive prefix
  std::vector<ValueEntry> values;
};

// Parses a whole text. On failure returns false with "line N: reason" in
// *error; *keys is then unspecified.
bool ParseSettingsText(std::string_view text, std::vector<ParsedKey>* keys, std::string* error);

// Creates every key and stores every value, each write its own
// transaction; stops at the first failure (earlier writes stay) and
// returns false with the reason.
bool ImportSettings(SettingsStore& store, const std::vector<ParsedKey>& keys, std::string* error);

}  // namespace quarry::ztreg

#endif  // QUARRY_TOOLS_ZTREG_SETTINGS_TEXT_H_
