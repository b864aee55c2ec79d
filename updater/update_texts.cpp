#include "updater/update_texts.h"

namespace quarry {

std::string FormatText(std::string_view format, std::string_view value) {
  std::string out;
  size_t start = 0;
  while (true) {
    const size_t at = format.find("%s", start);
    out.append(format.substr(start, at - start));
    if (at == std::string_view::npos) break;
    out.append(value);
    start = at + 2;
  }
  return out;
}

}  // namespace quarry
