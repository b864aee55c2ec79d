// Reading the page that qry works on.
//
// A source names where a page comes from: a web address (http://, https://,
// ftp:// or file://, the scheme in any case), fetched through FetchPage
// exactly as the results view of the window fetches a page to parse, or
// else a local file path. ReadSource is the one place that reads a page.

#ifndef QUARRY_TOOLS_QRY_SOURCE_H_
#define QUARRY_TOOLS_QRY_SOURCE_H_

#include <cstddef>
#include <string>

#include "web/page_fetch.h"
#include "web/web_address.h"
#include "web/web_settings.h"

namespace quarry::qry {

// The most bytes of a page that qry reads when the settings store does not
// say otherwise ("MaxPageSize" in the program's "Settings" section); the
// rest of a larger page is cut off, as the results view cuts a download at
// that size.
inline constexpr std::size_t kDefaultMaxSourceBytes = kDefaultMaxPageSize;

// The bytes of one page as read, whether the page was longer than the limit
// and so was cut, and the limit that applied.
struct SourceText {
  std::string bytes;
  bool truncated = false;
  std::size_t limit = 0;
};

// How web addresses are reached (proxy, credentials, progress); ignored for
// local files.
using WebAccess = PageFetchOptions;

// The page size limit: "MaxPageSize" from the settings store the retrieval
// code uses (0 or missing: kDefaultMaxSourceBytes).
std::size_t PageSizeLimit();

// Reads the page named by `source` into `*out`, replacing what it held: a
// web address through FetchPage, anything else as a local file through
// ReadFileSource, both cut at PageSizeLimit(). Returns true on success; on
// failure returns false with a one-line reason in `*error` and `*out` in an
// unspecified but valid state. A page cut at the limit is a success with
// `out->truncated` set; warning about it is the caller's job.
bool ReadSource(const std::string& source, const WebAccess& access,
                SourceText* out, std::string* error);

// Reads at most `limit` bytes of the local file `path` into `*out`. Only a
// regular file is read: a folder, pipe or device is refused at once (a pipe
// with no writer would otherwise block forever). On failure returns false
// with a one-line reason naming the file.
bool ReadFileSource(const std::string& path, SourceText* out,
                    std::string* error, std::size_t limit);

// `source` as messages show it: control characters escaped as \xNN, and the
// password of a web address's "user:password@" part replaced by "***".
std::string DisplaySource(const std::string& source);

// A byte count for people: "64 MiB", "512 KiB" or "1000 bytes", whichever
// states it exactly.
std::string DescribeSize(std::size_t bytes);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_SOURCE_H_
