// The update server's version list: text lines of comma-separated fields
// (a field in double quotes may hold commas). Three kinds of line matter:
//   - the first line containing "http://" (or "https://"): field 0 is the base address of
//     plain downloads, field 2 that of compressed ones;
//   - for a file, the first line whose lower-cased text contains the
//     lower-cased file name: field 1 its version, field 2 its download name,
//     field 3 (lists we publish) the SHA-256 of the file as installed;
//   - the first line containing "notice": field 1 a notice for the user.
// The file rule is a substring match on the whole line, so a line naming
// "libKsButton.so" also answers for "KsButton.so"; lists are written with
// each file's own line before any other line that contains its name.
//
// Parsing never fails: what is missing reads as absent. Cost is linear in
// the text for each question asked. Plain C++.

#ifndef QUARRY_UPDATER_VERSION_LIST_H_
#define QUARRY_UPDATER_VERSION_LIST_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

// How much of the server's answer is read; lines beyond are not seen.
inline constexpr size_t kVersionListBytes = 5000;

struct VersionEntry {
  double version = 0.0;       // field 1 as a number (0 when it is none)
  std::string download_name;  // field 2, may be empty
  std::string digest;         // field 3, may be empty
  size_t line = 0;            // index of the line that answered
};

class VersionList {
 public:
  // Keeps the first kVersionListBytes bytes of `text`, cut into lines at
  // CR, LF or both; empty lines are dropped.
  explicit VersionList(std::string_view text);

  // Field 0 and field 2 of the first line with "http://" or "https://"; nullopt without
  // such a line.
  struct BaseAddresses {
    std::string plain;
    std::string compressed;
  };
  std::optional<BaseAddresses> Bases() const;

  // The first line naming `file_name` (see above); nullopt when none does
  // or the name is empty.
  std::optional<VersionEntry> Find(std::string_view file_name) const;

  // Field 1 of the first line with "notice"; empty without one.
  std::string Notice() const;

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// The fields of one line: split at commas outside double quotes, the quotes
// removed, spaces and tabs around each field trimmed.
std::vector<std::string> SplitVersionFields(std::string_view line);

// A version text as a number, independent of the locale ("1.1" and "1.10"
// are equal); 0 when the text does not begin with a number.
double ParseVersionNumber(std::string_view text);

// Quotes a field for a version list when it needs it (a comma, a quote or
// surrounding spaces): wrapped in double quotes, inner quotes dropped,
// since the list has no escape for them.
std::string QuoteVersionField(std::string_view field);

}  // namespace quarry

#endif  // QUARRY_UPDATER_VERSION_LIST_H_
