#include "controls/static/static_control.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <mutex>

#include "app/link_opener.h"
#include "controls/common/caption_text.h"
#include "controls/common/imaging.h"
#include "controls/common/system_colour.h"

namespace quarry::controls {

namespace {

using com::DispatchKind;
using com::HRESULT;
using com::Variant;

constexpr com::MemberName kMembers[] = {
    {static_id::kColorTextShadow, "ColorTextShadow"},
    {static_id::kShowTextShadow, "ShowTextShadow"},
    {static_id::kTextAlignment, "TextAlignment"},
    {static_id::kMultiline, "Multiline"},
    {static_id::kWindowText, "Window Text", "WindowText"},
    {static_id::kLine, "Line"},
    {static_id::kLinePenWidth, "LinePenWidth"},
    {static_id::kWebLink, "WebLink"},
    {static_id::kWebAddress, "WebAddress"},
    {static_id::kShowToolTips, "ShowToolTips"},
    {static_id::kToolTipText, "ToolTipText"},
    {static_id::kOpenUrl, "OpenURL"},
    {static_id::kSetProperty, "SetProperty"},
    {static_id::kBorderStyle, "BorderStyle"},
    {static_id::kOverrideWebLinkForeColor, "OverrideWebLinkForeColor"},
    {static_id::kTransparent, "Transparent"},
    {static_id::kColorBorder, "ColorBorder"},
    {static_id::kBorderWidth, "BorderWidth"},
};

constexpr COLORREF kLinkBlue = 0xFF0000;  // blue 255 in the high byte

constexpr uint32_t kAbove1_0 = 0xFFFF;
constexpr uint32_t kAbove2_0 = 0x1FFFF;
constexpr uint32_t kAbove3_0 = 0x2FFFF;
constexpr uint32_t kAbove4_0 = 0x3FFFF;
constexpr uint32_t kFrom4_2 = 0x40002;

std::mutex g_opener_mu;
std::function<void(const std::string&)>& Opener() {
  static auto* opener = new std::function<void(const std::string&)>();
  return *opener;
}

void OpenAddress(const std::string& address) {
  std::function<void(const std::string&)> opener;
  {
    std::lock_guard<std::mutex> lock(g_opener_mu);
    opener = Opener();
  }
  if (opener) {
    opener(address);
    return;
  }
  // A worker thread of the programs' opener: a click never waits for the
  // browser, and a browser that cannot start shows nothing. The opener
  // lives as long as the module (for ever).
  static LinkOpener* const link_opener = new LinkOpener();
  link_opener->Open(address, {});
}

// What screen readers learn about a label: static text, or a link that can
// be pressed.
class StaticAccessible final : public QAccessibleWidget {
 public:
  explicit StaticAccessible(CKsStaticWnd* window)
      : QAccessibleWidget(window, QAccessible::StaticText), window_(window) {}

  QAccessible::Role role() const override {
    return window_->Control()->IsActiveLink() ? QAccessible::Link : QAccessible::StaticText;
  }
  QStringList actionNames() const override {
    if (!window_->Control()->IsActiveLink()) return {};
    return {pressAction()};
  }
  void doAction(const QString& name) override {
    if (name == pressAction() && window_->Control()->IsActiveLink()) {
      window_->Control()->OnActivated();
    }
  }

 private:
  CKsStaticWnd* window_;
};

QAccessibleInterface* AccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("quarry::controls::CKsStaticWnd")) {
    if (auto* window = qobject_cast<CKsStaticWnd*>(object)) return new StaticAccessible(window);
  }
  return nullptr;
}

int16_t ShortOf(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

}  // namespace

void CKsStaticCtrl::SetOpenerForTesting(std::function<void(const std::string&)> opener) {
  std::lock_guard<std::mutex> lock(g_opener_mu);
  Opener() = std::move(opener);
}

CKsStaticCtrl::CKsStaticCtrl(ControlSettings settings) : CKsControlBase(kStaticModule, settings) {
  ResetState();
}

std::span<const com::MemberName> CKsStaticCtrl::Members() const { return kMembers; }

void CKsStaticCtrl::ResetState() {
  colour_text_shadow_ = 0;
  show_text_shadow_ = kShadowAuto;
  text_alignment_ = 0;
  multiline_ = false;
  window_text_ = Caption();
  line_ = false;
  line_pen_width_ = 1;
  web_link_ = false;
  web_address_.clear();
  show_tool_tips_ = false;
  tool_tip_text_.clear();
  border_style_ = kEdgeNone;
  override_web_link_fore_color_ = false;
  transparent_ = true;
  colour_border_ = 0;
  border_width_ = 1;
  UpdateWindowLinkState();
}

void CKsStaticCtrl::Repaint() {
  SetModifiedFlag();
  InvalidateControl();
}

void CKsStaticCtrl::OnStockPropertyChanged(com::DISPID id) {
  if (id == com::DISPID_CAPTION) window_text_ = Caption();
  InvalidateControl();
}

void CKsStaticCtrl::UpdateWindowLinkState() {
  QWidget* window = Window();
  if (window == nullptr) return;
  if (IsActiveLink()) {
    window->setCursor(Qt::PointingHandCursor);
    window->setFocusPolicy(Qt::StrongFocus);
    window->setAccessibleDescription(QString::fromStdString(web_address_));
  } else {
    window->unsetCursor();
    window->setFocusPolicy(Qt::NoFocus);
    window->setAccessibleDescription(QString());
  }
  window->setToolTip(show_tool_tips_ ? QString::fromStdString(tool_tip_text_) : QString());
}

HRESULT CKsStaticCtrl::InvokeMember(com::DISPID id, DispatchKind kind,
                                    std::span<const Variant> args, Variant* result) {
  const bool get = kind == DispatchKind::kPropertyGet;
  const bool put = kind == DispatchKind::kPropertyPut;

  // Members without notification are stored as written and show at the
  // next paint, which is asked for here so the window never shows a stale
  // look.
  auto member_flag = [&](bool* member) -> HRESULT {
    if (get) return Return(result, Variant::Bool(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    if (HRESULT hr = PutArgBool(args, member); com::Failed(hr)) return hr;
    UpdateWindowLinkState();
    InvalidateControl();
    return com::S_OK;
  };
  auto member_text = [&](std::string* member) -> HRESULT {
    if (get) return Return(result, Variant::String(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    if (HRESULT hr = PutArgString(args, member); com::Failed(hr)) return hr;
    UpdateWindowLinkState();
    InvalidateControl();
    return com::S_OK;
  };
  auto member_short = [&](int16_t* member) -> HRESULT {
    if (get) return Return(result, Variant::Int(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    int32_t value = 0;
    if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
    if (value < INT16_MIN || value > INT16_MAX) return com::DISP_E_OVERFLOW;
    *member = static_cast<int16_t>(value);
    InvalidateControl();
    return com::S_OK;
  };
  auto colour = [&](COLORREF* member) -> HRESULT {
    if (get) return Return(result, Variant::Colour(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    uint32_t value = 0;
    if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
    if (Change(member, value)) Repaint();
    return com::S_OK;
  };

  switch (id) {
    case static_id::kColorTextShadow:
      return colour(&colour_text_shadow_);
    case static_id::kColorBorder:
      return colour(&colour_border_);
    case static_id::kShowTextShadow: {
      if (get) return Return(result, Variant::Int(show_text_shadow_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      int32_t value = 0;
      if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
      if (Change(&show_text_shadow_, value)) Repaint();
      return com::S_OK;
    }
    case static_id::kTextAlignment: {
      if (get) return Return(result, Variant::Int(text_alignment_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      if (HRESULT hr = PutArgInt(args, &text_alignment_); com::Failed(hr)) return hr;
      Repaint();  // always stored and repainted
      return com::S_OK;
    }
    case static_id::kMultiline: {
      if (get) return Return(result, Variant::Bool(multiline_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      if (HRESULT hr = PutArgBool(args, &multiline_); com::Failed(hr)) return hr;
      Repaint();
      return com::S_OK;
    }
    case static_id::kWindowText: {
      if (get) return Return(result, Variant::String(window_text_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      std::string value;
      if (HRESULT hr = PutArgString(args, &value); com::Failed(hr)) return hr;
      if (!Change(&window_text_, value)) return com::S_OK;
      // The caption follows, through the stock property.
      const Variant caption = Variant::String(value);
      return Invoke(com::DISPID_CAPTION, DispatchKind::kPropertyPut, std::span(&caption, 1),
                    nullptr);
    }
    case static_id::kLine:
      return member_flag(&line_);
    case static_id::kLinePenWidth:
      return member_short(&line_pen_width_);
    case static_id::kWebLink:
      return member_flag(&web_link_);
    case static_id::kWebAddress:
      return member_text(&web_address_);
    case static_id::kShowToolTips:
      return member_flag(&show_tool_tips_);
    case static_id::kToolTipText:
      return member_text(&tool_tip_text_);
    case static_id::kOverrideWebLinkForeColor:
      return member_flag(&override_web_link_fore_color_);
    case static_id::kBorderWidth:
      return member_short(&border_width_);
    case static_id::kBorderStyle: {
      if (get) return Return(result, Variant::Int(border_style_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      int32_t value = 0;
      if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
      if (Change(&border_style_, ShortOf(value))) Repaint();
      return com::S_OK;
    }
    case static_id::kTransparent: {
      if (get) return Return(result, Variant::Bool(transparent_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      bool value = false;
      if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
      if (Change(&transparent_, value)) Repaint();
      return com::S_OK;
    }
    case static_id::kOpenUrl:
      if (kind != DispatchKind::kMethod) return com::DISP_E_MEMBERNOTFOUND;
      if (!args.empty()) return com::DISP_E_BADPARAMCOUNT;
      OpenUrl();
      return com::S_OK;
    case static_id::kSetProperty: {
      if (kind != DispatchKind::kMethod) return com::DISP_E_MEMBERNOTFOUND;
      if (args.size() != 2) return com::DISP_E_BADPARAMCOUNT;
      std::optional<int32_t> type = args[0].ToInt();
      std::optional<int32_t> value = args[1].ToInt();
      if (!type || !value) return com::DISP_E_TYPEMISMATCH;
      // Type 0 is the border style; other types are not properties here.
      if (*type == 0) {
        border_style_ = ShortOf(*value);
        Repaint();
      }
      return com::S_OK;
    }
  }
  return com::DISP_E_MEMBERNOTFOUND;
}

void CKsStaticCtrl::ExchangeProperties(com::PropExchange& px) {
  const uint32_t v = px.Version();
  const bool loading = px.IsLoading();
  if (!loading) window_text_ = Caption();
  if (v > kAbove1_0) {
    px.UInt("Color Text Shadow", &colour_text_shadow_, 0);
    px.Int("Show Text Shadow", &show_text_shadow_, kShadowAuto);
    px.Int("Text Alignment", &text_alignment_, 0);
    px.Bool("Multiline", &multiline_, false);
    px.Bool("Line", &line_, false);
    px.Short("Line Pen Width", &line_pen_width_, 1);
  }
  if (v > kAbove2_0) {
    px.String("WindowText", &window_text_, std::string());
    px.Bool("Web Link", &web_link_, false);
    px.String("Web Address", &web_address_, std::string());
    px.Bool("Show Tool Tips", &show_tool_tips_, false);
    px.String("Tool Tip Text", &tool_tip_text_, std::string());
  }
  if (v > kAbove3_0) px.Short("Border Style", &border_style_, kEdgeNone);
  if (v > kAbove4_0) {
    px.Bool("Override Web Link Fore Color", &override_web_link_fore_color_, false);
  }
  bool have_4_2 = false;
  if (v >= kFrom4_2) {
    have_4_2 = px.Bool("Transparent", &transparent_, true);
    have_4_2 = px.UInt("Color Border", &colour_border_, 0) && have_4_2;
    have_4_2 = px.Short("Border Width", &border_width_, 1) && have_4_2;
  }
  if (!loading) return;
  if (!have_4_2) {
    transparent_ = true;
    colour_border_ = 0;
    border_width_ = 1;
  }
  // An alignment stored in the second byte by early 3.x modules.
  if (v > kAbove3_0 && text_alignment_ > 255) {
    text_alignment_ = (text_alignment_ >> 8) & 0xFF;
    SetModifiedFlag();
  }
  window_text_ = Caption();
  UpdateWindowLinkState();
}

QWidget* CKsStaticCtrl::MakeWindow(QWidget* parent) {
  static const bool installed = [] {
    QAccessible::installFactory(&AccessibleFactory);
    return true;
  }();
  (void)installed;
  auto* window = new CKsStaticWnd(this, parent);
  return window;
}

COLORREF CKsStaticCtrl::TextColour() const {
  const bool link_blue = web_link_ && !override_web_link_fore_color_;
  if (UseCustom()) {
    if (!Enabled()) return SysColour(SysColourIndex::kGrayText);
    return link_blue ? kLinkBlue : ForeColor();
  }
  if (!Enabled() && UserMode()) return SysColour(SysColourIndex::kGrayText);
  return link_blue ? kLinkBlue : SysColour(SysColourIndex::kWindowText);
}

bool CKsStaticCtrl::HasShadow() const {
  if (!UseCustom()) return false;
  if (!Enabled()) return true;
  return show_text_shadow_ == kShadowOn ||
         (show_text_shadow_ == kShadowAuto && ForeColor() != colour_text_shadow_);
}

CKsStaticCtrl::TextLayout CKsStaticCtrl::LayoutText(const QRect& rect, const QString& text,
                                                    const QFont& font) const {
  TextLayout layout;
  layout.rect = rect;
  const bool border = border_style_ != kEdgeNone;
  if (border) layout.rect.adjust(1, 1, -1, -1);
  int flags = Qt::TextShowMnemonic | Qt::TextExpandTabs;
  if (text_alignment_ & kAlignCentre) {
    flags |= Qt::AlignHCenter;
  } else if (text_alignment_ & kAlignRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (multiline_) flags |= Qt::TextWordWrap;
  if (border && !(text_alignment_ & kAlignCentre)) layout.rect.adjust(5, 1, -5, -1);
  if (text_alignment_ & kAlignMiddle) {
    if (multiline_) {
      // Measured as a block, then centred by hand.
      const QRect block = QFontMetrics(font).boundingRect(layout.rect, flags | Qt::AlignTop, text);
      const int top = layout.rect.top() + (layout.rect.height() - block.height()) / 2;
      layout.rect.setTop(std::max(top, rect.top()));
      flags |= Qt::AlignTop;
    } else {
      flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    }
  } else {
    flags |= Qt::AlignTop;
  }
  layout.flags = flags;
  return layout;
}

void CKsStaticCtrl::DrawBorder(QPainter& painter, const QRect& rect) const {
  if (border_style_ == kEdgeThin) {
    QPen pen{QColor(ToRgb(colour_border_))};
    pen.setWidth(std::max<int>(border_width_, 0));
    pen.setJoinStyle(Qt::MiterJoin);
    if (border_width_ <= 0) return;
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = border_width_ / 2.0;
    painter.drawRect(QRectF(rect).adjusted(half, half, -half, -half));
    return;
  }
  // The edges of the classic three-dimensional borders: each kind is an
  // outer and an inner one-pixel frame, lit or shaded.
  const QColor light = QColor(ToRgb(SysColour(SysColourIndex::kButtonHighlight)));
  const QColor shadow = QColor(ToRgb(SysColour(SysColourIndex::kButtonShadow)));
  const QColor dark = QColor(ToRgb(SysColour(SysColourIndex::kButtonDarkShadow)));
  const QColor face = QColor(ToRgb(SysColour(SysColourIndex::kButtonFace)));
  auto frame = [&](const QRect& r, const QColor& top_left, const QColor& bottom_right) {
    painter.setPen(top_left);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottom_right);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
  };
  const QRect outer = rect;
  const QRect inner = rect.adjusted(1, 1, -1, -1);
  switch (border_style_) {
    case kEdgeBump:
      frame(outer, face, dark);
      frame(inner, shadow, light);
      break;
    case kEdgeEtched:
      frame(outer, shadow, light);
      frame(inner, light, shadow);
      break;
    case kEdgeRaised:
      frame(outer, face, dark);
      frame(inner, light, shadow);
      break;
    case kEdgeSunken:
      frame(outer, shadow, light);
      frame(inner, dark, face);
      break;
    default:
      break;
  }
}

void CKsStaticCtrl::Draw(QPainter& painter, const QRect& rect, bool has_focus) {
  painter.save();
  if (!(transparent_ && border_style_ == kEdgeNone)) {
    painter.fillRect(rect, QColor(ToRgb(UseCustom() ? BackColor() : AmbientBackColor())));
  }
  const COLORREF text_colour = TextColour();
  const bool shadow = HasShadow();

  if (line_) {
    // A pen of the line's width centred on y, as a filled band of rows.
    const int width = std::max<int>(line_pen_width_, 1);
    const int y = rect.top() + line_pen_width_ / 2 - width / 2;
    const bool line_shadow = UseCustom() && Enabled() && shadow;
    if (line_shadow) {
      painter.fillRect(QRect(rect.left() + 1, y + 1, rect.width(), width),
                       QColor(ToRgb(colour_text_shadow_)));
    }
    painter.fillRect(QRect(rect.left(), y, rect.width() - (line_shadow ? 1 : 0), width),
                     QColor(ToRgb(text_colour)));
    painter.restore();
    return;
  }

  window_text_ = Caption();
  QFont font = ControlFont();
  font.setUnderline(web_link_);
  painter.setFont(font);
  const QString text = QString::fromStdString(ExpandEscapes(Caption()));
  const TextLayout layout = LayoutText(rect, text, font);
  if (shadow) {
    painter.setPen(QColor(ToRgb(Enabled() ? colour_text_shadow_ : kWhite)));
    painter.drawText(layout.rect.translated(1, 1), layout.flags, text);
  }
  painter.setPen(QColor(ToRgb(text_colour)));
  painter.drawText(layout.rect, layout.flags, text);

  // A link that has the keyboard focus shows it round its text.
  if (has_focus && IsActiveLink()) {
    QRect bounds = painter.boundingRect(layout.rect, layout.flags, text).adjusted(-1, 0, 1, 0);
    bounds = bounds.intersected(rect);
    QPen focus(QColor(ToRgb(text_colour)));
    focus.setStyle(Qt::DotLine);
    painter.setPen(focus);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(0, 0, -1, -1));
  }

  if (border_style_ != kEdgeNone) DrawBorder(painter, rect);
  painter.restore();
}

void CKsStaticCtrl::OpenUrl() {
  if (IsActiveLink()) OpenAddress(web_address_);
}

void CKsStaticCtrl::OnActivated() {
  if (!IsActiveLink() || !Enabled()) return;
  OpenUrl();
  PostToContainer(kLinkClickedMessage,
                  reinterpret_cast<uintptr_t>(static_cast<com::IControl*>(this)),
                  reinterpret_cast<intptr_t>(&web_address_));
}

// --- CKsStaticWnd

CKsStaticWnd::CKsStaticWnd(CKsStaticCtrl* control, QWidget* parent)
    : QWidget(parent), control_(control) {
  setFocusPolicy(Qt::NoFocus);
}

void CKsStaticWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  control_->Draw(painter, rect(), hasFocus());
}

void CKsStaticWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    control_->OnActivated();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void CKsStaticWnd::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (control_->IsActiveLink() &&
      (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
    control_->OnActivated();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CKsStaticWnd::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void CKsStaticWnd::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace quarry::controls
