#include "framework/msgbox/ks_message_box.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "fault/system_info.h"
#include "framework/ks_controls.h"
#include "framework/string_table.h"
#include "platform/settings_store.h"

namespace quarry {

namespace {

const DialogTemplate& EmptyTemplate() {
  // Everything is made at run time, sized to the message.
  static const DialogTemplate tpl{CKsMessageBox::kTemplateId, QString(), 0, 0, {}};
  return tpl;
}

// What a remembered-answer value holds when nothing is remembered.
constexpr uint32_t kNothingRemembered = 0xFFFFFFFFu;

// The share of the screen's height the text may take; a longer text is
// cut, so that the buttons always stay on the screen.
constexpr double kMostTextHeight = 0.6;
constexpr qsizetype kMostTextCharacters = 32768;

QString ApplicationName() {
  return QCoreApplication::instance() != nullptr ? QCoreApplication::applicationName()
                                                 : QStringLiteral("Unknown");
}

// The text broken into lines no wider than `width` (at blanks, or inside
// a word too long for a line), at most `most_lines` of them, the last of a
// cut text ending in an ellipsis. The lines are joined with "\n", so any
// label shows them as measured.
struct WrappedText {
  QString text;
  int lines = 0;
  int width = 0;
};

WrappedText WrapText(const QString& text, const QFont& font, int width, int most_lines) {
  WrappedText wrapped;
  QStringList lines;
  // Far more than a screen of lines holds, so laying out a huge text
  // costs no more than laying out a screenful.
  bool cut = text.size() > kMostTextCharacters;
  QString plain = text.left(kMostTextCharacters);
  plain.remove(QLatin1Char('\r'));
  const QStringList paragraphs = plain.split(QLatin1Char('\n'));
  for (const QString& paragraph : paragraphs) {
    if (static_cast<int>(lines.size()) >= most_lines) {
      cut = true;
      break;
    }
    if (paragraph.isEmpty()) {
      lines << QString();
      continue;
    }
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      if (static_cast<int>(lines.size()) >= most_lines) {
        cut = true;
        break;
      }
      line.setLineWidth(width);
      QString piece = paragraph.mid(line.textStart(), line.textLength());
      while (!piece.isEmpty() && piece.back().isSpace()) piece.chop(1);
      lines << piece;
      wrapped.width =
          std::max(wrapped.width, static_cast<int>(std::ceil(line.naturalTextWidth())));
    }
    layout.endLayout();
  }
  if (cut && !lines.isEmpty()) lines.back() += QChar(0x2026);
  wrapped.text = lines.join(QLatin1Char('\n'));
  wrapped.lines = static_cast<int>(lines.size());
  return wrapped;
}

QStyle::StandardPixmap IconPixmap(uint32_t icon) {
  switch (icon) {
    case mb::kIconStop:
      return QStyle::SP_MessageBoxCritical;
    case mb::kIconQuestion:
      return QStyle::SP_MessageBoxQuestion;
    case mb::kIconExclamation:
      return QStyle::SP_MessageBoxWarning;
    default:
      return QStyle::SP_MessageBoxInformation;
  }
}

QString IconName(uint32_t icon) {
  switch (icon) {
    case mb::kIconStop:
      return QStringLiteral("Error");
    case mb::kIconQuestion:
      return QStringLiteral("Question");
    case mb::kIconExclamation:
      return QStringLiteral("Warning");
    default:
      return QStringLiteral("Information");
  }
}

bool KnownIcon(uint32_t icon) {
  return icon == mb::kIconStop || icon == mb::kIconQuestion || icon == mb::kIconExclamation ||
         icon == mb::kIconInformation;
}

}  // namespace

CKsMessageBox::CKsMessageBox(QWidget* parent, const QString& text, const QString& caption,
                             uint32_t style, int message_id)
    : CKsDialog(EmptyTemplate(), parent),
      text_(text),
      caption_(caption.isEmpty() ? ApplicationName() : caption),
      style_(style | mb::kAlwaysSet),
      message_id_(message_id) {
  setObjectName(QStringLiteral("messageBox"));
  // A window of its own from the start, kept above the one it belongs to.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowModality(Qt::ApplicationModal);
}

CKsMessageBox::~CKsMessageBox() {
  // No timer may reach a box that is being taken apart.
  DestroyWindow();
}

void CKsMessageBox::AddButton(int id, int string_id, bool is_default, bool is_cancel) {
  buttons_.push_back({id, string_id, QString(), nullptr});
  if (is_default) default_id_ = id;
  if (is_cancel) cancel_id_ = id;
}

void CKsMessageBox::AddButton(int id, const QString& caption, bool is_default, bool is_cancel) {
  buttons_.push_back({id, mb::kNone, caption, nullptr});
  if (is_default) default_id_ = id;
  if (is_cancel) cancel_id_ = id;
}

void CKsMessageBox::SetCountdown(int seconds, bool lock) {
  countdown_ = std::max(seconds, 0);
  countdown_locks_ = lock;
}

const std::string& CKsMessageBox::MessageKey() {
  if (key_.empty()) {
    key_ = mb::MessageKey(message_id_, ApplicationName().toStdString(), text_.toStdString(),
                          QCoreApplication::instance() != nullptr);
  }
  return key_;
}

std::optional<int> CKsMessageBox::RememberedAnswer() {
  if (!mb::HasCheckBox(style_)) return std::nullopt;
  const uint32_t stored = platform::SettingsStore::User().GetDword(mb::kMessagesKey, MessageKey(),
                                                                   kNothingRemembered);
  if (stored == kNothingRemembered) return std::nullopt;
  return static_cast<int>(stored);
}

int CKsMessageBox::DoModal() {
  if (!Open()) return result_;
  QPointer<CKsMessageBox> alive(this);
  QEventLoop loop;
  connect(this, &CKsMessageBox::finished, &loop, &QEventLoop::quit);
  connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
  // Ends early when the program quits (every loop is told to leave).
  if (!finished_) loop.exec(QEventLoop::DialogExec);
  if (!alive) return mb::kNone;
  if (!finished_) {
    hide();
    StopTimer(kCountdownTimer);
    StopTimer(kTopmostTimer);
  }
  return result_;
}

bool CKsMessageBox::Open() {
  if (finished_) return false;
  if (std::optional<int> remembered = RememberedAnswer()) {
    result_ = *remembered;
    finished_ = true;
    return false;
  }
  if (!Initialise()) {
    result_ = RunFallback();
    finished_ = true;
    return false;
  }
  show();
  if (CKsButtonCtrl* button = Button(default_id_)) {
    if (button->Widget() != nullptr) button->Widget()->setFocus(Qt::OtherFocusReason);
  }
  return true;
}

bool CKsMessageBox::Initialise() {
  if (built_) return true;
  setWindowTitle(caption_);
  setAccessibleName(caption_);
  setAccessibleDescription(text_);

  // The style's set after any buttons the caller added, then the
  // default-button field over all of them.
  const mb::ButtonSet set = mb::ButtonsForStyle(style_);
  for (const mb::ButtonChoice& button : set.buttons) {
    if (button.string_id == mb::kNone) {
      AddButton(button.id, QString::fromLatin1(mb::kEmailCaption));
    } else {
      AddButton(button.id, button.string_id);
    }
  }
  default_id_ = set.default_id;
  if (set.cancel_id != mb::kNone) cancel_id_ = set.cancel_id;
  const int index = mb::DefaultButtonIndex(style_, buttons_.size());
  if (index != mb::kNone) default_id_ = buttons_[static_cast<size_t>(index)].id;

  countdown_running_ = countdown_ > 0;
  if (!CreateControls()) {
    DestroyControls();
    countdown_running_ = false;
    return false;
  }
  built_ = true;
  // The controls made now take the look the dialog gives its own.
  PushControlAppearance();

  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  // Without a cancel button the window cannot be closed.
  if (cancel_id_ != mb::kNone) flags |= Qt::WindowCloseButtonHint;
  if (style_ & (mb::kTopmost | mb::kSystemModal)) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
  setWindowModality(Qt::ApplicationModal);
  PlaceOnScreen();

  PlaySound();
  if (countdown_running_) {
    if (countdown_locks_) SetLocked(true);
    StartTimer(kCountdownTimer, kCountdownStepMs);
  }
  // Window managers may stack a new window under the active one; ask once
  // more when the box has settled.
  if (style_ & mb::kTopmost) StartTimer(kTopmostTimer, kTopmostDelayMs);
  if (CKsButtonCtrl* button = Button(default_id_)) {
    if (button->Button() != nullptr) button->Button()->setDefault(true);
  }
  return true;
}

QString CKsMessageBox::ButtonCaption(const ButtonRecord& record) const {
  return record.string_id == mb::kNone ? record.text : StringTable::Get(record.string_id);
}

QString CKsMessageBox::ShownCaption(const ButtonRecord& record) const {
  const QString caption = ButtonCaption(record);
  if (countdown_running_ && record.id == default_id_ && !(style_ & mb::kSystemModal)) {
    return QStringLiteral("%1 in %2").arg(caption).arg(countdown_);
  }
  return caption;
}

bool CKsMessageBox::CreateControls() {
  const DialogBaseUnits& base = BaseUnits();
  const QFontMetrics metrics(font());
  QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
  const QRect screen_area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);

  // The icon, in a plain label.
  QSize icon_size;
  const uint32_t icon = style_ & mb::kIconMask;
  if (KnownIcon(icon)) {
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon_ = new QLabel(this);
    icon_->setObjectName(ControlObjectName(kIdIcon));
    icon_->setProperty(kControlIdProperty, kIdIcon);
    icon_->setPixmap(style()->standardIcon(IconPixmap(icon), nullptr, this).pixmap(extent, extent));
    icon_->setAccessibleName(IconName(icon));
    icon_->setFixedSize(extent, extent);
    icon_size = QSize(extent, extent);
  }

  // The text, broken at half the screen's width plus 100 pixels (less the
  // icon), never narrower than the caption in the title bar.
  const int wrap_width =
      std::max(screen_area.width() / 2 + 100 - icon_size.width(), 8 * base.x);
  const int most_lines =
      std::max(1, static_cast<int>(screen_area.height() * kMostTextHeight) / metrics.lineSpacing());
  const WrappedText wrapped = WrapText(text_, font(), wrap_width, most_lines);
  const int frame_measure = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
  const int caption_width = metrics.horizontalAdvance(caption_) + frame_measure * 3 / 4;
  const QRect text_extent = metrics.boundingRect(
      QRect(0, 0, std::max(wrapped.width, 1) + 4, 1 << 20), Qt::AlignLeft | Qt::AlignTop,
      wrapped.text);
  // A little room below the last line, so descenders are never clipped.
  const QSize text_size(std::max(wrapped.width, text_extent.width()) + 2,
                        static_cast<int>(std::ceil(text_extent.height() * 1.05)) + 3);

  const auto make_text = factory_.text ? factory_.text
                                       : [](QWidget* p, int id, const QRect& r, const QString& c) {
                                           return CKsStaticCtrl::Create(p, id, r, c);
                                         };
  text_ctrl_ = make_text(this, kIdText, QRect(QPoint(), text_size), wrapped.text);
  if (text_ctrl_ == nullptr || text_ctrl_->Widget() == nullptr) return false;
  if (QLabel* label = text_ctrl_->Label()) {
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(((style_ & mb::kRightAlignText) ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  // Screen readers get the whole text, not the lines it was broken into.
  text_ctrl_->Widget()->setAccessibleName(text_);

  // The check box: its caption's extent and a little, at least 15 pixels
  // high, and never smaller than the control needs.
  QSize check_size;
  if (mb::HasCheckBox(style_)) {
    const QString caption = StringTable::Get(mb::CheckBoxStringId(style_));
    const auto make_check = factory_.check
                                ? factory_.check
                                : [](QWidget* p, int id, const QRect& r, const QString& c) {
                                    return CKsCheckCtrl::Create(p, id, r, c);
                                  };
    check_ = make_check(this, mb::kIdCheckBox, QRect(), caption);
    if (check_ == nullptr || check_->Widget() == nullptr) return false;
    const int width = GrownExtent(metrics.horizontalAdvance(caption), 1.1, 0, 0) +
                      DialogXToPixels(4, base);
    int height = metrics.height();
    if (height < 16) height = 15;
    check_size = QSize(width, height).expandedTo(check_->Widget()->sizeHint());
    check_->SetValue((style_ & mb::kChecked) ? 1 : 0);
    check_->SetControlFont(font());
  }

  // The buttons, all as large as the largest caption needs.
  const auto make_button = factory_.button
                               ? factory_.button
                               : [](QWidget* p, int id, const QRect& r, const QString& c) {
                                   return CKsButtonCtrl::Create(p, id, r, c);
                                 };
  int widest = 0;
  int tallest = 0;
  for (const ButtonRecord& record : buttons_) {
    const QSize extent = metrics.size(Qt::TextShowMnemonic, ShownCaption(record));
    widest = std::max(widest, extent.width());
    tallest = std::max(tallest, extent.height());
  }
  QSize button_size(
      GrownExtent(widest, 1.1, DialogXToPixels(40, base), DialogXToPixels(4, base)),
      GrownExtent(tallest, 1.1, DialogYToPixels(14, base), DialogYToPixels(1, base)));
  for (ButtonRecord& record : buttons_) {
    record.control = make_button(this, record.id, QRect(), ShownCaption(record));
    if (record.control == nullptr || record.control->Widget() == nullptr) return false;
    record.control->SetBackColour(0xFFFFFF);
    record.control->SetControlFont(font());
    button_size = button_size.expandedTo(record.control->Widget()->sizeHint());
    const int id = record.id;
    connect(record.control, &CKsControlHost::clicked, this, [this, id] { PressButton(id); });
  }

  MessageBoxMeasures measures;
  measures.base = base;
  measures.icon = icon_size;
  measures.text = text_size;
  measures.min_width = caption_width;
  measures.check = check_size;
  measures.button = button_size;
  measures.button_count = static_cast<int>(buttons_.size());
  measures.right_align_buttons = (style_ & mb::kRightAlignButtons) != 0;
  layout_ = LayOutMessageBox(measures);

  if (icon_ != nullptr) icon_->setGeometry(layout_.icon);
  text_ctrl_->MoveWindow(layout_.text);
  if (check_ != nullptr) check_->MoveWindow(layout_.check);
  QWidget* previous = nullptr;
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i].control->MoveWindow(layout_.buttons[i]);
    QWidget* widget = buttons_[i].control->Widget();
    widget->installEventFilter(this);
    if (previous != nullptr) setTabOrder(previous, widget);
    previous = widget;
  }
  if (check_ != nullptr) {
    check_->Widget()->installEventFilter(this);
    if (previous != nullptr) setTabOrder(previous, check_->Widget());
  }
  text_ctrl_->Widget()->installEventFilter(this);
  setFixedSize(layout_.client);
  return true;
}

void CKsMessageBox::DestroyControls() {
  for (ButtonRecord& record : buttons_) {
    if (record.control != nullptr) delete record.control->Widget();
    record.control = nullptr;
  }
  if (check_ != nullptr) delete check_->Widget();
  check_ = nullptr;
  if (text_ctrl_ != nullptr) delete text_ctrl_->Widget();
  text_ctrl_ = nullptr;
  delete icon_;
  icon_ = nullptr;
}

void CKsMessageBox::PlaceOnScreen() {
  // Centred on the window it belongs to, else on the screen; never off it.
  QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
  const QRect around = owner != nullptr && owner->isVisible() ? owner->frameGeometry() : area;
  QRect place(QPoint(), size());
  place.moveCenter(around.center());
  if (!area.isEmpty()) {
    place.moveLeft(std::clamp(place.left(), area.left(), std::max(area.left(), area.right() - place.width())));
    place.moveTop(std::clamp(place.top(), area.top(), std::max(area.top(), area.bottom() - place.height())));
  }
  move(place.topLeft());
}

int CKsMessageBox::RunFallback() {
  FallbackBox box;
  box.parent = parentWidget();
  box.text = text_;
  box.caption = caption_;
  box.style = style_;
  for (const ButtonRecord& record : buttons_) box.buttons.emplace_back(record.id, ButtonCaption(record));
  box.default_id = default_id_;
  box.cancel_id = cancel_id_;
  return fallback_ ? fallback_(box) : RunDesktopMessageBox(box);
}

int CKsMessageBox::RunDesktopMessageBox(const FallbackBox& fallback) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (fallback.style & mb::kIconMask) {
    case mb::kIconStop:
      icon = QMessageBox::Critical;
      break;
    case mb::kIconQuestion:
      icon = QMessageBox::Question;
      break;
    case mb::kIconExclamation:
      icon = QMessageBox::Warning;
      break;
    case mb::kIconInformation:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QMessageBox box(icon, fallback.caption, fallback.text, QMessageBox::NoButton, fallback.parent);
  box.setTextFormat(Qt::PlainText);
  std::vector<std::pair<QAbstractButton*, int>> ids;
  for (const auto& [id, caption] : fallback.buttons) {
    QMessageBox::ButtonRole role = QMessageBox::ActionRole;
    if (id == fallback.cancel_id) {
      role = QMessageBox::RejectRole;
    } else if (id == mb::kIdHelp) {
      role = QMessageBox::HelpRole;
    } else if (id == fallback.default_id) {
      role = QMessageBox::AcceptRole;
    }
    QPushButton* button = box.addButton(caption, role);
    if (id == fallback.default_id) box.setDefaultButton(button);
    if (id == fallback.cancel_id) box.setEscapeButton(button);
    ids.emplace_back(button, id);
  }
  box.exec();
  for (const auto& [button, id] : ids) {
    if (button == box.clickedButton()) return id;
  }
  return fallback.cancel_id;
}

CKsButtonCtrl* CKsMessageBox::Button(int id) const {
  for (const ButtonRecord& record : buttons_) {
    if (record.id == id) return record.control;
  }
  return nullptr;
}

std::vector<int> CKsMessageBox::ButtonIds() const {
  std::vector<int> ids;
  for (const ButtonRecord& record : buttons_) ids.push_back(record.id);
  return ids;
}

void CKsMessageBox::PressButton(int id) {
  if (finished_ || id == mb::kNone) return;
  if (id == mb::kIdHelp) {
    OpenHelp();
    return;
  }
  if (mb::HasCheckBox(style_) && check_ != nullptr && check_->GetValue() != 0) {
    platform::SettingsStore::User().SetDword(mb::kMessagesKey, MessageKey(),
                                             static_cast<uint32_t>(id));
  }
  EndWith(id);
}

void CKsMessageBox::EndWith(int id) {
  finished_ = true;
  result_ = id;
  StopTimer(kCountdownTimer);
  StopTimer(kTopmostTimer);
  countdown_running_ = false;
  hide();
  emit finished(id);
}

void CKsMessageBox::OpenHelp() {
  if (help_handler_) help_handler_(message_id_);
}

void CKsMessageBox::PlaySound() {
  if (style_ & mb::kNoSound) return;
  // A system the program cannot name gets no sound, as it always was.
  if (sysinfo::GetVersionIndex(nullptr, nullptr) == sysinfo::kUnknownVersionIndex) return;
  const uint32_t icon = style_ & mb::kIconMask;
  if (sound_) {
    sound_(icon);
  } else {
    QApplication::beep();
  }
}

void CKsMessageBox::SetLocked(bool locked) {
  for (ButtonRecord& record : buttons_) {
    if (record.control != nullptr) record.control->SetEnabled(!locked);
  }
  if (check_ != nullptr) check_->SetEnabled(!locked);
  if (!locked) {
    if (CKsButtonCtrl* button = Button(default_id_)) {
      if (button->Widget() != nullptr) button->Widget()->setFocus(Qt::OtherFocusReason);
    }
  }
}

void CKsMessageBox::OnCountdownTick() {
  if (!countdown_running_ || finished_) return;
  --countdown_;
  if (countdown_ > 0) {
    for (const ButtonRecord& record : buttons_) {
      if (record.id == default_id_ && record.control != nullptr) {
        record.control->SetCaption(ShownCaption(record));
      }
    }
    return;
  }
  countdown_ = 0;
  countdown_running_ = false;
  StopTimer(kCountdownTimer);
  if (countdown_locks_) {
    // The default button reads as itself again, and everything unlocks.
    for (const ButtonRecord& record : buttons_) {
      if (record.id == default_id_ && record.control != nullptr) {
        record.control->SetCaption(ButtonCaption(record));
      }
    }
    SetLocked(false);
  } else {
    PressButton(default_id_);
  }
}

void CKsMessageBox::StartTimer(uintptr_t id, unsigned interval_ms) {
  if (timers_.start) {
    timers_.start(id, interval_ms);
  } else {
    platform::SetTimer(Handle(), id, interval_ms);
  }
}

void CKsMessageBox::StopTimer(uintptr_t id) {
  if (timers_.stop) {
    timers_.stop(id);
  } else if (Handle() != platform::kNoWindow) {
    platform::KillTimer(Handle(), id);
  }
}

intptr_t CKsMessageBox::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  if (message != platform::WM_TIMER) return 0;
  if (wparam == kTopmostTimer) {
    StopTimer(kTopmostTimer);
    if (isVisible()) {
      raise();
      if (style_ & mb::kSetForeground) activateWindow();
    }
  } else if (wparam == kCountdownTimer) {
    OnCountdownTick();
  }
  return 0;
}

bool CKsMessageBox::HandleKey(QKeyEvent* event) {
  if (finished_) return false;
  // A locked countdown lets no key through.
  if (countdown_running_ && countdown_locks_) return true;
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    for (ButtonRecord& record : buttons_) {
      if (record.control != nullptr && record.control->Widget() != nullptr &&
          record.control->Widget()->hasFocus()) {
        // The focused button becomes the default, and is pressed.
        if (CKsButtonCtrl* old = Button(default_id_)) {
          if (old->Button() != nullptr) old->Button()->setDefault(false);
        }
        default_id_ = record.id;
        if (record.control->Button() != nullptr) record.control->Button()->setDefault(true);
        PressButton(record.id);
        return true;
      }
    }
    PressButton(default_id_);
    return true;
  }
  const bool control_break = (key == Qt::Key_Pause && (event->modifiers() & Qt::ControlModifier)) ||
                             key == Qt::Key_Cancel;
  if (key == Qt::Key_Escape || control_break) {
    if (cancel_id_ != mb::kNone) PressButton(cancel_id_);
    return true;
  }
  if (key == Qt::Key_F1) {
    OpenHelp();
    return true;
  }
  return false;
}

bool CKsMessageBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return CKsDialog::eventFilter(watched, event);
}

void CKsMessageBox::keyPressEvent(QKeyEvent* event) {
  if (HandleKey(event)) {
    event->accept();
    return;
  }
  CKsDialog::keyPressEvent(event);
}

void CKsMessageBox::closeEvent(QCloseEvent* event) {
  if (!finished_) {
    // Closing is the cancel button, where there is one to press.
    if (cancel_id_ == mb::kNone || (countdown_running_ && countdown_locks_)) {
      event->ignore();
      return;
    }
    PressButton(cancel_id_);
  }
  event->accept();
}

void CKsMessageBox::showEvent(QShowEvent* event) {
  CKsDialog::showEvent(event);
  if (style_ & mb::kSetForeground) {
    raise();
    activateWindow();
  }
  // Told to screen readers as an alert, as the desktop's own boxes are.
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

}  // namespace quarry
