#include "controls/button/button_control.h"

#include <QApplication>
#include <QKeyEvent>
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
    {button_id::kColorBtnFace, "Color Button Face", "ColorBtnFace"},
    {button_id::kColorTextHighlight, "Color Text Highlight", "ColorTextHighlight"},
    {button_id::kColorTextShadow, "Color Text Shadow", "ColorTextShadow"},
    {button_id::kAlignment, "Alignment"},
    {button_id::kShowTextHighlight, "Show Text Highlight", "ShowTextHighlight"},
    {button_id::kShowTextShadow, "Show Text Shadow", "ShowTextShadow"},
    {button_id::kPicture, "Picture"},
    {button_id::kPictureAlignment, "Picture Alignment", "PictureAlignment"},
    {button_id::kShowWindow, "ShowWindow"},
    {button_id::kDefaultButton, "DefaultButton"},
    {button_id::kStyle, "Style"},
    {button_id::kButtonSides, "ButtonSides"},
    {button_id::kTransparent, "Transparent"},
};

constexpr COLORREF kDisabledText = 0x7F7F7F;
constexpr int kDefaultTextLightening = 51;

// Version gates of the stored state.
constexpr uint32_t kAbove1_0 = 0xFFFF;
constexpr uint32_t kAbove2_0 = 0x1FFFF;
constexpr uint32_t kAbove3_0 = 0x2FFFF;
constexpr uint32_t kAbove3_2 = 0x30001;
constexpr uint32_t kAbove3_4 = 0x30003;
constexpr uint32_t kVersion3_4 = 0x30004;

int32_t Clamp(int32_t value, int32_t top) { return std::clamp(value, 0, top); }

// The smallest width at a given height and alignment.
int MinimumWidth(int height, int alignment) {
  if (alignment == 3) return 4;
  const bool both = alignment == 0;
  if (height == 17) return both ? 37 : 22;
  if (height == 23) return both ? 49 : 28;
  return 0;
}

}  // namespace

CKsButtonCtrl::CKsButtonCtrl(ControlSettings settings) : CKsControlBase(kButtonModule, settings) {
  ResetState();
}

std::span<const com::MemberName> CKsButtonCtrl::Members() const { return kMembers; }

void CKsButtonCtrl::ResetState() {
  colour_btn_face_ = SysColour(SysColourIndex::kActiveCaption);
  colour_text_highlight_ = 0x28FEFC;
  colour_text_shadow_ = 0;
  alignment_ = 0;
  show_text_highlight_ = false;
  show_text_shadow_ = true;
  picture_.clear();
  picture_image_ = QImage();
  picture_alignment_ = 3;
  default_button_ = false;
  style_ = 0;
  button_sides_ = 0;
  transparent_ = true;
  DiscardFaces();
  Resplit();
}

void CKsButtonCtrl::Refresh() {
  SetModifiedFlag();
  InvalidateControl();
}

void CKsButtonCtrl::DiscardFaces() {
  std::lock_guard<std::mutex> lock(faces_mu_);
  faces_.reset();
}

void CKsButtonCtrl::Resplit() {
  split_ = SplitButtonCaption(Caption());
  if (QWidget* window = Window()) {
    const QString tip = QString::fromStdString(split_.tool_tip);
    window->setToolTip(tip);
    window->setAccessibleDescription(tip);
    // The caption as the button's text keeps its size hint and its
    // mnemonic working in the standard look.
    static_cast<QPushButton*>(window)->setText(QString::fromStdString(split_.caption));
  }
}

std::string CKsButtonCtrl::AccessibleText() const {
  std::string name = WithoutMnemonics(split_.caption);
  std::replace(name.begin(), name.end(), '\n', ' ');
  return name;
}

void CKsButtonCtrl::OnStockPropertyChanged(com::DISPID id) {
  if (id == com::DISPID_CAPTION) {
    Resplit();
    ApplyStockToWindow();
  }
  // The faces are built on the background colour, and the picture's place
  // depends on the caption's width.
  if (id == com::DISPID_BACKCOLOR || id == com::DISPID_CAPTION || id == com::DISPID_FONT) {
    DiscardFaces();
  }
  InvalidateControl();
}

HRESULT CKsButtonCtrl::InvokeMember(com::DISPID id, DispatchKind kind,
                                    std::span<const Variant> args, Variant* result) {
  const bool get = kind == DispatchKind::kPropertyGet;
  const bool put = kind == DispatchKind::kPropertyPut;

  // Colour and boolean properties share their rules: store when changed,
  // drop the faces where the face depends on them, repaint.
  auto colour = [&](COLORREF* member, bool faces) -> HRESULT {
    if (get) return Return(result, Variant::Colour(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    uint32_t value = 0;
    if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
    if (!Change(member, value)) return com::S_OK;
    if (faces) DiscardFaces();
    Refresh();
    return com::S_OK;
  };
  auto flag = [&](bool* member, bool faces) -> HRESULT {
    if (get) return Return(result, Variant::Bool(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    bool value = false;
    if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
    if (!Change(member, value)) return com::S_OK;
    if (faces) DiscardFaces();
    Refresh();
    return com::S_OK;
  };
  auto clamped = [&](int32_t* member, int32_t top, bool faces) -> HRESULT {
    if (get) return Return(result, Variant::Int(*member));
    if (!put) return com::DISP_E_MEMBERNOTFOUND;
    int32_t value = 0;
    if (HRESULT hr = PutArgInt(args, &value); com::Failed(hr)) return hr;
    if (!Change(member, Clamp(value, top))) return com::S_OK;
    if (faces) DiscardFaces();
    Refresh();
    return com::S_OK;
  };

  switch (id) {
    case button_id::kColorBtnFace:
      return colour(&colour_btn_face_, true);
    case button_id::kColorTextHighlight:
      return colour(&colour_text_highlight_, false);
    case button_id::kColorTextShadow:
      return colour(&colour_text_shadow_, false);
    case button_id::kAlignment:
      return clamped(&alignment_, 3, true);
    case button_id::kShowTextHighlight:
      return flag(&show_text_highlight_, false);
    case button_id::kShowTextShadow:
      return flag(&show_text_shadow_, false);
    case button_id::kPictureAlignment:
      return clamped(&picture_alignment_, 4, true);
    case button_id::kDefaultButton:
      return flag(&default_button_, true);
    case button_id::kStyle:
      return clamped(&style_, 4, true);
    case button_id::kButtonSides:
      return clamped(&button_sides_, 1, true);
    case button_id::kPicture: {
      if (get) return Return(result, Variant::Bytes(picture_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      std::vector<uint8_t> bytes;
      if (HRESULT hr = PutArgBytes(args, &bytes); com::Failed(hr)) return hr;
      QImage image;
      if (!bytes.empty() && !image.loadFromData(bytes.data(), static_cast<int>(bytes.size()))) {
        return com::E_INVALIDARG;  // not a picture: the old one stays
      }
      // Stored even when unchanged, as pictures always were.
      picture_ = std::move(bytes);
      picture_image_ = image;
      DiscardFaces();
      Refresh();
      return com::S_OK;
    }
    case button_id::kTransparent: {
      if (get) return Return(result, Variant::Bool(transparent_));
      if (!put) return com::DISP_E_MEMBERNOTFOUND;
      bool value = false;
      if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
      // Marks the control modified whether or not the value changed.
      SetModifiedFlag();
      if (Change(&transparent_, value)) {
        DiscardFaces();
        Refresh();
      }
      return com::S_OK;
    }
    case button_id::kShowWindow: {
      if (kind != DispatchKind::kMethod) return com::DISP_E_MEMBERNOTFOUND;
      int32_t command = 0;
      if (HRESULT hr = PutArgInt(args, &command); com::Failed(hr)) return hr;
      return Return(result, Variant::Bool(ShowWindowCommand(command)));
    }
  }
  return com::DISP_E_MEMBERNOTFOUND;
}

bool CKsButtonCtrl::ShowWindowCommand(int command) {
  last_show_ = command;
  QWidget* window = Window();
  if (window == nullptr) return false;
  if (command == kShowCommandShow) window->repaint();
  const bool was_visible = window->isVisible();
  window->setVisible(command != 0);  // 0 is SW_HIDE; every other command shows
  return was_visible;
}

void CKsButtonCtrl::ExchangeProperties(com::PropExchange& px) {
  const uint32_t v = px.Version();
  const bool loading = px.IsLoading();
  if (v > kAbove1_0) {
    px.Bytes("Picture", &picture_);
    px.UInt("Color Text Highlight", &colour_text_highlight_, 0x28FEFC);
    px.UInt("Color Button Face", &colour_btn_face_, SysColour(SysColourIndex::kActiveCaption));
    px.UInt("Color Text Shadow", &colour_text_shadow_, 0);
    // Before 3.4, "Style" named what is now the alignment.
    if (loading && v < kVersion3_4) px.Int("Style", &alignment_, 0);
    px.Bool("Show Text Highlight", &show_text_highlight_, false);
    px.Bool("Show Shadow", &show_text_shadow_, true);
    px.Int("Picture Alignment", &picture_alignment_, 3);
  }
  if (v > kAbove2_0) px.Bool("Default Button", &default_button_, false);
  if (v > kAbove3_0) {
    if (loading && v < kVersion3_4) px.Int("ButtonType", &style_, 0);
    px.Int("ButtonSides", &button_sides_, 0);
  }
  if (v > kAbove3_2) px.Bool("Transparent", &transparent_, true);
  if (v > kAbove3_4) {
    const bool alignment = px.Int("Alignment", &alignment_, 0);
    const bool style = px.Int("Style", &style_, 0);
    if (!alignment && !style) alignment_ = style_ = 0;
  }
  if (loading) {
    alignment_ = Clamp(alignment_, 3);
    style_ = Clamp(style_, 4);
    button_sides_ = Clamp(button_sides_, 1);
    picture_alignment_ = Clamp(picture_alignment_, 4);
    picture_image_ = QImage();
    if (!picture_.empty() &&
        !picture_image_.loadFromData(picture_.data(), static_cast<int>(picture_.size()))) {
      picture_.clear();  // a damaged picture is dropped, not kept half-read
    }
    DiscardFaces();
    Resplit();
  }
}

HRESULT CKsButtonCtrl::AdjustExtent(int* width, int* height) {
  if (width == nullptr || height == nullptr) return com::E_POINTER;
  *height = std::max(*height, 17);
  *width = std::max(*width, MinimumWidth(*height, alignment_));
  return com::S_OK;
}

QWidget* CKsButtonCtrl::MakeWindow(QWidget* parent) {
  auto* window = new CKsButtonWnd(this, parent);
  return window;
}

CKsButtonWnd* CKsButtonCtrl::ButtonWindow() const {
  return static_cast<CKsButtonWnd*>(const_cast<CKsButtonCtrl*>(this)->Window());
}

bool CKsButtonCtrl::EnsureFaces(QSize size) {
  std::lock_guard<std::mutex> lock(faces_mu_);
  if (faces_ && built_size_ == size) return true;
  faces_.reset();
  if (size.isEmpty()) return false;
  FaceDesign design;
  design.size = size;
  design.face_colour = colour_btn_face_;
  design.default_button = default_button_;
  design.alignment = alignment_;
  design.sides = button_sides_;
  design.background = transparent_ ? kWhite : (UseCustom() ? BackColor() : AmbientBackColor());
  design.picture = picture_image_;
  design.picture_alignment = picture_alignment_;
  if (!split_.caption.empty()) {
    const QFontMetrics metrics(ControlFont());
    design.caption_width = metrics.horizontalAdvance(QString::fromStdString(split_.caption));
  }
  const StripIds ids = StripsFor(style_, button_sides_);
  faces_ =
      BuildFaces(design, LoadArt(StripResource(ids.normal)), LoadArt(StripResource(ids.pressed)));
  if (!faces_) return false;
  // White is the transparent colour of a transparent button's faces.
  if (transparent_) {
    for (QImage& face : faces_->faces) face = WithTransparentColour(face, qRgb(255, 255, 255));
  }
  built_size_ = size;
  return true;
}

int CKsButtonCtrl::FaceFor(int action, int state) const {
  if (!Enabled()) return kFaceDisabled;
  const int drawing = hover_ && (state & kStateSelected) == 0 ? 8 : action;
  switch (drawing) {
    case kDrawSelect:
      return pressed_ ? kFacePressed : kFaceNormal;
    case kDrawFocus:
      return pressed_ ? kFacePressed : kFaceFocus;
    case 8:
      return kFaceHover;
    default:
      return pressed_ ? kFacePressed : kFaceNormal;
  }
}

bool CKsButtonCtrl::HighlightRequested(int action, int state, bool has_focus) const {
  const int request =
      (action & kDrawFocus) | (state & kStateSelected) | (UserMode() && has_focus ? 1 : 0);
  return request == 1;
}

COLORREF CKsButtonCtrl::CaptionColour(bool highlight) const {
  if (!Enabled()) return kDisabledText;
  if (highlight) return colour_text_highlight_;
  if (default_button_) return Lighten(colour_text_highlight_, kDefaultTextLightening);
  return show_text_highlight_ ? colour_text_highlight_ : ForeColor();
}

bool CKsButtonCtrl::CaptionHasShadow(COLORREF text_colour) const {
  return (show_text_shadow_ && text_colour != colour_text_shadow_) || (UseCustom() && !Enabled());
}

void CKsButtonCtrl::Paint(QPainter& painter, const QRect& rect, int action, int state,
                          bool has_focus) {
  if (last_show_ != kShowCommandShow || !painter.isActive()) return;
  if (!EnsureFaces(rect.size())) return;
  std::lock_guard<std::mutex> lock(faces_mu_);
  if (painting_ || !faces_) return;
  painting_ = true;
  painter.drawImage(rect.topLeft(), faces_->faces[FaceFor(action, state)]);
  DrawCaption(painter, rect, HighlightRequested(action, state, has_focus));
  painting_ = false;
}

void CKsButtonCtrl::DrawCaption(QPainter& painter, const QRect& rect, bool highlight) {
  if (split_.caption.empty()) return;
  const COLORREF colour = CaptionColour(highlight);
  const bool shadow = CaptionHasShadow(colour);
  const COLORREF shadow_colour = Enabled() ? colour_text_shadow_ : kWhite;

  QRect text = rect;
  int horizontal = Qt::AlignHCenter;
  if (faces_->picture_rect) {
    const QRect& picture = *faces_->picture_rect;
    if (picture_alignment_ == 2 || picture_alignment_ == 4) {
      text.setRight(picture.left() - 4);
      horizontal = Qt::AlignRight;
    } else {
      text.setLeft(picture.right() + 2);
      horizontal = Qt::AlignLeft;
    }
  }
  if (pressed_) text.translate(1, 1);

  painter.save();
  painter.setFont(ControlFont());
  const QString caption = QString::fromStdString(split_.caption);
  int flags = horizontal;
  if (caption.contains(QLatin1Char('\n'))) {
    // Several lines: measured, then the block centred vertically.
    const QRect block = painter.boundingRect(text, flags, caption);
    text.setTop(rect.top() + (rect.height() - block.height()) / 2 + (pressed_ ? 1 : 0));
    flags |= Qt::AlignTop;
  } else {
    flags |= Qt::AlignVCenter | Qt::TextSingleLine;
  }
  if (shadow) {
    painter.setPen(ToRgb(shadow_colour));
    painter.drawText(text.translated(1, 1), flags, caption);
  }
  painter.setPen(ToRgb(colour));
  painter.drawText(text, flags, caption);
  painter.restore();
}

void CKsButtonCtrl::OnButtonDown(bool inside) {
  if (!inside) return;
  pressed_ = true;
  InvalidateControl();
}

bool CKsButtonCtrl::OnButtonUp(bool inside, bool right) {
  pressed_ = false;
  InvalidateControl();
  if (!inside) return false;
  hover_ = true;
  if (right) FireEvent(button_id::kRightClickEvent);
  return true;
}

void CKsButtonCtrl::OnMouseMove(bool inside) {
  if (!inside) {
    if (hover_ || pressed_) {
      hover_ = pressed_ = false;
      InvalidateControl();
    }
  } else if (!hover_) {
    hover_ = true;
    InvalidateControl();
  }
}

void CKsButtonCtrl::OnMouseLeave() {
  if (hover_ && !pressed_) {
    hover_ = false;
    InvalidateControl();
  }
}

// --- CKsButtonWnd

CKsButtonWnd::CKsButtonWnd(CKsButtonCtrl* control, QWidget* parent)
    : QPushButton(parent), control_(control) {
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover);
  // A click, from the mouse, the keyboard, a screen reader or a program,
  // is the control's Click event.
  connect(this, &QAbstractButton::clicked, this,
          [this] { control_->FireEvent(com::DISPID_CLICK); });
}

void CKsButtonWnd::PaintNow(int action, int state) {
  pending_ = std::make_pair(action, state);
  repaint();
  pending_.reset();
}

void CKsButtonWnd::paintEvent(QPaintEvent* event) {
  if (!control_->UseCustom()) {
    QPushButton::paintEvent(event);
    return;
  }
  QPainter painter(this);
  int action = kDrawEntire;
  int state = (control_->Pressed() ? kStateSelected : 0) | (hasFocus() ? kStateFocus : 0);
  if (pending_) std::tie(action, state) = *pending_;
  control_->Paint(painter, rect(), action, state, hasFocus());
}

void CKsButtonWnd::mousePressEvent(QMouseEvent* event) {
  if (!control_->UseCustom()) {
    QPushButton::mousePressEvent(event);
    return;
  }
  if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
  if (event->button() == Qt::LeftButton && focusPolicy() != Qt::NoFocus)
    setFocus(Qt::MouseFocusReason);
  control_->OnButtonDown(rect().contains(event->position().toPoint()));
}

void CKsButtonWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (!control_->UseCustom()) {
    if (event->button() == Qt::RightButton && rect().contains(event->position().toPoint())) {
      control_->FireEvent(button_id::kRightClickEvent);
    }
    QPushButton::mouseReleaseEvent(event);
    return;
  }
  const bool right = event->button() == Qt::RightButton;
  if (event->button() != Qt::LeftButton && !right) return;
  const bool inside = rect().contains(event->position().toPoint());
  // The window may go away in a click handler: keep the control.
  com::ComPtr<com::IControl> keep = com::ComPtr<com::IControl>::Share(control_.get());
  QPointer<CKsButtonWnd> self(this);
  if (control_->OnButtonUp(inside, right) && !right && isEnabled()) emit clicked(false);
  if (self != nullptr) update();
}

void CKsButtonWnd::mouseMoveEvent(QMouseEvent* event) {
  if (control_->UseCustom())
    control_->OnMouseMove(rect().contains(event->position().toPoint()));
  else
    QPushButton::mouseMoveEvent(event);
  // The dialog hears mouse moves over its controls too.
  if (QWidget* parent = parentWidget()) {
    QMouseEvent moved(QEvent::MouseMove, mapToParent(event->position()), event->globalPosition(),
                      Qt::NoButton, event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(parent, &moved);
  }
}

void CKsButtonWnd::leaveEvent(QEvent* event) {
  control_->OnMouseLeave();
  QPushButton::leaveEvent(event);
}

void CKsButtonWnd::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (control_->UseCustom() && enter && !event->isAutoRepeat()) {
    if (control_->Pressed()) return;
    control_->OnButtonDown(true);
    PaintNow(kDrawSelect, kStateSelected);
    QPointer<CKsButtonWnd> self(this);
    com::ComPtr<com::IControl> keep = com::ComPtr<com::IControl>::Share(control_.get());
    emit clicked(false);
    if (self != nullptr) {
      control_->OnMouseMove(true);
      update();
    }
    return;
  }
  QPushButton::keyPressEvent(event);
}

void CKsButtonWnd::keyReleaseEvent(QKeyEvent* event) {
  if (control_->UseCustom() && control_->Pressed() && !event->isAutoRepeat()) {
    control_->OnButtonUp(false, false);
    PaintNow(kDrawFocus, kStateFocus);
    return;
  }
  // Tab moves on when the face is not shown (the host hid the control's
  // look with another show command).
  if (event->key() == Qt::Key_Tab && control_->LastShowCommand() != kShowCommandShow) {
    focusNextChild();
    return;
  }
  QPushButton::keyReleaseEvent(event);
}

void CKsButtonWnd::focusInEvent(QFocusEvent* event) {
  QPushButton::focusInEvent(event);
  update();
}

void CKsButtonWnd::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  update();
}

}  // namespace quarry::controls
