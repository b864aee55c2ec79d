// Pictures of the message box for the documentation and for review: a
// question with the "Don't ask this question again." check box, and a
// box counting down to its default button. Run it on a display with a
// window manager, so the pictures show the title bar too:
//   xvfb-run -a sh -c 'openbox & sleep 1; quarry_message_box_shots OUTDIR'
// Nothing is remembered: the settings store is a temporary one.

#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "framework/msgbox/ks_message_box.h"

namespace {

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

bool Shoot(quarry::CKsMessageBox& box, const QString& path) {
  if (!box.Open()) return false;
  Settle(800);
  // The window with its frame, as the window manager drew it.
  const QRect frame = box.frameGeometry();
  const QPixmap picture = box.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                   frame.height());
  box.PressButton(box.DefaultButtonId());
  return picture.save(path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  char store_dir[] = "/tmp/quarry-shots-XXXXXX";
  if (mkdtemp(store_dir) == nullptr) return 1;
  setenv("ZT_REGISTRY_FILE", (std::string(store_dir) + "/registry.db").c_str(), 1);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quarry"));
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  using namespace quarry::mb;
  quarry::CKsMessageBox question(
      nullptr,
      QStringLiteral("The table \"Prices\" has changes that were not exported.\n"
                     "Export it before the page is parsed again?"),
      QStringLiteral("Quarry"), kYesNoCancel | kIconQuestion | kDontAskAgain);
  quarry::CKsMessageBox countdown(
      nullptr,
      QStringLiteral("The update has been installed.\nQuarry restarts to finish it."),
      QStringLiteral("Quarry"), kOkCancel | kIconInformation);
  countdown.SetCountdown(5, /*lock=*/false);

  const bool ok = Shoot(question, out + QStringLiteral("/yes-no-cancel-check.png")) &&
                  Shoot(countdown, out + QStringLiteral("/countdown.png"));
  QDir(QString::fromLocal8Bit(store_dir)).removeRecursively();
  if (!ok) std::fprintf(stderr, "could not take the pictures\n");
  return ok ? 0 : 1;
}
