// Where the message box puts its parts, from their measured sizes: the
// icon at the top left with the text to its right, the check box below,
// and the row of equally sized buttons at the bottom, all inside margins
// of 8 dialog units. Pure arithmetic on sizes, so it is tested without a
// window.

#ifndef QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_LAYOUT_H_
#define QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_LAYOUT_H_

#include <QRect>
#include <QSize>
#include <vector>

#include "framework/dialog_units.h"

namespace quarry {

struct MessageBoxMeasures {
  DialogBaseUnits base;
  QSize icon;       // empty without an icon
  QSize text;       // the text as it is wrapped
  int min_width = 0;  // the caption's width: the box is never narrower
  QSize check;      // empty without a check box
  QSize button;     // the one size every button gets
  int button_count = 0;
  bool right_align_buttons = true;
};

struct MessageBoxLayout {
  QRect icon;  // empty without an icon
  QRect text;
  QRect check;  // empty without a check box
  std::vector<QRect> buttons;  // left to right
  QSize client;                // the window's inside
  bool check_shares_button_line = false;
};

// How much room the check box and the buttons must leave on their shared
// line before they share it, in pixels.
inline constexpr int kShareLineSpare = 68;

// Lays the parts out. A short text beside a taller icon is centred on it.
MessageBoxLayout LayOutMessageBox(const MessageBoxMeasures& m);

// A size that is `factor` times `extent` (rounded up), at least `minimum`,
// plus `margin` on each side: how buttons grow around their captions.
int GrownExtent(int extent, double factor, int minimum, int margin);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_MSGBOX_MESSAGE_BOX_LAYOUT_H_
