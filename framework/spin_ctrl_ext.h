// CSpinCtrlExt: an up-down control bound to a read-only, centred edit that
// shows a real value through a printf-style format ("%0.0f"). The user
// changes the value only by stepping; each step stays inside the range.
// A value the program sets is kept and shown as given, even outside the
// range, until the user steps (stepping then brings it back inside).

#ifndef QUARRY_FRAMEWORK_SPIN_CTRL_EXT_H_
#define QUARRY_FRAMEWORK_SPIN_CTRL_EXT_H_

#include <QAbstractSpinBox>
#include <QString>
#include <string>

#include "platform/window_message.h"

namespace quarry {

// Posted to the notify window after the user changed the value: wParam is
// the control's id, lParam 0.
inline constexpr uint32_t WM_SPIN_VALUE_CHANGED = platform::WM_APP + 0x2CF;

class CSpinCtrlExt : public QAbstractSpinBox {
  Q_OBJECT

 public:
  // Value 0, range 0..100, step 1, format "%0.0f". `parent` owns the
  // control when given.
  explicit CSpinCtrlExt(QWidget* parent = nullptr);
  ~CSpinCtrlExt() override;

  // A single conversion of a double (%f, %e, %g and their capitals) with
  // optional flags, width and precision, and any literal text around it
  // ("%%" for a percent sign). Anything else is refused (false) and the
  // format stays as it was, so a stray conversion can never read beyond
  // the one value passed.
  bool SetFormat(const std::string& format);
  const std::string& GetFormat() const { return format_; }

  // Swaps the bounds when given the wrong way round. The value is kept.
  void SetRange(double lower, double upper);
  double GetLower() const { return lower_; }
  double GetUpper() const { return upper_; }
  // Steps of zero or less are refused.
  bool SetStep(double step);
  double GetStep() const { return step_; }

  // Shows `value` as stored; neither signals nor posts.
  void SetValue(double value);
  double GetValue() const { return value_; }
  // The edit's text, `value` through the format (with "." as the decimal
  // point whatever the locale).
  QString Text() const;
  QString FormatValue(double value) const;

  // Where WM_SPIN_VALUE_CHANGED goes after a user step (kNoWindow: no
  // message), and the id it carries.
  void SetNotifyWindow(platform::WindowHandle window, int control_id);

  // QAbstractSpinBox.
  void stepBy(int steps) override;

 signals:
  // The user stepped to a new value.
  void valueChanged(double value);

 protected:
  StepEnabled stepEnabled() const override;

 private:
  void Refresh();

  std::string format_ = "%0.0f";
  double lower_ = 0;
  double upper_ = 100;
  double step_ = 1;
  double value_ = 0;
  platform::WindowHandle notify_ = platform::kNoWindow;
  int control_id_ = 0;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_SPIN_CTRL_EXT_H_
