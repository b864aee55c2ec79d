#include "framework/spin_ctrl_ext.h"

#include <QLineEdit>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <utility>

namespace quarry {

namespace {

// True when `format` holds exactly one conversion of a double and nothing
// else that printf would read an argument for.
bool IsSafeDoubleFormat(const std::string& format) {
  int conversions = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    ++i;
    if (i < format.size() && format[i] == '%') continue;
    while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr) ++i;
    size_t digits = 0;
    while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) {
      ++i;
      ++digits;
    }
    if (i < format.size() && format[i] == '.') {
      ++i;
      while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) {
        ++i;
        ++digits;
      }
    }
    // Widths and precisions beyond two digits only make huge texts.
    if (digits > 4 || i >= format.size()) return false;
    if (std::strchr("fFeEgG", format[i]) == nullptr) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

CSpinCtrlExt::CSpinCtrlExt(QWidget* parent) : QAbstractSpinBox(parent) {
  // The edit only shows the value; the arrows, the arrow keys and the wheel
  // change it. (QAbstractSpinBox::setReadOnly would stop those too.)
  lineEdit()->setReadOnly(true);
  setAlignment(Qt::AlignCenter);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setKeyboardTracking(false);
  Refresh();
}

CSpinCtrlExt::~CSpinCtrlExt() = default;

bool CSpinCtrlExt::SetFormat(const std::string& format) {
  if (!IsSafeDoubleFormat(format)) return false;
  format_ = format;
  Refresh();
  return true;
}

void CSpinCtrlExt::SetRange(double lower, double upper) {
  if (lower > upper) std::swap(lower, upper);
  lower_ = lower;
  upper_ = upper;
  Refresh();
}

bool CSpinCtrlExt::SetStep(double step) {
  if (!(step > 0)) return false;
  step_ = step;
  return true;
}

void CSpinCtrlExt::SetValue(double value) {
  value_ = value;
  Refresh();
}

QString CSpinCtrlExt::FormatValue(double value) const {
  char buffer[128];
  const int n = std::snprintf(buffer, sizeof buffer, format_.c_str(), value);
  if (n < 0) return {};
  QString text = QString::fromLatin1(buffer, std::min<int>(n, sizeof buffer - 1));
  // printf follows the process locale, which Qt sets from the environment;
  // the control always shows a point.
  const char* point = std::localeconv()->decimal_point;
  if (point != nullptr && std::strcmp(point, ".") != 0) {
    text.replace(QString::fromLatin1(point), QStringLiteral("."));
  }
  return text;
}

QString CSpinCtrlExt::Text() const { return lineEdit()->text(); }

void CSpinCtrlExt::SetNotifyWindow(platform::WindowHandle window,
                                   int control_id) {
  notify_ = window;
  control_id_ = control_id;
}

void CSpinCtrlExt::stepBy(int steps) {
  if (steps == 0) return;
  const double next = std::clamp(value_ + steps * step_, lower_, upper_);
  if (next == value_) return;
  value_ = next;
  Refresh();
  emit valueChanged(value_);
  if (notify_ != platform::kNoWindow) {
    platform::PostMessage(notify_, WM_SPIN_VALUE_CHANGED,
                          static_cast<uintptr_t>(control_id_), 0);
  }
}

QAbstractSpinBox::StepEnabled CSpinCtrlExt::stepEnabled() const {
  StepEnabled enabled = StepNone;
  if (value_ < upper_) enabled |= StepUpEnabled;
  if (value_ > lower_) enabled |= StepDownEnabled;
  return enabled;
}

void CSpinCtrlExt::Refresh() {
  lineEdit()->setText(FormatValue(value_));
  update();
}

}  // namespace quarry
