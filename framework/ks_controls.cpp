#include "framework/ks_controls.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <mutex>
#include <set>

#include "framework/dialog_template.h"

namespace quarry {

namespace {

// The host driving `widget`, when one was made before.
template <typename Host>
Host* ExistingHost(QWidget* widget) {
  return widget->findChild<Host*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

// --- CKsControlHost

CKsControlHost::CKsControlHost(QWidget* widget, int id)
    : QObject(widget), widget_(widget), id_(id) {}

CKsControlHost::~CKsControlHost() = default;

void CKsControlHost::Place(QWidget* widget, int id, const QRect& pixels) {
  widget->setObjectName(ControlObjectName(id));
  widget->setProperty(kControlIdProperty, id);
  widget->setGeometry(pixels);
}

bool CKsControlHost::IsEnabled() const {
  return widget_ != nullptr && widget_->isEnabled();
}

void CKsControlHost::SetEnabled(bool enabled) {
  if (widget_ != nullptr) widget_->setEnabled(enabled);
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
  if (widget_ != nullptr) widget_->setGeometry(pixels);
}

QRect CKsControlHost::GetGeometry() const {
  return widget_ != nullptr ? widget_->geometry() : QRect();
}

void CKsControlHost::ShowWindow(bool shown) {
  if (widget_ != nullptr) widget_->setVisible(shown);
}

// --- CKsButtonCtrl

CKsButtonCtrl::CKsButtonCtrl(QPushButton* button, int id)
    : CKsControlHost(button, id) {
  connect(button, &QPushButton::clicked, this, [this] { emit clicked(ControlId()); });
}

CKsButtonCtrl* CKsButtonCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                     const QString& caption) {
  if (parent == nullptr) return nullptr;
  auto* button = new QPushButton(parent);
  Place(button, id, pixels);
  auto* host = new CKsButtonCtrl(button, id);
  host->SetCaption(caption);
  return host;
}

CKsButtonCtrl* CKsButtonCtrl::Create(QWidget* parent, int id, const QRect& units,
                                     const DialogBaseUnits& base,
                                     const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsButtonCtrl* CKsButtonCtrl::FromTemplate(QWidget* dialog, int id) {
  auto* button = FindControl<QPushButton>(dialog, id);
  if (button == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsButtonCtrl>(button)) return host;
  return new CKsButtonCtrl(button, id);
}

QPushButton* CKsButtonCtrl::Button() const {
  return static_cast<QPushButton*>(Widget());
}

QString CKsButtonCtrl::GetCaption() const {
  return Button() != nullptr ? Button()->text() : QString();
}

void CKsButtonCtrl::SetCaption(const QString& caption) {
  if (Button() == nullptr) return;
  Button()->setText(caption);
  Button()->setAccessibleName(StripMnemonic(caption));
}

// --- CKsCheckCtrl

CKsCheckCtrl::CKsCheckCtrl(QCheckBox* box, int id) : CKsControlHost(box, id) {
  connect(box, &QCheckBox::clicked, this, [this] { emit clicked(ControlId()); });
}

CKsCheckCtrl* CKsCheckCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                   const QString& caption) {
  if (parent == nullptr) return nullptr;
  auto* box = new QCheckBox(parent);
  Place(box, id, pixels);
  auto* host = new CKsCheckCtrl(box, id);
  host->SetCaption(caption);
  return host;
}

CKsCheckCtrl* CKsCheckCtrl::Create(QWidget* parent, int id, const QRect& units,
                                   const DialogBaseUnits& base,
                                   const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsCheckCtrl* CKsCheckCtrl::FromTemplate(QWidget* dialog, int id) {
  auto* box = FindControl<QCheckBox>(dialog, id);
  if (box == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsCheckCtrl>(box)) return host;
  return new CKsCheckCtrl(box, id);
}

QCheckBox* CKsCheckCtrl::CheckBox() const {
  return static_cast<QCheckBox*>(Widget());
}

QString CKsCheckCtrl::GetCaption() const {
  return CheckBox() != nullptr ? CheckBox()->text() : QString();
}

void CKsCheckCtrl::SetCaption(const QString& caption) {
  if (CheckBox() == nullptr) return;
  CheckBox()->setText(caption);
  CheckBox()->setAccessibleName(StripMnemonic(caption));
}

int CKsCheckCtrl::GetValue() const {
  return CheckBox() != nullptr && CheckBox()->isChecked() ? 1 : 0;
}

void CKsCheckCtrl::SetValue(int value) {
  if (CheckBox() == nullptr) return;
  // setChecked never emits clicked, so the program's own changes are not
  // taken for the user's.
  CheckBox()->setChecked(value != 0);
}

// --- CKsStaticCtrl

CKsStaticCtrl::CKsStaticCtrl(QLabel* label, int id) : CKsControlHost(label, id) {
  label->installEventFilter(this);
}

CKsStaticCtrl* CKsStaticCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                     const QString& caption) {
  if (parent == nullptr) return nullptr;
  auto* label = new QLabel(parent);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Place(label, id, pixels);
  auto* host = new CKsStaticCtrl(label, id);
  host->SetCaption(caption);
  return host;
}

CKsStaticCtrl* CKsStaticCtrl::Create(QWidget* parent, int id, const QRect& units,
                                     const DialogBaseUnits& base,
                                     const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsStaticCtrl* CKsStaticCtrl::FromTemplate(QWidget* dialog, int id) {
  auto* label = FindControl<QLabel>(dialog, id);
  if (label == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsStaticCtrl>(label)) return host;
  return new CKsStaticCtrl(label, id);
}

QLabel* CKsStaticCtrl::Label() const { return static_cast<QLabel*>(Widget()); }

QString CKsStaticCtrl::GetCaption() const {
  return Label() != nullptr ? Label()->text() : QString();
}

void CKsStaticCtrl::SetCaption(const QString& caption) {
  if (Label() == nullptr) return;
  // Plain text: a caption never turns into markup the label would follow.
  Label()->setTextFormat(Qt::PlainText);
  Label()->setText(caption);
  Label()->setAccessibleName(caption);
}

void CKsStaticCtrl::SetLink(const QString& address) {
  link_ = address;
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

void CKsStaticCtrl::Activate() {
  if (!IsLink() || !IsEnabled()) return;
  const std::string* address = KeptAddress(link_.toStdString());
  emit clicked(ControlId());
  emit linkClicked(ControlId(), link_);
  const platform::WindowHandle target = NotifyWindow();
  if (target != platform::kNoWindow) {
    platform::PostMessage(target, platform::WM_LINK_CLICKED,
                          static_cast<uintptr_t>(ControlId()),
                          reinterpret_cast<intptr_t>(address));
  }
}

bool CKsStaticCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Widget() && IsLink()) {
    if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton &&
          Widget()->rect().contains(mouse->position().toPoint())) {
        Activate();
        return true;
      }
    } else if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        Activate();
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

// --- CKsGroupCtrl

CKsGroupCtrl::CKsGroupCtrl(QGroupBox* group, int id) : CKsControlHost(group, id) {}

CKsGroupCtrl* CKsGroupCtrl::Create(QWidget* parent, int id, const QRect& pixels,
                                   const QString& caption) {
  if (parent == nullptr) return nullptr;
  auto* group = new QGroupBox(parent);
  Place(group, id, pixels);
  group->lower();  // behind the controls it frames
  auto* host = new CKsGroupCtrl(group, id);
  host->SetCaption(caption);
  return host;
}

CKsGroupCtrl* CKsGroupCtrl::Create(QWidget* parent, int id, const QRect& units,
                                   const DialogBaseUnits& base,
                                   const QString& caption) {
  return Create(parent, id, MapDialogRect(units, base), caption);
}

CKsGroupCtrl* CKsGroupCtrl::FromTemplate(QWidget* dialog, int id) {
  auto* group = FindControl<QGroupBox>(dialog, id);
  if (group == nullptr) return nullptr;
  if (auto* host = ExistingHost<CKsGroupCtrl>(group)) return host;
  return new CKsGroupCtrl(group, id);
}

QGroupBox* CKsGroupCtrl::GroupBox() const {
  return static_cast<QGroupBox*>(Widget());
}

QString CKsGroupCtrl::GetCaption() const {
  return GroupBox() != nullptr ? GroupBox()->title() : QString();
}

void CKsGroupCtrl::SetCaption(const QString& caption) {
  if (GroupBox() == nullptr) return;
  GroupBox()->setTitle(caption);
  GroupBox()->setAccessibleName(StripMnemonic(caption));
}

}  // namespace quarry
