#include "controls/group/group_control.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFontInfo>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/common/imaging.h"
#include "controls/common/system_colour.h"

namespace quarry::controls {

namespace {

using com::DispatchKind;
using com::HRESULT;
using com::Variant;

constexpr com::MemberName kMembers[] = {
    {group_id::kColorBackGround, "Color Back Ground", "ColorBackGround"},
    {group_id::kColorBorder, "Color Border", "ColorBorder"},
    {group_id::kColorTextShadow, "Color Text Shadow", "ColorTextShadow"},
    {group_id::kShowTextShadow, "Show Text Shadow", "ShowTextShadow"},
    {group_id::kPicture, "Picture"},
    {group_id::kPictureAlignment, "Picture Alignment", "PictureAlignment"},
    {group_id::kGroupStyle, "GroupStyle"},
    {group_id::kBorderLineStyle, "BorderLineStyle"},
    {group_id::kTransparent, "Transparent"},
    {group_id::kColorInnerBackgroundLower, "InnerBackgroundLowerColor",
     "ColorInnerBackgroundLower"},
    {group_id::kColorHeaderBackgroundUpper, "HeaderBackgroundUpperColor",
     "ColorHeaderBackgroundUpper"},
    {group_id::kColorHeaderBackgroundLower, "HeaderBackgroundLowerColor",
     "ColorHeaderBackgroundLower"},
    {group_id::kColorHeaderSeparator, "HeaderSeparatorColor", "ColorHeaderSeparator"},
    {group_id::kBorderWidth, "BorderWidth"},
    {group_id::kBorderCornerRadius, "BorderCornerRadius"},
    {group_id::kHeaderSeparatorWidth, "HeaderSeparatorWidth"},
    {group_id::kHeaderHeight, "HeaderHeight"},
    {group_id::kShowDropShadow, "ShowDropShadow"},
    {group_id::kColorDropShadow, "DropShadowColor", "ColorDropShadow"},
    {group_id::kShadowBlurDistance, "ShadowBlurDistance"},
    {group_id::kShadowSpreadDistance, "ShadowSpreadDistance"},
    {group_id::kShadowOpacity, "ShadowOpacity"},
    {group_id::kShadowInset, "ShadowInset"},
    {group_id::kDropShadowDirection, "DropShadowDirection"},
};

constexpr double kHeaderFactor = 1.85;
constexpr COLORREF kNoColour = 0xFFFFFFFF;  // -1
constexpr COLORREF kDisabledBorder = 0x414141;
constexpr COLORREF kDisabledCaption = 0xDCDCDC;
constexpr uint32_t kAbove1_0 = 0xFFFF;
constexpr uint32_t kAbove2_0 = 0x1FFFF;

// The fancy frame's pieces.
constexpr int kBottomEdge = 202;  // also the header's middle
constexpr int kBottomLeft = 203;
constexpr int kBottomRight = 205;
constexpr int kLeftEdge = 206;
constexpr int kRightEdge = 207;
constexpr int kTopEdge = 208;
constexpr int kTopLeft = 209;
constexpr int kTopRight = 210;
constexpr int kHeaderLeft = 211;
constexpr int kHeaderRight = 212;
constexpr int kPieces[] = {kBottomEdge, kBottomLeft, kBottomRight, kLeftEdge,   kRightEdge,
                           kTopEdge,    kTopLeft,    kTopRight,    kHeaderLeft, kHeaderRight};

QColor Q(COLORREF c) { return QColor(ToRgb(c)); }

class GroupAccessible final : public QAccessibleWidget {
 public:
  explicit GroupAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Grouping) {}
};

QAccessibleInterface* AccessibleFactory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String("quarry::controls::CZtGroupWnd")) {
    if (auto* window = qobject_cast<CZtGroupWnd*>(object)) return new GroupAccessible(window);
  }
  return nullptr;
}

}  // namespace

int AutomaticHeaderHeight(int text_height, bool has_caption, int separator_width) {
  if (!has_caption) return 0;
  return static_cast<int>(text_height * kHeaderFactor) + separator_width;
}

int CaptionGapStart(int width, int caption_width) {
  const int gap = (width - caption_width) / 8;
  return gap < 1 ? 0 : gap;
}

Qt::PenStyle BorderPenStyle(int style) {
  switch (style) {
    case 0:
      return Qt::DashLine;
    case 1:
      return Qt::DotLine;
    case 4:
    case 6:
      return Qt::NoPen;
    default:
      return Qt::SolidLine;  // the inside-frame styles draw solid too
  }
}

QPainterPath CornerPath(const QRectF& r, double corner_diameter) {
  QPainterPath path;
  const double size = std::clamp(corner_diameter / 2.0, 0.0, std::min(r.width(), r.height()) / 2.0);
  if (size <= 0) {
    path.addRect(r);
    return path;
  }
  const double near = size * 0.1;
  const double l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
  path.moveTo(l + size, t);
  path.lineTo(rt - size, t);
  path.cubicTo(rt - near, t, rt, t + near, rt, t + size);
  path.lineTo(rt, b - size);
  path.cubicTo(rt, b - near, rt - near, b, rt - size, b);
  path.lineTo(l + size, b);
  path.cubicTo(l + near, b, l, b - near, l, b - size);
  path.lineTo(l, t + size);
  path.cubicTo(l, t + near, l + near, t, l + size, t);
  path.closeSubpath();
  return path;
}

CZtGroupCtrl::CZtGroupCtrl(ControlSettings settings) : CKsControlBase(kGroupModule, settings) {
  ResetState();
}

std::span<const com::MemberName> CZtGroupCtrl::Members() const { return kMembers; }

void CZtGroupCtrl::ResetState() {
  colour_background_ = 0x339ADF;
  colour_border_ = 0x0C1128;
  colour_text_shadow_ = 0;
  show_text_shadow_ = 1;
  picture_.clear();
  picture_alignment_ = 3;
  group_style_ = kGroupClean;
  border_line_style_ = 9;
  transparent_ = true;
  colour_inner_lower_ = 0x4EB6EE;
  colour_header_upper_ = 0x339ADF;
  colour_header_lower_ = 0x193B92;
  colour_header_separator_ = 0x339ADF;
  border_width_ = 2;
  border_corner_radius_ = 25;
  header_separator_width_ = 5;
  header_height_ = -1;
  show_drop_shadow_ = true;
  colour_drop_shadow_ = 0;
  shadow_blur_ = 12;
  shadow_spread_ = 4;
  shadow_opacity_ = 204;
  shadow_inset_ = false;
  drop_shadow_direction_ = 2;
  computed_header_height_ = -1;
  pieces_built_ = false;
  shadow_image_ = QImage();
  shadow_key_.reset();
}

void CZtGroupCtrl::Changed() {
  SetModifiedFlag();
  InvalidateControl();
}

void CZtGroupCtrl::OnStockPropertyChanged(com::DISPID id) {
  if (id == com::DISPID_CAPTION || id == com::DISPID_FONT) computed_header_height_ = -1;
  InvalidateControl();
}

HRESULT CZtGroupCtrl::InvokeMember(com::DISPID id, DispatchKind kind, std::span<const Variant> args,
                                   Variant* result) {
  const bool get = kind == DispatchKind::kPropertyGet;
  if (!get && kind != DispatchKind::kPropertyPut) return com::DISP_E_MEMBERNOTFOUND;

  auto colour = [&](COLORREF* member) -> HRESULT {
    if (get) return Return(result, Variant::Colour(*member));
    uint32_t value = 0;
    if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
    if (Change(member, value)) Changed();
    return com::S_OK;
  };
  auto flag = [&](bool* member) -> HRESULT {
    if (get) return Return(result, Variant::Bool(*member));
    bool value = false;
    if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
    if (Change(member, value)) Changed();
    return com::S_OK;
  };
  // A number that must lie in [low, high]; others are refused.
  auto ranged = [&](int32_t* member, int32_t low, int32_t high) -> HRESULT {
    if (get) return Return(result, Variant::Int(*member));
    int32_t value = 0;
    if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
    if (value < low || value > high) return com::E_INVALIDARG;
    if (Change(member, value)) Changed();
    return com::S_OK;
  };
  constexpr int32_t kMax = INT32_MAX;

  switch (id) {
    case group_id::kColorBackGround:
      return colour(&colour_background_);
    case group_id::kColorBorder: {
      const COLORREF before = colour_border_;
      const HRESULT hr = colour(&colour_border_);
      if (colour_border_ != before) pieces_built_ = false;
      return hr;
    }
    case group_id::kColorTextShadow:
      return colour(&colour_text_shadow_);
    case group_id::kShowTextShadow:
      return ranged(&show_text_shadow_, INT32_MIN, kMax);
    case group_id::kPicture: {
      if (get) return Return(result, Variant::Bytes(picture_));
      std::vector<uint8_t> bytes;
      if (HRESULT hr = PutArgBytes(args, &bytes); com::Failed(hr)) return hr;
      if (Change(&picture_, bytes)) Changed();
      return com::S_OK;
    }
    case group_id::kPictureAlignment: {
      if (get) return Return(result, Variant::Int(picture_alignment_));
      int32_t value = 0;
      if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
      if (Change(&picture_alignment_, std::clamp(value, 0, 3))) Changed();
      return com::S_OK;
    }
    case group_id::kGroupStyle: {
      const int32_t before = group_style_;
      const HRESULT hr = ranged(&group_style_, 0, 2);
      if (group_style_ != before) computed_header_height_ = -1;
      return hr;
    }
    case group_id::kBorderLineStyle:
      return ranged(&border_line_style_, 0, 9);
    case group_id::kTransparent:
      return flag(&transparent_);
    case group_id::kColorInnerBackgroundLower:
      return colour(&colour_inner_lower_);
    case group_id::kColorHeaderBackgroundUpper:
      return colour(&colour_header_upper_);
    case group_id::kColorHeaderBackgroundLower:
      return colour(&colour_header_lower_);
    case group_id::kColorHeaderSeparator:
      return colour(&colour_header_separator_);
    case group_id::kBorderWidth:
      return ranged(&border_width_, 0, kMax);
    case group_id::kBorderCornerRadius:
      return ranged(&border_corner_radius_, 0, kMax);
    case group_id::kHeaderSeparatorWidth: {
      const int32_t before = header_separator_width_;
      const HRESULT hr = ranged(&header_separator_width_, 0, kMax);
      // The automatic height includes the separator.
      if (header_separator_width_ != before) computed_header_height_ = -1;
      return hr;
    }
    case group_id::kHeaderHeight: {
      if (get) return Return(result, Variant::Int(header_height_));
      int32_t value = 0;
      if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
      if (value < -1) return com::E_INVALIDARG;
      if (value == -1) computed_header_height_ = -1;
      if (Change(&header_height_, value)) Changed();
      return com::S_OK;
    }
    case group_id::kShowDropShadow:
      return flag(&show_drop_shadow_);
    case group_id::kColorDropShadow:
      return colour(&colour_drop_shadow_);
    case group_id::kShadowBlurDistance:
      return ranged(&shadow_blur_, INT32_MIN, kMax);
    case group_id::kShadowSpreadDistance:
      return ranged(&shadow_spread_, INT32_MIN, kMax);
    case group_id::kShadowOpacity: {
      if (get) return Return(result, Variant::Int(shadow_opacity_));
      uint32_t value = 0;
      if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
      if (Change(&shadow_opacity_, static_cast<uint8_t>(value & 0xFF))) Changed();
      return com::S_OK;
    }
    case group_id::kShadowInset:
      return flag(&shadow_inset_);
    case group_id::kDropShadowDirection:
      return ranged(&drop_shadow_direction_, 0, 3);
  }
  return com::DISP_E_MEMBERNOTFOUND;
}

void CZtGroupCtrl::ExchangeProperties(com::PropExchange& px) {
  const uint32_t v = px.Version();
  px.Bytes("Picture", &picture_);
  if (v > kAbove1_0) {
    px.UInt("Color Text Shadow", &colour_text_shadow_, 0);
    px.Int("Show Shadow", &show_text_shadow_, 1);
    px.Int("Picture Alignment", &picture_alignment_, 3);
  }
  if (v > kAbove2_0) {
    px.UInt("Color Inner Background Lower", &colour_inner_lower_, 0x4EB6EE);
    px.UInt("Color Header Background Upper", &colour_header_upper_, 0x339ADF);
    px.UInt("Color Header Background Lower", &colour_header_lower_, 0x193B92);
    px.UInt("Color Header Separator", &colour_header_separator_, 0x339ADF);
    px.UInt("Color Drop Shadow", &colour_drop_shadow_, 0);
    px.Bool("Transparent", &transparent_, true);
    px.Bool("Show Drop Shadow", &show_drop_shadow_, true);
    px.Bool("Shadow Inset", &shadow_inset_, false);
    px.Int("Group Style", &group_style_, kGroupClean);
    px.Int("Border Line Style", &border_line_style_, 9);
    px.Int("Border Width", &border_width_, 2);
    px.Int("Border Corner Radius", &border_corner_radius_, 25);
    px.Int("Header Separator Width", &header_separator_width_, 5);
    px.Int("Header Height", &header_height_, -1);
    px.Int("Shadow Blur Distance", &shadow_blur_, 12);
    px.Int("Shadow Spread Distance", &shadow_spread_, 4);
    px.Int("Drop Shadow Direction", &drop_shadow_direction_, 2);
    px.Byte("Opacity", &shadow_opacity_, 204);
  }
  if (!px.IsLoading()) return;
  // What the setters would refuse is not taken from a stored state either.
  if (picture_alignment_ < 0 || picture_alignment_ > 3) picture_alignment_ = 3;
  if (group_style_ < 0 || group_style_ > 2) group_style_ = kGroupClean;
  if (border_line_style_ < 0 || border_line_style_ > 9) border_line_style_ = 9;
  if (border_width_ < 0) border_width_ = 2;
  if (border_corner_radius_ < 0) border_corner_radius_ = 25;
  if (header_separator_width_ < 0) header_separator_width_ = 5;
  if (header_height_ < -1) header_height_ = -1;
  if (drop_shadow_direction_ < 0 || drop_shadow_direction_ > 3) drop_shadow_direction_ = 2;
  computed_header_height_ = -1;
}

QWidget* CZtGroupCtrl::MakeWindow(QWidget* parent) {
  static const bool installed = [] {
    QAccessible::installFactory(&AccessibleFactory);
    return true;
  }();
  (void)installed;
  auto* window = new CZtGroupWnd(this, parent);
  window->lower();  // behind the controls it frames
  return window;
}

int CZtGroupCtrl::HeaderHeight() {
  if (header_height_ >= 0) return header_height_;
  const QFont font = ControlFont();
  const HeaderFontKey key{font.bold(),
                          font.pointSizeF(),
                          font.pixelSize(),
                          font.weight(),
                          FontObject() ? FontObject()->charset : 0,
                          font.family()};
  if (key == header_font_ && computed_header_height_ > 0) return computed_header_height_;
  header_font_ = key;
  if (group_style_ == kGroupFancy) {
    const int top_left = LoadArt(QStringLiteral(":/KsGroup/art/%1.png").arg(kTopLeft)).height();
    const int header = LoadArt(QStringLiteral(":/KsGroup/art/%1.png").arg(kHeaderLeft)).height();
    const int bottom = LoadArt(QStringLiteral(":/KsGroup/art/%1.png").arg(kBottomEdge)).height();
    computed_header_height_ = top_left + header - 2 * bottom;
  } else {
    computed_header_height_ =
        AutomaticHeaderHeight(QFontMetrics(font).height(), !Caption().empty(),
                              group_style_ == kGroupClean ? header_separator_width_ : 0);
  }
  return computed_header_height_;
}

void CZtGroupCtrl::Draw(QPainter& painter, const QRect& rect) {
  painter.save();
  if (UseCustom() && group_style_ == kGroupFancy) {
    DrawFancy(painter, rect);
  } else if (UseCustom() && group_style_ == kGroupClean) {
    DrawClean(painter, rect);
  } else {
    DrawStandard(painter, rect);
  }
  painter.restore();
}

void CZtGroupCtrl::DrawStandard(QPainter& painter, const QRect& rect) {
  if (!UserMode()) painter.fillRect(rect, Q(AmbientBackColor()));
  const QFont font = ControlFont();
  const QFontMetrics metrics(font);
  const QString caption = QString::fromStdString(Caption());
  const int caption_width = caption.isEmpty() ? 0 : metrics.horizontalAdvance(caption);
  const int gap = CaptionGapStart(rect.width(), caption_width);
  const bool has_gap = !caption.isEmpty() && gap > 0;
  const int y = rect.top() + metrics.height() / 2;
  const int right = rect.left() + rect.width() - 1;
  const int bottom = rect.top() + rect.height() - 1;

  // Two outlines, dark then light one pixel lower right: the etched look.
  auto outline = [&](int left, int top, int r, int b, COLORREF colour) {
    painter.setPen(Q(colour));
    const int gap_from = rect.left() + gap;
    const int gap_to = rect.left() + gap + caption_width + 4;
    if (has_gap) {
      if (gap_from > left) painter.drawLine(left, top, gap_from - 1, top);
      if (gap_to < r) painter.drawLine(gap_to, top, r, top);
    } else {
      painter.drawLine(left, top, r, top);
    }
    painter.drawLine(left, top, left, b);
    painter.drawLine(left, b, r, b);
    painter.drawLine(r, top, r, b);
  };
  outline(rect.left(), y, right - 1, bottom - 1, SysColour(SysColourIndex::kButtonShadow));
  outline(rect.left() + 1, y + 1, right, bottom, SysColour(SysColourIndex::kButtonHighlight));

  if (!caption.isEmpty()) {
    painter.setFont(font);
    painter.setPen(Q(Enabled() ? SysColour(SysColourIndex::kWindowText)
                               : SysColour(SysColourIndex::kGrayText)));
    const QRect text(rect.left() + gap + 2, rect.top() + 2 - metrics.height() / 4,
                     rect.width() - gap - 2, metrics.height());
    painter.setClipRect(rect);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic,
                     caption);
  }
}

void CZtGroupCtrl::DrawClean(QPainter& painter, const QRect& rect) {
  painter.setRenderHint(QPainter::Antialiasing);
  if (!transparent_) painter.fillRect(rect, Q(colour_background_));
  QRect box = rect.adjusted(1, 1, -1, -1);
  const int diameter = border_corner_radius_;

  if (show_drop_shadow_) {
    const int spread = std::max(shadow_spread_, 0);
    const int direction = drop_shadow_direction_;
    if (direction == 0 || direction == 2) box.setRight(box.right() - spread);
    if (direction == 1 || direction == 3) box.setLeft(box.left() + spread);
    if (direction == 0 || direction == 1) box.setTop(box.top() + spread);
    if (direction == 2 || direction == 3) box.setBottom(box.bottom() - spread);
    const ShadowKey key{
        rect.size(), box, diameter,
        ShadowParams{shadow_blur_, shadow_spread_, shadow_opacity_, colour_drop_shadow_}};
    // Rendering costs time in proportion to the box's area: only when
    // something it depends on changed.
    if (!shadow_key_ || !(*shadow_key_ == key)) {
      const QPainterPath shape = CornerPath(QRectF(box).adjusted(0, 0, 1, 1), diameter);
      shadow_image_ = RenderShadow(rect.size(), key.params, [&](int x, int y) {
        return shape.contains(QPointF(x + 0.5, y + 0.5));
      });
      shadow_key_ = key;
    }
    painter.drawImage(rect.topLeft() + ShadowShift(direction, spread), shadow_image_);
  }

  const int b = border_width_;
  const int inner_diameter = std::max(diameter - b, 0);
  const QRectF outer_f = QRectF(box).adjusted(0, 0, 1, 1);
  const QRectF inner_f = outer_f.adjusted(b, b, -b, -b);
  const COLORREF border = Enabled() ? colour_border_ : kDisabledBorder;
  if (b > 1) {
    painter.fillPath(CornerPath(outer_f, diameter), Q(border));
  }
  const QPainterPath inner = CornerPath(inner_f, inner_diameter);

  // The inside.
  const COLORREF base = Enabled() ? BackColor() : SysColour(SysColourIndex::kGrayText);
  if (colour_inner_lower_ == kNoColour || colour_inner_lower_ == base || !Enabled()) {
    painter.fillPath(inner, Q(base));
  } else {
    QLinearGradient gradient(inner_f.topLeft(), inner_f.bottomLeft());
    gradient.setColorAt(0, Q(base));
    gradient.setColorAt(1, Q(colour_inner_lower_));
    painter.fillPath(inner, gradient);
  }

  if (b == 1) {
    const Qt::PenStyle style = BorderPenStyle(border_line_style_);
    if (style != Qt::NoPen) {
      QPen pen(Q(border));
      pen.setWidth(1);
      pen.setStyle(style);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(CornerPath(outer_f.adjusted(0.5, 0.5, -0.5, -0.5), diameter));
    }
  }

  const QString caption = QString::fromStdString(Caption());
  const int header_height = HeaderHeight();
  if (caption.isEmpty() || header_height <= 0) return;
  const QRectF header(inner_f.left(), inner_f.top(), inner_f.width(),
                      std::min<double>(header_height, inner_f.height()));
  painter.save();
  QPainterPath header_region;
  header_region.addRect(header);
  painter.setClipPath(inner.intersected(header_region));
  const bool gradient = colour_header_lower_ != kNoColour &&
                        colour_header_lower_ != colour_header_upper_ && Enabled();
  if (gradient) {
    QLinearGradient fill(header.topLeft(), header.bottomLeft());
    fill.setColorAt(0, Q(colour_header_upper_));
    fill.setColorAt(1, Q(colour_header_lower_));
    painter.fillRect(header, fill);
  } else {
    painter.fillRect(header, Q(Enabled() ? colour_header_upper_ : kDisabledBorder));
  }
  QRectF caption_area = header;
  const int w = header_separator_width_;
  const COLORREF lower =
      colour_header_lower_ == kNoColour ? colour_header_upper_ : colour_header_lower_;
  if (w > 0 && Enabled() && lower != colour_header_separator_) {
    const double y = header.bottom() - w / 2.0;
    painter.fillRect(QRectF(header.left() - w, y - w / 2.0, header.width() + 2 * w, w),
                     Q(colour_header_separator_));
    caption_area.setBottom(header.bottom() - w);
  }
  painter.restore();
  DrawHeaderCaption(painter, caption_area.toAlignedRect());
}

void CZtGroupCtrl::DrawHeaderCaption(QPainter& painter, const QRect& header) {
  const QString caption = QString::fromStdString(Caption());
  if (caption.isEmpty()) return;
  painter.save();
  painter.setFont(ControlFont());
  const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  if (show_text_shadow_ == 1 || (show_text_shadow_ == 2 && ForeColor() != colour_text_shadow_)) {
    painter.setPen(Q(colour_text_shadow_));
    painter.drawText(header.translated(1, 1), flags, caption);
  }
  painter.setPen(Q(Enabled() ? ForeColor() : kDisabledCaption));
  painter.drawText(header, flags, caption);
  painter.restore();
}

void CZtGroupCtrl::BuildPieces() {
  pieces_.clear();
  for (int id : kPieces) {
    const QImage art = LoadArt(QStringLiteral(":/KsGroup/art/%1.png").arg(id));
    if (art.isNull()) continue;
    std::array<QImage, 2> tinted{TintImage(art, colour_border_), TintImage(art, kDisabledTint)};
    for (QImage& piece : tinted) {
      if (id == kTopLeft || id == kHeaderLeft) {
        piece = WithTransparentColour(piece, piece.pixel(0, 0));
      } else if (id == kHeaderRight) {
        piece = WithTransparentColour(piece, piece.pixel(piece.width() - 1, 0));
      }
    }
    pieces_[id] = std::move(tinted);
  }
  pieces_built_ = true;
}

void CZtGroupCtrl::DrawFancy(QPainter& painter, const QRect& rect) {
  if (!pieces_built_) BuildPieces();
  painter.fillRect(rect, Q(colour_background_));
  painter.fillRect(rect.adjusted(3, 3, -3, -3),
                   Q(Enabled() ? BackColor() : SysColour(SysColourIndex::kGrayText)));
  const int set = Enabled() ? 0 : 1;
  auto piece = [&](int id) -> const QImage& {
    static const QImage none;
    auto found = pieces_.find(id);
    return found == pieces_.end() ? none : found->second[static_cast<size_t>(set)];
  };
  const QImage& top = piece(kTopEdge);
  const QImage& right = piece(kRightEdge);
  const QImage& bottom = piece(kBottomEdge);
  const QImage& left = piece(kLeftEdge);
  const QImage& top_left = piece(kTopLeft);
  const QImage& top_right = piece(kTopRight);
  const QImage& bottom_left = piece(kBottomLeft);
  const QImage& bottom_right = piece(kBottomRight);
  const int corner_w = top_left.width();
  const int W = rect.width(), H = rect.height();
  const QPoint o = rect.topLeft();

  painter.save();
  painter.setClipRect(rect);
  if (!top.isNull()) {
    for (int x = corner_w; x < W; x += top.width()) painter.drawImage(o + QPoint(x, 0), top);
  }
  if (!right.isNull()) {
    for (int y = 0; y < H; y += right.height()) {
      painter.drawImage(o + QPoint(W - right.width(), y), right);
    }
  }
  if (!bottom.isNull()) {
    for (int x = 0; x < W; x += bottom.width()) {
      painter.drawImage(o + QPoint(x, H - bottom.height()), bottom);
    }
  }
  if (!left.isNull()) {
    for (int y = 0; y < H; y += left.height()) painter.drawImage(o + QPoint(0, y), left);
  }
  painter.drawImage(o, top_left);
  painter.drawImage(o + QPoint(W - top_right.width(), 0), top_right);
  painter.drawImage(o + QPoint(0, H - bottom_left.height()), bottom_left);
  painter.drawImage(o + QPoint(W - bottom_right.width(), H - bottom_right.height()), bottom_right);

  if (!Caption().empty()) {
    const QImage& header_left = piece(kHeaderLeft);
    const QImage& header_right = piece(kHeaderRight);
    const int strip = header_left.height();
    // The middle tiles run between the ends, stretched to the ends' height.
    if (!bottom.isNull() && strip > 0) {
      const QImage middle =
          bottom.scaled(bottom.width(), strip, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      for (int x = header_left.width(); x < W - header_right.width(); x += middle.width()) {
        painter.drawImage(o + QPoint(x, 0), middle);
      }
    }
    painter.drawImage(o, header_left);
    painter.drawImage(o + QPoint(W - header_right.width(), 0), header_right);
    painter.restore();
    DrawHeaderCaption(painter, QRect(o, QSize(W, strip)));
    return;
  }
  painter.restore();
}

// --- CZtGroupWnd

CZtGroupWnd::CZtGroupWnd(CZtGroupCtrl* control, QWidget* parent)
    : QWidget(parent), control_(control) {
  setMouseTracking(true);
  // Mouse clicks go to the parent as they would over an empty dialog.
  setFocusPolicy(Qt::NoFocus);
}

void CZtGroupWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  control_->Draw(painter, rect());
}

void CZtGroupWnd::mouseMoveEvent(QMouseEvent* event) {
  if (QWidget* parent = parentWidget()) {
    QMouseEvent moved(QEvent::MouseMove, mapToParent(event->position()), event->globalPosition(),
                      Qt::NoButton, event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(parent, &moved);
  }
  QWidget::mouseMoveEvent(event);
}

}  // namespace quarry::controls
