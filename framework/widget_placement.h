// A top-level window's place on the screen as a WindowPlacement record, and
// back: what the programs save when a window closes and restore when it
// opens again.

#ifndef QUARRY_FRAMEWORK_WIDGET_PLACEMENT_H_
#define QUARRY_FRAMEWORK_WIDGET_PLACEMENT_H_

#include "framework/window_placement.h"

class QWidget;

namespace quarry {

// The window's normal rectangle (also while maximised or minimised) and
// whether it is maximised.
WindowPlacement CaptureWindowPlacement(const QWidget& window);

// Moves and sizes the window to the record. Screens change between runs: a
// window that would land off every screen is centred on the primary one,
// and none is made larger than the screen it lands on or smaller than its
// minimum size. A stored minimised state opens normally.
void ApplyWindowPlacement(QWidget* window, const WindowPlacement& placement);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_WIDGET_PLACEMENT_H_
