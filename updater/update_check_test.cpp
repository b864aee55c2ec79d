// The update check against a scripted server: what is marked, what the
// user is told, and what is left alone when the server fails.

#include "updater/update_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/testing/test_signing_key.h"
#include "updater/version_list.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

class RecordingSink : public CheckSink {
 public:
  void ProgressStart(int count) override { progress_range = count; }
  void ProgressStep() override { ++steps; }
  void RowChecked(size_t row, const UpdateFileRecord&, bool listed) override {
    rows.push_back({row, listed});
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  void OpenWebPage(const std::string& address) override { pages.push_back(address); }

  int progress_range = -1;
  int steps = 0;
  std::vector<std::pair<size_t, bool>> rows;
  std::vector<std::string> messages;
  std::vector<std::string> notices;
  std::vector<std::string> pages;
};

UpdateFileRecord Record(const std::string& path, double version) {
  UpdateFileRecord r;
  r.path = path;
  r.display_name = path;
  r.current_version = version;
  return r;
}

class UpdateCheckTest : public testing::WebTest {
 protected:
  void SetUp() override {
    WebTest::SetUp();
    settings_ = std::make_unique<CUpdaterSettings>(store());
    request_.records = {Record("/opt/k/KsButton.so", 3.04), Record("/opt/k/Quarry", 1.10),
                        Record("/opt/k/Qry.chm", 1.01)};
    request_.product = {2, 1.09, 1234};
    request_.base_product_code = 2;
    request_.base_product_version = 109;
    request_.support_address = "support@quarry.example";
    request_.update_web_page = "https://www.quarry.example/download";
    request_.settings = settings_.get();
    request_.now = 1700000000;
    request_.public_key = testing::TestSigningKey().public_key;
  }
  // A server whose address list names itself and whose version list is
  // `list`, signed with the test key unless `sign` is false.
  std::unique_ptr<TestHttpServer> Serve(std::string list, int list_status = 200,
                                        bool sign = true) {
    if (sign && !list.empty()) list = testing::TestSigned(list);
    auto server = std::make_unique<TestHttpServer>([this, list, list_status](const ReceivedRequest& r) {
      if (r.target.rfind("/IPAddresses/", 0) == 0) {
        return ScriptedResponse::Make(200, address_answer_);
      }
      return ScriptedResponse::Make(list_status, list);
    });
    address_answer_ = "127.0.0.1:" + std::to_string(server->port()) + "/ksp";
    store().SetString(kServicesKey, kUpdateSiteValue, server->Url("/"));
    return server;
  }

  std::string address_answer_;
  std::unique_ptr<CUpdaterSettings> settings_;
  CheckRequest request_;
  RecordingSink sink_;
};

TEST_F(UpdateCheckTest, MarksOnlyStrictlyNewerFiles) {
  auto server = Serve(
      "KsButton.so,3.10,KsButton.lzr\r\n"
      "Quarry,1.1,\r\n"
      "http://files.example/plain/,,http://files.example/packed/\r\n"
      "notice,Welcome back\r\n");
  const CheckOutcome outcome = RunUpdateCheck(request_, sink_);
  ASSERT_EQ(outcome.status, CheckOutcome::Status::kChecked);
  EXPECT_TRUE(outcome.needs_updating);
  EXPECT_EQ(outcome.records[0].needs_update, 1u);
  EXPECT_EQ(outcome.records[0].download_name, "KsButton.lzr");
  EXPECT_DOUBLE_EQ(outcome.records[0].available_version, 3.10);
  EXPECT_EQ(outcome.records[1].needs_update, 0u);  // 1.1 is 1.10
  EXPECT_EQ(outcome.records[1].file_name, "Quarry");
  EXPECT_EQ(outcome.listed, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(sink_.rows.size(), 3u);
  EXPECT_EQ(sink_.progress_range, 3);
  EXPECT_EQ(sink_.steps, 3);
  EXPECT_EQ(sink_.notices, std::vector<std::string>{"Welcome back"});
  EXPECT_TRUE(sink_.messages.empty());
  EXPECT_EQ(settings_->LastUpdate(), 1700000000u);
  EXPECT_EQ(DownloadAddress(outcome.records[0], outcome.plain_base, outcome.compressed_base),
            "http://files.example/packed/KsButton.lzr");
  EXPECT_EQ(DownloadAddress(outcome.records[1], outcome.plain_base, outcome.compressed_base),
            "http://files.example/plain/Quarry");

  const auto seen = server->Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].target, "/IPAddresses/FileIPs.aspx?ip=3&pc=2&pv=1.09&ui=1234");
  EXPECT_EQ(seen[1].target, "/ksp/?pc=2&pv=109&uf=1&dv=1");
}

TEST_F(UpdateCheckTest, FailuresTellTheUserUnlessQuietAndLeaveEverythingUnmarked) {
  struct Case {
    const char* name;
    std::string list;
    int status;
    const char* message_start;
    CheckOutcome::Status expected;
  } cases[] = {
      {"list missing", "gone", 404, "Failed to Retrieve File Version Info",
       CheckOutcome::Status::kRetrieveFailed},
      {"list empty", "", 200, "Failed to Retrieve File Version Info",
       CheckOutcome::Status::kRetrieveFailed},
      {"no base line", "KsButton.so,9.00,\r\n", 200, "Failed to Contact File Server",
       CheckOutcome::Status::kContactFailed},
  };
  for (const auto& c : cases) {
    for (bool quiet : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (quiet ? " quiet" : ""));
      sink_ = RecordingSink();
      request_.quiet = quiet;
      auto server = Serve(c.list, c.status);
      const CheckOutcome outcome = RunUpdateCheck(request_, sink_);
      EXPECT_EQ(outcome.status, c.expected);
      EXPECT_FALSE(outcome.needs_updating);
      EXPECT_EQ(settings_->LastUpdate(), 0u);
      if (quiet) {
        EXPECT_TRUE(sink_.messages.empty());
      } else {
        ASSERT_EQ(sink_.messages.size(), 1u);
        EXPECT_EQ(sink_.messages[0].rfind(c.message_start, 0), 0u);
        EXPECT_NE(sink_.messages[0].find(" support@quarry.example\nfor Further Assistance."),
                  std::string::npos);
      }
    }
  }
}

TEST_F(UpdateCheckTest, AnOutdatedUpdaterStopsTheCheck) {
  auto server = Serve(
      "http://files.example/,,http://files.example/z/\r\n"
      "KspAutoUpdater,2.10,\r\n"
      "KsButton.so,9.00,\r\n");
  const CheckOutcome outcome = RunUpdateCheck(request_, sink_);
  EXPECT_EQ(outcome.status, CheckOutcome::Status::kUpdaterOutOfDate);
  EXPECT_FALSE(outcome.needs_updating);
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_NE(sink_.messages[0].find("This version: 2.09\nCurrent version: 2.10"),
            std::string::npos);
  EXPECT_EQ(sink_.pages, std::vector<std::string>{"https://www.quarry.example/download"});
  EXPECT_TRUE(sink_.rows.empty());
}

TEST_F(UpdateCheckTest, NoAddressListMeansNoContact) {
  store().SetString(kServicesKey, kUpdateSiteValue, "http://127.0.0.1:1");
  const CheckOutcome outcome = RunUpdateCheck(request_, sink_);
  EXPECT_EQ(outcome.status, CheckOutcome::Status::kContactFailed);
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0].rfind("Failed to Contact File Server", 0), 0u);
  EXPECT_EQ(sink_.progress_range, -1);
}

TEST_F(UpdateCheckTest, AListNotSignedByTheTrustedKeyIsRefusedWhole) {
  const std::string good =
      "KsButton.so,3.10,KsButton.lzr\r\n"
      "http://files.example/plain/,,http://files.example/packed/\r\n";
  std::string tampered = testing::TestSigned(good);
  tampered.replace(tampered.find("3.10"), 4, "9.99");
  const SigningKey stranger = NewSigningKey();
  struct Case {
    const char* name;
    std::string served;
    const char* reason;
  } cases[] = {
      {"unsigned", good, "not signed"},
      {"changed after signing", tampered, "does not match its signature"},
      {"signed by another key", SignVersionList(good, stranger.secret_key),
       "does not match its signature"},
      {"signature cut short", testing::TestSigned(good).substr(0, 140), "damaged signature"},
      {"longer than the updater reads",
       testing::TestSigned(good + std::string(kVersionListBytes, '#') + "\r\n"),
       "longer than an update list may be"},
  };
  for (const auto& c : cases) {
    for (bool quiet : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (quiet ? " quiet" : ""));
      sink_ = RecordingSink();
      request_.quiet = quiet;
      auto server = Serve(c.served, 200, /*sign=*/false);
      const CheckOutcome outcome = RunUpdateCheck(request_, sink_);
      EXPECT_EQ(outcome.status, CheckOutcome::Status::kListRefused);
      EXPECT_NE(outcome.refusal.find(c.reason), std::string::npos) << outcome.refusal;
      EXPECT_FALSE(outcome.needs_updating);
      EXPECT_EQ(outcome.records[0].needs_update, 0u);
      EXPECT_TRUE(outcome.signed_list.empty());
      EXPECT_EQ(settings_->LastUpdate(), 0u);
      if (quiet) {
        EXPECT_TRUE(sink_.messages.empty());
      } else {
        ASSERT_EQ(sink_.messages.size(), 1u);
        EXPECT_EQ(sink_.messages[0], "Update failed. Caused by\n" + outcome.refusal +
                                         ".\nContact Zandor Technologies for rurther support");
      }
    }
  }
  // Without a key of its own the updater believes no list at all.
  request_.public_key.clear();
  sink_ = RecordingSink();
  auto server = Serve(good);
  EXPECT_EQ(RunUpdateCheck(request_, sink_).refusal, kNoTrustedKeyReason);
}

TEST(VersionListBaseTest, BuildsTheAddressFromTheLookup) {
  EXPECT_EQ(VersionListBase("files.example", 80, "ksp/list"), "http://files.example/ksp/list/");
  EXPECT_EQ(VersionListBase("files.example", 8080, "ksp"), "http://files.example:8080/ksp/");
  EXPECT_EQ(VersionListBase("https://files.example/ksp/", 80, ""), "https://files.example/ksp/");
  // An address list read over HTTPS: the site offers it, the list is read so.
  EXPECT_EQ(VersionListBase("files.example", 80, "ksp", true), "https://files.example/ksp/");
  EXPECT_EQ(VersionListBase("files.example", 8443, "ksp", true), "https://files.example:8443/ksp/");
  EXPECT_EQ(VersionListBase("http://files.example/ksp/", 80, "", true), "http://files.example/ksp/");
}

}  // namespace
}  // namespace quarry
