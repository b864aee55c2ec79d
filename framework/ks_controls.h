// Host classes for the system's own buttons, check boxes, labels and group
// frames. Views talk to these, never to the widgets behind them: for now
// each wraps a standard Qt widget, and the owner-drawn control modules slot
// in behind the same calls later.
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
#include <string>

#include "framework/colour/colour_ref.h"
#include "framework/dialog_units.h"
#include "platform/window_message.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace quarry {

// What every host offers.
class CKsControlHost : public QObject {
  Q_OBJECT

 public:
  ~CKsControlHost() override;

  // The widget; null once it was destroyed.
  QWidget* Widget() const { return widget_; }
  int ControlId() const { return id_; }

  virtual QString GetCaption() const = 0;
  // Also names the control for screen readers.
  virtual void SetCaption(const QString& caption) = 0;

  bool IsEnabled() const;
  void SetEnabled(bool enabled);
  void SetToolTip(const QString& text);
  QString GetToolTip() const;
  void MoveWindow(const QRect& pixels);
  QRect GetGeometry() const;
  void ShowWindow(bool shown);

  // Appearance the owner-drawn controls take; the standard widgets keep the
  // desktop's look, so these only remember the values.
  void SetBackColour(COLORREF colour) { back_colour_ = colour; }
  void SetForeColour(COLORREF colour) { fore_colour_ = colour; }
  void SetControlFont(const QFont& font) { font_ = font; }
  COLORREF GetBackColour() const { return back_colour_; }
  COLORREF GetForeColour() const { return fore_colour_; }

 signals:
  // The user clicked the control (for a check box after its value changed).
  void clicked(int id);

 protected:
  CKsControlHost(QWidget* widget, int id);

  // Gives a newly made widget the template control's name, id property,
  // geometry and accessible name.
  static void Place(QWidget* widget, int id, const QRect& pixels);

 private:
  QPointer<QWidget> widget_;
  int id_;
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
  QPushButton* Button() const;

 private:
  CKsButtonCtrl(QPushButton* button, int id);
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
  QCheckBox* CheckBox() const;

 private:
  CKsCheckCtrl(QCheckBox* box, int id);
};

// A label, which in link mode stands for a web address: clicking it (or
// Space / Enter while it has the focus) emits linkClicked and posts
// WM_LINK_CLICKED to the notify window with wParam = the control's id and
// lParam = a `const std::string*` holding the address (UTF-8). That string
// is never freed while the process runs, so a receiver may read it whenever
// the message arrives, even after the label is gone or shows another
// address.
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
  QLabel* Label() const;

  // A non-empty address turns link mode on (underlined, hand cursor, takes
  // the focus); an empty one turns it off.
  void SetLink(const QString& address);
  QString GetLink() const { return link_; }
  bool IsLink() const { return !link_.isEmpty(); }

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

 private:
  CKsStaticCtrl(QLabel* label, int id);
  void Activate();

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
  QGroupBox* GroupBox() const;

 private:
  CKsGroupCtrl(QGroupBox* group, int id);
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_KS_CONTROLS_H_
