// CKsCheckCtrl, the check box of the KsCheck module. In the custom look it
// keeps its state itself and draws a small indicator (a lamp, a square or a
// check mark) beside the caption; in the standard look it is a plain
// automatic check box whose window holds the state. Raises Click.

#ifndef QUARRY_CONTROLS_CHECK_CHECK_CONTROL_H_
#define QUARRY_CONTROLS_CHECK_CHECK_CONTROL_H_

#include <QCheckBox>
#include <QFont>
#include <array>
#include <optional>

#include "controls/check/check_images.h"
#include "controls/common/caption_text.h"
#include "controls/common/control_base.h"
#include "controls/common/dispatch_ids.h"

namespace quarry::controls {

class CKsCheckWnd;

class CKsCheckCtrl final : public CKsControlBase {
 public:
  explicit CKsCheckCtrl(ControlSettings settings = ControlSettings::Read());

  // Draws the custom look of the item `rect`.
  void Draw(QPainter& painter, const QRect& rect, bool has_focus);
  // The window's click (mouse, keyboard, screen reader or program).
  void OnClicked();
  // Whether a click may change the state now.
  bool IsLocked() const { return locked_; }

  // What the drawing works out, for tests.
  struct Layout {
    QRect indicator;
    QRect text;
    int text_flags = 0;
  };
  Layout LayoutFor(const QRect& rect, const QFont& font) const;
  // The font the caption is drawn in: the stock font, or a 14-pixel one of
  // the same kind where the stock font's height is 1 to 4 or above 50.
  QFont DrawingFont() const;
  // The indicator pictures as last built; empty slots before the first paint.
  const std::array<QImage, 4>& Images() const { return images_; }
  const SplitCaption& Split() const { return split_; }

 protected:
  std::span<const com::MemberName> Members() const override;
  com::HRESULT InvokeMember(com::DISPID id, com::DispatchKind kind,
                            std::span<const com::Variant> args, com::Variant* result) override;
  void ResetState() override;
  void ExchangeProperties(com::PropExchange& px) override;
  QWidget* MakeWindow(QWidget* parent) override;
  void OnStockPropertyChanged(com::DISPID id) override;
  std::string AccessibleText() const override;

 private:
  ~CKsCheckCtrl() override = default;
  void Repaint();
  void RebuildImages();
  void EnsureImages(const QRect& rect);
  void SyncWindowState();
  bool CurrentCheck();
  int IndicatorSide(const QRect& rect, const QFont& font) const;
  QCheckBox* Box() const;

  // Properties.
  bool check_ = false;
  COLORREF colour_check_face_ = 0;
  COLORREF colour_text_shadow_ = 0;
  int32_t style_ = 0;
  bool show_text_shadow_ = true;
  COLORREF colour_check_off_face_ = 0;
  int32_t type_ = 0;
  bool keep_colors_in_sync_ = true;
  bool auto_scale_ = false;
  bool transparent_ = true;
  bool locked_ = false;

  // Run-time state.
  std::array<QImage, 4> images_;
  bool images_built_ = false;
  QRect images_rect_;
  bool text_offset_ = true;  // NOT auto-scale, as of the last build
  SplitCaption split_;
};

class CKsCheckWnd : public QCheckBox {
  Q_OBJECT

 public:
  CKsCheckWnd(CKsCheckCtrl* control, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void nextCheckState() override;
  bool hitButton(const QPoint& pos) const override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  WindowRef<CKsCheckCtrl> control_;
};

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_CHECK_CHECK_CONTROL_H_
