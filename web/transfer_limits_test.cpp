// How a response's size and timing meet the request's buffer: exact fits,
// overflow, empty and cut-off bodies, slow and dead servers, page fetches
// cut at the page limit, and downloads to a file.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "web/testing/recorders.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TransferLimitsTest : public testing::WebTest {
 protected:
  bool Fetch(const TestHttpServer& server, int32_t capacity, bool with_progress = false) {
    request_.url = server.Url("/doc");
    if (with_progress) request_.progress_callback = [](uint64_t, double) {};
    return AllocateBuffer(&request_, capacity) && RetrieveData(&request_);
  }
  std::string Body() const { return std::string(request_.buffer, request_.bytes_received); }

  WebRetrievalRequest request_;
};

TEST_F(TransferLimitsTest, AResponseOfExactlyTheCapacityFits) {
  std::string body(64, 'a');
  TestHttpServer sized([&](const ReceivedRequest&) { return ScriptedResponse::Make(200, body); });
  TestHttpServer unsized([&](const ReceivedRequest&) {
    return ScriptedResponse::Unsized(200, body);
  });
  for (bool progress : {false, true}) {
    ASSERT_TRUE(Fetch(sized, 64, progress)) << request_.error_text;
    EXPECT_EQ(Body(), body);
    ASSERT_TRUE(Fetch(unsized, 64, progress)) << request_.error_text;
    EXPECT_EQ(Body(), body);
    EXPECT_EQ(request_.truncated, 0u);
  }
}

TEST_F(TransferLimitsTest, ALongerResponseOverflowsWhetherSizedOrNot) {
  std::string body(65, 'b');
  TestHttpServer sized([&](const ReceivedRequest&) { return ScriptedResponse::Make(200, body); });
  TestHttpServer unsized([&](const ReceivedRequest&) {
    return ScriptedResponse::Unsized(200, body);
  });
  for (bool progress : {false, true}) {
    for (TestHttpServer* server : {&sized, &unsized}) {
      EXPECT_FALSE(Fetch(*server, 64, progress));
      EXPECT_EQ(request_.error_text, "Buffer overflow\n");
      EXPECT_EQ(request_.bytes_received, 0);
      EXPECT_EQ(request_.success, 0);
    }
  }
}

TEST_F(TransferLimitsTest, AnEmptyResponseReadsNothing) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, ""); });
  EXPECT_FALSE(Fetch(server, 64));
  EXPECT_EQ(request_.error_text, "No data read\n");
  EXPECT_EQ(request_.status_code, 200u);
}

TEST_F(TransferLimitsTest, ASlowButSteadyServerIsWaitedFor) {
  TestHttpServer server([](const ReceivedRequest&) {
    ScriptedResponse response = ScriptedResponse::Raw(
        "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nConnection: close\r\n\r\n");
    response.Then("abc", 300).Then("def", 300).Then("ghi", 300);
    return response;
  });
  ASSERT_TRUE(Fetch(server, 100)) << request_.error_text;
  EXPECT_EQ(Body(), "abcdefghi");
}

TEST_F(TransferLimitsTest, ABodyCutOffMidwayFailsInsteadOfPassingForComplete) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" +
                                 std::string(50, 'c'));
  });
  for (bool progress : {false, true}) {
    EXPECT_FALSE(Fetch(server, 1000, progress));
    EXPECT_EQ(request_.bytes_received, 0);
    EXPECT_EQ(request_.status_code, kErrorInternetConnectionAborted);
    EXPECT_EQ(request_.error_text.rfind("Failed to Retrieve Online Data Caused By:\n", 0), 0u);
    EXPECT_NE(request_.error_text.find("Check Internet Connections and Try Again"),
              std::string::npos);
  }
}

TEST_F(TransferLimitsTest, AContentLengthShorterThanTheBodyIsBelieved) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\n"
                                 "0123456789");
  });
  ASSERT_TRUE(Fetch(server, 100)) << request_.error_text;
  EXPECT_EQ(Body(), "01234");
}

TEST_F(TransferLimitsTest, ADeadServerIsGivenUpAfterTheStallTime) {
  TestHttpServer server([](const ReceivedRequest&) {
    ScriptedResponse response =
        ScriptedResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab");
    response.Then("never in time", 10000);
    return response;
  });
  request_.stall_timeout = 1;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Fetch(server, 100));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
  EXPECT_EQ(request_.status_code, kErrorInternetTimeout);
}

TEST_F(TransferLimitsTest, APageIsCutAtTheLimitAndSaysSo) {
  store().SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 64);
  EXPECT_EQ(MaxPageSize(), 64);
  std::string body(100, 'x');
  TestHttpServer sized([&](const ReceivedRequest&) { return ScriptedResponse::Make(200, body); });
  TestHttpServer unsized([&](const ReceivedRequest&) {
    return ScriptedResponse::Unsized(200, body);
  });
  for (TestHttpServer* server : {&sized, &unsized}) {
    request_.url = server->Url("/page");
    ASSERT_TRUE(RetrievePage(&request_)) << request_.error_text;
    EXPECT_EQ(request_.bytes_received, 64);
    EXPECT_EQ(request_.truncated, 1u);
    EXPECT_EQ(request_.cut_at_capacity, 0u);  // the request's own choice is kept
  }
  store().SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 100);
  ASSERT_TRUE(RetrievePage(&request_));
  EXPECT_EQ(request_.bytes_received, 100);
  EXPECT_EQ(request_.truncated, 0u);
  store().DeleteValue(kQuarrySettingsKey, kMaxPageSizeValue);
  EXPECT_EQ(MaxPageSize(), 64 * 1024 * 1024);
}

TEST_F(TransferLimitsTest, RetrieveToFileWritesTheWholeFileAndNothingElse) {
  // Larger than any buffer a download of unknown length used to get.
  const std::string unsized_body(2500000, 'u');
  std::string body(3000, 'f');
  TestHttpServer sized([&](const ReceivedRequest&) { return ScriptedResponse::Make(200, body); });
  TestHttpServer unsized([&](const ReceivedRequest&) {
    return ScriptedResponse::Unsized(200, unsized_body);
  });
  std::filesystem::create_directory(TempPath("out"));
  request_.output_file = TempPath("out/data.bin");

  request_.url = sized.Url("/file");
  EXPECT_EQ(RetrieveToFile(&request_), 3000);
  EXPECT_EQ(ReadFile(request_.output_file), body);
  EXPECT_EQ(request_.capacity, 0);  // streamed: no buffer was needed

  request_.url = unsized.Url("/file");
  EXPECT_EQ(RetrieveToFile(&request_), 2500000);
  EXPECT_EQ(ReadFile(request_.output_file), unsized_body);
  EXPECT_EQ(request_.capacity, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(TempPath("out")),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(QueryContentLength(&request_), -1);
  request_.url = sized.Url("/file");
  EXPECT_EQ(QueryContentLength(&request_), 3000);
}

TEST_F(TransferLimitsTest, AFailedDownloadLeavesTheOldFileAlone) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(404, "no"); });
  request_.output_file = TempPath("keep.txt");
  std::ofstream(request_.output_file) << "old";
  request_.url = server.Url("/gone");
  EXPECT_EQ(RetrieveToFile(&request_), 0);
  EXPECT_EQ(ReadFile(request_.output_file), "old");
}

TEST_F(TransferLimitsTest, AFileThatCannotBeWrittenIsReportedAndReturnsNothing) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "x"); });
  testing::RecordingWindow window;
  testing::RecordingUi ui;
  SetRetrievalUi(&ui);
  request_.notify_window = &window;
  request_.report_errors = 1;
  request_.url = server.Url("/x");
  request_.output_file = TempPath("no/such/folder/x.txt");
  EXPECT_EQ(RetrieveToFile(&request_), 0);
  EXPECT_EQ(request_.success, 0);
  EXPECT_EQ(request_.error_text, "Error Writing to Data File.  Reason:\nNo such file or directory: '" +
                                     request_.output_file + "'");
  EXPECT_EQ(window.posted, std::vector<uint32_t>{WM_DATAFILE_WRITE_FAILED});
  EXPECT_EQ(ui.messages, std::vector<std::string>{request_.error_text});
}

}  // namespace
}  // namespace quarry
