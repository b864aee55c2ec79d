// CKsStaticCtrl, the label of the KsStatic module: text with an optional
// shadow and border, a horizontal line, or a web link that opens its
// address in the user's browser (on a worker thread) and tells the
// container with message 0x82D0.

#ifndef QUARRY_CONTROLS_STATIC_STATIC_CONTROL_H_
#define QUARRY_CONTROLS_STATIC_STATIC_CONTROL_H_

#include <QWidget>
#include <functional>

#include "controls/common/control_base.h"
#include "controls/common/dispatch_ids.h"

namespace quarry::controls {

// Text format flags of TextAlignment.
inline constexpr int32_t kAlignCentre = 0x1;
inline constexpr int32_t kAlignRight = 0x2;
inline constexpr int32_t kAlignMiddle = 0x4;

// eZtShadowModes and eZtEdgeTypes.
inline constexpr int32_t kShadowOff = 0, kShadowOn = 1, kShadowAuto = 2;
inline constexpr int16_t kEdgeNone = 0, kEdgeBump = 1, kEdgeEtched = 2, kEdgeRaised = 3,
                         kEdgeSunken = 4, kEdgeThin = 5;

class CKsStaticCtrl final : public CKsControlBase {
 public:
  explicit CKsStaticCtrl(ControlSettings settings = ControlSettings::Read());

  void Draw(QPainter& painter, const QRect& rect, bool has_focus);
  // The text colour and whether the text (or line) gets a shadow.
  COLORREF TextColour() const;
  bool HasShadow() const;
  // Whether the label is a link with somewhere to go.
  bool IsActiveLink() const { return web_link_ && !web_address_.empty(); }
  // A left-button release (or the keyboard's activation) over the label.
  void OnActivated();
  // Opens WebAddress when the label is an active link.
  void OpenUrl();
  // The Qt text flags and rectangle the caption is drawn with.
  struct TextLayout {
    QRect rect;
    int flags = 0;
  };
  TextLayout LayoutText(const QRect& rect, const QString& text, const QFont& font) const;

  // How addresses are opened; the default hands them to the user's browser
  // on a worker thread. For tests.
  static void SetOpenerForTesting(std::function<void(const std::string&)> opener);

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
  ~CKsStaticCtrl() override = default;
  void Repaint();
  void UpdateWindowLinkState();
  void DrawBorder(QPainter& painter, const QRect& rect) const;

  COLORREF colour_text_shadow_ = 0;
  int32_t show_text_shadow_ = kShadowAuto;
  int32_t text_alignment_ = 0;
  bool multiline_ = false;
  std::string window_text_;
  bool line_ = false;
  int16_t line_pen_width_ = 1;
  bool web_link_ = false;
  std::string web_address_;
  bool show_tool_tips_ = false;
  std::string tool_tip_text_;
  int16_t border_style_ = kEdgeNone;
  bool override_web_link_fore_color_ = false;
  bool transparent_ = true;
  COLORREF colour_border_ = 0;
  int16_t border_width_ = 1;
};

class CKsStaticWnd : public QWidget {
  Q_OBJECT

 public:
  CKsStaticWnd(CKsStaticCtrl* control, QWidget* parent);
  CKsStaticCtrl* Control() const { return control_.get(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  WindowRef<CKsStaticCtrl> control_;
};

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_STATIC_STATIC_CONTROL_H_
