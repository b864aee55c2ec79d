// The desktop colours the controls draw with where the registry-era
// controls took a system colour, read from the application's palette at
// the moment of the call (so a palette change is followed at the next
// paint).

#ifndef QUARRY_CONTROLS_COMMON_SYSTEM_COLOUR_H_
#define QUARRY_CONTROLS_COMMON_SYSTEM_COLOUR_H_

#include "framework/colour/colour_ref.h"

namespace quarry::controls {

enum class SysColourIndex {
  kActiveCaption,  // default face colour of buttons and check lamps
  kGrayText,       // disabled text
  kWindowText,
  kWindow,
  kButtonFace,
  kButtonShadow,     // the dark line of etched frames
  kButtonHighlight,  // the light line of etched frames
  kButtonDarkShadow,
};

COLORREF SysColour(SysColourIndex index);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_SYSTEM_COLOUR_H_
