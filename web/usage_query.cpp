#include "web/usage_query.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace quarry {

namespace {

// A number with two decimals and always a "." (an address is read by a
// server, not by the user's locale).
std::string TwoDecimals(double value) {
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 2);
  return error == std::errc() ? std::string(text, end) : std::string("0.00");
}

// Keeps the characters an address carries as they are and escapes the
// rest, so a blank or an "&" in a text cannot break the query.
std::string Escape(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.' || c == '~' || c == ',';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

class Pairs {
 public:
  void Add(const char* key, const std::string& value) {
    if (!text_.empty()) text_ += '&';
    text_ += key;
    text_ += '=';
    text_ += value;
  }
  void Add(const char* key, int64_t value) { Add(key, std::to_string(value)); }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

UsageQuery BuildUsageQuery(const FeedbackRecord& record, const UsageIdentity& identity,
                           const MachineFacts* facts) {
  Pairs pairs;
  UsageQuery result;
  if (record.send_processors_given && identity.given_count != -1) {
    pairs.Add("pc", identity.given_count);
  }
  if (record.send_version) {
    pairs.Add("pv", record.version_text.empty() ? TwoDecimals(record.version_number)
                                                : Escape(record.version_text));
  }
  if (!record.first_report && record.send_detail) pairs.Add("dp", record.detail_value);
  if (record.first_report && facts != nullptr) {
    if (facts->stored_identity == 0) {
      result.identity = facts->now;
      pairs.Add(record.run_count >= 3 ? "ru" : "fu", facts->now);
    } else {
      result.identity = facts->stored_identity;
      pairs.Add("ui", static_cast<int64_t>(facts->stored_identity));
    }
    pairs.Add("os", TwoDecimals(facts->os_version));
    pairs.Add("ct", facts->connection_flags);
    pairs.Add("dp", record.detail_value);
    pairs.Add("sz", static_cast<int64_t>(facts->screen_width) * 10000 + facts->screen_height);
    pairs.Add("ps", facts->processor_mhz / 100 * 100);
    pairs.Add("pc", identity.given_count != -1 ? identity.given_count
                                                : std::max<int32_t>(1, facts->processors));
    pairs.Add("pf", facts->processor_features);
    pairs.Add("im", static_cast<int64_t>(facts->physical_memory / 1074504));
  }
  if (!record.first_report && record.send_identity) {
    if (identity.number != 0 && identity.number != -1) {
      pairs.Add("ui", identity.number);
    } else if (!identity.text.empty()) {
      pairs.Add("ui", Escape(identity.text));
    }
  }
  if (record.run_count != -1) pairs.Add("ll", record.run_count);
  if (!record.usage_text.empty()) {
    std::string text;
    for (char c : record.usage_text) {
      if (c == '/') {
        text += '-';
      } else if (c == '@') {
        text += "24H";
      } else {
        text += c;
      }
    }
    pairs.Add(text.find(',') != std::string::npos ? "ms" : "ss", Escape(text));
  }
  if (record.usage_counter != -1) pairs.Add("ii", record.usage_counter);
  if (record.send_query_counters) {
    char text[64];
    std::snprintf(text, sizeof(text), "%i,%i,%i", record.query_counters[0],
                  record.query_counters[1], record.query_counters[2]);
    pairs.Add("qs", text);
  }
  if (record.ts != -1) pairs.Add("ts", record.ts);
  if (record.tp != -1) pairs.Add("tp", record.tp);
  if (record.ratio != -1) pairs.Add("or", record.ratio);
  result.text = pairs.Take();
  return result;
}

std::string TrimVersionText(std::string_view version) {
  std::string text(version);
  // A "0" goes only while a "." stands before it: it ends a fraction. A
  // "." left at the end goes with it, so the part before may lose its
  // zeros in turn, unless it is the whole number.
  while (!text.empty()) {
    if (text.back() == '.') {
      text.pop_back();
    } else if (text.back() == '0' && text.find('.') != std::string::npos) {
      text.pop_back();
    } else {
      break;
    }
  }
  return text;
}

}  // namespace quarry
