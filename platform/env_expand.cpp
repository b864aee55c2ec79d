#include "platform/env_expand.h"

#include <cstdlib>

namespace quarry::platform {

namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

std::string ExpandEnvironmentReferences(std::string_view text,
                                        const EnvLookup& lookup) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    // [name_begin, name_end) is the variable's name, [i, ref_end) the whole
    // reference; a failed parse copies one character and moves on.
    size_t name_begin = 0, name_end = 0, ref_end = 0;
    if (c == '$' && i + 1 < text.size() && text[i + 1] == '{') {
      size_t close = text.find('}', i + 2);
      bool valid = close != std::string_view::npos && close > i + 2 &&
                   IsNameStart(text[i + 2]);
      for (size_t j = i + 2; valid && j < close; ++j) valid = IsNameChar(text[j]);
      if (valid) {
        name_begin = i + 2;
        name_end = close;
        ref_end = close + 1;
      }
    } else if (c == '$' && i + 1 < text.size() && IsNameStart(text[i + 1])) {
      size_t j = i + 1;
      while (j < text.size() && IsNameChar(text[j])) ++j;
      name_begin = i + 1;
      name_end = j;
      ref_end = j;
    } else if (c == '%') {
      size_t close = text.find('%', i + 1);
      if (close != std::string_view::npos && close > i + 1) {
        name_begin = i + 1;
        name_end = close;
        ref_end = close + 1;
      }
    }

    if (ref_end == 0) {
      out += c;
      ++i;
      continue;
    }
    std::optional<std::string> value =
        lookup(std::string(text.substr(name_begin, name_end - name_begin)));
    if (value) {
      out += *value;
      i = ref_end;
    } else if (c == '%') {
      // The closing '%' may open the next reference: "50% of %HOME%".
      out.append(text.substr(i, name_end - i));
      i = name_end;
    } else {
      out.append(text.substr(i, ref_end - i));
      i = ref_end;
    }
  }
  return out;
}

std::string ExpandEnvironmentReferences(std::string_view text) {
  return ExpandEnvironmentReferences(
      text, [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
      });
}

}  // namespace quarry::platform
