#include "platform/com_dispatch.h"

#include "platform/ascii_text.h"

namespace quarry::com {

HRESULT GetProperty(IDispatch* object, DISPID id, Variant* value) {
  if (object == nullptr || value == nullptr) return E_POINTER;
  return object->Invoke(id, DispatchKind::kPropertyGet, {}, value);
}

HRESULT PutProperty(IDispatch* object, DISPID id, const Variant& value) {
  if (object == nullptr) return E_POINTER;
  return object->Invoke(id, DispatchKind::kPropertyPut, std::span<const Variant>(&value, 1),
                        nullptr);
}

HRESULT CallMethod(IDispatch* object, DISPID id, std::span<const Variant> args, Variant* result) {
  if (object == nullptr) return E_POINTER;
  return object->Invoke(id, DispatchKind::kMethod, args, result);
}

HRESULT GetPropertyByName(IDispatch* object, std::string_view name, Variant* value) {
  if (object == nullptr) return E_POINTER;
  DISPID id = 0;
  const HRESULT hr = object->GetIDOfName(name, &id);
  return Failed(hr) ? hr : GetProperty(object, id, value);
}

HRESULT PutPropertyByName(IDispatch* object, std::string_view name, const Variant& value) {
  if (object == nullptr) return E_POINTER;
  DISPID id = 0;
  const HRESULT hr = object->GetIDOfName(name, &id);
  return Failed(hr) ? hr : PutProperty(object, id, value);
}

HRESULT LookUpMember(std::span<const MemberName> table, std::string_view name, DISPID* id) {
  if (id == nullptr) return E_POINTER;
  for (const MemberName& member : table) {
    if (EqualsNoCase(member.name, name) ||
        (!member.other_name.empty() && EqualsNoCase(member.other_name, name))) {
      *id = member.id;
      return S_OK;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

}  // namespace quarry::com
