// Progress as one line on a terminal, rewritten in place: a download's
// percentage, or how many sources of a batch have been read.

#ifndef QUARRY_TOOLS_QRY_PROGRESS_LINE_H_
#define QUARRY_TOOLS_QRY_PROGRESS_LINE_H_

#include <cstddef>
#include <ostream>
#include <string>

namespace quarry::qry {

// Shows "qry: downloading... N%" on `out`, going back to the line's start
// with a carriage return before each redraw, so that the line updates in
// place. Meant for a terminal only: the caller decides whether to create one.
// Clear() (or destruction) blanks the line and leaves the cursor at its
// start, so that what is written next starts on a clean line.
class ProgressLine {
 public:
  // `out` is not owned and must outlive this object.
  explicit ProgressLine(std::ostream& out);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Shows `fraction` (clamped to 0..1) as a whole percent. Draws only when
  // the percent changed, so a terminal over a slow link is not flooded.
  void Show(double fraction);

  // Shows "qry: DONE of TOTAL sources read", when it changed.
  void ShowCount(std::size_t done, std::size_t total);

  // Blanks the line if anything is shown; otherwise writes nothing.
  void Clear();

 private:
  // Writes `text` over the line unless it is what the line shows.
  void Draw(const std::string& text);

  std::ostream& out_;
  std::string shown_;      // empty: nothing on the line
  std::size_t width_ = 0;  // characters now on the line
};

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_PROGRESS_LINE_H_
