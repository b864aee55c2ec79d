// The embedded browser against pages served on 127.0.0.1. This binary has
// its own main(): the browser's environment must be set before the
// application object exists.

#include "app/explorer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>
#include <optional>

#include "web/testing/test_http_server.h"

namespace quarry {
namespace {

using quarry::testing::ReceivedRequest;
using quarry::testing::ScriptedResponse;
using quarry::testing::TestHttpServer;

constexpr int kLoadTimeoutMs = 30000;

// Spins the event loop until `done` holds or `timeout_ms` pass.
template <typename Pred>
bool WaitUntil(Pred done, int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QTest::qWait(20);
  }
  return true;
}

ScriptedResponse Serve(const ReceivedRequest& request) {
  const std::vector<std::string> html = {"Content-Type: text/html"};
  const std::string path = request.target.substr(0, request.target.find('?'));
  if (path == "/ok") {
    return ScriptedResponse::Make(200, "<html><body><table><tr><td>1</td></tr></table></body></html>", html);
  }
  if (path == "/popup") {
    return ScriptedResponse::Make(
        200, "<html><body onload=\"window.open('/ok', 'w', 'width=200,height=200')\">p</body></html>",
        html);
  }
  return ScriptedResponse::Make(404, "<html><body>no such page</body></html>", html);
}

// Whether the browser can load anything here; the reason when not.
std::optional<std::string>& BrowserProblem() {
  static std::optional<std::string> problem;
  return problem;
}

class ExplorerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (BrowserProblem()) return;
    CExplorer probe;
    QSignalSpy done(&probe, &QWebEngineView::loadFinished);
    probe.setHtml(QStringLiteral("<p>probe</p>"));
    if (!done.wait(kLoadTimeoutMs)) {
      BrowserProblem() = "the embedded browser loaded nothing within 30 s (its helper "
                         "process may be unable to start here)";
    } else {
      BrowserProblem() = "";
    }
  }

  void SetUp() override {
    if (BrowserProblem() && !BrowserProblem()->empty()) GTEST_SKIP() << *BrowserProblem();
    explorer_ = std::make_unique<CExplorer>(&parent_);
    parent_.resize(400, 300);
    explorer_->setGeometry(10, 20, 300, 200);
    parent_.show();
  }

  // Navigates and waits for the document to complete; its location.
  QString NavigateAndWait(const QString& address, QSignalSpy* errors) {
    QSignalSpy complete(explorer_.get(), &CExplorer::documentComplete);
    explorer_->Navigate(address);
    if (!complete.wait(kLoadTimeoutMs)) return QStringLiteral("<timed out>");
    if (errors != nullptr) QTest::qWait(10);
    return complete.takeFirst().at(0).toString();
  }

  TestHttpServer server_{Serve};
  QWidget parent_;
  std::unique_ptr<CExplorer> explorer_;
};

TEST_F(ExplorerTest, APageLoadsToCompletion) {
  QSignalSpy errors(explorer_.get(), &CExplorer::navigationError);
  QSignalSpy progress(explorer_.get(), &CExplorer::progressChanged);
  const QString url = QString::fromStdString(server_.Url("/ok"));
  EXPECT_EQ(NavigateAndWait(url, &errors), url);
  EXPECT_EQ(explorer_->LocationURL(), url);
  EXPECT_EQ(errors.count(), 0);
  ASSERT_GT(progress.count(), 0);
  EXPECT_EQ(progress.last().at(1).toInt(), 100);
  EXPECT_EQ(explorer_->accessibleName(), "Web page");
}

TEST_F(ExplorerTest, ErrorsCarryTheHttpStatusOrANetworkCode) {
  QSignalSpy errors(explorer_.get(), &CExplorer::navigationError);
  const QString missing = QString::fromStdString(server_.Url("/missing"));
  EXPECT_EQ(NavigateAndWait(missing, &errors), missing);
  ASSERT_EQ(errors.count(), 1);
  EXPECT_EQ(errors.takeFirst().at(0).toInt(), 404);

  // A port nobody listens on: a server started and stopped again.
  std::string refused;
  {
    TestHttpServer gone(Serve);
    refused = gone.Url("/ok");
  }
  NavigateAndWait(QString::fromStdString(refused), &errors);
  ASSERT_EQ(errors.count(), 1);
  const int code = errors.takeFirst().at(0).toInt();
  EXPECT_NE(code, 404);
  EXPECT_LT(code, 0);
}

TEST_F(ExplorerTest, PopupsAreRefusedUnlessAllowed) {
  QSignalSpy asked(explorer_.get(), &CExplorer::newWindowRequested);
  const QString url = QString::fromStdString(server_.Url("/popup"));
  EXPECT_EQ(NavigateAndWait(url, nullptr), url);
  ASSERT_TRUE(WaitUntil([&] { return asked.count() >= 1; }, kLoadTimeoutMs));
  EXPECT_TRUE(explorer_->PopupWindows().isEmpty());

  explorer_->SetAllowNewWindows(true);
  bool* cancel_seen = nullptr;
  bool cancel_value = true;
  QObject::connect(explorer_.get(), &CExplorer::newWindowRequested, explorer_.get(),
          [&](bool* cancel) { cancel_seen = cancel, cancel_value = *cancel; },
          Qt::DirectConnection);
  EXPECT_EQ(NavigateAndWait(url + "?again", nullptr), url + "?again");
  ASSERT_TRUE(WaitUntil([&] { return explorer_->PopupWindows().size() == 1; }, kLoadTimeoutMs));
  EXPECT_NE(cancel_seen, nullptr);
  EXPECT_FALSE(cancel_value);
  CExplorer* popup = explorer_->PopupWindows().first();
  EXPECT_TRUE(popup->isWindow());
  const QString ok = QString::fromStdString(server_.Url("/ok"));
  EXPECT_TRUE(WaitUntil([&] { return popup->LocationURL() == ok; }, kLoadTimeoutMs))
      << popup->LocationURL().toStdString();
  // A handler may still refuse.
  QObject::connect(explorer_.get(), &CExplorer::newWindowRequested, explorer_.get(),
          [](bool* cancel) { *cancel = true; }, Qt::DirectConnection);
  EXPECT_EQ(NavigateAndWait(url + "?third", nullptr), url + "?third");
  QTest::qWait(500);
  EXPECT_EQ(explorer_->PopupWindows().size(), 1);
}

// The page's own drawing widget receives the mouse; clicks that would act
// are swallowed while blocking, moves reach the parent in its coordinates.
TEST_F(ExplorerTest, BlockedClicksRightPressesAndMovesForwarded) {
  NavigateAndWait(QString::fromStdString(server_.Url("/ok")), nullptr);
  QWidget* surface = explorer_->focusProxy();
  ASSERT_NE(surface, nullptr);

  struct MoveRecorder : QObject {
    QPoint last{-1, -1};
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::MouseMove) last = static_cast<QMouseEvent*>(e)->position().toPoint();
      return false;
    }
  } recorder;
  parent_.installEventFilter(&recorder);
  parent_.setMouseTracking(true);  // Qt passes button-less moves only then

  QSignalSpy right(explorer_.get(), &CExplorer::rightButtonPressed);
  auto send = [&](QEvent::Type type, Qt::MouseButton button) {
    QMouseEvent event(type, QPointF(5, 6), surface->mapToGlobal(QPointF(5, 6)), button,
                      button, Qt::NoModifier);
    return explorer_->eventFilter(surface, &event);
  };
  EXPECT_FALSE(send(QEvent::MouseButtonPress, Qt::RightButton));
  EXPECT_EQ(right.count(), 1);
  EXPECT_FALSE(send(QEvent::MouseButtonDblClick, Qt::LeftButton));

  explorer_->SetBlockClicks(true);
  EXPECT_TRUE(send(QEvent::MouseButtonPress, Qt::RightButton));
  EXPECT_TRUE(send(QEvent::MouseButtonDblClick, Qt::LeftButton));
  EXPECT_TRUE(send(QEvent::MouseButtonDblClick, Qt::RightButton));
  EXPECT_FALSE(send(QEvent::MouseButtonPress, Qt::LeftButton));
  EXPECT_EQ(right.count(), 1);

  send(QEvent::MouseMove, Qt::NoButton);
  EXPECT_EQ(recorder.last, surface->mapTo(&parent_, QPoint(5, 6)));
}

}  // namespace
}  // namespace quarry
