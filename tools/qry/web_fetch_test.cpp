// qry on web addresses, against scripted servers on 127.0.0.1. Every test has
// its own settings store (WebTest), so the offline switch, the page size
// limit and the proxy settings are the test's own.

#include "web/page_fetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/qry/commands.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_settings.h"

namespace quarry::qry {
namespace {

namespace fs = std::filesystem;
using quarry::testing::ReceivedRequest;
using quarry::testing::ScriptedResponse;
using quarry::testing::TestHttpServer;

constexpr char kPage[] =
    "<html><body>\n"
    "<table id=\"prices\"><tr><th>Item</th><th>Price</th></tr>\n"
    "<tr><td>Lamp</td><td>12</td></tr>\n"
    "<tr><td>Desk, oak</td><td>140</td></tr></table>\n"
    "<table><tr><td>only</td></tr></table>\n"
    "</body></html>\n";

constexpr char kListing[] =
    "#  ID       ROWS x COLUMNS\n"
    "1  prices      3 x 2\n"
    "2  Table 2     1 x 1\n";

// "ann:pa:ss" in Base64.
constexpr char kAnnsCredentials[] = "Basic YW5uOnBhOnNz";

ScriptedResponse ServePage(const ReceivedRequest&) { return ScriptedResponse::Make(200, kPage); }

class QryWebTest : public quarry::testing::WebTest {
 protected:
  int Run(const std::vector<std::string>& args, const RunContext& context = RunContext()) {
    out_.str("");
    err_.str("");
    return RunQry(args, out_, err_, context);
  }

  std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string WritePage(const std::string& name) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << kPage;
    return path;
  }

  std::ostringstream out_, err_;
};

TEST_F(QryWebTest, ListsAndExportsTheTablesOfAnAddress) {
  TestHttpServer server(ServePage);
  const std::string url = server.Url("/shop/page.html");
  ASSERT_EQ(Run({"tables", url}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kListing);
  EXPECT_EQ(err_.str(), "");

  const std::string csv = TempPath("prices.csv");
  ASSERT_EQ(Run({"export", url, "--table", "prices", "--header", "-o", csv}), kExitOk)
      << err_.str();
  EXPECT_EQ(Slurp(csv), "Item,Price\r\nLamp,12\r\n\"Desk, oak\",140\r\n");

  // The scheme in capitals is still an address, not a file name.
  std::string shouting = url;
  std::transform(shouting.begin(), shouting.begin() + 4, shouting.begin(), ::toupper);
  ASSERT_EQ(Run({"export", shouting, "--table", "2", "-o", "-"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "\r\nonly\r\n");

  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 3u) << "one request per run, nothing asked twice";
  for (const ReceivedRequest& r : seen) {
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/shop/page.html");
    EXPECT_FALSE(r.HasHeader("Authorization"));
  }
}

TEST_F(QryWebTest, AFailedDownloadGivesTheReasonOnOneLine) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(404, "<table><tr><td>not this</td></tr></table>");
  });
  const std::string out = TempPath("never.csv");
  EXPECT_EQ(Run({"export", server.Url("/gone.html"), "--table", "1", "-o", out}), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(),
            "qry: Failed to Retrieve Online Data Caused By: The server has not found anything "
            "matching the requested URI (Uniform Resource Identifier); Check Internet "
            "Connections and Try Again; Error Code: 404\n");
  EXPECT_FALSE(fs::exists(out)) << "an error page's tables are not exported";

  // Nothing listens on port 1: the transport's reason, still one line.
  EXPECT_EQ(Run({"tables", "http://127.0.0.1:1/page.html"}), kExitFailure);
  EXPECT_EQ(err_.str().rfind("qry: Failed to Retrieve Online Data Caused By: ", 0), 0u)
      << err_.str();
  const std::string err = err_.str();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(QryWebTest, ABatchGoesOnPastAFailedAddressAndKeepsTheOrder) {
  TestHttpServer server([](const ReceivedRequest& request) {
    if (request.target == "/gone.html") return ScriptedResponse::Make(404, "no");
    // The first page is the slowest: its results must still come first.
    if (request.target == "/a.html") return ScriptedResponse::Unsized(200, "").Then(kPage, 150);
    return ScriptedResponse::Make(200, kPage);
  });
  const std::vector<std::string> urls = {server.Url("/a.html"), server.Url("/gone.html"),
                                         server.Url("/b.html")};
  const std::string dir = TempPath("harvest");
  std::vector<std::string> args = {"export", "--all", "--header", "-o", dir, "--jobs", "3"};
  args.insert(args.begin() + 1, urls.begin(), urls.end());
  EXPECT_EQ(Run(args), kExitFailure);
  EXPECT_EQ(out_.str(), dir + "/a-prices.csv\n" + dir + "/a-Table_2.csv\n" + dir +
                            "/b-prices.csv\n" + dir + "/b-Table_2.csv\n");
  // One line for the failed address, naming it.
  EXPECT_EQ(err_.str().rfind("qry: cannot read '" + urls[1] + "': Failed to Retrieve", 0), 0u)
      << err_.str();
  const std::string err = err_.str();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(Slurp(dir + "/b-prices.csv"), "Item,Price\r\nLamp,12\r\n\"Desk, oak\",140\r\n");

  args = {"tables", urls[2], urls[0], "--format", "jsonl"};
  ASSERT_EQ(Run(args), kExitOk) << err_.str();
  std::istringstream lines(out_.str());
  std::vector<std::string> starts;
  for (std::string line; std::getline(lines, line);) starts.push_back(line.substr(0, line.find(", \"class\"")));
  EXPECT_EQ(starts, (std::vector<std::string>{
                        "{\"source\": \"" + urls[2] + "\", \"position\": 1",
                        "{\"source\": \"" + urls[2] + "\", \"position\": 2",
                        "{\"source\": \"" + urls[0] + "\", \"position\": 1",
                        "{\"source\": \"" + urls[0] + "\", \"position\": 2"}));
}

TEST_F(QryWebTest, OfflineSwitchStopsAddressesBeforeAnyConnectionButNotFiles) {
  TestHttpServer server(ServePage);
  ASSERT_TRUE(store().SetDword(kGlobalsKey, kOfflineModeValue, 1));
  EXPECT_EQ(Run({"tables", server.Url("/page.html")}), kExitFailure);
  EXPECT_EQ(err_.str(), std::string("qry: ") + kOfflineReason + "\n");
  // Not through a proxy either.
  EXPECT_EQ(Run({"tables", "http://127.0.0.1:1/p.html", "--proxy",
                 "127.0.0.1:" + std::to_string(server.port())}),
            kExitFailure);
  EXPECT_EQ(server.Connections(), 0);

  const std::string page = WritePage("saved.html");
  ASSERT_EQ(Run({"tables", page}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kListing);
  ASSERT_EQ(Run({"tables", "file://" + page}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kListing);

  // Switched off again, the address works.
  ASSERT_TRUE(store().SetDword(kGlobalsKey, kOfflineModeValue, 0));
  ASSERT_EQ(Run({"tables", server.Url("/page.html")}), kExitOk) << err_.str();
}

TEST_F(QryWebTest, FileAddressesAreReadFromDisk) {
  const std::string page = WritePage("my page.html");
  ASSERT_EQ(Run({"export", "file://" + page, "--table", "1", "--header", "-o", "-"}), kExitOk)
      << err_.str();
  EXPECT_EQ(out_.str(), "Item,Price\r\nLamp,12\r\n\"Desk, oak\",140\r\n");

  const std::string missing = "file://" + TempPath("missing.html");
  EXPECT_EQ(Run({"tables", missing}), kExitFailure);
  EXPECT_NE(err_.str().find("No such file or directory"), std::string::npos) << err_.str();
  const std::string err = err_.str();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(QryWebTest, UserSendsBasicCredentialsOnTheSingleRetry) {
  TestHttpServer server([](const ReceivedRequest& r) {
    if (r.Header("Authorization") == kAnnsCredentials) return ScriptedResponse::Make(200, kPage);
    return ScriptedResponse::Make(401, "denied", {"WWW-Authenticate: Basic realm=\"q\""});
  });
  const std::string url = server.Url("/private.html");
  // The password holds a colon: only the first one splits.
  ASSERT_EQ(Run({"tables", url, "--user", "ann:pa:ss"}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kListing);
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(seen[0].HasHeader("Authorization"));
  EXPECT_EQ(seen[1].Header("Authorization"), kAnnsCredentials);

  // The name alone takes the password from QRY_PASSWORD.
  RunContext context;
  context.password = "pa:ss";
  ASSERT_EQ(Run({"tables", url, "--user=ann"}, context), kExitOk) << err_.str();
  EXPECT_EQ(server.Requests().size(), 4u);

  // Without it the command line is incomplete: nothing is sent.
  EXPECT_EQ(Run({"tables", url, "--user", "ann"}), kExitUsage);
  EXPECT_EQ(err_.str(), "qry: --user ann: no password (give NAME:PASSWORD, or set QRY_PASSWORD)\n");
  EXPECT_EQ(server.Requests().size(), 4u);

  // Wrong credentials are tried once, and the failure says why.
  EXPECT_EQ(Run({"tables", url, "--user", "ann:wrong"}), kExitFailure);
  EXPECT_EQ(server.Requests().size(), 6u);
  EXPECT_NE(err_.str().find("The requested resource requires user authentication"),
            std::string::npos)
      << err_.str();
}

TEST_F(QryWebTest, ProxyOptionAndStoredSettingsRouteThroughTheProxy) {
  // The test server stands in for the proxy: a proxied request names the
  // whole address. Nothing listens at the address itself, so a request
  // that bypassed the proxy would fail.
  TestHttpServer proxy(ServePage);
  const std::string port = std::to_string(proxy.port());
  const std::string target = "http://127.0.0.1:1/page.html";

  ASSERT_EQ(Run({"tables", target, "--proxy", "127.0.0.1:" + port}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kListing);
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, target);

  // The stored settings, as the program keeps them: server and port apart.
  ASSERT_TRUE(store().SetDword(kOnlineKey, kUseProxyValue, 1));
  ASSERT_TRUE(store().SetString(kOnlineKey, kProxyServerValue, "127.0.0.1"));
  ASSERT_TRUE(store().SetDword(kOnlineKey, kProxyPortValue, proxy.port()));
  ASSERT_EQ(Run({"tables", target}), kExitOk) << err_.str();
  ASSERT_EQ(proxy.Requests().size(), 2u);
  EXPECT_EQ(proxy.Requests()[1].target, target);

  // --proxy wins over the stored proxy.
  ASSERT_TRUE(store().SetString(kOnlineKey, kProxyServerValue, "127.0.0.1:1"));
  ASSERT_EQ(Run({"tables", target, "--proxy", "127.0.0.1:" + port}), kExitOk) << err_.str();
  ASSERT_EQ(proxy.Requests().size(), 3u);

  // With UseProxy 0 the stored server is not used: the address is fetched
  // directly.
  ASSERT_TRUE(store().SetDword(kOnlineKey, kUseProxyValue, 0));
  TestHttpServer direct(ServePage);
  ASSERT_EQ(Run({"tables", direct.Url("/page.html")}), kExitOk) << err_.str();
  ASSERT_EQ(direct.Requests().size(), 1u);
  EXPECT_EQ(direct.Requests()[0].target, "/page.html");
  EXPECT_EQ(proxy.Requests().size(), 3u);
}

TEST_F(QryWebTest, APageBeyondMaxPageSizeIsCutWithAWarning) {
  // The first table lies inside the limit, the second beyond it.
  const std::string early = "<table id=\"early\"><tr><td>in</td></tr></table>";
  const std::string page = early + std::string(400, ' ') +
                           "<table id=\"late\"><tr><td>out</td></tr></table>";
  TestHttpServer sized([&](const ReceivedRequest&) { return ScriptedResponse::Make(200, page); });
  TestHttpServer unsized(
      [&](const ReceivedRequest&) { return ScriptedResponse::Unsized(200, page); });
  ASSERT_TRUE(store().SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 300));

  for (TestHttpServer* server : {&sized, &unsized}) {
    const std::string url = server->Url("/big.html");
    ASSERT_EQ(Run({"tables", url}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(),
              "#  ID     ROWS x COLUMNS\n"
              "1  early     1 x 1\n");
    EXPECT_EQ(err_.str(), "qry: warning: '" + url +
                              "' is larger than 300 bytes (MaxPageSize); only the first 300 "
                              "bytes were read, later tables may be missing\n");
  }

  // A page of exactly the limit is whole: no warning.
  ASSERT_TRUE(store().SetDword(kQuarrySettingsKey, kMaxPageSizeValue,
                               static_cast<uint32_t>(page.size())));
  ASSERT_EQ(Run({"tables", sized.Url("/big.html")}), kExitOk) << err_.str();
  EXPECT_EQ(err_.str(), "");
}

TEST_F(QryWebTest, ProgressGoesToATerminalAndIsClearedBeforeTheWarning) {
  const std::string page = std::string(kPage) + std::string(2000, ' ');
  TestHttpServer server([&](const ReceivedRequest&) { return ScriptedResponse::Make(200, page); });
  ASSERT_TRUE(store().SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 1000));
  RunContext terminal;
  terminal.show_progress = true;
  ASSERT_EQ(Run({"tables", server.Url("/p.html")}, terminal), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kListing);

  const std::string err = err_.str();
  EXPECT_EQ(err.rfind("\rqry: downloading... 0%", 0), 0u) << err;
  const std::string cleared = "\r" + std::string(24, ' ') + "\r";
  const size_t at = err.find("100%" + cleared);
  ASSERT_NE(at, std::string::npos) << err;
  // The warning starts on the cleared line.
  EXPECT_EQ(err.substr(at + 4 + cleared.size()).rfind("qry: warning: ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

  // Not a terminal: not a character of progress.
  ASSERT_EQ(Run({"tables", server.Url("/p.html")}), kExitOk);
  EXPECT_EQ(err_.str().find('\r'), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace quarry::qry
