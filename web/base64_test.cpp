#include "web/base64.h"

#include <gtest/gtest.h>

namespace quarry {
namespace {

TEST(Base64Test, EncodesTheStandardVectorsWithPadding) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  // High bytes and the last two alphabet characters.
  EXPECT_EQ(Base64Encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(Base64Test, BasicCredentialsJoinNameAndPasswordWithAColon) {
  EXPECT_EQ(BasicCredentials("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  // Long credentials are not cut short.
  std::string user(300, 'u');
  std::string expected = "Basic " + Base64Encode(user + ":p");
  EXPECT_EQ(BasicCredentials(user, "p"), expected);
  EXPECT_GT(expected.size(), 256u);
}

TEST(Base64Test, DecodeReadsBackWhatEncodeWrote) {
  const std::string all = [] {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
  }();
  struct Case {
    std::string encoded;
    std::string bytes;
  } cases[] = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9vYmFy", "foobar"},
      {"VXNlcm5hbWU6", "Username:"},
      // Wrapped lines and blanks are skipped, as in mail.
      {"Zm9v\r\nYmFy", "foobar"},
      {" Zm9v YmE= ", "fooba"},
      {Base64Encode(all), all},
  };
  for (const Case& c : cases) EXPECT_EQ(Base64Decode(c.encoded), c.bytes) << c.encoded;
}

}  // namespace
}  // namespace quarry
