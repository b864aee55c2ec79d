#include "engine/page_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "engine/work_meter.h"

namespace quarry {

namespace {

// How much of an unmarked page is looked at to recognise UTF-16.
constexpr size_t kSniffBytes = 1024;

enum class Encoding { kBytes, kUtf16Little, kUtf16Big };

struct Sniffed {
  Encoding encoding = Encoding::kBytes;
  size_t skip = 0;  // the byte-order mark
};

Sniffed Sniff(std::string_view page) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(page[i]); };
  if (page.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) return {Encoding::kUtf16Little, 2};
  if (page.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) return {Encoding::kUtf16Big, 2};
  // Without a mark: a zero in every other position of the first kilobyte,
  // and not in every position (that is a page of zeros, not text).
  const size_t span = std::min(page.size(), kSniffBytes) & ~size_t{1};
  if (span < 2) return {};
  bool odd_zero = true, even_zero = true;
  for (size_t i = 0; i < span; i += 2) {
    even_zero = even_zero && byte(i) == 0;
    odd_zero = odd_zero && byte(i + 1) == 0;
  }
  if (odd_zero == even_zero) return {};
  return {odd_zero ? Encoding::kUtf16Little : Encoding::kUtf16Big, 0};
}

void AppendUtf8(uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

constexpr uint32_t kReplacement = 0xFFFD;

// Converts up to (not including) the first zero code unit; returns that
// unit's byte offset in the page, if there is one.
std::optional<size_t> ConvertUtf16(std::string_view page, const Sniffed& sniffed, std::string& out) {
  const bool big = sniffed.encoding == Encoding::kUtf16Big;
  const auto unit = [&](size_t i) -> uint32_t {
    const auto a = static_cast<unsigned char>(page[i]);
    const auto b = static_cast<unsigned char>(page[i + 1]);
    return big ? (uint32_t{a} << 8 | b) : (uint32_t{b} << 8 | a);
  };
  out.reserve(page.size() - sniffed.skip);
  size_t i = sniffed.skip;
  for (; i + 1 < page.size(); i += 2) {
    const uint32_t first = unit(i);
    if (first == 0) return i;
    if (first >= 0xD800 && first <= 0xDBFF && i + 3 < page.size()) {
      const uint32_t second = unit(i + 2);
      if (second >= 0xDC00 && second <= 0xDFFF) {
        AppendUtf8(0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00), out);
        i += 2;
        continue;
      }
    }
    // A surrogate without its partner stands for nothing: it becomes the
    // replacement character rather than bytes no UTF-8 reader accepts.
    AppendUtf8(first >= 0xD800 && first <= 0xDFFF ? kReplacement : first, out);
  }
  if (i < page.size()) AppendUtf8(kReplacement, out);  // half a code unit
  return std::nullopt;
}

}  // namespace

PreparedPage::PreparedPage(PreparedPage&& other) noexcept { *this = std::move(other); }

PreparedPage& PreparedPage::operator=(PreparedPage&& other) noexcept {
  if (this == &other) return *this;
  const bool own = other.notes_.converted_from_utf16;
  converted_ = std::move(other.converted_);
  text_ = own ? std::string_view(converted_) : other.text_;
  notes_ = other.notes_;
  other.text_ = {};
  return *this;
}

PreparedPage PreparePageText(std::string_view page) {
  PreparedPage prepared;
  AddEngineWork(page.size());
  const Sniffed sniffed = Sniff(page);
  if (sniffed.encoding == Encoding::kBytes) {
    const void* zero = std::memchr(page.data(), '\0', page.size());
    if (zero == nullptr) {
      prepared.text_ = page;
    } else {
      const auto offset = static_cast<size_t>(static_cast<const char*>(zero) - page.data());
      prepared.text_ = page.substr(0, offset);
      prepared.notes_.zero_byte_offset = offset;
    }
    return prepared;
  }
  prepared.notes_.converted_from_utf16 = true;
  prepared.notes_.big_endian = sniffed.encoding == Encoding::kUtf16Big;
  prepared.notes_.zero_byte_offset = ConvertUtf16(page, sniffed, prepared.converted_);
  prepared.text_ = prepared.converted_;
  return prepared;
}

std::string ZeroByteWarning(const PageTextNotes& notes) {
  if (!notes.zero_byte_offset) return {};
  return "the page holds a zero byte at offset " + std::to_string(*notes.zero_byte_offset) +
         "; the text after it was not read";
}

}  // namespace quarry
