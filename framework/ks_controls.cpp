#include "framework/ks_controls.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <cstdio>
#include <mutex>
#include <set>

#include "controls/common/dispatch_ids.h"
#include "controls/common/module_identity.h"
#include "framework/dialog_template.h"
#include "framework/qt_colour.h"
#include "platform/com_qt.h"
#include "platform/component_loader.h"
#include "platform/settings_store.h"

namespace quarry {

namespace {

using controls::button_id::kShowWindow;
using controls::check_id::kCheck;

constexpr int kShowCommand = 5;  // SW_SHOW
constexpr int kHideCommand = 0;  // SW_HIDE

// The host driving `widget`, when one was made before.
template <typename Host>
Host* ExistingHost(QWidget* widget) {
  return widget->findChild<Host*>(QString(), Qt::FindDirectChildrenOnly);
}

// Says once per module and run that its controls are standing in.
void ReportFallback(const controls::ModuleIdentity& module, const std::string& reason) {
  static std::mutex mu;
  static std::set<std::string_view> reported;
  std::lock_guard<std::mutex> lock(mu);
  if (!reported.insert(module.module_name).second) return;
  std::fprintf(stderr, "Quarry: %.*s controls are not available (%s); using standard ones\n",
               static_cast<int>(module.module_name.size()), module.module_name.data(),
               reason.c_str());
}

std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace

// --- CKsControlHost

CKsControlHost::CKsControlHost(QWidget* widget, int id, com::ComPtr<com::IControl> control)
    : QObject(widget), widget_(widget), id_(id), control_(std::move(control)) {
  if (control_) {
    control_->SetSite(this);
    control_->Advise(this);
    // Made before it had a site, the control took the desktop's colours;
    // now it takes its container's, as a new control sited first would.
    com::Variant colour;
    if (GetAmbient(com::DISPID_AMBIENT_BACKCOLOR, &colour)) {
      com::PutProperty(control_.get(), com::DISPID_BACKCOLOR, colour);
    }
    if (GetAmbient(com::DISPID_AMBIENT_FORECOLOR, &colour)) {
      com::PutProperty(control_.get(), com::DISPID_FORECOLOR, colour);
    }
  }
}

CKsControlHost::~CKsControlHost() {
  if (control_) {
    control_->Advise(nullptr);
    control_->SetSite(nullptr);
  }
}

com::ComPtr<com::IControl> CKsControlHost::CreateModuleControl(
    const controls::ModuleIdentity& module, QWidget* parent, int id, const QRect& pixels,
    const QString& caption) {
  com::ComPtr<com::IControl> control;
  std::string reason;
  const com::HRESULT hr =
      com::CreateInstance(platform::SettingsStore::User(), module.ControlClsid(),
                          com::IID_IControl, control.Receive(), &reason);
  if (com::Failed(hr) || !control) {
    ReportFallback(module, reason.empty() ? std::string(com::ResultText(hr)) : reason);
    return {};
  }
  // The site is not there yet: the new control takes the desktop's
  // colours, and the host pushes its own right after.
  control->InitNew();
  com::Variant font = com::Variant::Font(com::FontDescFromQFont(parent->font()));
  com::PutProperty(control.get(), com::DISPID_FONT, font);
  QRect place = pixels;
  int width = place.width(), height = place.height();
  if (com::Succeeded(control->AdjustExtent(&width, &height))) place.setSize({width, height});
  QWidget* window =
      control->CreateControlWindow(parent, com::ControlWindowParams{id, place, Utf8(caption)});
  if (window == nullptr) {
    ReportFallback(module, "its window could not be made");
    return {};
  }
  return control;
}

void CKsControlHost::Place(QWidget* widget, int id, const QRect& pixels) {
  widget->setObjectName(ControlObjectName(id));
  widget->setProperty(kControlIdProperty, id);
  if (HostOf(widget) == nullptr || !HostOf(widget)->IsModuleControl()) {
    widget->setGeometry(pixels);
  } else {
    HostOf(widget)->MoveWindow(pixels);
  }
}

bool CKsControlHost::SetProperty(com::DISPID id, const com::Variant& value) {
  return control_ && com::Succeeded(com::PutProperty(control_.get(), id, value));
}

std::optional<com::Variant> CKsControlHost::GetProperty(com::DISPID id) const {
  if (!control_) return std::nullopt;
  com::Variant value;
  if (com::Failed(com::GetProperty(control_.get(), id, &value))) return std::nullopt;
  return value;
}

bool CKsControlHost::InvokeMethod(com::DISPID id, std::vector<com::Variant> args,
                                  com::Variant* result) {
  return control_ && com::Succeeded(com::CallMethod(control_.get(), id, args, result));
}

std::string CKsControlHost::PropertyText(com::DISPID id) const {
  std::optional<com::Variant> value = GetProperty(id);
  return value ? value->ToString().value_or(std::string()) : std::string();
}

bool CKsControlHost::GetAmbient(com::DISPID id, com::Variant* value) {
  QWidget* parent = widget_ != nullptr ? widget_->parentWidget() : nullptr;
  switch (id) {
    case com::DISPID_AMBIENT_USERMODE:
      *value = com::Variant::Bool(true);
      return true;
    case com::DISPID_AMBIENT_BACKCOLOR:
      if (parent == nullptr) return false;
      *value = com::Variant::Colour(FromQColor(parent->palette().color(QPalette::Window)));
      return true;
    case com::DISPID_AMBIENT_FORECOLOR:
      if (parent == nullptr) return false;
      *value = com::Variant::Colour(FromQColor(parent->palette().color(QPalette::WindowText)));
      return true;
    case com::DISPID_AMBIENT_FONT:
      if (parent == nullptr) return false;
      *value = com::Variant::Font(com::FontDescFromQFont(parent->font()));
      return true;
    case com::DISPID_AMBIENT_DISPLAYNAME:
      *value = com::Variant::String(Utf8(ControlObjectName(id_)));
      return true;
  }
  return false;
}

void CKsControlHost::PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  OnControlMessage(message, wparam, lparam);
}

void CKsControlHost::OnControlMessage(uint32_t, uintptr_t, intptr_t) {}

void CKsControlHost::OnEvent(com::DISPID event, std::span<const com::Variant>) {
  if (event == com::DISPID_CLICK) emit clicked(id_);
}

bool CKsControlHost::IsEnabled() const {
  if (control_) {
    std::optional<com::Variant> enabled = GetProperty(com::DISPID_ENABLED);
    return enabled && enabled->ToBool().value_or(false);
  }
  return widget_ != nullptr && widget_->isEnabled();
}

void CKsControlHost::SetEnabled(bool enabled) {
  if (control_) {
    SetProperty(com::DISPID_ENABLED, com::Variant::Bool(enabled));
  } else if (widget_ != nullptr) {
    widget_->setEnabled(enabled);
  }
}

void CKsControlHost::SetToolTip(const QString& text) {
  if (widget_ == nullptr) return;
  widget_->setToolTip(text);
  widget_->setAccessibleDescription(text);
}

QString CKsControlHost::GetToolTip() const {
  return widget_ != nullptr ? widget_->toolTip() : QString();
}

void CKsControlHost::MoveWindow(const QRect& pixels) {
  if (widget_ == nullptr) return;
  QRect place = pixels;
  if (control_) {
    int width = place.width(), height = place.height();
    if (com::Succeeded(control_->AdjustExtent(&width, &height))) place.setSize({width, height});
  }
  widget_->setGeometry(place);
}

QRect CKsControlHost::GetGeometry() const {
  return widget_ != nullptr ? widget_->geometry() : QRect();
}

void CKsControlHost::ShowWindow(bool shown) {
  if (widget_ != nullptr) widget_->setVisible(shown);
}

void CKsControlHost::SetBackColour(COLORREF colour) {
  back_colour_ = colour;
  SetProperty(com::DISPID_BACKCOLOR, com::Variant::Colour(colour));
}

void CKsControlHost::SetForeColour(COLORREF colour) {
  fore_colour_ = colour;
  SetProperty(com::DISPID_FORECOLOR, com::Variant::Colour(colour));
}

void CKsControlHost::SetControlFont(const QFont& font) {
  font_ = font;
  if (control_) {
    SetProperty(com::DISPID_FONT, com::Variant::Font(com::FontDescFromQFont(font)));
  } else if (widget_ != nullptr) {
    widget_->setFont(font);
  }
}

COLORREF CKsControlHost::GetBackColour() const {
  std::optional<com::Variant> colour = GetProperty(com::DISPID_BACKCOLOR);
  return colour ? colour->ToUInt().value_or(back_colour_) : back_colour_;
}

COLORREF CKsControlHost::GetForeColour() const {
  std::optional<com::Variant> colour = GetProperty(com::DISPID_FORECOLOR);
  return colour ? colour->ToUInt().value_or(fore_colour_) : fore_colour_;
}

CKsControlHost* HostOf(const QWidget* widget) {
  if (widget == nullptr) return nullptr;
  return widget->findChild<CKsControlHost*>(QString(), Qt::FindDirectChildrenOnly);
}

// --- CKsButtonCtrl

CKsButtonCtrl::CKsButtonCtrl(QPushButton* button, int id, com::ComPtr<com::IControl> control)
    : CKsControlHost(button, id, std::move(control)) {
  // The module's button raises Click (through the sink); the standard one
  // says clicked.
  if (!IsModuleControl()) {
    connect(button, &QPushButton::clicked, this, [this] { emit clicked(ControlId()); });
  }
}

CKsButtonCtrl* CKsButtonCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                     const QString& caption) {
  if (parent == nullptr) return nullptr;
  com::ComPtr<com::IControl> control =
      CreateModuleControl(controls::kButtonModule, parent, id, pixels, caption);
  QPushButton* button = control ? qobject_cast<QPushButton*>(control->Window()) : nullptr;
  if (button == nullptr) {
    control.Reset();
    button = new QPushButton(parent);
  }
  auto* host = new CKsButtonCtrl(button, id, std::move(control));
  Place(button, id, pixels);
  host->SetCaption(caption);
  return host;
}

CKsButtonCtrl* CKsButtonCtrl::Create(QWidget* parent, int id, const QRect& units,
                                     const DialogBaseUnits& base,
                                     const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsButtonCtrl* CKsButtonCtrl::FromTemplate(QWidget* dialog, int id) {
  QWidget* widget = FindControl<QWidget>(dialog, id);
  if (widget == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsButtonCtrl>(widget)) return host;
  if (HostOf(widget) != nullptr) return nullptr;  // another kind's
  auto* button = qobject_cast<QPushButton*>(widget);
  return button != nullptr ? new CKsButtonCtrl(button, id, {}) : nullptr;
}

QPushButton* CKsButtonCtrl::Button() const { return qobject_cast<QPushButton*>(Widget()); }

QString CKsButtonCtrl::GetCaption() const {
  if (IsModuleControl()) return QString::fromStdString(PropertyText(com::DISPID_CAPTION));
  return Button() != nullptr ? Button()->text() : QString();
}

void CKsButtonCtrl::SetCaption(const QString& caption) {
  if (Button() == nullptr) return;
  if (IsModuleControl()) {
    SetProperty(com::DISPID_CAPTION, com::Variant::String(Utf8(caption)));
    return;
  }
  Button()->setText(caption);
  Button()->setAccessibleName(StripMnemonic(caption));
}

void CKsButtonCtrl::ShowWindow(bool shown) {
  if (IsModuleControl()) {
    InvokeMethod(kShowWindow, {com::Variant::Int(shown ? kShowCommand : kHideCommand)});
    return;
  }
  CKsControlHost::ShowWindow(shown);
}

// --- CKsCheckCtrl

CKsCheckCtrl::CKsCheckCtrl(QCheckBox* box, int id, com::ComPtr<com::IControl> control)
    : CKsControlHost(box, id, std::move(control)) {
  if (!IsModuleControl()) {
    connect(box, &QCheckBox::clicked, this, [this] { emit clicked(ControlId()); });
  }
}

CKsCheckCtrl* CKsCheckCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                   const QString& caption) {
  if (parent == nullptr) return nullptr;
  com::ComPtr<com::IControl> control =
      CreateModuleControl(controls::kCheckModule, parent, id, pixels, caption);
  QCheckBox* box = control ? qobject_cast<QCheckBox*>(control->Window()) : nullptr;
  if (box == nullptr) {
    control.Reset();
    box = new QCheckBox(parent);
  }
  auto* host = new CKsCheckCtrl(box, id, std::move(control));
  Place(box, id, pixels);
  host->SetCaption(caption);
  return host;
}

CKsCheckCtrl* CKsCheckCtrl::Create(QWidget* parent, int id, const QRect& units,
                                   const DialogBaseUnits& base,
                                   const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsCheckCtrl* CKsCheckCtrl::FromTemplate(QWidget* dialog, int id) {
  QWidget* widget = FindControl<QWidget>(dialog, id);
  if (widget == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsCheckCtrl>(widget)) return host;
  if (HostOf(widget) != nullptr) return nullptr;
  auto* box = qobject_cast<QCheckBox*>(widget);
  return box != nullptr ? new CKsCheckCtrl(box, id, {}) : nullptr;
}

QCheckBox* CKsCheckCtrl::CheckBox() const { return qobject_cast<QCheckBox*>(Widget()); }

QString CKsCheckCtrl::GetCaption() const {
  if (IsModuleControl()) return QString::fromStdString(PropertyText(com::DISPID_CAPTION));
  return CheckBox() != nullptr ? CheckBox()->text() : QString();
}

void CKsCheckCtrl::SetCaption(const QString& caption) {
  if (CheckBox() == nullptr) return;
  if (IsModuleControl()) {
    SetProperty(com::DISPID_CAPTION, com::Variant::String(Utf8(caption)));
    return;
  }
  CheckBox()->setText(caption);
  CheckBox()->setAccessibleName(StripMnemonic(caption));
}

int CKsCheckCtrl::GetValue() const {
  if (IsModuleControl()) {
    std::optional<com::Variant> value = GetProperty(kCheck);
    return value && value->ToBool().value_or(false) ? 1 : 0;
  }
  return CheckBox() != nullptr && CheckBox()->isChecked() ? 1 : 0;
}

void CKsCheckCtrl::SetValue(int value) {
  if (CheckBox() == nullptr) return;
  if (IsModuleControl()) {
    SetProperty(kCheck, com::Variant::Bool(value != 0));
    return;
  }
  // setChecked never emits clicked, so the program's own changes are not
  // taken for the user's.
  CheckBox()->setChecked(value != 0);
}

// --- CKsStaticCtrl

CKsStaticCtrl::CKsStaticCtrl(QWidget* label, int id, com::ComPtr<com::IControl> control)
    : CKsControlHost(label, id, std::move(control)) {
  if (!IsModuleControl()) label->installEventFilter(this);
}

CKsStaticCtrl* CKsStaticCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                     const QString& caption) {
  if (parent == nullptr) return nullptr;
  com::ComPtr<com::IControl> control =
      CreateModuleControl(controls::kStaticModule, parent, id, pixels, caption);
  QWidget* widget = control ? control->Window() : nullptr;
  if (widget == nullptr) {
    control.Reset();
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    widget = label;
  } else {
    // Dialog labels sit beside the controls they name: centred vertically.
    com::PutProperty(control.get(), controls::static_id::kTextAlignment, com::Variant::Int(4));
  }
  auto* host = new CKsStaticCtrl(widget, id, std::move(control));
  Place(widget, id, pixels);
  host->SetCaption(caption);
  return host;
}

CKsStaticCtrl* CKsStaticCtrl::Create(QWidget* parent, int id, const QRect& units,
                                     const DialogBaseUnits& base,
                                     const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsStaticCtrl* CKsStaticCtrl::FromTemplate(QWidget* dialog, int id) {
  QWidget* widget = FindControl<QWidget>(dialog, id);
  if (widget == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsStaticCtrl>(widget)) return host;
  if (HostOf(widget) != nullptr) return nullptr;
  auto* label = qobject_cast<QLabel*>(widget);
  return label != nullptr ? new CKsStaticCtrl(label, id, {}) : nullptr;
}

QLabel* CKsStaticCtrl::Label() const { return qobject_cast<QLabel*>(Widget()); }

QString CKsStaticCtrl::GetCaption() const {
  if (IsModuleControl()) return QString::fromStdString(PropertyText(com::DISPID_CAPTION));
  return Label() != nullptr ? Label()->text() : QString();
}

void CKsStaticCtrl::SetCaption(const QString& caption) {
  if (IsModuleControl()) {
    SetProperty(com::DISPID_CAPTION, com::Variant::String(Utf8(caption)));
    if (Widget() != nullptr) Widget()->setAccessibleName(StripMnemonic(caption));
    return;
  }
  if (Label() == nullptr) return;
  // Plain text: a caption never turns into markup the label would follow.
  Label()->setTextFormat(Qt::PlainText);
  Label()->setText(caption);
  Label()->setAccessibleName(caption);
}

void CKsStaticCtrl::SetLink(const QString& address) {
  link_ = address;
  if (IsModuleControl()) {
    SetProperty(controls::static_id::kWebAddress, com::Variant::String(Utf8(address)));
    SetProperty(controls::static_id::kWebLink, com::Variant::Bool(IsLink()));
    return;
  }
  QLabel* label = Label();
  if (label == nullptr) return;
  QFont font = label->font();
  font.setUnderline(IsLink());
  label->setFont(font);
  if (IsLink()) {
    label->setCursor(Qt::PointingHandCursor);
    label->setFocusPolicy(Qt::StrongFocus);
    label->setForegroundRole(QPalette::Link);
    label->setAccessibleDescription(address);
  } else {
    label->unsetCursor();
    label->setFocusPolicy(Qt::NoFocus);
    label->setForegroundRole(QPalette::WindowText);
    label->setAccessibleDescription(QString());
  }
}

void CKsStaticCtrl::SetLine(bool line, int pen_width) {
  if (IsModuleControl()) {
    using namespace controls::static_id;
    SetProperty(kLinePenWidth, com::Variant::Int(pen_width));
    // Etched, like the standard rule: the line over a white one.
    SetProperty(kColorTextShadow, com::Variant::Colour(0xFFFFFF));
    SetProperty(kShowTextShadow, com::Variant::Int(1));
    SetProperty(kLine, com::Variant::Bool(line));
    return;
  }
  if (QLabel* label = Label()) {
    label->setFrameStyle(line ? (QFrame::HLine | QFrame::Sunken) : QFrame::NoFrame);
    label->setLineWidth(pen_width);
  }
}

void CKsStaticCtrl::SetWordWrap(bool wrap) {
  if (IsModuleControl()) {
    SetProperty(controls::static_id::kMultiline, com::Variant::Bool(wrap));
    // Wrapped text reads from the top.
    SetProperty(controls::static_id::kTextAlignment, com::Variant::Int(wrap ? 0 : 4));
  } else if (QLabel* label = Label()) {
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignLeft | (wrap ? Qt::AlignTop : Qt::AlignVCenter));
  }
}

void CKsStaticCtrl::SetBuddy(QWidget* buddy, const QString& caption_with_mnemonic) {
  if (buddy == nullptr) return;
  if (QLabel* label = Label()) {
    label->setText(caption_with_mnemonic);
    label->setBuddy(buddy);
    return;
  }
  if (!IsModuleControl() || Widget() == nullptr) return;
  SetProperty(com::DISPID_CAPTION, com::Variant::String(Utf8(caption_with_mnemonic)));
  // The module's label draws the mnemonic; the dialog's shortcut acts on it.
  const QKeySequence key = QKeySequence::mnemonic(caption_with_mnemonic);
  if (key.isEmpty() || Widget()->parentWidget() == nullptr) return;
  auto* shortcut = new QShortcut(key, Widget()->parentWidget());
  QPointer<QWidget> target(buddy);
  connect(shortcut, &QShortcut::activated, this, [target] {
    if (target != nullptr) target->setFocus(Qt::ShortcutFocusReason);
  });
}

platform::WindowHandle CKsStaticCtrl::NotifyWindow() const {
  if (notify_ != platform::kNoWindow) return notify_;
  for (QWidget* w = Widget() != nullptr ? Widget()->parentWidget() : nullptr;
       w != nullptr; w = w->parentWidget()) {
    if (auto* window = dynamic_cast<platform::MessageWindow*>(w)) {
      return window->Handle();
    }
  }
  return platform::kNoWindow;
}

const std::string* CKsStaticCtrl::KeptAddress(const std::string& address) {
  // Nodes of a std::set never move, and nothing is ever erased, so every
  // pointer handed out stays valid for the rest of the process. Each
  // distinct address is kept once.
  static std::mutex mutex;
  static std::set<std::string>* kept = new std::set<std::string>();
  std::lock_guard<std::mutex> lock(mutex);
  return &*kept->insert(address).first;
}

void CKsStaticCtrl::Activate(const std::string& address) {
  if (address.empty() || !IsEnabled()) return;
  const std::string* kept = KeptAddress(address);
  emit clicked(ControlId());
  emit linkClicked(ControlId(), QString::fromStdString(address));
  const platform::WindowHandle target = NotifyWindow();
  if (target != platform::kNoWindow) {
    platform::PostMessage(target, platform::WM_LINK_CLICKED,
                          static_cast<uintptr_t>(ControlId()),
                          reinterpret_cast<intptr_t>(kept));
  }
}

void CKsStaticCtrl::OnControlMessage(uint32_t message, uintptr_t, intptr_t lparam) {
  // The control's own address string: copied here, since the control may
  // change it or go before the message is read.
  if (message != controls::kLinkClickedMessage || lparam == 0) return;
  Activate(*reinterpret_cast<const std::string*>(lparam));
}

bool CKsStaticCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Widget() && IsLink()) {
    if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton &&
          Widget()->rect().contains(mouse->position().toPoint())) {
        Activate(Utf8(link_));
        return true;
      }
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        Activate(Utf8(link_));
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

// --- CKsGroupCtrl

CKsGroupCtrl::CKsGroupCtrl(QWidget* group, int id, com::ComPtr<com::IControl> control)
    : CKsControlHost(group, id, std::move(control)) {}

CKsGroupCtrl* CKsGroupCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                   const QString& caption) {
  if (parent == nullptr) return nullptr;
  com::ComPtr<com::IControl> control =
      CreateModuleControl(controls::kGroupModule, parent, id, pixels, caption);
  QWidget* widget = control ? control->Window() : nullptr;
  if (widget == nullptr) {
    control.Reset();
    widget = new QGroupBox(parent);
  }
  widget->lower();  // behind the controls it frames
  auto* host = new CKsGroupCtrl(widget, id, std::move(control));
  Place(widget, id, pixels);
  host->SetCaption(caption);
  return host;
}

CKsGroupCtrl* CKsGroupCtrl::Create(QWidget* parent, int id, const QRect& units,
                                   const DialogBaseUnits& base,
                                   const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsGroupCtrl* CKsGroupCtrl::FromTemplate(QWidget* dialog, int id) {
  QWidget* widget = FindControl<QWidget>(dialog, id);
  if (widget == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsGroupCtrl>(widget)) return host;
  if (HostOf(widget) != nullptr) return nullptr;
  auto* group = qobject_cast<QGroupBox*>(widget);
  return group != nullptr ? new CKsGroupCtrl(group, id, {}) : nullptr;
}

QGroupBox* CKsGroupCtrl::GroupBox() const { return qobject_cast<QGroupBox*>(Widget()); }

QString CKsGroupCtrl::GetCaption() const {
  if (IsModuleControl()) return QString::fromStdString(PropertyText(com::DISPID_CAPTION));
  return GroupBox() != nullptr ? GroupBox()->title() : QString();
}

void CKsGroupCtrl::SetCaption(const QString& caption) {
  if (IsModuleControl()) {
    SetProperty(com::DISPID_CAPTION, com::Variant::String(Utf8(caption)));
    if (Widget() != nullptr) Widget()->setAccessibleName(StripMnemonic(caption));
    return;
  }
  if (GroupBox() == nullptr) return;
  GroupBox()->setTitle(caption);
  GroupBox()->setAccessibleName(StripMnemonic(caption));
}

// --- Template controls

QWidget* CreateTemplateControl(const DialogItem& item, QWidget* parent) {
  const QRect none;
  switch (item.kind) {
    case DialogItemKind::kPushButton:
    case DialogItemKind::kDefPushButton: {
      CKsButtonCtrl* host = CKsButtonCtrl::Create(parent, item.id, none, item.text);
      if (item.kind == DialogItemKind::kDefPushButton) {
        host->Button()->setDefault(true);
        host->SetProperty(controls::button_id::kDefaultButton, com::Variant::Bool(true));
      }
      return host->Widget();
    }
    case DialogItemKind::kCheckBox:
      return CKsCheckCtrl::Create(parent, item.id, none, item.text)->Widget();
    case DialogItemKind::kLabel:
      // The mnemonic only works with a buddy; until one is set the marks
      // are stripped so they do not show.
      return CKsStaticCtrl::Create(parent, item.id, none, StripMnemonic(item.text))->Widget();
    case DialogItemKind::kGroupBox:
      return CKsGroupCtrl::Create(parent, item.id, none, item.text)->Widget();
    default:
      return nullptr;
  }
}

}  // namespace quarry
