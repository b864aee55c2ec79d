#include "platform/com_guid.h"

#include <gtest/gtest.h>

namespace quarry::com {
namespace {

constexpr Guid kButton{
    0xA36A3283, 0xDA66, 0x44DA, {0xA4, 0x8F, 0x77, 0xF7, 0x27, 0x9D, 0x31, 0x37}};

TEST(GuidTest, FormatsAndParsesTheStoredForm) {
  EXPECT_EQ(FormatGuid(kButton), "{A36A3283-DA66-44DA-A48F-77F7279D3137}");
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"{A36A3283-DA66-44DA-A48F-77F7279D3137}", true},
      {"{a36a3283-da66-44da-a48f-77f7279d3137}", true},
      {"A36A3283-DA66-44DA-A48F-77F7279D3137", true},
      {"{A36A3283-DA66-44DA-A48F-77F7279D3137", false},  // one brace
      {"A36A3283-DA66-44DA-A48F-77F7279D3137}", false},
      {" {A36A3283-DA66-44DA-A48F-77F7279D3137}", false},  // space
      {"{A36A3283-DA66-44DA-A48F77F7279D3137-}", false},   // dash moved
      {"{A36A3283-DA66-44DA-A48F-77F7279D313G}", false},   // not hex
      {"{A36A3283-DA66-44DA-A48F-77F7279D31}", false},     // short
      {"", false},
      {"{}", false},
      {"{", false},
  };
  for (const Case& c : cases) {
    std::optional<Guid> g = ParseGuid(c.text);
    EXPECT_EQ(g.has_value(), c.ok) << c.text;
    if (g) {
      EXPECT_EQ(*g, kButton) << c.text;
    }
  }
}

TEST(GuidTest, MembersOfAModuleCountUpFromTheLibrary) {
  const Guid lib = *ParseGuid("{A36A3280-DA66-44DA-A48F-77F7279D3137}");
  EXPECT_EQ(lib.Offset(3), kButton);
  EXPECT_EQ(FormatGuid(lib.Offset(4)), "{A36A3284-DA66-44DA-A48F-77F7279D3137}");
  // The first group wraps rather than carrying into the others.
  EXPECT_EQ(FormatGuid(ParseGuid("{FFFFFFFF-0000-0000-0000-000000000000}")->Offset(1)),
            "{00000000-0000-0000-0000-000000000000}");
  EXPECT_TRUE(Guid{}.IsNull());
}

}  // namespace
}  // namespace quarry::com
