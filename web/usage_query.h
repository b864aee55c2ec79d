// The usage query: short key=value pairs describing the program version and
// the machine, sent to the maker's usage-report page and appended to the
// address-list request. Pure formatting; the caller supplies every value.

#ifndef QUARRY_WEB_USAGE_QUERY_H_
#define QUARRY_WEB_USAGE_QUERY_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quarry {

// What a usage report says. Flags choose which pairs are sent; -1 and empty
// values are unset and not sent.
struct FeedbackRecord {
  double version_number = 0.0;  // used when version_text is empty ("%0.2f")
  std::string version_text;
  std::string page_address;
  bool first_report = false;
  bool send_version = false;
  bool send_detail = false;
  bool send_identity = false;
  bool send_processors_given = false;
  int32_t detail_value = 0;
  int32_t run_count = -1;
  std::string usage_text;  // "ss", or "ms" when it holds a comma
  int32_t usage_counter = -1;  // "ii"
  bool send_query_counters = false;
  int32_t query_counters[3] = {-1, -1, -1};  // "qs"
  int32_t ts = -1;
  int32_t tp = -1;
  int32_t ratio = -1;  // "or", a ratio x 100
};

// The identity values a caller carries (a retrieval request's query values).
struct UsageIdentity {
  std::string text;         // a text identity
  int32_t number = -1;      // a numeric identity; -1 unset
  int32_t given_count = -1; // a given processor count; -1 unset
};

// What only a first report sends, read from the machine by the caller.
struct MachineFacts {
  int32_t connection_flags = -1;  // connected-state flags; -1: no connection
  int32_t processors = 1;
  int32_t processor_features = 0;
  int32_t processor_mhz = 0;
  uint64_t physical_memory = 0;  // bytes
  double os_version = 0.0;       // major + minor / 100
  int32_t screen_width = 0;
  int32_t screen_height = 0;
  int64_t now = 0;               // seconds since 1970
  uint32_t stored_identity = 0;  // the stored "SetupConfig"; 0: none yet
};

struct UsageQuery {
  std::string text;      // the pairs joined by "&"; may be empty
  int64_t identity = 0;  // a first report's identity: the stored one, or now
};

// Builds the pairs in their fixed order: "pc" (given count), "pv"; then
// outside a first report "dp"; in a first report "fu"/"ru" or "ui", "os",
// "ct", "dp", "sz", "ps", "pc", "pf", "im" (facts must then be given; without
// them these are left out); outside a first report "ui"; then "ll", "ss" or
// "ms", "ii", "qs", "ts", "tp", "or" when set. Texts are escaped for use in
// an address.
UsageQuery BuildUsageQuery(const FeedbackRecord& record, const UsageIdentity& identity,
                           const MachineFacts* facts);

// A program version ("3.20.0.0") as the report sends it ("3.2"). Versions
// compare as decimal fractions (1.1 is 1.10), so trailing ".0" parts and
// the zeros that end the last fraction go, but a whole number keeps its
// own: "10.0.0.0" gives "10", "10.10.0.0" gives "10.1", "0.0.0.0" "0".
std::string TrimVersionText(std::string_view version);

}  // namespace quarry

#endif  // QUARRY_WEB_USAGE_QUERY_H_
