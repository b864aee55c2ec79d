// The value type of dispatch calls, events, ambient properties and
// persisted property bags: empty, a boolean, a 32-bit signed or unsigned
// integer (colours are unsigned, 0x00BBGGRR), a double, a UTF-8 string,
// bytes (pictures travel as encoded image files), or a font description.
//
// Conversions follow what a dispatch caller expects of a loosely typed
// call: a property of one integer kind accepts the others, booleans and
// numeric text, so a script may pass "12" or true. What cannot be
// represented gives nullopt, never a silently wrapped value, except the
// unsigned-from-signed conversion, which keeps the bit pattern so that a
// colour of -1 ("no colour") survives a signed caller.

#ifndef QUARRY_PLATFORM_COM_VARIANT_H_
#define QUARRY_PLATFORM_COM_VARIANT_H_

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace quarry::com {

// A font object as the controls persist and exchange it. `points` is the
// size in points; `charset` is the character-set byte the appearance
// settings may force (kept and persisted, though fonts here are Unicode).
struct FontDesc {
  std::string face;
  double points = 8.0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  int charset = 0;

  bool operator==(const FontDesc&) const = default;
};

class Variant {
 public:
  enum class Type : uint8_t {
    kEmpty = 0,
    kBool = 1,
    kInt = 2,
    kUInt = 3,
    kDouble = 4,
    kString = 5,
    kBytes = 6,
    kFont = 7,
  };

  Variant() = default;
  static Variant Bool(bool v) { return Variant(Value(std::in_place_index<1>, v)); }
  static Variant Int(int32_t v) { return Variant(Value(std::in_place_index<2>, v)); }
  static Variant UInt(uint32_t v) { return Variant(Value(std::in_place_index<3>, v)); }
  static Variant Colour(uint32_t v) { return UInt(v); }
  static Variant Double(double v) { return Variant(Value(std::in_place_index<4>, v)); }
  static Variant String(std::string v) {
    return Variant(Value(std::in_place_index<5>, std::move(v)));
  }
  static Variant Bytes(std::vector<uint8_t> v) {
    return Variant(Value(std::in_place_index<6>, std::move(v)));
  }
  static Variant Font(FontDesc v) { return Variant(Value(std::in_place_index<7>, std::move(v))); }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return type() == Type::kEmpty; }

  std::optional<bool> ToBool() const;
  std::optional<int32_t> ToInt() const;
  std::optional<uint32_t> ToUInt() const;
  std::optional<double> ToDouble() const;
  std::optional<std::string> ToString() const;
  // Bytes only (an empty picture is empty bytes).
  std::optional<std::vector<uint8_t>> ToBytes() const;
  std::optional<FontDesc> ToFont() const;

  bool operator==(const Variant&) const = default;

  // "Int 5", "String \"Go\"": for messages and test output.
  std::string Describe() const;

 private:
  using Value = std::variant<std::monostate, bool, int32_t, uint32_t, double, std::string,
                             std::vector<uint8_t>, FontDesc>;
  explicit Variant(Value v) : value_(std::move(v)) {}

  Value value_;
};

// The name of a type ("Int"), as Describe() and error messages use it.
const char* TypeName(Variant::Type type);

// For test output: the value described.
inline void PrintTo(const Variant& value, std::ostream* out) { *out << value.Describe(); }

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_COM_VARIANT_H_
