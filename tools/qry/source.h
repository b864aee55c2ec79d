// Reading the page that qry works on.
//
// A source names where a page comes from. Today that is a file path; the
// reading lives in this one function so that other kinds of source (a web
// address, standard input) can be added here without touching the commands.

#ifndef QUARRY_TOOLS_QRY_SOURCE_H_
#define QUARRY_TOOLS_QRY_SOURCE_H_

#include <cstddef>
#include <string>

namespace quarry::qry {

// The most bytes of a page that qry reads; the rest of a larger page is cut
// off, as the results view cuts a download at its buffer's size.
inline constexpr std::size_t kMaxSourceBytes = std::size_t{64} << 20;

// The bytes of one page as read, and whether the page was longer than the
// limit and so was cut.
struct SourceText {
  std::string bytes;
  bool truncated = false;
};

// Reads at most `limit` bytes of the page named by `source` into `*out`,
// replacing what it held. Returns true on success; on failure returns false,
// leaves `*error` holding a one-line reason that names the source, and leaves
// `*out` in an unspecified but valid state. A page cut at `limit` is a
// success with `out->truncated` set; warning about it is the caller's job.
bool ReadSource(const std::string& source, SourceText* out, std::string* error,
                std::size_t limit = kMaxSourceBytes);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_SOURCE_H_
