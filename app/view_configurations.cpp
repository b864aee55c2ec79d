#include "app/view_configurations.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "app/app_settings.h"
#include "framework/command_ids.h"
#include "framework/ks_controls.h"
#include "framework/msgbox/app_message_box.h"
#include "framework/spin_ctrl_ext.h"

namespace quarry {

namespace {

using Kind = DialogItemKind;
using V = CViewConfigurations;

constexpr char kPortMessage[] =
    "Please enter a valid\nProxy Port value between\n1 and 9999999";
constexpr char kRestartMessage[] =
    "Restart Quarry to\nUpdate Favorites Display Mode";

// The port box as a decimal number. Text that is not a number reads 0;
// a number too large for any counter reads as the largest, so it is
// refused as too large rather than wrapping round into the range.
uint64_t ReadPort(const QString& text) {
  const std::string digits = text.trimmed().toStdString();
  uint64_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    return std::numeric_limits<uint64_t>::max();
  }
  if (error != std::errc()) return 0;
  return value;
}

// The program's message box, over the window that is active then.
void DefaultShower(QWidget*, const QString& text, QMessageBox::Icon icon) {
  AppMessageBox(text, icon == QMessageBox::Information ? mb::kIconInformation
                      : icon == QMessageBox::Critical  ? mb::kIconStop
                      : icon == QMessageBox::Question  ? mb::kIconQuestion
                                                       : mb::kIconExclamation);
}

}  // namespace

DialogTemplate CViewConfigurations::Template() {
  // Template order is the tab order; the interval spin is slotted in after
  // the update box by the constructor.
  return DialogTemplate{
      kTemplateId,
      QStringLiteral("Configurations"),
      369,
      219,
      {
          {V::kIdGroup, Kind::kGroupBox, QRect(5, 4, 268, 162), QString(),
           QStringLiteral("Settings")},
          {V::kIdModeLabel, Kind::kLabel, QRect(19, 22, 92, 8),
           QStringLiteral("Favorites Display Mode")},
          {V::kIdDisplayMode, Kind::kComboBox, QRect(113, 19, 53, 83), QString()},
          {V::kIdSort, Kind::kCheckBox, QRect(17, 41, 129, 10),
           QStringLiteral("Alphabetically Sort Favorites")},
          {V::kIdHide, Kind::kCheckBox, QRect(17, 60, 95, 10),
           QStringLiteral("Hide When Minimized")},
          {V::kIdUpdate, Kind::kCheckBox, QRect(17, 80, 160, 10),
           QStringLiteral("Automatically Check for Updates Every")},
          {V::kIdDaysLabel, Kind::kLabel, QRect(216, 81, 21, 8),
           QStringLiteral("Days")},
          {V::kIdParseReadsLabel, Kind::kLabel, QRect(19, 101, 46, 8),
           QStringLiteral("Parse reads:")},
          {V::kIdParseReads, Kind::kComboBox, QRect(67, 98, 170, 40), QString(),
           QStringLiteral("Parse reads")},
          {V::kIdRuleLeft, Kind::kLabel, QRect(13, 128, 12, 6), QString(),
           QStringLiteral("Proxy section rule")},
          {V::kIdRuleRight, Kind::kLabel, QRect(132, 129, 131, 6), QString(),
           QStringLiteral("Proxy section rule")},
          {V::kIdProxy, Kind::kCheckBox, QRect(28, 123, 103, 10),
           QStringLiteral("Use Proxy Server (LAN)")},
          {V::kIdAddressLabel, Kind::kLabel, QRect(26, 142, 34, 8),
           QStringLiteral("Address:")},
          {V::kIdAddress, Kind::kEdit, QRect(61, 140, 118, 12), QString(),
           QStringLiteral("Proxy server address")},
          {V::kIdPortLabel, Kind::kLabel, QRect(188, 142, 20, 8),
           QStringLiteral("Port:")},
          {V::kIdPort, Kind::kEdit, QRect(209, 140, 35, 12), QString(),
           QStringLiteral("Proxy server port")},
          {V::kIdDefault, Kind::kPushButton, QRect(108, 172, 50, 14),
           QStringLiteral("Default")},
          {V::kIdCancel, Kind::kPushButton, QRect(164, 172, 50, 14),
           QStringLiteral("Cancel")},
          {V::kIdApply, Kind::kPushButton, QRect(220, 172, 50, 14),
           QStringLiteral("Apply")},
      }};
}

CViewConfigurations::CViewConfigurations()
    : CSubViewPage(Template()),
      shower_(DefaultShower) {
  group_ = CKsGroupCtrl::FromTemplate(this, kIdGroup);
  mode_label_ = CKsStaticCtrl::FromTemplate(this, kIdModeLabel);
  days_label_ = CKsStaticCtrl::FromTemplate(this, kIdDaysLabel);
  address_label_ = CKsStaticCtrl::FromTemplate(this, kIdAddressLabel);
  port_label_ = CKsStaticCtrl::FromTemplate(this, kIdPortLabel);
  sort_ = CKsCheckCtrl::FromTemplate(this, kIdSort);
  hide_ = CKsCheckCtrl::FromTemplate(this, kIdHide);
  update_ = CKsCheckCtrl::FromTemplate(this, kIdUpdate);
  proxy_ = CKsCheckCtrl::FromTemplate(this, kIdProxy);
  default_ = CKsButtonCtrl::FromTemplate(this, kIdDefault);
  cancel_ = CKsButtonCtrl::FromTemplate(this, kIdCancel);
  apply_ = CKsButtonCtrl::FromTemplate(this, kIdApply);
  display_mode_ = ControlAs<QComboBox>(kIdDisplayMode);
  parse_reads_label_ = CKsStaticCtrl::FromTemplate(this, kIdParseReadsLabel);
  parse_reads_ = ControlAs<QComboBox>(kIdParseReads);
  address_ = ControlAs<QLineEdit>(kIdAddress);
  port_ = ControlAs<QLineEdit>(kIdPort);

  // The group frame has no caption of its own; it stays behind the rest.
  group_->Widget()->lower();

  // The two rules either side of the proxy box make it the caption of the
  // proxy section.
  for (int id : {kIdRuleLeft, kIdRuleRight}) {
    if (CKsStaticCtrl* rule = CKsStaticCtrl::FromTemplate(this, id)) {
      rule->SetLine(true);
      rule->Widget()->setFocusPolicy(Qt::NoFocus);
    }
  }

  display_mode_->clear();
  display_mode_->addItems(
      {QStringLiteral("Menu"), QStringLiteral("Tree"), QStringLiteral("Both")});

  parse_reads_->clear();
  parse_reads_->addItems({QStringLiteral("the address again (as downloaded)"),
                          QStringLiteral("the page as shown")});

  // Digits only: the port is a decimal number.
  port_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]*")), port_));

  // The interval: an up-down bound to a read-only centred edit.
  interval_ = new CSpinCtrlExt(this);
  interval_->setObjectName(ControlObjectName(kIdInterval));
  interval_->setProperty(kControlIdProperty, kIdInterval);
  interval_->setGeometry(MapDialogRect(QRect(179, 78, 34, 12)));
  interval_->setAccessibleName(QStringLiteral("Update check interval in days"));
  interval_->SetFormat("%0.0f");
  interval_->SetStep(1);
  interval_->SetRange(kIntervalLower, kIntervalUpper);
  interval_->SetValue(kIntervalDefault);
  QWidget::setTabOrder(update_->Widget(), interval_);

  group_->SetToolTip(QStringLiteral("How Quarry shows favourites, checks for "
                                    "updates and reaches the web"));
  mode_label_->SetToolTip(QStringLiteral(
      "Where the favourites appear: in the Favorites menu, in the tree beside "
      "the browser, or both"));
  display_mode_->setToolTip(mode_label_->GetToolTip());
  sort_->SetToolTip(QStringLiteral(
      "List favourites in alphabetical order instead of their saved order"));
  hide_->SetToolTip(QStringLiteral(
      "When minimized, keep Quarry as an icon in the notification area only"));
  update_->SetToolTip(QStringLiteral(
      "Look for a newer version of Quarry after this many days"));
  days_label_->SetToolTip(QStringLiteral(
      "Days between update checks, from 5 to 30"));
  interval_->setToolTip(days_label_->GetToolTip());
  parse_reads_label_->SetToolTip(QStringLiteral(
      "What Parse reads: the page downloaded afresh from its address, or the page as "
      "the browser shows it, after its scripts ran and with your sign-in"));
  parse_reads_->setToolTip(parse_reads_label_->GetToolTip());
  proxy_->SetToolTip(QStringLiteral(
      "Reach web pages through a proxy server on your local network"));
  address_label_->SetToolTip(QStringLiteral(
      "The proxy server's host name or IP address"));
  address_->setToolTip(address_label_->GetToolTip());
  port_label_->SetToolTip(QStringLiteral(
      "The proxy server's port number, from 1 to 9999999"));
  port_->setToolTip(port_label_->GetToolTip());
  default_->SetToolTip(QStringLiteral(
      "Put the default values in the favourites and update settings"));
  cancel_->SetToolTip(QStringLiteral("Discard your changes"));
  apply_->SetToolTip(QStringLiteral("Save your changes"));

  for (CKsCheckCtrl* box : {sort_, hide_, update_}) {
    connect(box, &CKsControlHost::clicked, this, [this] { SetChanged(true); });
  }
  connect(proxy_, &CKsControlHost::clicked, this, [this] {
    UpdateProxyFields();
    SetChanged(true);
  });
  // activated and textEdited come from the user only, so loading the
  // controls never marks them changed.
  connect(display_mode_, &QComboBox::activated, this, [this] { SetChanged(true); });
  connect(parse_reads_, &QComboBox::activated, this, [this] { SetChanged(true); });
  connect(address_, &QLineEdit::textEdited, this, [this] {
    if (IsInitialised()) SetChanged(true);
  });
  connect(port_, &QLineEdit::textEdited, this, [this] {
    if (IsInitialised()) SetChanged(true);
  });
  connect(default_, &CKsControlHost::clicked, this, [this] { Default(); });
  connect(cancel_, &CKsControlHost::clicked, this, [this] { Cancel(); });
  connect(apply_, &CKsControlHost::clicked, this, [this] { Apply(); });

  UpdateProxyFields();
  SetChanged(false);
}

CViewConfigurations::~CViewConfigurations() = default;

bool CViewConfigurations::Init(CQuarryView* view, QWidget* content_area,
                               CAppSettings* settings) {
  if (IsInitialised()) return true;
  const bool registered = CSubViewPage::Init(view, content_area, settings);
  interval_->SetNotifyWindow(Handle(), kIdInterval);
  LoadControls();
  return registered;
}

QString CViewConfigurations::Caption() const {
  return QStringLiteral("Configurations");
}

int CViewConfigurations::CommandId() const { return cmd::kConfigurations; }

void CViewConfigurations::SetMessageShower(MessageShower shower) {
  shower_ = shower ? std::move(shower) : MessageShower(DefaultShower);
}

void CViewConfigurations::OnHubMessage(uint32_t message, uintptr_t wparam,
                                       intptr_t) {
  if (message == WM_SPIN_VALUE_CHANGED &&
      static_cast<int>(wparam) == kIdInterval) {
    SetChanged(true);
  }
}

bool CViewConfigurations::Apply() {
  if (settings_ == nullptr) return false;
  // The port is checked whether or not the proxy is used: a stored port is
  // always a usable one.
  const uint64_t port = ReadPort(port_->text());
  if (port < kPortLowest || port > kPortHighest) {
    ShowMessage(QString::fromLatin1(kPortMessage), QMessageBox::Warning);
    port_->setFocus(Qt::OtherFocusReason);
    port_->selectAll();
    return false;
  }

  // With nothing selected (a stored mode the list does not offer) the
  // stored mode stays; storing "no selection" would leave a mode no part
  // of the program understands.
  const int selected = display_mode_->currentIndex();
  if (selected >= 0) {
    const uint32_t mode = static_cast<uint32_t>(selected);
    if (mode != settings_->GetFavoritesFillMode()) {
      // The menu and the tree are filled only at start-up.
      ShowMessage(QString::fromLatin1(kRestartMessage), QMessageBox::Information);
    }
    settings_->SetFavoritesFillMode(mode);
  }

  settings_->SetAutoUpdate(update_->GetValue() != 0 ? 1 : 0);
  settings_->SetSortFavorites(sort_->GetValue() != 0 ? 1 : 0);
  settings_->SetUseTrayIcon(hide_->GetValue() != 0 ? 1 : 0);
  // A stored value outside 5..30 that the user did not step stays as it
  // was; negative values cannot come from the store, but are kept off the
  // unsigned setting all the same.
  const double days = std::max(0.0, std::round(interval_->GetValue()));
  settings_->SetAutoUpdateInterval(static_cast<uint32_t>(days));
  if (parse_reads_->currentIndex() >= 0) {
    settings_->SetParsePageAsShown(parse_reads_->currentIndex() == 1 ? 1 : 0);
  }
  settings_->SetUseProxy(proxy_->GetValue() != 0 ? 1 : 0);
  settings_->SetProxyPort(static_cast<uint32_t>(port));
  settings_->SetProxyServer(address_->text().toStdString());

  SetChanged(false);
  return true;
}

void CViewConfigurations::Cancel() {
  if (settings_ == nullptr) return;
  LoadControls();
}

void CViewConfigurations::Default() {
  sort_->SetValue(0);
  interval_->SetValue(kIntervalDefault);
  display_mode_->setCurrentIndex(1);  // "Tree"
  update_->SetValue(1);
  SetChanged(true);
}

void CViewConfigurations::LoadControls() {
  sort_->SetValue(settings_->GetSortFavorites() != 0 ? 1 : 0);
  update_->SetValue(settings_->GetAutoUpdate() != 0 ? 1 : 0);
  hide_->SetValue(settings_->GetUseTrayIcon() != 0 ? 1 : 0);
  proxy_->SetValue(settings_->GetUseProxy() != 0 ? 1 : 0);
  address_->setText(QString::fromStdString(settings_->GetProxyServer()));
  port_->setText(QString::number(settings_->GetProxyPort()));
  UpdateProxyFields();
  // A mode the list does not offer leaves nothing selected, so that Apply
  // stores what the user then picks instead of a made-up choice.
  const uint32_t mode = settings_->GetFavoritesFillMode();
  display_mode_->setCurrentIndex(
      mode < static_cast<uint32_t>(display_mode_->count()) ? static_cast<int>(mode) : -1);
  interval_->SetValue(settings_->GetAutoUpdateInterval());
  parse_reads_->setCurrentIndex(settings_->GetParsePageAsShown() != 0 ? 1 : 0);
  SetChanged(false);
}

void CViewConfigurations::SetChanged(bool changed) {
  changed_ = changed;
  apply_->SetEnabled(changed);
  cancel_->SetEnabled(changed);
}

void CViewConfigurations::UpdateProxyFields() {
  const bool on = proxy_->GetValue() != 0;
  address_->setEnabled(on);
  port_->setEnabled(on);
  address_label_->SetEnabled(on);
  port_label_->SetEnabled(on);
}

void CViewConfigurations::ShowMessage(const QString& text,
                                      QMessageBox::Icon icon) {
  shower_(this, text, icon);
}

}  // namespace quarry
