// CKsButtonCtrl, the push button of the KsButton module: a face built from
// tinted strips (see button_faces.h) for each of its five states, an
// optional picture beside the caption, a tool tip carried in the caption,
// and the Click and RightClick events.

#ifndef QUARRY_CONTROLS_BUTTON_BUTTON_CONTROL_H_
#define QUARRY_CONTROLS_BUTTON_BUTTON_CONTROL_H_

#include <QImage>
#include <QPushButton>
#include <mutex>
#include <optional>

#include "controls/button/button_faces.h"
#include "controls/common/caption_text.h"
#include "controls/common/control_base.h"
#include "controls/common/dispatch_ids.h"

namespace quarry::controls {

// Owner-draw request values the painting follows.
inline constexpr int kDrawEntire = 1;
inline constexpr int kDrawSelect = 2;
inline constexpr int kDrawFocus = 4;
inline constexpr int kStateSelected = 0x1;
inline constexpr int kStateFocus = 0x10;
inline constexpr int kShowCommandShow = 5;  // SW_SHOW

class CKsButtonWnd;

class CKsButtonCtrl final : public CKsControlBase {
 public:
  explicit CKsButtonCtrl(ControlSettings settings = ControlSettings::Read());

  com::HRESULT AdjustExtent(int* width, int* height) override;

  // Paints the button into `painter` over `rect` for an owner-draw request
  // (`action`, `state`); what the window's paint event calls.
  void Paint(QPainter& painter, const QRect& rect, int action, int state, bool has_focus);
  // The face index a paint with these values shows.
  int FaceFor(int action, int state) const;
  // Whether the caption takes the highlight colour for these values.
  bool HighlightRequested(int action, int state, bool has_focus) const;
  // The caption's colour and whether it gets a shadow.
  COLORREF CaptionColour(bool highlight) const;
  bool CaptionHasShadow(COLORREF text_colour) const;

  // Input, from the window (custom look only).
  void OnButtonDown(bool inside);
  // Returns true when the release raised an event.
  bool OnButtonUp(bool inside, bool right);
  void OnMouseMove(bool inside);
  void OnMouseLeave();
  bool Pressed() const { return pressed_; }
  bool Hover() const { return hover_; }
  int LastShowCommand() const { return last_show_; }

  // The split caption, as drawn and as the tool tip.
  const SplitCaption& Split() const { return split_; }
  // The faces as last built (for tests); null before the first paint.
  const BuiltFaces* Faces() const { return faces_ ? &*faces_ : nullptr; }
  // Drops the cached faces; the next paint builds them again.
  void DiscardFaces();
  // Builds the faces for `size` unless they are built for it already.
  bool EnsureFaces(QSize size);

 protected:
  std::span<const com::MemberName> Members() const override;
  com::HRESULT InvokeMember(com::DISPID id, com::DispatchKind kind,
                            std::span<const com::Variant> args, com::Variant* result) override;
  void ResetState() override;
  void ExchangeProperties(com::PropExchange& px) override;
  QWidget* MakeWindow(QWidget* parent) override;
  void OnStockPropertyChanged(com::DISPID id) override;
  bool ListsPicturePage() const override { return true; }
  std::string AccessibleText() const override;

 private:
  ~CKsButtonCtrl() override = default;
  void Refresh();
  void Resplit();
  bool ShowWindowCommand(int command);
  void DrawCaption(QPainter& painter, const QRect& rect, bool highlight);
  CKsButtonWnd* ButtonWindow() const;

  // Properties.
  COLORREF colour_btn_face_ = 0;
  COLORREF colour_text_highlight_ = 0x28FEFC;
  COLORREF colour_text_shadow_ = 0;
  int32_t alignment_ = 0;
  bool show_text_highlight_ = false;
  bool show_text_shadow_ = true;
  std::vector<uint8_t> picture_;
  int32_t picture_alignment_ = 3;
  bool default_button_ = false;
  int32_t style_ = 0;
  int32_t button_sides_ = 0;
  bool transparent_ = true;

  // Run-time state.
  SplitCaption split_;
  QImage picture_image_;
  std::mutex faces_mu_;  // guards faces_ and built_size_
  std::optional<BuiltFaces> faces_;
  QSize built_size_;
  bool hover_ = false;
  bool pressed_ = false;
  int last_show_ = kShowCommandShow;
  bool painting_ = false;
};

// The button's window: a push button whose painting and mouse handling
// the control does in its custom look, and Qt in the standard look.
class CKsButtonWnd : public QPushButton {
  Q_OBJECT

 public:
  CKsButtonWnd(CKsButtonCtrl* control, QWidget* parent);

  // Paints once with this owner-draw request instead of the usual one
  // (the keyboard's immediate paints).
  void PaintNow(int action, int state);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  WindowRef<CKsButtonCtrl> control_;
  std::optional<std::pair<int, int>> pending_;
};

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_BUTTON_BUTTON_CONTROL_H_
