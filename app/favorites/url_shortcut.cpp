#include "app/favorites/url_shortcut.h"

#include <fstream>

namespace quarry::favorites {

std::optional<std::string> ShortcutAddress(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    if (line.size() >= 4 && line.substr(0, 4) == "URL=") {
      return std::string(line.substr(4));
    }
    pos = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> ReadShortcutAddress(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(kShortcutReadLimit, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return ShortcutAddress(bytes);
}

std::string MakeShortcutText(std::string_view address) {
  std::string text = "[InternetShortcut]\r\nURL=";
  text += address;
  text += "\r\n";
  return text;
}

}  // namespace quarry::favorites
