// Signed version lists and digests: what verifies, what is refused and
// why, and digests of files of any size.

#include "updater/update_signature.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "updater/testing/test_signing_key.h"

namespace quarry {
namespace {

constexpr char kList[] =
    "KsButton.so,3.10,KsButton.so.lzr,aa\r\n"
    "https://updates.example/files/,files,https://updates.example/packed/\r\n";

TEST(UpdateSignatureTest, OnlyTheUntouchedListSignedByTheTrustedKeyVerifies) {
  const std::string& key = testing::TestSigningKey().public_key;
  const std::string signed_list = testing::TestSigned(kList);
  const auto changed = [&](size_t at) {
    std::string copy = signed_list;
    copy[at] = copy[at] == '1' ? '2' : '1';
    return copy;
  };
  const size_t signature_at = signed_list.find(kSignatureLinePrefix);
  struct Case {
    const char* name;
    std::string text;
    std::string key;
    bool ok;
    const char* reason;
  } cases[] = {
      {"as signed", signed_list, key, true, ""},
      {"LF line ends after the signature", signed_list + "\n\n", key, true, ""},
      {"a list without a final line end is signed with one",
       testing::TestSigned(std::string(kList).substr(0, sizeof kList - 3)), key, true, ""},
      {"a version changed", changed(signed_list.find("3.10") + 2), key, false,
       "does not match its signature"},
      {"a byte of the signature changed", changed(signature_at + sizeof kSignatureLinePrefix + 3),
       key, false, "does not match its signature"},
      {"a line added after the signature", signed_list + "Quarry,9.00,\r\n", key, false,
       "not signed"},
      {"no signature", kList, key, false, "not signed"},
      {"signature shortened", signed_list.substr(0, signed_list.size() - 4), key, false,
       "damaged signature"},
      {"empty", "", key, false, "empty"},
      {"another key", signed_list, NewSigningKey().public_key, false,
       "does not match its signature"},
      {"no key at all", signed_list, "", false, "without a key"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ListVerification v = VerifyVersionList(c.text, c.key);
    EXPECT_EQ(v.ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(v.signed_text.find(kSignatureLinePrefix), std::string::npos);
      EXPECT_EQ(v.signed_text.rfind("KsButton.so,3.10", 0), 0u);
    } else {
      EXPECT_NE(v.reason.find(c.reason), std::string::npos) << v.reason;
      EXPECT_TRUE(v.signed_text.empty());
    }
  }
}

TEST(UpdateSignatureTest, DigestsOfBytesAndOfFilesOfAnySize) {
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("sig-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (size_t size : {size_t{0}, size_t{1}, size_t{65536}, size_t{65537}, size_t{300000}}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    const std::string path = (dir / ("f" + std::to_string(size))).string();
    std::ofstream(path, std::ios::binary) << bytes;
    std::string hex, error;
    ASSERT_TRUE(FileSha256Hex(path, &hex, &error)) << error;
    EXPECT_EQ(hex, Sha256Hex(bytes)) << size;
  }
  std::string hex, error;
  EXPECT_FALSE(FileSha256Hex((dir / "missing").string(), &hex, &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(UpdateSignatureTest, HexAndKeys) {
  EXPECT_EQ(HexOf(std::string("\x00\x7f\xff", 3)), "007fff");
  EXPECT_EQ(BytesOfHex("007FfF"), std::string("\x00\x7f\xff", 3));
  EXPECT_FALSE(BytesOfHex("abc").has_value());
  EXPECT_FALSE(BytesOfHex("zz").has_value());
  EXPECT_FALSE(SigningKeyFromSeed("short").has_value());
  EXPECT_EQ(SignVersionList(kList, "not a key"), "");

  // The key from the environment wins; a malformed one gives none.
  setenv(kPublicKeyVariable, testing::TestPublicKeyHex().c_str(), 1);
  EXPECT_EQ(TrustedPublicKey(), testing::TestSigningKey().public_key);
  setenv(kPublicKeyVariable, "1234", 1);
  EXPECT_EQ(TrustedPublicKey(), "");
  unsetenv(kPublicKeyVariable);
}

}  // namespace
}  // namespace quarry
