// Fuzzes the reader of stored control states: any input is either refused
// with a reason or read into a bag whose stored form reads back as the
// same bag, and a control-like exchange over it stays within its types.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/property_bag.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quarry::com;
  std::string error;
  std::optional<PropertyBag> bag = PropertyBag::Parse(std::span(data, size), &error);
  if (!bag) {
    Check(!error.empty(), "a refusal gives a reason");
    return 0;
  }
  Check(bag->entries().size() <= PropertyBag::kMaxEntries, "entry limit");
  const std::vector<uint8_t> stored = bag->Serialize();
  std::optional<PropertyBag> again = PropertyBag::Parse(stored, &error);
  Check(again.has_value(), "a bag's stored form reads back");
  Check(again->entries().size() == bag->entries().size(), "the same number of values");
  Check(again->version() == bag->version(), "the same version");

  // Every typed read either converts or falls back to the default.
  PropExchange px = PropExchange::Loading(*bag);
  for (const auto& [name, value] : bag->entries()) {
    bool b = false;
    int32_t i = 0;
    int16_t s = 0;
    uint8_t u8 = 0;
    uint32_t u = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    std::optional<FontDesc> font;
    px.Bool(name, &b, true);
    px.Int(name, &i, 7);
    if (!px.Short(name, &s, 3)) Check(s == 3, "a short that does not fit is the default");
    px.Byte(name, &u8, 9);
    px.UInt(name, &u, 1);
    px.String(name, &text, "x");
    px.Bytes(name, &bytes);
    px.Font(name, &font);
    (void)value;
  }
  return 0;
}
