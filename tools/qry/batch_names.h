// Names of the files `qry export --all` writes: PAGE-TABLE.EXT, made from
// the source and the table's id so that a person recognises them, and safe
// whatever a page or an address holds.
//
// A name part keeps ASCII letters and digits, '-', '_', '.' and the
// characters of well-formed UTF-8 (Latin-1 bytes are converted first, see
// PageBytesAsUtf8); anything else (a '/', a blank, a control byte) becomes
// '_'. Runs of '_' shrink to one, and the part never starts with '.', '-'
// or '_', so no name is hidden, looks like an option or climbs out of its
// folder (".."). Parts are cut to kMaxNamePartBytes, so a name stays far
// below the 255 bytes a file name may have.

#ifndef QUARRY_TOOLS_QRY_BATCH_NAMES_H_
#define QUARRY_TOOLS_QRY_BATCH_NAMES_H_

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace quarry::qry {

inline constexpr size_t kMaxNamePartBytes = 80;

// `text` made safe as a part of a file name (see above); `fallback` when
// nothing is left.
std::string SafeNamePart(std::string_view text, std::string_view fallback);

// The page's name for `source`: a file path's last component, or an
// address's last path segment (percent-escapes decoded), else its host;
// without the extension. "https://x.org/data/prices.aspx?id=3" gives
// "prices", "https://x.org/" gives "x.org". Not yet made safe.
std::string PageNameOf(std::string_view source);

// Hands out unique names for one run, in the order asked: the first
// PAGE-TABLE.EXT is used as it is, later ones that clash with an earlier
// name get "-2", "-3", ... before the extension. Names that differ only in
// ASCII case clash too, since they would on a case-insensitive file system.
// The names depend on nothing but what was asked before, so the same run
// gives the same names again.
class BatchNames {
 public:
  // `extension` includes the dot: ".csv".
  explicit BatchNames(std::string extension) : extension_(std::move(extension)) {}

  std::string Take(std::string_view page, std::string_view table_id);

 private:
  std::string extension_;
  std::set<std::string> taken_;  // lowered
};

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_BATCH_NAMES_H_
