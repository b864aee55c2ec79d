#include "controls/common/caption_text.h"

namespace quarry::controls {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    const size_t found = text.find(from, pos);
    if (found == std::string_view::npos) break;
    out.append(text.substr(pos, found - pos));
    out.append(to);
    pos = found + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

constexpr std::string_view kDoubleEscape = "\\\\n";  // backslash backslash n
constexpr std::string_view kEscape = "\\n";          // backslash n

}  // namespace

SplitCaption SplitButtonCaption(std::string_view text) {
  if (text.find(kDoubleEscape) != std::string_view::npos) {
    return {ReplaceAll(text, kDoubleEscape, "\n"), {}};
  }
  const size_t escape = text.find(kEscape);
  if (escape != std::string_view::npos) {
    return {std::string(text.substr(0, escape)), std::string(text.substr(escape + 2))};
  }
  return {std::string(text), {}};
}

SplitCaption SplitCheckCaption(std::string_view text) {
  size_t pos = 0;
  size_t separator = std::string_view::npos;
  while (true) {
    const size_t found = text.find(kEscape, pos);
    if (found == std::string_view::npos) break;
    if (found > 0 && text[found - 1] == '\\') {
      pos = found + 2;  // the end of a "\\n"
      continue;
    }
    separator = found;
    break;
  }
  SplitCaption split;
  std::string_view caption = text;
  if (separator != std::string_view::npos) {
    caption = text.substr(0, separator);
    split.tool_tip = std::string(text.substr(separator + 2));
  }
  split.caption = ReplaceAll(caption, kDoubleEscape, "\n");
  return split;
}

std::string ExpandEscapes(std::string_view text, bool* has_tab) {
  std::string out;
  out.reserve(text.size());
  bool tab = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 't')) {
      const bool is_tab = text[i + 1] == 't';
      out += is_tab ? '\t' : '\n';
      tab = tab || is_tab;
      ++i;
    } else {
      out += text[i];
    }
  }
  if (has_tab != nullptr) *has_tab = tab;
  return out;
}

std::string WithoutMnemonics(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace quarry::controls
