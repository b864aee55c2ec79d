// CParseProgress: what the status bar shows while a page is read for its
// tables: how far the download has come (a percentage when the server told
// the page's length, a busy bar otherwise) and the Stop command, which Esc
// also gives anywhere in the window.

#ifndef QUARRY_APP_PARSE_PROGRESS_H_
#define QUARRY_APP_PARSE_PROGRESS_H_

#include <QWidget>

class QAction;
class QProgressBar;
class QToolButton;

namespace quarry {

class CParseProgress : public QWidget {
  Q_OBJECT

 public:
  // Adds itself, hidden, to the status bar of `window` (a QMainWindow) and
  // its Stop command to the window, so Esc reaches it from every control.
  explicit CParseProgress(QWidget* window);

  // Shows a busy bar and enables Stop.
  void Start();
  // Shows `fraction` (0..1) of the page read.
  void SetFraction(double fraction);
  // Hides the bar and disables Stop.
  void Finish();

  QAction* StopAction() const { return stop_; }
  QProgressBar* Bar() const { return bar_; }

 signals:
  void stopRequested();

 private:
  QProgressBar* bar_ = nullptr;
  QToolButton* button_ = nullptr;
  QAction* stop_ = nullptr;
};

}  // namespace quarry

#endif  // QUARRY_APP_PARSE_PROGRESS_H_
