// CZtGroupCtrl, the group box of the KsGroup module. It frames the
// controls drawn over it in one of three styles: the standard etched frame,
// a clean rounded box with a gradient header, a separator and a soft drop
// shadow, or a fancy frame assembled from tinted artwork. No events.

#ifndef QUARRY_CONTROLS_GROUP_GROUP_CONTROL_H_
#define QUARRY_CONTROLS_GROUP_GROUP_CONTROL_H_

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QWidget>
#include <array>
#include <map>
#include <optional>

#include "controls/common/control_base.h"
#include "controls/common/dispatch_ids.h"
#include "controls/group/drop_shadow.h"

namespace quarry::controls {

inline constexpr int kGroupBasic = 0;
inline constexpr int kGroupClean = 1;
inline constexpr int kGroupFancy = 2;

// The automatic header height: a caption line of `text_height` pixels
// times 1.85 (truncated), plus the separator in the clean style; 0 without
// a caption.
int AutomaticHeaderHeight(int text_height, bool has_caption, int separator_width);

// The standard frame's gap for a caption of `caption_width` in a box of
// `width`: where it starts (0 and no gap when it would be under 1).
int CaptionGapStart(int width, int caption_width);

// The border pen of the clean style for BorderLineStyle (1-pixel borders):
// Qt::NoPen for hidden and none.
Qt::PenStyle BorderPenStyle(int border_line_style);

// The rounded outline of the clean box: straight edges and Bezier corners
// whose control points lie a tenth of the corner size from each corner.
QPainterPath CornerPath(const QRectF& rect, double corner_diameter);

class CZtGroupCtrl final : public CKsControlBase {
 public:
  explicit CZtGroupCtrl(ControlSettings settings = ControlSettings::Read());

  void Draw(QPainter& painter, const QRect& rect);
  // The header height the clean and fancy styles use now.
  int HeaderHeight();
  // The shadow picture as last rendered, and where it went (for tests).
  const QImage& ShadowImage() const { return shadow_image_; }
  int GroupStyle() const { return group_style_; }

 protected:
  std::span<const com::MemberName> Members() const override;
  com::HRESULT InvokeMember(com::DISPID id, com::DispatchKind kind,
                            std::span<const com::Variant> args, com::Variant* result) override;
  void ResetState() override;
  void ExchangeProperties(com::PropExchange& px) override;
  QWidget* MakeWindow(QWidget* parent) override;
  void OnStockPropertyChanged(com::DISPID id) override;
  bool ListsPicturePage() const override { return true; }

 private:
  ~CZtGroupCtrl() override = default;
  void Changed();
  void DrawStandard(QPainter& painter, const QRect& rect);
  void DrawClean(QPainter& painter, const QRect& rect);
  void DrawFancy(QPainter& painter, const QRect& rect);
  void DrawHeaderCaption(QPainter& painter, const QRect& header);
  void BuildPieces();

  COLORREF colour_background_ = 0x339ADF;
  COLORREF colour_border_ = 0x0C1128;
  COLORREF colour_text_shadow_ = 0;
  int32_t show_text_shadow_ = 1;
  std::vector<uint8_t> picture_;
  int32_t picture_alignment_ = 3;
  int32_t group_style_ = kGroupClean;
  int32_t border_line_style_ = 9;
  bool transparent_ = true;
  COLORREF colour_inner_lower_ = 0x4EB6EE;
  COLORREF colour_header_upper_ = 0x339ADF;
  COLORREF colour_header_lower_ = 0x193B92;
  COLORREF colour_header_separator_ = 0x339ADF;
  int32_t border_width_ = 2;
  int32_t border_corner_radius_ = 25;
  int32_t header_separator_width_ = 5;
  int32_t header_height_ = -1;
  bool show_drop_shadow_ = true;
  COLORREF colour_drop_shadow_ = 0;
  int32_t shadow_blur_ = 12;
  int32_t shadow_spread_ = 4;
  uint8_t shadow_opacity_ = 204;
  bool shadow_inset_ = false;
  int32_t drop_shadow_direction_ = 2;

  // Run-time state: the computed header height and the font it was
  // computed for; the twenty pieces (enabled and disabled) by number; the
  // last shadow.
  struct HeaderFontKey {
    bool bold = false;
    double points = 0;
    int pixels = 0;
    int weight = 0;
    int charset = 0;
    QString face;
    bool operator==(const HeaderFontKey&) const = default;
  };
  struct ShadowKey {
    QSize size;
    QRect box;
    int diameter = 0;
    ShadowParams params;
    bool operator==(const ShadowKey& o) const {
      return size == o.size && box == o.box && diameter == o.diameter &&
             params.blur == o.params.blur && params.spread == o.params.spread &&
             params.opacity == o.params.opacity && params.colour == o.params.colour;
    }
  };
  int computed_header_height_ = -1;
  HeaderFontKey header_font_;
  bool pieces_built_ = false;
  std::map<int, std::array<QImage, 2>> pieces_;
  QImage shadow_image_;
  std::optional<ShadowKey> shadow_key_;
};

class CZtGroupWnd : public QWidget {
  Q_OBJECT

 public:
  CZtGroupWnd(CZtGroupCtrl* control, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  WindowRef<CZtGroupCtrl> control_;
};

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_GROUP_GROUP_CONTROL_H_
