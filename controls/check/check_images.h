// The check box's four indicator pictures (checked and unchecked, enabled
// and disabled), chosen from the module's 12 x 12 artwork by type and
// colours, tinted, and with auto-scaling fitted to the font.

#ifndef QUARRY_CONTROLS_CHECK_CHECK_IMAGES_H_
#define QUARRY_CONTROLS_CHECK_CHECK_IMAGES_H_

#include <QImage>
#include <QString>
#include <array>
#include <optional>

#include "framework/colour/colour_ref.h"

namespace quarry::controls {

// Indicator types.
inline constexpr int kCheckRound = 0;
inline constexpr int kCheckSquare = 1;
inline constexpr int kCheckMark = 2;

// Image slots.
enum CheckImage {
  kCheckedEnabled = 0,
  kUncheckedEnabled = 1,
  kCheckedDisabled = 2,
  kUncheckedDisabled = 3,
};

struct CheckImageDesign {
  int type = kCheckRound;
  COLORREF on_colour = 0;   // ColorCheckFace
  COLORREF off_colour = 0;  // ColorCheckOffFace
  bool keep_in_sync = true;
  bool auto_scale = false;
  int side = 12;  // the scaled square's side (auto-scale only)
  bool transparent = true;
};

// The artwork number each slot uses: 203 lit lamp, 204 unlit lamp, 205
// empty box, 206 check mark.
int CheckArtFor(CheckImage slot, const CheckImageDesign& design);

// The colour a slot is tinted with; nullopt for the untinted mark-type
// enabled pictures.
std::optional<COLORREF> CheckTintFor(CheckImage slot, const CheckImageDesign& design);

// The ring drawn round a scaled round lamp: its width k (1-3) for a side,
// and its colour.
int LampRingWidth(int side);
COLORREF LampRingColour(CheckImage slot, const CheckImageDesign& design);

// Builds the four pictures (ARGB, the transparent parts clear); a slot
// whose artwork is missing stays null and is drawn without an indicator.
std::array<QImage, 4> BuildCheckImages(const CheckImageDesign& design);

// The artwork resource of a number.
QString CheckArtResource(int id);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_CHECK_CHECK_IMAGES_H_
