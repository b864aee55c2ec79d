#include "platform/com_base.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quarry::com {

std::string_view ResultText(HRESULT hr) {
  switch (hr) {
    case S_OK:
      return "Success";
    case S_FALSE:
      return "Success (false)";
    case E_NOTIMPL:
      return "Not implemented";
    case E_NOINTERFACE:
      return "No such interface supported";
    case E_POINTER:
      return "Invalid pointer";
    case E_FAIL:
      return "Unspecified error";
    case E_UNEXPECTED:
      return "Catastrophic failure";
    case E_OUTOFMEMORY:
      return "Not enough memory";
    case E_INVALIDARG:
      return "The parameter is incorrect";
    case CLASS_E_NOAGGREGATION:
      return "Class does not support aggregation";
    case CLASS_E_CLASSNOTAVAILABLE:
      return "The module does not provide this class";
    case REGDB_E_CLASSNOTREG:
      return "Class not registered";
    case CO_E_DLLNOTFOUND:
      return "The module could not be loaded";
    case CO_E_ERRORINDLL:
      return "The module lacks its entry points";
    case SELFREG_E_TYPELIB:
      return "The type library could not be registered";
    case SELFREG_E_CLASS:
      return "A class could not be registered";
    case DISP_E_MEMBERNOTFOUND:
      return "Member not found";
    case DISP_E_TYPEMISMATCH:
      return "Type mismatch";
    case DISP_E_UNKNOWNNAME:
      return "Unknown name";
    case DISP_E_OVERFLOW:
      return "Out of present range";
    case DISP_E_BADPARAMCOUNT:
      return "Invalid number of parameters";
  }
  static thread_local char text[32];
  std::snprintf(text, sizeof text, "Error 0x%08X", static_cast<uint32_t>(hr));
  return text;
}

char* AllocString(std::string_view text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void FreeString(char* text) { std::free(text); }

}  // namespace quarry::com
