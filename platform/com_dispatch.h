// Dispatch interfaces: properties and methods reached by number (DISPID)
// or by name, with Variant arguments, and the events an object raises to
// a sink its host gives.

#ifndef QUARRY_PLATFORM_COM_DISPATCH_H_
#define QUARRY_PLATFORM_COM_DISPATCH_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/com_base.h"
#include "platform/com_variant.h"

namespace quarry::com {

using DISPID = int32_t;

// Stock members every control offers.
inline constexpr DISPID DISPID_BACKCOLOR = -501;
inline constexpr DISPID DISPID_FONT = -512;
inline constexpr DISPID DISPID_FORECOLOR = -513;
inline constexpr DISPID DISPID_ENABLED = -514;
inline constexpr DISPID DISPID_TEXT = -517;
inline constexpr DISPID DISPID_CAPTION = -518;
inline constexpr DISPID DISPID_ABOUTBOX = -552;
// The stock click event.
inline constexpr DISPID DISPID_CLICK = -600;
// Ambient properties a host answers.
inline constexpr DISPID DISPID_AMBIENT_BACKCOLOR = -701;
inline constexpr DISPID DISPID_AMBIENT_DISPLAYNAME = -702;
inline constexpr DISPID DISPID_AMBIENT_FONT = -703;
inline constexpr DISPID DISPID_AMBIENT_FORECOLOR = -704;
inline constexpr DISPID DISPID_AMBIENT_USERMODE = -709;

enum class DispatchKind {
  kMethod,
  kPropertyGet,
  kPropertyPut,
};

class IDispatch : public IUnknown {
 public:
  // The DISPID of a member named `name` (ASCII case-insensitive), else
  // DISP_E_UNKNOWNNAME.
  virtual HRESULT GetIDOfName(std::string_view name, DISPID* id) = 0;
  // Calls a member. A property get takes no arguments and fills *result;
  // a put takes exactly one. Unknown members give DISP_E_MEMBERNOTFOUND,
  // wrong argument counts DISP_E_BADPARAMCOUNT, arguments that do not
  // convert DISP_E_TYPEMISMATCH, values a setter refuses E_INVALIDARG
  // (the property is then unchanged). `result` may be null when the
  // caller does not want it.
  virtual HRESULT Invoke(DISPID id, DispatchKind kind, std::span<const Variant> args,
                         Variant* result) = 0;
};

// {00020400-0000-0000-C000-000000000046}
inline constexpr Guid IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Where an object's events go. The host owns the sink and must withdraw
// it (by advising null) before the sink is destroyed. Events arrive on the
// object's thread, synchronously, while the object is in a consistent
// state; the sink may call back into the object.
class IEventSink {
 public:
  virtual void OnEvent(DISPID event, std::span<const Variant> args) = 0;

 protected:
  ~IEventSink() = default;
};

// Shorthands for hosts.
HRESULT GetProperty(IDispatch* object, DISPID id, Variant* value);
HRESULT PutProperty(IDispatch* object, DISPID id, const Variant& value);
HRESULT CallMethod(IDispatch* object, DISPID id, std::span<const Variant> args = {},
                   Variant* result = nullptr);
// By name: looks the DISPID up first.
HRESULT GetPropertyByName(IDispatch* object, std::string_view name, Variant* value);
HRESULT PutPropertyByName(IDispatch* object, std::string_view name, const Variant& value);

// One row of a member table: the DISPID and up to two names (the
// dispatch table's and, where it differs, the type library's).
struct MemberName {
  DISPID id;
  std::string_view name;
  std::string_view other_name = {};
};

// The DISPID of `name` in `table`, ASCII case-insensitively; objects use
// it to implement GetIDOfName.
HRESULT LookUpMember(std::span<const MemberName> table, std::string_view name, DISPID* id);

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_COM_DISPATCH_H_
