// Host classes for the system's own buttons, check boxes, labels and group
// frames. Views talk to these, never to the widgets behind them.
//
// Each host creates its control from the control modules by class
// identifier (KsButton, KsCheck, KsStatic, KsGroup, registered in the
// settings store) and drives it by dispatch id, as a container drives an
// embedded control: it is the control's site (ambient colours, font, user
// mode) and its event sink (clicks, link clicks). When a module cannot be
// created (not registered, missing, broken), the host makes a standard Qt
// widget instead and drives that through the same calls, so that no
// dialog is ever without its controls.
//
// A host is a QObject owned by the widget it drives, so it lives exactly as
// long as that widget; a view keeps the pointer Create or FromTemplate
// returned, and must not use it after the widget is destroyed. Widgets are
// named "ctl<ID>" with the property "controlId", like template controls, so
// FindControl keeps finding them.

#ifndef QUARRY_FRAMEWORK_KS_CONTROLS_H_
#define QUARRY_FRAMEWORK_KS_CONTROLS_H_

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "framework/colour/colour_ref.h"
#include "framework/dialog_units.h"
#include "platform/control_interfaces.h"
#include "platform/window_message.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace quarry {

struct DialogItem;

namespace controls {
struct ModuleIdentity;
}  // namespace controls

// What every host offers.
class CKsControlHost : public QObject,
                       private com::IControlSite,
                       private com::IEventSink {
  Q_OBJECT

 public:
  ~CKsControlHost() override;

  // The widget; null once it was destroyed.
  QWidget* Widget() const { return widget_; }
  int ControlId() const { return id_; }

  // True when the control came from its module; false for the standard
  // widget that stands in for it.
  bool IsModuleControl() const { return static_cast<bool>(control_); }

  // The control's properties and methods by dispatch id. Without a module
  // control these fail (false / nullopt). A refused value leaves the
  // property as it was and returns false.
  bool SetProperty(com::DISPID id, const com::Variant& value);
  std::optional<com::Variant> GetProperty(com::DISPID id) const;
  bool InvokeMethod(com::DISPID id, std::vector<com::Variant> args = {},
                    com::Variant* result = nullptr);

  virtual QString GetCaption() const = 0;
  // Also names the control for screen readers.
  virtual void SetCaption(const QString& caption) = 0;

  bool IsEnabled() const;
  void SetEnabled(bool enabled);
  void SetToolTip(const QString& text);
  QString GetToolTip() const;
  // Places the control; a module control may raise the size to its
  // minimums.
  void MoveWindow(const QRect& pixels);
  QRect GetGeometry() const;
  virtual void ShowWindow(bool shown);

  // Appearance: the stock BackColor, ForeColor and Font of a module
  // control. The standard widgets keep the desktop's colours, so for them
  // the colours are only remembered; the font applies to either.
  void SetBackColour(COLORREF colour);
  void SetForeColour(COLORREF colour);
  void SetControlFont(const QFont& font);
  COLORREF GetBackColour() const;
  COLORREF GetForeColour() const;

 signals:
  // The user clicked the control (for a check box after its value changed).
  void clicked(int id);

 protected:
  CKsControlHost(QWidget* widget, int id, com::ComPtr<com::IControl> control);

  // Gives a newly made widget the template control's name, id property,
  // geometry and accessible name.
  static void Place(QWidget* widget, int id, const QRect& pixels);

  // Makes a module's control as a child of `parent`; empty (and nothing
  // made) when the module cannot give one.
  static com::ComPtr<com::IControl> CreateModuleControl(const controls::ModuleIdentity& module,
                                                        QWidget* parent, int id,
                                                        const QRect& pixels,
                                                        const QString& caption);

  com::IControl* Control() const { return control_.get(); }
  std::string PropertyText(com::DISPID id) const;

  // A message the control posts to its container (the site's part).
  virtual void OnControlMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);

 private:
  // IControlSite
  bool GetAmbient(com::DISPID id, com::Variant* value) override;
  void PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  // IEventSink
  void OnEvent(com::DISPID event, std::span<const com::Variant> args) override;

  QPointer<QWidget> widget_;
  int id_;
  com::ComPtr<com::IControl> control_;
  COLORREF back_colour_ = 0xFFFFFF;
  COLORREF fore_colour_ = 0;
  QFont font_;
};

// A push button.
class CKsButtonCtrl : public CKsControlHost {
  Q_OBJECT

 public:
  // A new button child of `parent` at `pixels` (or at `units` dialog units
  // measured with `base`). Null when parent is null.
  static CKsButtonCtrl* Create(QWidget* parent, int id, const QRect& pixels,
                               const QString& caption);
  static CKsButtonCtrl* Create(QWidget* parent, int id, const QRect& units,
                               const DialogBaseUnits& base,
                               const QString& caption);
  // Takes over the push button the dialog's template made for `id`. Null
  // when there is none. Calling it twice returns the same host.
  static CKsButtonCtrl* FromTemplate(QWidget* dialog, int id);

  QString GetCaption() const override;
  void SetCaption(const QString& caption) override;
  // The button's window; the module's button is a push button too.
  QPushButton* Button() const;
  // Shown or hidden through the control's ShowWindow method.
  void ShowWindow(bool shown) override;

 private:
  CKsButtonCtrl(QPushButton* button, int id, com::ComPtr<com::IControl> control);
};

// A check box whose value is 0 (clear) or 1 (checked).
class CKsCheckCtrl : public CKsControlHost {
  Q_OBJECT

 public:
  static CKsCheckCtrl* Create(QWidget* parent, int id, const QRect& pixels,
                              const QString& caption);
  static CKsCheckCtrl* Create(QWidget* parent, int id, const QRect& units,
                              const DialogBaseUnits& base,
                              const QString& caption);
  static CKsCheckCtrl* FromTemplate(QWidget* dialog, int id);

  QString GetCaption() const override;
  void SetCaption(const QString& caption) override;
  // Any non-zero value checks the box; setting it emits nothing.
  int GetValue() const;
  void SetValue(int value);
  // The box's window; the module's check box is a check box too.
  QCheckBox* CheckBox() const;

 private:
  CKsCheckCtrl(QCheckBox* box, int id, com::ComPtr<com::IControl> control);
};

// A label, which in link mode stands for a web address: clicking it (or
// Space / Enter while it has the focus) emits linkClicked and posts
// WM_LINK_CLICKED to the notify window with wParam = the control's id and
// lParam = a `const std::string*` holding the address (UTF-8). That string
// is never freed while the process runs, so a receiver may read it whenever
// the message arrives, even after the label is gone or shows another
// address. The module's label also opens the address in the user's
// browser itself (OpensLinksItself()); the standard one leaves that to
// whoever hears the click.
class CKsStaticCtrl : public CKsControlHost {
  Q_OBJECT

 public:
  static CKsStaticCtrl* Create(QWidget* parent, int id, const QRect& pixels,
                               const QString& caption);
  static CKsStaticCtrl* Create(QWidget* parent, int id, const QRect& units,
                               const DialogBaseUnits& base,
                               const QString& caption);
  static CKsStaticCtrl* FromTemplate(QWidget* dialog, int id);

  QString GetCaption() const override;
  void SetCaption(const QString& caption) override;
  // The standard label; null when the label is the module's.
  QLabel* Label() const;

  // A non-empty address turns link mode on (underlined, hand cursor, takes
  // the focus); an empty one turns it off.
  void SetLink(const QString& address);
  QString GetLink() const { return link_; }
  bool IsLink() const { return !link_.isEmpty(); }
  bool OpensLinksItself() const { return IsModuleControl(); }

  // A horizontal rule instead of text (`pen_width` pixels thick).
  void SetLine(bool line, int pen_width = 1);
  // Several lines, wrapped at word boundaries.
  void SetWordWrap(bool wrap);

  // Makes the caption's mnemonic ("&Address:") move the focus to `buddy`.
  void SetBuddy(QWidget* buddy, const QString& caption_with_mnemonic);

  // Where WM_LINK_CLICKED goes. Without one, the nearest ancestor widget
  // that is a platform::MessageWindow; without that, nowhere.
  void SetNotifyWindow(platform::WindowHandle window) { notify_ = window; }
  platform::WindowHandle NotifyWindow() const;

  // The process-lifetime copy of `address` that link messages point at.
  static const std::string* KeptAddress(const std::string& address);

 signals:
  void linkClicked(int id, const QString& address);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void OnControlMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

 private:
  CKsStaticCtrl(QWidget* label, int id, com::ComPtr<com::IControl> control);
  void Activate(const std::string& address);

  QString link_;
  platform::WindowHandle notify_ = platform::kNoWindow;
};

// A group frame with a caption.
class CKsGroupCtrl : public CKsControlHost {
  Q_OBJECT

 public:
  static CKsGroupCtrl* Create(QWidget* parent, int id, const QRect& pixels,
                              const QString& caption);
  static CKsGroupCtrl* Create(QWidget* parent, int id, const QRect& units,
                              const DialogBaseUnits& base,
                              const QString& caption);
  static CKsGroupCtrl* FromTemplate(QWidget* dialog, int id);

  QString GetCaption() const override;
  void SetCaption(const QString& caption) override;
  // The standard group box; null when the frame is the module's.
  QGroupBox* GroupBox() const;

 private:
  CKsGroupCtrl(QWidget* group, int id, com::ComPtr<com::IControl> control);
};

// The host of a widget (a template control or one a host created), or
// null.
CKsControlHost* HostOf(const QWidget* widget);

// For CreateDialogControls: the widget of a template button, default
// button, check box, label or group box, made through its host (the
// module's control, else the standard widget); null for other kinds.
QWidget* CreateTemplateControl(const DialogItem& item, QWidget* parent);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_KS_CONTROLS_H_
