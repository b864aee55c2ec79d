// Class, interface and library identifiers of the in-process component
// layer: 128-bit values written "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
// as the settings store keeps them under "Software\\Classes".

#ifndef QUARRY_PLATFORM_COM_GUID_H_
#define QUARRY_PLATFORM_COM_GUID_H_

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::com {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;
  friend auto operator<=>(const Guid&, const Guid&) = default;

  bool IsNull() const { return *this == Guid{}; }

  // The identifier whose first group is this one's plus `delta`: the
  // members of one module count up from its library identifier that way.
  constexpr Guid Offset(uint32_t delta) const {
    Guid next = *this;
    next.data1 += delta;
    return next;
  }
};

// "{A36A3283-DA66-44DA-A48F-77F7279D3137}": upper-case hexadecimal with
// braces, the form stored in the settings store.
std::string FormatGuid(const Guid& guid);

// Reads the form above, hexadecimal digits in either case, braces
// optional (both or neither). Anything else, including surrounding space,
// gives nullopt.
std::optional<Guid> ParseGuid(std::string_view text);

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_COM_GUID_H_
