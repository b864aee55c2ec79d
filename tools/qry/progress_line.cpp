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
  Draw("qry: downloading... " + std::to_string(percent) + "%");
}

void ProgressLine::ShowCount(std::size_t done, std::size_t total) {
  Draw("qry: " + std::to_string(done) + " of " + std::to_string(total) + " sources read");
}

void ProgressLine::Draw(const std::string& text) {
  if (text == shown_) return;
  out_ << '\r' << text;
  // A shorter text than the last one leaves no stale characters behind.
  if (text.size() < width_) out_ << std::string(width_ - text.size(), ' ');
  out_.flush();
  width_ = std::max(width_, text.size());
  shown_ = text;
}

void ProgressLine::Clear() {
  if (shown_.empty()) return;
  out_ << '\r' << std::string(width_, ' ') << '\r';
  out_.flush();
  shown_.clear();
  width_ = 0;
}

}  // namespace quarry::qry
