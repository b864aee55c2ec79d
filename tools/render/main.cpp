// quarry-render: loads one web page in a headless browser, waits until the
// page has settled and prints its document, as its scripts left it, to
// standard output (UTF-8). qry starts it for `--render`; it needs no
// display and keeps nothing on disk.
//
//   quarry-render [--allow-files] [--time-limit MS] [--quiet MS]
//                 [--proxy HOST[:PORT]] [--user NAME] ADDRESS
//
// The password for --user comes from the environment (QRY_PASSWORD), so
// that it never shows in a process list.
//
// Exit status: 0 the page settled and was printed; 3 it was printed but was
// still changing when the time limit ran out (a warning on standard error);
// 1 failure (one line on standard error); 2 bad arguments.

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QNetworkProxy>
#include <QUrl>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/render/page_render.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnsettled = 3;

int Usage(const char* reason) {
  fprintf(stderr, "quarry-render: %s\n", reason);
  return kExitUsage;
}

bool ReadNumber(const char* text, int lowest, int highest, int* out) {
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < lowest || value > highest) return false;
  *out = static_cast<int>(value);
  return true;
}

// Writes all of `bytes` to standard output; false when it could not.
bool WriteAll(const QByteArray& bytes) {
  const char* at = bytes.constData();
  size_t left = static_cast<size_t>(bytes.size());
  while (left > 0) {
    const ssize_t wrote = write(STDOUT_FILENO, at, left);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    at += wrote;
    left -= static_cast<size_t>(wrote);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  quarry::RenderOptions options;
  QString address, proxy;
  bool have_address = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--allow-files") {
      options.allow_files = true;
    } else if (arg == "--time-limit" && has_value) {
      if (!ReadNumber(argv[++i], 100, 3600000, &options.time_limit_ms)) {
        return Usage("--time-limit needs milliseconds from 100 to 3600000");
      }
    } else if (arg == "--quiet" && has_value) {
      if (!ReadNumber(argv[++i], 0, 60000, &options.quiet_ms)) {
        return Usage("--quiet needs milliseconds from 0 to 60000");
      }
    } else if (arg == "--proxy" && has_value) {
      proxy = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--user" && has_value) {
      options.user = QString::fromLocal8Bit(argv[++i]);
      if (const char* password = getenv("QRY_PASSWORD")) {
        options.password = QString::fromLocal8Bit(password);
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option or missing value");
    } else if (have_address) {
      return Usage("one address only");
    } else {
      address = QString::fromLocal8Bit(argv[i]);
      have_address = true;
    }
  }
  if (!have_address || address.isEmpty()) return Usage("missing address");

  // No window, no GPU; the browser's sandbox cannot start as root.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  // A page nobody looks at gets its timers slowed to once a second; it
  // would then look settled between two of its changes.
  std::string flags = getenv("QTWEBENGINE_CHROMIUM_FLAGS") != nullptr
                          ? std::string(getenv("QTWEBENGINE_CHROMIUM_FLAGS")) + " "
                          : std::string();
  flags +=
      "--disable-gpu --disable-background-networking --disable-background-timer-throttling "
      "--disable-renderer-backgrounding --disable-backgrounding-occluded-windows";
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // Standard error carries this program's own lines only: the reader takes
  // the reason of a failure from there.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) fprintf(stderr, "quarry-render: %s\n", text.toLocal8Bit().constData());
  });
  QGuiApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("quarry-render"));

  if (!proxy.isEmpty()) {
    QString host = proxy.section(QLatin1String("://"), -1);
    if (host.endsWith(QLatin1Char('/'))) host.chop(1);
    quint16 port = 80;
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && !host.endsWith(QLatin1Char(']'))) {
      port = host.mid(colon + 1).toUShort();
      host.truncate(colon);
    }
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, host, port));
  }

  // A name given as a file is read from the current folder.
  options.url = QUrl::fromUserInput(address, QDir::currentPath(), QUrl::AssumeLocalFile);
  if (!options.url.isValid()) return Usage("not an address");

  int status = kExitFailure;
  bool done = false;
  quarry::CPageRender render(options);
  render.Start([&status, &done](const quarry::RenderOutcome& outcome) {
    done = true;
    if (!outcome.ok) {
      fprintf(stderr, "quarry-render: %s\n", outcome.reason.toLocal8Bit().constData());
      status = kExitFailure;
    } else if (!WriteAll(outcome.html.toUtf8())) {
      fprintf(stderr, "quarry-render: cannot write to standard output: %s\n", strerror(errno));
      status = kExitFailure;
    } else {
      status = outcome.settled ? kExitOk : kExitUnsettled;
    }
    QCoreApplication::exit(status);
  });
  if (!done) app.exec();  // a refusal may come before the loop runs
  return status;
}
