#include "controls/check/check_control.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>

#include "controls/common/imaging.h"
#include "controls/common/system_colour.h"

namespace quarry::controls {

namespace {

using com::DispatchKind;
using com::HRESULT;
using com::Variant;

// "Value" is the name the property page binds the state by.
constexpr com::MemberName kMembers[] = {
    {check_id::kCheck, "Check", "Value"},
    {check_id::kColorCheckFace, "ColorCheckFace"},
    {check_id::kColorTextShadow, "ColorTextShadow"},
    {check_id::kStyle, "Style"},
    {check_id::kShowTextShadow, "ShowTextShadow"},
    {check_id::kColorCheckOffFace, "ColorCheckOffFace"},
    {check_id::kType, "Type"},
    {check_id::kKeepColorsInSync, "KeepColorsInSync"},
    {check_id::kAutoScale, "AutoScale"},
    {check_id::kTransparent, "Transparent"},
    {check_id::kLocked, "Locked"},
};

constexpr uint32_t kAbove1_0 = 0xFFFF;
constexpr uint32_t kAbove2_0 = 0x1FFFF;
constexpr uint32_t kAbove2_3 = 0x20002;
constexpr int kReplacementFontHeight = 14;

int32_t Clamp(int32_t value, int32_t top) { return std::clamp(value, 0, top); }

}  // namespace

CKsCheckCtrl::CKsCheckCtrl(ControlSettings settings) : CKsControlBase(kCheckModule, settings) {
  ResetState();
}

std::span<const com::MemberName> CKsCheckCtrl::Members() const { return kMembers; }

void CKsCheckCtrl::ResetState() {
  check_ = false;
  colour_check_face_ = SysColour(SysColourIndex::kActiveCaption);
  colour_text_shadow_ = 0;
  style_ = 0;
  show_text_shadow_ = true;
  colour_check_off_face_ = colour_check_face_;
  type_ = 0;
  keep_colors_in_sync_ = true;
  auto_scale_ = false;
  transparent_ = true;
  locked_ = false;
  images_built_ = false;
  split_ = SplitCheckCaption(Caption());
}

QCheckBox* CKsCheckCtrl::Box() const {
  return static_cast<QCheckBox*>(const_cast<CKsCheckCtrl*>(this)->Window());
}

void CKsCheckCtrl::Repaint() {
  SetModifiedFlag();
  InvalidateControl();
}

void CKsCheckCtrl::RebuildImages() {
  images_built_ = false;
  Repaint();
}

void CKsCheckCtrl::SyncWindowState() {
  QCheckBox* box = Box();
  if (box == nullptr || box->isChecked() == check_) return;
  // The window mirrors the state (screen readers read it there); that is
  // no click, so nothing is emitted.
  const bool blocked = box->blockSignals(true);
  box->setChecked(check_);
  box->blockSignals(blocked);
}

bool CKsCheckCtrl::CurrentCheck() {
  if (!UseCustom() && Box() != nullptr) check_ = Box()->isChecked();
  return check_;
}

std::string CKsCheckCtrl::AccessibleText() const {
  std::string name = WithoutMnemonics(ExpandEscapes(split_.caption));
  std::replace(name.begin(), name.end(), '\n', ' ');
  std::replace(name.begin(), name.end(), '\t', ' ');
  return name;
}

void CKsCheckCtrl::OnStockPropertyChanged(com::DISPID id) {
  if (id == com::DISPID_CAPTION) {
    split_ = SplitCheckCaption(Caption());
    if (QCheckBox* box = Box()) {
      const QString tip = QString::fromStdString(split_.tool_tip);
      box->setToolTip(tip);
      box->setAccessibleDescription(tip);
      box->setText(QString::fromStdString(ExpandEscapes(split_.caption)));
      SyncWindowState();
    }
    ApplyStockToWindow();
  }
  if (id == com::DISPID_FONT) images_built_ = false;
  InvalidateControl();
}

HRESULT CKsCheckCtrl::InvokeMember(com::DISPID id, DispatchKind kind, std::span<const Variant> args,
                                   Variant* result) {
  const bool get = kind == DispatchKind::kPropertyGet;
  const bool put = kind == DispatchKind::kPropertyPut;
  if (!get && !put) return com::DISP_E_MEMBERNOTFOUND;

  auto flag = [&](bool* member, bool rebuild) -> HRESULT {
    if (get) return Return(result, Variant::Bool(*member));
    bool value = false;
    if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
    if (!Change(member, value)) return com::S_OK;
    rebuild ? RebuildImages() : Repaint();
    return com::S_OK;
  };
  auto clamped = [&](int32_t* member, int32_t top, bool rebuild) -> HRESULT {
    if (get) return Return(result, Variant::Int(*member));
    int32_t value = 0;
    if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
    if (!Change(member, Clamp(value, top))) return com::S_OK;
    rebuild ? RebuildImages() : Repaint();
    return com::S_OK;
  };

  switch (id) {
    case check_id::kCheck: {
      if (get) return Return(result, Variant::Bool(CurrentCheck()));
      bool value = false;
      if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
      if (locked_ || !Change(&check_, value)) return com::S_OK;
      SetModifiedFlag();
      SyncWindowState();
      InvalidateControl();
      return com::S_OK;
    }
    case check_id::kColorCheckFace: {
      if (get) return Return(result, Variant::Colour(colour_check_face_));
      uint32_t value = 0;
      if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
      if (!Change(&colour_check_face_, value)) return com::S_OK;
      if (keep_colors_in_sync_) colour_check_off_face_ = value;
      RebuildImages();
      return com::S_OK;
    }
    case check_id::kColorCheckOffFace: {
      if (get) return Return(result, Variant::Colour(colour_check_off_face_));
      uint32_t value = 0;
      if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
      if (!Change(&colour_check_off_face_, value)) return com::S_OK;
      keep_colors_in_sync_ = value == colour_check_face_;
      RebuildImages();
      return com::S_OK;
    }
    case check_id::kColorTextShadow: {
      if (get) return Return(result, Variant::Colour(colour_text_shadow_));
      uint32_t value = 0;
      if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
      if (Change(&colour_text_shadow_, value)) Repaint();
      return com::S_OK;
    }
    case check_id::kStyle:
      return clamped(&style_, 1, false);
    case check_id::kType:
      return clamped(&type_, 2, true);
    case check_id::kShowTextShadow:
      return flag(&show_text_shadow_, false);
    case check_id::kKeepColorsInSync:
      return flag(&keep_colors_in_sync_, true);
    case check_id::kAutoScale:
      return flag(&auto_scale_, true);
    case check_id::kTransparent:
      return flag(&transparent_, false);
    case check_id::kLocked: {
      if (get) return Return(result, Variant::Bool(locked_));
      bool value = false;
      if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
      locked_ = value;
      return com::S_OK;
    }
  }
  return com::DISP_E_MEMBERNOTFOUND;
}

void CKsCheckCtrl::ExchangeProperties(com::PropExchange& px) {
  const uint32_t v = px.Version();
  const COLORREF caption_colour = SysColour(SysColourIndex::kActiveCaption);
  if (v > kAbove1_0) {
    px.Bool("Check", &check_, false);
    px.UInt("Color Check Face", &colour_check_face_, caption_colour);
    px.UInt("Color Text Shadow", &colour_text_shadow_, 0);
    px.Int("Style", &style_, 0);
    px.Bool("Show Shadow", &show_text_shadow_, true);
  }
  if (v > kAbove2_0) {
    px.UInt("Color Check Off Face", &colour_check_off_face_, colour_check_face_);
    px.Int("Type", &type_, 0);
    px.Bool("Keep Colors In Sync", &keep_colors_in_sync_, true);
    px.Bool("Auto Scale", &auto_scale_, false);
  }
  if (v > kAbove2_3) px.Bool("Transparent", &transparent_, true);
  if (px.IsLoading()) {
    // States from before 2.0 had no off colour: with the colours in sync
    // it is the face colour.
    if (v <= kAbove2_0 && keep_colors_in_sync_) colour_check_off_face_ = colour_check_face_;
    style_ = Clamp(style_, 1);
    type_ = Clamp(type_, 2);
    images_built_ = false;
    SyncWindowState();
  }
}

QWidget* CKsCheckCtrl::MakeWindow(QWidget* parent) {
  auto* window = new CKsCheckWnd(this, parent);
  return window;
}

void CKsCheckCtrl::OnClicked() {
  if (locked_) return;
  QCheckBox* box = Box();
  if (!UseCustom()) {
    if (box != nullptr) check_ = box->isChecked();
  } else {
    check_ = !check_;
    SyncWindowState();
    InvalidateControl();
  }
  SetModifiedFlag();
  FireEvent(com::DISPID_CLICK);
}

QFont CKsCheckCtrl::DrawingFont() const {
  QFont font = ControlFont();
  const int height = QFontMetrics(font).height();
  if ((height >= 1 && height <= 4) || height > 50) font.setPixelSize(kReplacementFontHeight);
  return font;
}

int CKsCheckCtrl::IndicatorSide(const QRect& rect, const QFont& font) const {
  const int test = QFontMetrics(font).boundingRect(QStringLiteral("Test")).height();
  if (type_ == kCheckSquare) return std::max(std::min(test, rect.width()), 12);
  if (auto_scale_) return std::max(1, std::min(test, rect.height()));
  return 12;
}

void CKsCheckCtrl::EnsureImages(const QRect& rect) {
  if (images_built_ && images_rect_ == rect) return;
  CheckImageDesign design;
  design.type = type_;
  design.on_colour = colour_check_face_;
  design.off_colour = colour_check_off_face_;
  design.keep_in_sync = keep_colors_in_sync_;
  design.auto_scale = auto_scale_;
  design.side = IndicatorSide(rect, DrawingFont());
  design.transparent = transparent_;
  images_ = BuildCheckImages(design);
  images_rect_ = rect;
  images_built_ = true;
  text_offset_ = !auto_scale_;
}

CKsCheckCtrl::Layout CKsCheckCtrl::LayoutFor(const QRect& rect, const QFont& font) const {
  Layout layout;
  const int side = IndicatorSide(rect, font);
  const int top = rect.top() + (rect.height() - side) / 2;
  layout.text = rect.adjusted(0, 1, 0, 0);
  bool has_tab = false;
  ExpandEscapes(split_.caption, &has_tab);
  layout.text_flags = Qt::TextWordWrap | (has_tab ? Qt::TextExpandTabs : 0);
  if (style_ == 1) {
    layout.indicator = QRect(rect.right() - side + 1, top, side, side);
    layout.text.setRight(rect.right() - (side + 5));
    layout.text_flags |= Qt::AlignRight | Qt::AlignTop;
  } else {
    layout.indicator = QRect(rect.left(), top, side, side);
    layout.text.setLeft(rect.left() + side + 3);
    layout.text_flags |= Qt::AlignLeft | Qt::AlignTop;
  }
  if (auto_scale_) layout.text.translate(0, 2);
  return layout;
}

void CKsCheckCtrl::Draw(QPainter& painter, const QRect& rect, bool has_focus) {
  EnsureImages(rect);
  const QFont font = DrawingFont();
  if (!transparent_) painter.fillRect(rect, QColor(ToRgb(BackColor())));

  const bool enabled = Enabled();
  const bool checked = check_;
  const Layout layout = LayoutFor(rect, font);

  // The indicator.
  if (type_ == kCheckSquare) {
    QStyleOptionButton option;
    option.initFrom(Window());
    option.rect = layout.indicator;
    option.state = (checked ? QStyle::State_On : QStyle::State_Off) |
                   (enabled ? QStyle::State_Enabled : QStyle::State_None);
    Window()->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, Window());
  } else {
    const CheckImage slot = enabled ? (checked ? kCheckedEnabled : kUncheckedEnabled)
                                    : (checked ? kCheckedDisabled : kUncheckedDisabled);
    const QImage& image = images_[slot];
    if (!image.isNull()) {
      const QPoint at(layout.indicator.left(), rect.top() + (rect.height() - image.height()) / 2);
      painter.drawImage(style_ == 1 ? QPoint(rect.right() - image.width() + 1, at.y()) : at, image);
    }
  }

  const COLORREF text_colour = enabled ? ForeColor() : SysColour(SysColourIndex::kGrayText);
  const QString text = QString::fromStdString(ExpandEscapes(split_.caption));
  painter.save();
  painter.setFont(font);

  if (has_focus && UserMode()) {
    const COLORREF focus =
        checked || keep_colors_in_sync_ ? colour_check_face_ : colour_check_off_face_;
    QPen pen{QColor(ToRgb(focus))};
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.drawRect(QRect(QPoint(layout.text.left() - 2, layout.text.top() - 1),
                           QPoint(layout.text.right() - 3, layout.text.bottom() - 3)));
  }
  if ((show_text_shadow_ && text_colour != colour_text_shadow_) || !enabled) {
    painter.setPen(QColor(ToRgb(enabled ? colour_text_shadow_ : kWhite)));
    painter.drawText(layout.text.translated(1, 1), layout.text_flags | Qt::TextShowMnemonic, text);
  }
  painter.setPen(QColor(ToRgb(text_colour)));
  painter.drawText(layout.text, layout.text_flags | Qt::TextShowMnemonic, text);
  painter.restore();
}

// --- CKsCheckWnd

CKsCheckWnd::CKsCheckWnd(CKsCheckCtrl* control, QWidget* parent)
    : QCheckBox(parent), control_(control) {
  connect(this, &QAbstractButton::clicked, this, [this] { control_->OnClicked(); });
}

void CKsCheckWnd::paintEvent(QPaintEvent* event) {
  if (!control_->UseCustom()) {
    QCheckBox::paintEvent(event);
    return;
  }
  QPainter painter(this);
  control_->Draw(painter, rect(), hasFocus());
}

void CKsCheckWnd::nextCheckState() {
  // The custom look keeps the state in the control, which turns it over
  // on the click; the standard look toggles the window unless locked.
  if (control_->UseCustom() || control_->IsLocked()) return;
  QCheckBox::nextCheckState();
}

bool CKsCheckWnd::hitButton(const QPoint& pos) const {
  if (control_->UseCustom()) return rect().contains(pos);
  return QCheckBox::hitButton(pos);
}

void CKsCheckWnd::focusInEvent(QFocusEvent* event) {
  QCheckBox::focusInEvent(event);
  update();
}

void CKsCheckWnd::focusOutEvent(QFocusEvent* event) {
  QCheckBox::focusOutEvent(event);
  update();
}

}  // namespace quarry::controls
