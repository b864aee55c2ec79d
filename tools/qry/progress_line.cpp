#include "tools/qry/progress_line.h"

#include <algorithm>
#include <string>

namespace quarry::qry {

ProgressLine::ProgressLine(std::ostream& out) : out_(out) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(double fraction) {
  // NaN fails both comparisons and ends up as 0.
  if (!(fraction > 0.0)) fraction = 0.0;
  if (fraction > 1.0) fraction = 1.0;
  const int percent = static_cast<int>(fraction * 100.0);
  if (percent == shown_percent_) return;
  const std::string text = "qry: downloading... " + std::to_string(percent) + "%";
  out_ << '\r' << text;
  // A shorter text than the last one leaves no stale characters behind.
  if (text.size() < width_) out_ << std::string(width_ - text.size(), ' ');
  out_.flush();
  width_ = std::max(width_, text.size());
  shown_percent_ = percent;
}

void ProgressLine::Clear() {
  if (shown_percent_ < 0) return;
  out_ << '\r' << std::string(width_, ' ') << '\r';
  out_.flush();
  shown_percent_ = -1;
  width_ = 0;
}

}  // namespace quarry::qry
