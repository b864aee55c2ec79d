// The Configurations view: the sub-view in which the user edits the
// settings the program exposes (how favourites are shown, update checks,
// hiding in the notification area, what Parse reads, the proxy server). The controls hold a
// working copy; Apply validates it and writes it through the settings'
// setters, Cancel reloads the controls from the settings, Default puts
// default values into some of the controls without writing anything.

#ifndef QUARRY_APP_VIEW_CONFIGURATIONS_H_
#define QUARRY_APP_VIEW_CONFIGURATIONS_H_

#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <functional>

#include "app/sub_view_pages.h"
#include "framework/dialog_template.h"

class QComboBox;
class QLineEdit;

namespace quarry {

class CKsButtonCtrl;
class CKsCheckCtrl;
class CKsGroupCtrl;
class CKsStaticCtrl;
class CSpinCtrlExt;

class CViewConfigurations : public CSubViewPage {
  Q_OBJECT

 public:
  // Control ids of template 408.
  static constexpr int kTemplateId = 408;
  static constexpr int kIdGroup = 6125;
  static constexpr int kIdModeLabel = 6187;
  static constexpr int kIdDisplayMode = 1014;
  static constexpr int kIdSort = 1030;
  static constexpr int kIdHide = 1041;
  static constexpr int kIdUpdate = 1036;
  static constexpr int kIdInterval = 1037;      // the spin's edit
  static constexpr int kIdIntervalSpin = 1038;  // its up-down part
  static constexpr int kIdDaysLabel = 6180;
  static constexpr int kIdParseReadsLabel = 6190;
  static constexpr int kIdParseReads = 1045;
  static constexpr int kIdRuleLeft = 6207;
  static constexpr int kIdRuleRight = 6208;
  static constexpr int kIdProxy = 1043;
  static constexpr int kIdAddressLabel = 6188;
  static constexpr int kIdAddress = 1026;
  static constexpr int kIdPortLabel = 6189;
  static constexpr int kIdPort = 1025;
  static constexpr int kIdDefault = 6039;
  static constexpr int kIdCancel = 6022;
  static constexpr int kIdApply = 1002;

  // The interval the spin offers, in days, and the Default value.
  static constexpr double kIntervalLower = 5;
  static constexpr double kIntervalUpper = 30;
  static constexpr double kIntervalDefault = 15;
  // The proxy ports Apply accepts.
  static constexpr uint64_t kPortLowest = 1;
  static constexpr uint64_t kPortHighest = 9999999;

  // Shows one message to the user and returns when it was dismissed. The
  // default is a modal message box captioned "Quarry" over the view.
  using MessageShower =
      std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon)>;

  // Template 408 (369 x 219 dialog units) without the interval spin, which
  // the view adds in code.
  static DialogTemplate Template();

  // Every control made and wired, the spin set up (format "%0.0f", step 1,
  // range 5..30); nothing loaded until Init.
  CViewConfigurations();
  ~CViewConfigurations() override;

  // Once only (a later call returns true at once): lays the view over the
  // content area, registers it with the hub, points the spin's change
  // message at it and loads the controls from `settings` as Cancel does.
  // `settings` must outlive the view. Returns false when the hub had no
  // free slot; the view then still works.
  bool Init(CQuarryView* view, QWidget* content_area,
            CAppSettings* settings) override;

  QString Caption() const override;
  int CommandId() const override;

  // Replaces how messages reach the user (tests record them instead).
  void SetMessageShower(MessageShower shower);

  // True while the controls hold edits that were neither applied nor
  // cancelled; Apply and Cancel are enabled exactly then.
  bool IsChanged() const { return changed_; }

  // The three buttons' actions, also reachable by clicking them.
  // Apply returns true when the values were written; on a refused port it
  // writes nothing, keeps the user's entries and the changed flag, and
  // puts the focus in the port box. Apply and Cancel do nothing before
  // Init.
  bool Apply();
  void Cancel();
  void Default();

 protected:
  void OnHubMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

 private:
  // Loads every control from the settings; clears the changed flag.
  void LoadControls();
  void SetChanged(bool changed);
  // Enables the proxy address and port (and their labels) when the proxy
  // box is ticked.
  void UpdateProxyFields();
  void ShowMessage(const QString& text, QMessageBox::Icon icon);

  CKsGroupCtrl* group_ = nullptr;
  CKsStaticCtrl* mode_label_ = nullptr;
  CKsStaticCtrl* days_label_ = nullptr;
  CKsStaticCtrl* address_label_ = nullptr;
  CKsStaticCtrl* port_label_ = nullptr;
  QComboBox* display_mode_ = nullptr;
  CKsStaticCtrl* parse_reads_label_ = nullptr;
  QComboBox* parse_reads_ = nullptr;  // 0 the download, 1 the page as shown
  CKsCheckCtrl* sort_ = nullptr;
  CKsCheckCtrl* hide_ = nullptr;
  CKsCheckCtrl* update_ = nullptr;
  CKsCheckCtrl* proxy_ = nullptr;
  CSpinCtrlExt* interval_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* port_ = nullptr;
  CKsButtonCtrl* default_ = nullptr;
  CKsButtonCtrl* cancel_ = nullptr;
  CKsButtonCtrl* apply_ = nullptr;

  MessageShower shower_;
  bool changed_ = false;
};

}  // namespace quarry

#endif  // QUARRY_APP_VIEW_CONFIGURATIONS_H_
