// Publishing a site: its layout, its version list as the updater reads it,
// and what is published plain rather than packed.

#include "tools/ksp-publish/publisher.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "updater/lzrw1/lzrw1_codec.h"
#include "updater/testing/test_signing_key.h"
#include "updater/update_signature.h"
#include "updater/version_list.h"

namespace quarry::publish {
namespace {

namespace fs = std::filesystem;

class PublisherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ksp-publish-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "new");
    options_.source_dir = (dir_ / "new").string();
    options_.site_dir = (dir_ / "site").string();
    options_.site_url = "http://updates.example:8080/quarry/";
    options_.secret_key = quarry::testing::TestSigningKey().secret_key;
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / "new" / name, std::ios::binary) << bytes;
  }
  std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  PublishOptions options_;
};

std::string Text(size_t n) {
  std::string out;
  while (out.size() < n) out += "<tr><td>Quarry 1.10</td></tr>\r\n";
  return out.substr(0, n);
}

TEST_F(PublisherTest, WritesASiteTheUpdaterReads) {
  fs::copy_file(QUARRY_TEST_MODULE, dir_ / "new" / "KsTestModule.so");
  Write("Quarry", Text(40000));
  Write("Qry.chm", "tiny");                          // packs to the stored form
  Write("starts-with-zero.dat", std::string("\0x", 2) + Text(500));
  Write("versions.txt", "# versions of the files without their own\n"
                        "Quarry 1.10\nQry.chm 1.02  # help\nstarts-with-zero.dat 1\n");
  options_.notice = "Version 1.10 brings faster parsing, and more";
  const PublishResult result = PublishSite(options_);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.files.size(), 4u);

  const fs::path site = options_.site_dir;
  EXPECT_EQ(Read(site / "IPAddresses" / "FileIPs.aspx"), "http://updates.example:8080/quarry/list/");
  EXPECT_EQ(Read(site / "IPAddresses" / "FileIPs.asp"), "http://updates.example:8080/quarry/list/");
  // Signed by the key, and read only through its signature.
  const ListVerification verified =
      VerifyVersionList(Read(site / "list" / "index.html"), quarry::testing::TestSigningKey().public_key);
  ASSERT_TRUE(verified.ok) << verified.reason;
  const VersionList list(verified.signed_text);
  struct Expect {
    const char* name;
    double version;
    const char* download;
  } expected[] = {{"KsTestModule.so", 3.04, "KsTestModule.so.lzr"},
                  {"Quarry", 1.10, "Quarry.lzr"},
                  {"Qry.chm", 1.02, ""},
                  {"starts-with-zero.dat", 1.0, ""}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    const auto entry = list.Find(e.name);
    ASSERT_TRUE(entry.has_value());
    EXPECT_DOUBLE_EQ(entry->version, e.version);
    EXPECT_EQ(entry->download_name, e.download);
    EXPECT_EQ(entry->digest, Sha256Hex(Read(dir_ / "new" / e.name)));
    EXPECT_EQ(Read(site / "files" / e.name), Read(dir_ / "new" / e.name));
    EXPECT_EQ(fs::exists(site / "packed" / (std::string(e.name) + ".lzr")), *e.download != '\0');
  }
  EXPECT_FALSE(fs::exists(site / "files" / "versions.txt"));
  ASSERT_TRUE(list.Bases().has_value());
  EXPECT_EQ(list.Bases()->plain, "http://updates.example:8080/quarry/files/");
  EXPECT_EQ(list.Bases()->compressed, "http://updates.example:8080/quarry/packed/");
  EXPECT_EQ(list.Notice(), options_.notice);

  // A packed file expands, under its stored name, to the original.
  CLZRW1Codec codec;
  fs::create_directories(dir_ / "download");
  std::string out = (dir_ / "download" / "x").string();
  ASSERT_EQ(codec.ProcessFile((site / "packed" / "Quarry.lzr").string(), &out, 0, 1), 1);
  EXPECT_EQ(out, (dir_ / "download" / "Quarry").string());
  EXPECT_EQ(Read(out), Text(40000));
}

TEST_F(PublisherTest, RefusesWhatTheUpdaterWouldMisread) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    const char* error_part;
  } cases[] = {
      {"no version", {{"a.dat", "x"}}, "no version for a.dat"},
      {"bad versions line", {{"a.dat", "x"}, {"versions.txt", "a.dat\n"}}, "versions.txt:1"},
      {"notice in a name", {{"notice.txt", "x"}, {"versions.txt", "notice.txt 1.0\n"}},
       "shown as the notice"},
      {"nothing", {}, "nothing to publish"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_ / "new");
    fs::create_directories(dir_ / "new");
    for (const auto& [name, bytes] : c.files) Write(name, bytes);
    const PublishResult result = PublishSite(options_);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(c.error_part), std::string::npos) << result.error;
  }
  options_.site_url = "updates.example";
  EXPECT_NE(PublishSite(options_).error.find("http://"), std::string::npos);
  options_.site_url = "http://updates.example";
  options_.secret_key.clear();
  EXPECT_NE(PublishSite(options_).error.find("no signing key"), std::string::npos);
}

TEST_F(PublisherTest, KeyFilesArePrivateNeverOverwrittenAndSignWhatTheyPrint) {
  const std::string path = (dir_ / "publisher.key").string();
  std::string public_hex, secret, error;
  ASSERT_TRUE(NewKeyFile(path, &public_hex, &error)) << error;
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  std::string again;
  EXPECT_FALSE(NewKeyFile(path, &again, &error));
  EXPECT_NE(error.find("never overwritten"), std::string::npos);
  ASSERT_TRUE(ReadKeyFile(path, &secret, &error)) << error;
  const ListVerification v =
      VerifyVersionList(SignVersionList("a,1.00,\r\n", secret), *BytesOfHex(public_hex));
  EXPECT_TRUE(v.ok) << v.reason;

  std::ofstream(dir_ / "bad.key") << "0123";
  EXPECT_FALSE(ReadKeyFile((dir_ / "bad.key").string(), &secret, &error));
  EXPECT_NE(error.find("128 hex digits"), std::string::npos);
  EXPECT_FALSE(ReadKeyFile((dir_ / "none.key").string(), &secret, &error));
}

TEST(BuildVersionListTest, ContainedNamesGetTheirOwnLineFirst) {
  std::vector<PublishedFile> files = {{"libKsButton.so", 3.1, true, 0, 0, ""},
                                      {"KsButton.so", 3.05, false, 0, 0, ""}};
  std::string text, error;
  ASSERT_TRUE(BuildVersionList(files, "http://h.example", "", &text, &error)) << error;
  const VersionList list(text);
  EXPECT_DOUBLE_EQ(list.Find("KsButton.so")->version, 3.05);
  EXPECT_DOUBLE_EQ(list.Find("libKsButton.so")->version, 3.10);

  // More files than 5000 bytes can list, with the signature that follows.
  std::vector<PublishedFile> many;
  for (int i = 0; i < 300; ++i) many.push_back({"file" + std::to_string(i) + ".dat", 1.0, true, 0, 0, ""});
  EXPECT_FALSE(BuildVersionList(many, "http://h.example", "", &text, &error));
  EXPECT_NE(error.find("5000"), std::string::npos);
  std::vector<PublishedFile> just;
  std::string line;
  for (int i = 0; i < 200; ++i) {
    just.push_back({"f" + std::to_string(i), 1.0, false, 0, 0, std::string(64, 'e')});
    ASSERT_TRUE(BuildVersionList(just, "http://h.example", "", &text, &error)) << i;
    if (text.size() + 148 > kVersionListBytes - 90) break;  // one more line would not fit
  }
  EXPECT_LE(testing::TestSigned(text).size(), kVersionListBytes);
}

}  // namespace
}  // namespace quarry::publish
