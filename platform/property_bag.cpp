#include "platform/property_bag.h"

#include <cstring>
#include <limits>
#include <set>

#include "platform/ascii_text.h"

namespace quarry::com {

namespace {

constexpr char kMagic[4] = {'Z', 'T', 'P', 'B'};
constexpr uint16_t kFormat = 1;
constexpr size_t kMaxNameLength = 255;

class Writer {
 public:
  void Raw(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), bytes, bytes + size);
  }
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Little(v, 2); }
  void U32(uint32_t v) { Little(v, 4); }
  void F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Little(bits, 8);
  }
  void Blob(std::string_view data) {
    U32(static_cast<uint32_t>(data.size()));
    Raw(data.data(), data.size());
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  void Little(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> out_;
};

// Reads from a span; every read checks what is left and records the first
// failure, after which all reads fail.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : data_(data) {}

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  size_t left() const { return data_.size() - pos_; }
  void Fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason) + " at byte " + std::to_string(pos_);
  }

  bool Take(size_t size, const uint8_t** out) {
    if (!ok()) return false;
    if (left() < size) {
      Fail("the state ends early");
      return false;
    }
    *out = data_.data() + pos_;
    pos_ += size;
    return true;
  }
  uint64_t Little(int bytes) {
    const uint8_t* p = nullptr;
    if (!Take(static_cast<size_t>(bytes), &p)) return 0;
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
  }
  uint8_t U8() { return static_cast<uint8_t>(Little(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Little(4)); }
  double F64() {
    const uint64_t bits = Little(8);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  std::string Text(size_t size) {
    const uint8_t* p = nullptr;
    if (!Take(size, &p)) return {};
    return std::string(reinterpret_cast<const char*>(p), size);
  }
  std::string Blob() {
    const uint32_t size = U32();
    if (ok() && size > left()) {
      Fail("a value is longer than the state");
      return {};
    }
    return Text(size);
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  std::string error_;
};

void WriteValue(Writer& w, const Variant& v) {
  switch (v.type()) {
    case Variant::Type::kEmpty:
      break;
    case Variant::Type::kBool:
      w.U8(*v.ToBool() ? 1 : 0);
      break;
    case Variant::Type::kInt:
      w.U32(static_cast<uint32_t>(*v.ToInt()));
      break;
    case Variant::Type::kUInt:
      w.U32(*v.ToUInt());
      break;
    case Variant::Type::kDouble:
      w.F64(*v.ToDouble());
      break;
    case Variant::Type::kString:
      w.Blob(*v.ToString());
      break;
    case Variant::Type::kBytes: {
      const std::vector<uint8_t> bytes = *v.ToBytes();
      w.U32(static_cast<uint32_t>(bytes.size()));
      w.Raw(bytes.data(), bytes.size());
      break;
    }
    case Variant::Type::kFont: {
      const FontDesc f = *v.ToFont();
      const std::string face = f.face.substr(0, kMaxNameLength);
      w.U8(static_cast<uint8_t>(face.size()));
      w.Raw(face.data(), face.size());
      w.F64(f.points);
      w.U16(static_cast<uint16_t>(f.weight));
      w.U8(
          static_cast<uint8_t>((f.italic ? 1 : 0) | (f.underline ? 2 : 0) | (f.strikeout ? 4 : 0)));
      w.U8(static_cast<uint8_t>(f.charset));
      break;
    }
  }
}

Variant ReadValue(Reader& r, uint8_t type) {
  switch (static_cast<Variant::Type>(type)) {
    case Variant::Type::kBool: {
      const uint8_t b = r.U8();
      if (b > 1) r.Fail("a boolean is neither 0 nor 1");
      return Variant::Bool(b == 1);
    }
    case Variant::Type::kInt:
      return Variant::Int(static_cast<int32_t>(r.U32()));
    case Variant::Type::kUInt:
      return Variant::UInt(r.U32());
    case Variant::Type::kDouble:
      return Variant::Double(r.F64());
    case Variant::Type::kString:
      return Variant::String(r.Blob());
    case Variant::Type::kBytes: {
      const std::string data = r.Blob();
      return Variant::Bytes(std::vector<uint8_t>(data.begin(), data.end()));
    }
    case Variant::Type::kFont: {
      FontDesc f;
      f.face = r.Text(r.U8());
      f.points = r.F64();
      f.weight = r.U16();
      const uint8_t flags = r.U8();
      if (flags > 7) r.Fail("a font has unknown flags");
      f.italic = (flags & 1) != 0;
      f.underline = (flags & 2) != 0;
      f.strikeout = (flags & 4) != 0;
      f.charset = r.U8();
      return Variant::Font(std::move(f));
    }
    case Variant::Type::kEmpty:
      break;
  }
  r.Fail("unknown value type " + std::to_string(type));
  return Variant();
}

}  // namespace

const Variant* PropertyBag::Find(std::string_view name) const {
  for (const auto& [stored, value] : entries_) {
    if (EqualsNoCase(stored, name)) return &value;
  }
  return nullptr;
}

bool PropertyBag::Set(std::string_view name, Variant value) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  for (auto& [stored, old] : entries_) {
    if (EqualsNoCase(stored, name)) {
      old = std::move(value);
      return true;
    }
  }
  entries_.emplace_back(std::string(name), std::move(value));
  return true;
}

bool PropertyBag::Remove(std::string_view name) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (EqualsNoCase(it->first, name)) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

void PropertyBag::Clear() { entries_.clear(); }

std::vector<uint8_t> PropertyBag::Serialize() const {
  Writer w;
  w.Raw(kMagic, sizeof kMagic);
  w.U16(kFormat);
  w.U32(version_);
  size_t count = 0;
  for (const auto& entry : entries_) {
    if (!entry.second.IsEmpty()) ++count;
  }
  w.U32(static_cast<uint32_t>(count));
  for (const auto& [name, value] : entries_) {
    // An empty value has no stored form; leaving it out reads back as
    // "missing", which is what empty means.
    if (value.IsEmpty()) continue;
    w.U8(static_cast<uint8_t>(name.size()));
    w.Raw(name.data(), name.size());
    w.U8(static_cast<uint8_t>(value.type()));
    WriteValue(w, value);
  }
  return w.Take();
}

std::optional<PropertyBag> PropertyBag::Parse(std::span<const uint8_t> data, std::string* error) {
  auto fail = [error](std::string reason) -> std::optional<PropertyBag> {
    if (error != nullptr) *error = std::move(reason);
    return std::nullopt;
  };
  if (data.size() > kMaxStoredSize) {
    return fail("the state is larger than " + std::to_string(kMaxStoredSize) + " bytes");
  }
  Reader r(data);
  const std::string magic = r.Text(sizeof kMagic);
  if (!r.ok() || magic != std::string_view(kMagic, sizeof kMagic)) {
    return fail("not a stored control state");
  }
  const uint16_t format = r.U16();
  if (r.ok() && format != kFormat) {
    return fail("stored control state of unknown format " + std::to_string(format));
  }
  PropertyBag bag;
  bag.version_ = r.U32();
  const uint32_t count = r.U32();
  if (r.ok() && count > kMaxEntries) {
    return fail("the state holds more than " + std::to_string(kMaxEntries) + " values");
  }
  std::set<std::string> seen;
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    const uint8_t length = r.U8();
    if (r.ok() && length == 0) r.Fail("a value has an empty name");
    std::string name = r.Text(length);
    const uint8_t type = r.U8();
    Variant value = ReadValue(r, type);
    if (!r.ok()) break;
    if (!seen.insert(AsciiLowered(name)).second) {
      r.Fail("the value \"" + name + "\" occurs twice");
      break;
    }
    bag.entries_.emplace_back(std::move(name), std::move(value));
  }
  if (r.ok() && r.left() != 0) r.Fail("bytes follow the last value");
  if (!r.ok()) return fail(r.error());
  return bag;
}

// --- PropExchange

template <typename T, typename Convert>
bool PropExchange::Exchange(std::string_view name, T* member, const T& def, Variant saved,
                            Convert convert) {
  if (save_ != nullptr) {
    save_->Set(name, std::move(saved));
    return true;
  }
  const Variant* stored = load_->Find(name);
  std::optional<T> value = stored != nullptr ? convert(*stored) : std::nullopt;
  *member = value ? *value : def;
  return value.has_value();
}

bool PropExchange::Bool(std::string_view name, bool* member, bool def) {
  return Exchange(name, member, def, Variant::Bool(*member),
                  [](const Variant& v) { return v.ToBool(); });
}

bool PropExchange::Int(std::string_view name, int32_t* member, int32_t def) {
  return Exchange(name, member, def, Variant::Int(*member),
                  [](const Variant& v) { return v.ToInt(); });
}

bool PropExchange::Short(std::string_view name, int16_t* member, int16_t def) {
  return Exchange(name, member, def, Variant::Int(*member),
                  [](const Variant& v) -> std::optional<int16_t> {
                    std::optional<int32_t> i = v.ToInt();
                    if (!i || *i < std::numeric_limits<int16_t>::min() ||
                        *i > std::numeric_limits<int16_t>::max()) {
                      return std::nullopt;
                    }
                    return static_cast<int16_t>(*i);
                  });
}

bool PropExchange::Byte(std::string_view name, uint8_t* member, uint8_t def) {
  return Exchange(name, member, def, Variant::Int(*member),
                  [](const Variant& v) -> std::optional<uint8_t> {
                    std::optional<int32_t> i = v.ToInt();
                    if (!i || *i < 0 || *i > 255) return std::nullopt;
                    return static_cast<uint8_t>(*i);
                  });
}

bool PropExchange::UInt(std::string_view name, uint32_t* member, uint32_t def) {
  return Exchange(name, member, def, Variant::UInt(*member),
                  [](const Variant& v) { return v.ToUInt(); });
}

bool PropExchange::String(std::string_view name, std::string* member, const std::string& def) {
  return Exchange(name, member, def, Variant::String(*member),
                  [](const Variant& v) -> std::optional<std::string> {
                    // Only text loads as text: a number stored under a
                    // string's name is a damaged state, not a caption.
                    if (v.type() != Variant::Type::kString) return std::nullopt;
                    return v.ToString();
                  });
}

bool PropExchange::Bytes(std::string_view name, std::vector<uint8_t>* member,
                         const std::vector<uint8_t>& def) {
  return Exchange(name, member, def, Variant::Bytes(*member),
                  [](const Variant& v) { return v.ToBytes(); });
}

bool PropExchange::Font(std::string_view name, std::optional<FontDesc>* member) {
  if (save_ != nullptr) {
    if (member->has_value()) {
      save_->Set(name, Variant::Font(**member));
    } else {
      save_->Remove(name);
    }
    return true;
  }
  const Variant* stored = load_->Find(name);
  std::optional<FontDesc> font = stored != nullptr ? stored->ToFont() : std::nullopt;
  if (font) *member = std::move(font);
  return font.has_value();
}

}  // namespace quarry::com
