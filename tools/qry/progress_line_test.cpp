#include "tools/qry/progress_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace quarry::qry {
namespace {

TEST(ProgressLine, RedrawsInPlaceOnlyWhenThePercentChanges) {
  std::ostringstream out;
  {
    ProgressLine line(out);
    line.Show(0.0);
    line.Show(0.001);  // still 0%
    line.Show(0.5);
    line.Show(0.505);  // still 50%
    line.Show(1.0);
    EXPECT_EQ(out.str(),
              "\rqry: downloading... 0%"
              "\rqry: downloading... 50%"
              "\rqry: downloading... 100%");
    out.str("");
  }
  // Going away blanks the line and leaves the cursor at its start.
  EXPECT_EQ(out.str(), "\r" + std::string(24, ' ') + "\r");
}

TEST(ProgressLine, ClampsOddFractionsAndClearsOnlyWhatItDrew) {
  std::ostringstream out;
  ProgressLine line(out);
  line.Clear();
  EXPECT_EQ(out.str(), "") << "nothing shown, nothing to clear";
  line.Show(7.0);
  // A shorter text after a longer one overwrites the longer one's tail; NaN
  // shows as 0%, unchanged, so it is not redrawn.
  line.Show(-1.0);
  line.Show(std::nan(""));
  EXPECT_EQ(out.str(), "\rqry: downloading... 100%\rqry: downloading... 0%  ");
}

TEST(ProgressLine, CountsSourcesAndRedrawsAfterAClear) {
  std::ostringstream out;
  ProgressLine line(out);
  line.ShowCount(0, 12);
  line.ShowCount(0, 12);
  line.ShowCount(3, 12);
  // A message written between draws: the line is cleared first and shown
  // again afterwards.
  line.Clear();
  line.ShowCount(3, 12);
  EXPECT_EQ(out.str(),
            "\rqry: 0 of 12 sources read"
            "\rqry: 3 of 12 sources read"
            "\r" + std::string(25, ' ') + "\r"
            "\rqry: 3 of 12 sources read");
}

}  // namespace
}  // namespace quarry::qry
