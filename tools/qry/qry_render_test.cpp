// The built qry program with --render: pages whose tables are built by
// scripts, served on 127.0.0.1, read through the headless browser helper;
// and what qry says when the helper is missing or a page never settles.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "platform/testing/subprocess.h"
#include "web/testing/test_http_server.h"

namespace {

using quarry::testing::ProcessResult;
using quarry::testing::ReceivedRequest;
using quarry::testing::RunProcess;
using quarry::testing::ScriptedResponse;
using quarry::testing::TempDir;
using quarry::testing::TestHttpServer;
using Clock = std::chrono::steady_clock;

// A table that appears only once a script has fetched its rows.
constexpr char kScriptBuilt[] = R"(<html><body><div id=place>loading</div><script>
fetch('/rows.json').then(function (r) { return r.json(); }).then(function (rows) {
  var table = document.createElement('table');
  table.id = 'built';
  rows.forEach(function (row) {
    var tr = table.insertRow();
    row.forEach(function (cell) { tr.insertCell().textContent = cell; });
  });
  document.getElementById('place').replaceChildren(table);
});
</script></body></html>)";

// A table whose clock cell changes every 50 ms, for ever.
constexpr char kNeverSettles[] = R"(<html><body><table id=clock><tr><td>now</td><td id=t>0</td></tr>
</table><script>var n = 0;
setInterval(function () { document.getElementById('t').textContent = ++n; }, 50);
</script></body></html>)";

// A page that sends files a script's way.
constexpr char kToFile[] = R"(<html><body><script>location.href = 'file:///etc/hostname';</script>
<table id=own><tr><td>here</td></tr></table></body></html>)";

ScriptedResponse Serve(const ReceivedRequest& request) {
  const std::vector<std::string> html = {"Content-Type: text/html"};
  if (request.target == "/built") return ScriptedResponse::Make(200, kScriptBuilt, html);
  if (request.target == "/rows.json") {
    return ScriptedResponse::Make(200, R"([["Lamp","12"],["Desk","140"]])",
                                  {"Content-Type: application/json"});
  }
  if (request.target == "/clock") return ScriptedResponse::Make(200, kNeverSettles, html);
  if (request.target == "/to-file") return ScriptedResponse::Make(200, kToFile, html);
  if (request.target == "/endless") {
    // The head and a first piece, then nothing for longer than the limit.
    return ScriptedResponse::Raw("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                 "Content-Length: 100000\r\n\r\n<html><body><table>")
        .Then("<tr><td>late</td></tr>", 8000);
  }
  return ScriptedResponse::Make(404, "<html>no</html>", html);
}

class QryRenderTest : public ::testing::Test {
 protected:
  ProcessResult Qry(std::vector<std::string> args, std::vector<std::string> extra = {}) {
    args.insert(args.begin(), QRY_BINARY);
    std::vector<std::string> env = {"ZT_REGISTRY_FILE=" + temp_.File("registry.sqlite"),
                                    "HOME=" + temp_.path(),
                                    "XDG_CONFIG_HOME=" + temp_.File("config"),
                                    "XDG_CACHE_HOME=" + temp_.File("cache"),
                                    "XDG_DATA_HOME=" + temp_.File("data"),
                                    "XDG_RUNTIME_DIR=" + temp_.path(),
                                    "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                    "all_proxy", "ALL_PROXY", "no_proxy", "QRY_PASSWORD",
                                    "QRY_RENDER_HELPER"};
    env.insert(env.end(), extra.begin(), extra.end());
    return RunProcess(args, env, {}, std::chrono::seconds(60));
  }

  static bool HaveHelper() {
#ifdef QRY_HELPER_BUILT
    return true;
#else
    return false;
#endif
  }

  TempDir temp_;
  TestHttpServer server_{Serve};
};

TEST_F(QryRenderTest, AMissingHelperIsOneLineOfReason) {
  const ProcessResult run =
      Qry({"tables", server_.Url("/built"), "--render"},
          {"QRY_RENDER_HELPER=" + temp_.File("no-such-helper")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.find("qry: cannot render '" + server_.Url("/built") + "'"), 0u) << run.err;
  EXPECT_NE(run.err.find("is not installed"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  EXPECT_TRUE(server_.Requests().empty());  // nothing was fetched instead
}

TEST_F(QryRenderTest, TablesThatScriptsBuildAreFoundOnlyWhenRendered) {
  if (!HaveHelper()) GTEST_SKIP() << "built without the browser helper";
  const ProcessResult plain = Qry({"tables", server_.Url("/built")});
  EXPECT_EQ(plain.exit_code, 0);
  EXPECT_EQ(plain.out, "");
  EXPECT_NE(plain.err.find("no tables found"), std::string::npos) << plain.err;

  const ProcessResult rendered = Qry({"export", server_.Url("/built"), "--render", "--table",
                                      "built", "-o", "-"});
  ASSERT_EQ(rendered.exit_code, 0) << rendered.err;
  EXPECT_EQ(rendered.out, "\r\nLamp,12\r\nDesk,140\r\n");
  EXPECT_EQ(rendered.err, "");
}

TEST_F(QryRenderTest, APageThatNeverSettlesIsReadAsItStandsAtTheLimit) {
  if (!HaveHelper()) GTEST_SKIP() << "built without the browser helper";
  const Clock::time_point start = Clock::now();
  const ProcessResult run =
      Qry({"tables", server_.Url("/clock"), "--render", "--render-timeout", "3"});
  const auto took = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("clock"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("was still changing after 3 s"), std::string::npos) << run.err;
  EXPECT_LT(took.count(), 20);
}

TEST_F(QryRenderTest, APageThatNeverFinishesLoadingFailsAtTheLimit) {
  if (!HaveHelper()) GTEST_SKIP() << "built without the browser helper";
  const ProcessResult run =
      Qry({"tables", server_.Url("/endless"), "--render", "--render-timeout", "2"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("did not finish loading within 2 s"), std::string::npos) << run.err;
}

TEST_F(QryRenderTest, FilesAreReadOnlyWhenTheUserNamesThem) {
  if (!HaveHelper()) GTEST_SKIP() << "built without the browser helper";
  // A web page cannot lead the browser to the machine's files.
  const ProcessResult web = Qry({"tables", server_.Url("/to-file"), "--render"});
  ASSERT_EQ(web.exit_code, 0) << web.err;
  EXPECT_NE(web.out.find("own"), std::string::npos) << web.out;

  // A file the user names is read, scripts and all.
  const std::string page = temp_.File("built.html");
  std::ofstream(page) << "<html><body><script>document.write('<table id=written><tr><td>w"
                         "</td></tr></table>');</script></body></html>";
  const ProcessResult file = Qry({"tables", page, "--render"});
  ASSERT_EQ(file.exit_code, 0) << file.err;
  EXPECT_NE(file.out.find("written"), std::string::npos) << file.out;
  const ProcessResult missing = Qry({"tables", temp_.File("none.html"), "--render"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("No such file"), std::string::npos) << missing.err;
}

}  // namespace
