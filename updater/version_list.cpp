#include "updater/version_list.h"

#include <charconv>

#include "platform/ascii_text.h"

namespace quarry {

namespace {

std::string_view Trim(std::string_view text) { return Trimmed(text, " \t"); }

std::string Field(const std::vector<std::string>& fields, size_t index) {
  return index < fields.size() ? fields[index] : std::string();
}

}  // namespace

std::vector<std::string> SplitVersionFields(std::string_view line) {
  std::vector<std::string> fields;
  std::string current;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back(Trim(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  fields.emplace_back(Trim(current));
  return fields;
}

double ParseVersionNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  return error == std::errc() ? value : 0.0;
}

std::string QuoteVersionField(std::string_view field) {
  std::string clean;
  for (char c : field) {
    if (c != '"' && c != '\r' && c != '\n') clean.push_back(c);
  }
  const bool needs = clean.find(',') != std::string::npos ||
                     (!clean.empty() && (clean.front() == ' ' || clean.back() == ' '));
  return needs ? "\"" + clean + "\"" : clean;
}

VersionList::VersionList(std::string_view text) {
  text = text.substr(0, kVersionListBytes);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines_.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::optional<VersionList::BaseAddresses> VersionList::Bases() const {
  for (const std::string& line : lines_) {
    // A site served over HTTPS gives https:// bases; the classic lists
    // only ever had http:// ones.
    if (line.find("http://") == std::string::npos && line.find("https://") == std::string::npos) {
      continue;
    }
    const std::vector<std::string> fields = SplitVersionFields(line);
    return BaseAddresses{Field(fields, 0), Field(fields, 2)};
  }
  return std::nullopt;
}

std::optional<VersionEntry> VersionList::Find(std::string_view file_name) const {
  if (file_name.empty()) return std::nullopt;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!ContainsNoCase(lines_[i], file_name)) continue;
    const std::vector<std::string> fields = SplitVersionFields(lines_[i]);
    return VersionEntry{ParseVersionNumber(Field(fields, 1)), Field(fields, 2), Field(fields, 3),
                        i};
  }
  return std::nullopt;
}

std::string VersionList::Notice() const {
  for (const std::string& line : lines_) {
    if (line.find("notice") == std::string::npos) continue;
    return Field(SplitVersionFields(line), 1);
  }
  return {};
}

}  // namespace quarry
