// Persisted control state: a version word and named values, as a control
// writes them when its container saves it and reads them back when the
// container loads it; and the exchange that moves a control's members in
// and out of a bag.
//
// The version word is major * 65536 + minor of the control module that
// wrote the state. Controls read each property only when the stored
// version is high enough for it, so states written by older modules load
// with defaults for what those did not have.
//
// Stored form (little-endian; shared with stored dialog states, so it
// never changes incompatibly):
//   "ZTPB"  u16 format (1)  u32 version word  u32 entry count
//   per entry: u8 name length (1-255), the name's bytes, u8 type
//   (Variant::Type 1-7), then the value: bool u8 0/1; int i32; uint u32;
//   double 8 bytes IEEE-754; string and bytes u32 length + bytes; font
//   u8 face length + face, double points, u16 weight, u8 flags (1 italic,
//   2 underline, 4 strike-out), u8 character set.
// Names match ASCII case-insensitively and occur once. The reader checks
// every length against what is left, so a hostile or damaged state costs
// time in proportion to its size and memory at most its size, and is
// refused whole with a reason rather than half-loaded.

#ifndef QUARRY_PLATFORM_PROPERTY_BAG_H_
#define QUARRY_PLATFORM_PROPERTY_BAG_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com_variant.h"

namespace quarry::com {

constexpr uint32_t MakeVersion(uint16_t major, uint16_t minor) {
  return (static_cast<uint32_t>(major) << 16) | minor;
}

class PropertyBag {
 public:
  static constexpr size_t kMaxEntries = 4096;
  static constexpr size_t kMaxStoredSize = 32u << 20;  // bytes

  uint32_t version() const { return version_; }
  void set_version(uint32_t version) { version_ = version; }

  // The value stored under `name`, or null.
  const Variant* Find(std::string_view name) const;
  // Stores `value` under `name`, replacing a value of that name (which
  // keeps its first spelling). Names must be 1-255 bytes; false otherwise.
  bool Set(std::string_view name, Variant value);
  bool Remove(std::string_view name);
  void Clear();

  const std::vector<std::pair<std::string, Variant>>& entries() const { return entries_; }

  // The stored form.
  std::vector<uint8_t> Serialize() const;
  // Reads a stored form; nullopt with a one-line reason in *error when it
  // is not a well-formed bag within the limits above.
  static std::optional<PropertyBag> Parse(std::span<const uint8_t> data, std::string* error);

  bool operator==(const PropertyBag&) const = default;

 private:
  uint32_t version_ = 0;
  std::vector<std::pair<std::string, Variant>> entries_;
};

// Moves a control's members in or out of a bag, one call per property,
// in the control's persistence order. Loading: a property that is missing
// or does not convert to the member's type sets the member to the default
// and the call returns false. Saving: the member is written and the call
// returns true. The exchange never throws.
class PropExchange {
 public:
  static PropExchange Loading(const PropertyBag& bag) {
    return PropExchange(&bag, nullptr, bag.version());
  }
  // Saving writes `version` as the bag's version word.
  static PropExchange Saving(PropertyBag* bag, uint32_t version) {
    bag->set_version(version);
    return PropExchange(nullptr, bag, version);
  }

  bool IsLoading() const { return load_ != nullptr; }
  // The stored version (loading) or the one being written (saving).
  uint32_t Version() const { return version_; }

  bool Bool(std::string_view name, bool* member, bool def);
  bool Int(std::string_view name, int32_t* member, int32_t def);
  // A 16-bit member; stored values outside its range fail to load.
  bool Short(std::string_view name, int16_t* member, int16_t def);
  // An 8-bit unsigned member, likewise.
  bool Byte(std::string_view name, uint8_t* member, uint8_t def);
  bool UInt(std::string_view name, uint32_t* member, uint32_t def);
  bool String(std::string_view name, std::string* member, const std::string& def);
  bool Bytes(std::string_view name, std::vector<uint8_t>* member,
             const std::vector<uint8_t>& def = {});
  // A font member that may be absent (no font object).
  bool Font(std::string_view name, std::optional<FontDesc>* member);

 private:
  PropExchange(const PropertyBag* load, PropertyBag* save, uint32_t version)
      : load_(load), save_(save), version_(version) {}

  template <typename T, typename Convert>
  bool Exchange(std::string_view name, T* member, const T& def, Variant saved, Convert convert);

  const PropertyBag* load_;
  PropertyBag* save_;
  uint32_t version_;
};

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_PROPERTY_BAG_H_
