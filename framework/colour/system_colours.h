// The two desktop colours the colour scheme takes from the system: the
// face of push buttons and the active window caption. The scheme itself is
// plain arithmetic; where these colours come from (the Qt palette in the
// programs, fixed values in tests and headless tools) is decided by the
// implementation installed here.

#ifndef QUARRY_FRAMEWORK_COLOUR_SYSTEM_COLOURS_H_
#define QUARRY_FRAMEWORK_COLOUR_SYSTEM_COLOURS_H_

#include "framework/colour/colour_ref.h"

namespace quarry {

class SystemColours {
 public:
  virtual ~SystemColours() = default;

  // The face colour of push buttons and dialogs.
  virtual COLORREF ButtonFace() const = 0;
  // The background of the active window's caption; what the scheme falls
  // back to when the user has not chosen a base colour.
  virtual COLORREF ActiveCaption() const = 0;

  // The process-wide source: the one last passed to Install(), else a
  // FixedSystemColours with the classic values. Safe from any thread.
  static const SystemColours& Installed();

  // Makes `colours` the process-wide source; nullptr goes back to the
  // classic values. The caller keeps ownership and must keep the object
  // alive until it is replaced or the process ends.
  static void Install(const SystemColours* colours);
};

// Colours fixed at construction; the defaults are the classic desktop's
// light grey face and blue-grey caption.
class FixedSystemColours final : public SystemColours {
 public:
  static constexpr COLORREF kClassicButtonFace = 0xF0F0F0;
  static constexpr COLORREF kClassicActiveCaption = 0xD1B499;

  constexpr FixedSystemColours(COLORREF button_face = kClassicButtonFace,
                               COLORREF active_caption = kClassicActiveCaption)
      : button_face_(button_face), active_caption_(active_caption) {}

  COLORREF ButtonFace() const override { return button_face_; }
  COLORREF ActiveCaption() const override { return active_caption_; }

 private:
  COLORREF button_face_;
  COLORREF active_caption_;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_COLOUR_SYSTEM_COLOURS_H_
