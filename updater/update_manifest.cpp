#include "updater/update_manifest.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace quarry {

namespace {

constexpr std::string_view kMarkerView("KspAUFile\0", 10);
constexpr uint64_t kMaxManifestBytes = 16u << 20;

class Writer {
 public:
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  void U16(uint16_t v) {
    out_.push_back(static_cast<char>(v & 0xFF));
    out_.push_back(static_cast<char>(v >> 8));
  }
  void Double(double d) {
    const uint64_t bits = std::bit_cast<uint64_t>(d);
    U32(static_cast<uint32_t>(bits));
    U32(static_cast<uint32_t>(bits >> 32));
  }
  void String(const std::string& s) {
    if (s.size() < 0xFF) {
      out_.push_back(static_cast<char>(s.size()));
    } else if (s.size() < 0xFFFE) {
      out_.push_back('\xFF');
      U16(static_cast<uint16_t>(s.size()));
    } else {
      out_.push_back('\xFF');
      U16(0xFFFF);
      U32(static_cast<uint32_t>(s.size()));
    }
    out_ += s;
  }
  void Raw(std::string_view bytes) { out_.append(bytes); }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}

  bool U8(uint8_t* v) {
    if (data_.size() - pos_ < 1) return false;
    *v = static_cast<uint8_t>(data_[pos_++]);
    return true;
  }
  bool U16(uint16_t* v) {
    uint8_t lo, hi;
    if (!U8(&lo) || !U8(&hi)) return false;
    *v = static_cast<uint16_t>(lo | (hi << 8));
    return true;
  }
  bool U32(uint32_t* v) {
    uint16_t lo, hi;
    if (!U16(&lo) || !U16(&hi)) return false;
    *v = lo | (uint32_t{hi} << 16);
    return true;
  }
  bool Double(double* d) {
    uint32_t lo, hi;
    if (!U32(&lo) || !U32(&hi)) return false;
    *d = std::bit_cast<double>(lo | (uint64_t{hi} << 32));
    return true;
  }
  bool Bytes(size_t n, std::string_view* out) {
    if (data_.size() - pos_ < n) return false;
    *out = data_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool String(std::string* s) {
    bool wide = false;
    uint64_t length = 0;
    if (!Length(&length, &wide)) return false;
    if (wide) {
      // A second prefix follows the marker, counting UTF-16 units.
      bool again = false;
      if (!Length(&length, &again) || again) return false;
      std::string_view units;
      if (length > (data_.size() - pos_) / 2 || !Bytes(length * 2, &units)) return false;
      *s = Utf16ToUtf8(units);
      return true;
    }
    std::string_view bytes;
    if (!Bytes(length, &bytes)) return false;
    s->assign(bytes);
    return true;
  }
  bool AtEnd() const { return pos_ == data_.size(); }

 private:
  // One length prefix; *wide when it is the wide-text marker instead.
  bool Length(uint64_t* length, bool* wide) {
    *wide = false;
    uint8_t b;
    if (!U8(&b)) return false;
    if (b < 0xFF) {
      *length = b;
      return true;
    }
    uint16_t w;
    if (!U16(&w)) return false;
    if (w == 0xFFFE) {
      *wide = true;
      return true;
    }
    if (w < 0xFFFF) {
      *length = w;
      return true;
    }
    uint32_t d;
    if (!U32(&d)) return false;
    *length = d;
    return true;
  }

  static std::string Utf16ToUtf8(std::string_view units) {
    std::string out;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
      uint32_t c = static_cast<uint8_t>(units[i]) | (static_cast<uint8_t>(units[i + 1]) << 8);
      if (c >= 0xD800 && c < 0xDC00 && i + 3 < units.size()) {
        const uint32_t low =
            static_cast<uint8_t>(units[i + 2]) | (static_cast<uint8_t>(units[i + 3]) << 8);
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // a lone surrogate
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    return out;
  }

  std::string_view data_;
  size_t pos_ = 0;
};

bool ReadRecord(Reader& in, UpdateFileRecord* r) {
  uint32_t version = 0;
  if (!in.U32(&version)) return false;
  if (version != 2 && version != 3) return false;
  return in.String(&r->path) && (version == 2 || in.String(&r->download_name)) &&
         in.String(&r->display_name) && in.String(&r->registration_key) &&
         in.Double(&r->current_version) && in.Double(&r->available_version) &&
         in.U32(&r->needs_update) && in.U32(&r->download_result) &&
         in.String(&r->registration_value);
}

}  // namespace

std::string EncodeManifest(const std::vector<UpdateFileRecord>& records) {
  Writer out;
  out.Raw(kMarkerView);
  out.U32(kManifestFormatVersion);
  out.U32(static_cast<uint32_t>(records.size()));
  for (const UpdateFileRecord& r : records) {
    out.U32(kManifestRecordVersion);
    out.String(r.path);
    out.String(r.download_name);
    out.String(r.display_name);
    out.String(r.registration_key);
    out.Double(r.current_version);
    out.Double(r.available_version);
    out.U32(r.needs_update);
    out.U32(r.download_result);
    out.String(r.registration_value);
  }
  return out.Take();
}

std::optional<std::vector<UpdateFileRecord>> DecodeManifest(std::string_view bytes) {
  Reader in(bytes);
  std::string_view marker;
  uint32_t format = 0, count = 0;
  if (!in.Bytes(kMarkerView.size(), &marker) || marker != kMarkerView || !in.U32(&format) ||
      format != kManifestFormatVersion || !in.U32(&count)) {
    return std::nullopt;
  }
  std::vector<UpdateFileRecord> records;
  // Each record takes at least 41 bytes, so a huge count in a small file
  // fails on the data, never on memory.
  for (uint32_t i = 0; i < count; ++i) {
    UpdateFileRecord record;
    if (!ReadRecord(in, &record)) return std::nullopt;
    records.push_back(std::move(record));
  }
  return records;
}

std::optional<std::vector<UpdateFileRecord>> LoadManifest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxManifestBytes) return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  return DecodeManifest(bytes);
}

bool SaveManifest(const std::string& path, const std::vector<UpdateFileRecord>& records,
                  std::string* error) {
  return platform::WriteFileAtomically(path, EncodeManifest(records), error);
}

}  // namespace quarry
