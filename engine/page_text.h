// Preparing a downloaded page's bytes for the scanner, and saying what the
// preparation did to them.
//
// The scanner reads 8-bit text that ends at its first zero byte, as the
// download buffer has always been read. Two kinds of page would then come
// out empty without a word: a page with a stray zero byte early on, and a
// page in UTF-16 (half its bytes are zeros). The first keeps the rule, but
// the caller learns where the text was cut; the second is recognised and
// converted to UTF-8 before the rule applies.

#ifndef QUARRY_ENGINE_PAGE_TEXT_H_
#define QUARRY_ENGINE_PAGE_TEXT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarry {

// What preparing a page did; all false/empty for an ordinary page.
struct PageTextNotes {
  // The page was UTF-16 (byte-order mark "FF FE" or "FE FF", or without a
  // mark a zero byte in every odd position of its first kilobyte (little
  // endian) or in every even one (big endian)) and was converted to UTF-8.
  bool converted_from_utf16 = false;
  bool big_endian = false;  // with converted_from_utf16: the byte order
  // The text was cut at a zero byte: its offset in the page's own bytes
  // (for a UTF-16 page, where its zero code unit starts).
  std::optional<size_t> zero_byte_offset;

  bool operator==(const PageTextNotes&) const = default;
};

// A page made ready for the scanner. `text` is the scanner's input; it
// points into the page given to PreparePageText or into `converted`, so
// this object and that page must outlive every use of `text`. Move-only,
// because `text` may point into its own `converted`.
class PreparedPage {
 public:
  PreparedPage() = default;
  PreparedPage(PreparedPage&&) noexcept;
  PreparedPage& operator=(PreparedPage&&) noexcept;
  PreparedPage(const PreparedPage&) = delete;
  PreparedPage& operator=(const PreparedPage&) = delete;

  std::string_view text() const { return text_; }
  const PageTextNotes& notes() const { return notes_; }

 private:
  friend PreparedPage PreparePageText(std::string_view page);

  std::string converted_;  // the UTF-8 form of a UTF-16 page
  std::string_view text_;
  PageTextNotes notes_;
};

// Recognises a UTF-16 page and converts it (unpaired surrogates, and an odd
// last byte, become U+FFFD; the byte-order mark is dropped), then cuts the
// text at its first zero byte. Linear in the page; a converted page takes
// at most one and a half times its size again. Never fails.
PreparedPage PreparePageText(std::string_view page);

// The one-line warning for a page cut at a zero byte, for qry and the
// window's status bar: "the page holds a zero byte at offset N; the text
// after it was not read". Empty when the notes hold no cut.
std::string ZeroByteWarning(const PageTextNotes& notes);

}  // namespace quarry

#endif  // QUARRY_ENGINE_PAGE_TEXT_H_
