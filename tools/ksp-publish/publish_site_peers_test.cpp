// The updater's check against a site written by the publishing tool and
// served as it is by nginx on 127.0.0.1: the address list, the version
// list, the sizes and a packed download.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/ksp-publish/publisher.h"
#include "updater/lzrw1/lzrw1_codec.h"
#include "updater/testing/test_signing_key.h"
#include "updater/update_check.h"
#include "web/peers/peer_harness.h"
#include "web/peers/peer_test_support.h"
#include "web/testing/web_test_environment.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

class NullSink : public CheckSink {
 public:
  void ProgressStart(int) override {}
  void ProgressStep() override {}
  void RowChecked(size_t, const UpdateFileRecord&, bool) override {}
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowNotice(const std::string& text) override { notice = text; }
  void OpenWebPage(const std::string&) override {}
  std::vector<std::string> messages;
  std::string notice;
};

using PublishedSiteTest = testing::WebTest;

TEST_F(PublishedSiteTest, TheCheckReadsAPublishedSiteFromNginx) {
  peers::NginxPeer nginx;
  QUARRY_START_PEER(nginx);

  const fs::path source = TempPath("new");
  fs::create_directories(source);
  fs::copy_file(QUARRY_TEST_MODULE, source / "KsTestModule.so");
  std::string program;
  while (program.size() < 200000) program += "machine code, tables and strings; ";
  std::ofstream(source / "Quarry", std::ios::binary) << program;
  std::ofstream(source / "versions.txt") << "Quarry 1.10\n";

  publish::PublishOptions options;
  options.source_dir = source.string();
  options.site_dir = nginx.document_root().string();
  options.site_url = nginx.HttpUrl("");
  options.notice = "Welcome to 1.10";
  options.secret_key = testing::TestSigningKey().secret_key;
  const publish::PublishResult published = publish::PublishSite(options);
  ASSERT_TRUE(published.ok) << published.error;
  store().SetString(kServicesKey, kUpdateSiteValue, nginx.HttpUrl(""));

  CUpdaterSettings settings(store());
  CheckRequest request;
  UpdateFileRecord module, quarry;
  module.path = "/opt/kestrane/KsTestModule.so";
  module.current_version = 3.04;  // as published: current
  quarry.path = "/usr/bin/Quarry";
  quarry.current_version = 1.09;  // older
  request.records = {module, quarry};
  request.settings = &settings;
  request.now = 1234567;
  request.public_key = testing::TestSigningKey().public_key;
  NullSink sink;
  const CheckOutcome outcome = RunUpdateCheck(request, sink);
  ASSERT_EQ(outcome.status, CheckOutcome::Status::kChecked)
      << (sink.messages.empty() ? "" : sink.messages[0]) << nginx.DaemonOutput();
  EXPECT_EQ(outcome.records[0].needs_update, 0u);
  EXPECT_EQ(outcome.records[1].needs_update, 1u);
  EXPECT_TRUE(outcome.needs_updating);
  EXPECT_EQ(sink.notice, "Welcome to 1.10");
  EXPECT_EQ(settings.LastUpdate(), 1234567u);

  // The size the window shows, and the download itself.
  const std::string address = DownloadAddress(outcome.records[1], outcome.plain_base,
                                              outcome.compressed_base);
  EXPECT_EQ(address, nginx.HttpUrl("packed/Quarry.lzr"));
  WebRetrievalRequest size;
  size.url = address;
  EXPECT_EQ(QueryContentLength(&size),
            static_cast<int64_t>(fs::file_size(nginx.document_root() / "packed" / "Quarry.lzr")));

  WebRetrievalRequest download;
  download.url = address;
  ASSERT_TRUE(AllocateBuffer(&download, 1 << 20));
  ASSERT_TRUE(RetrieveData(&download)) << download.error_text;
  const std::string packed = TempPath("Quarry.lzr");
  std::ofstream(packed, std::ios::binary)
      .write(download.buffer, download.bytes_received);
  fs::create_directories(TempPath("download"));
  std::string out = TempPath("download/anything");
  CLZRW1Codec codec;
  ASSERT_EQ(codec.ProcessFile(packed, &out, 0, 1), 1) << codec.ErrorText();
  std::ifstream in(out, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), program);

  // The address-list and version-list requests, as nginx saw them.
  const auto log = nginx.WaitForAccessLog(3);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0].uri.rfind("/IPAddresses/FileIPs.aspx?ip=3", 0), 0u);
  EXPECT_EQ(log[1].uri, "/list/?pc=0&pv=0&uf=1&dv=1");
  EXPECT_EQ(log[1].status, 200);
}

}  // namespace
}  // namespace quarry
