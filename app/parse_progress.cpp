#include "app/parse_progress.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace quarry {

CParseProgress::CParseProgress(QWidget* window) : QWidget(window) {
  setAccessibleName(QStringLiteral("Parse progress"));
  bar_ = new QProgressBar(this);
  bar_->setAccessibleName(QStringLiteral("Reading the page"));
  bar_->setFixedWidth(160);
  bar_->setMaximumHeight(fontMetrics().height() + 4);
  bar_->setTextVisible(true);

  stop_ = new QAction(style()->standardIcon(QStyle::SP_BrowserStop), QStringLiteral("Stop"), this);
  stop_->setShortcut(QKeySequence(Qt::Key_Escape));
  stop_->setShortcutContext(Qt::WindowShortcut);
  stop_->setToolTip(QStringLiteral("Stop reading the page (Esc)"));
  stop_->setEnabled(false);
  connect(stop_, &QAction::triggered, this, &CParseProgress::stopRequested);

  button_ = new QToolButton(this);
  button_->setDefaultAction(stop_);
  button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button_->setAutoRaise(true);
  button_->setAccessibleName(QStringLiteral("Stop"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(bar_);
  layout->addWidget(button_);

  if (window != nullptr) window->addAction(stop_);
  if (auto* frame = qobject_cast<QMainWindow*>(window)) {
    frame->statusBar()->addPermanentWidget(this);
  }
  hide();
}

void CParseProgress::Start() {
  bar_->setRange(0, 0);  // busy until a length is known
  stop_->setEnabled(true);
  show();
}

void CParseProgress::SetFraction(double fraction) {
  const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100.0));
  if (bar_->maximum() != 100) bar_->setRange(0, 100);
  bar_->setValue(percent);
}

void CParseProgress::Finish() {
  stop_->setEnabled(false);
  hide();
}

}  // namespace quarry
