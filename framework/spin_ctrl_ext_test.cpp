#include "framework/spin_ctrl_ext.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <vector>

namespace quarry {
namespace {

// The interval spin of the configurations page: "%0.0f", step 1, 5..30.
class SpinTest : public ::testing::Test {
 protected:
  SpinTest() {
    spin.SetFormat("%0.0f");
    spin.SetStep(1);
    spin.SetRange(5, 30);
    spin.SetValue(15);
  }
  CSpinCtrlExt spin;
};

TEST_F(SpinTest, StepsStayInsideTheRange) {
  QSignalSpy changes(&spin, &CSpinCtrlExt::valueChanged);
  spin.stepBy(1);
  EXPECT_EQ(spin.GetValue(), 16);
  EXPECT_EQ(spin.Text(), QStringLiteral("16"));
  spin.stepBy(100);
  EXPECT_EQ(spin.GetValue(), 30);
  spin.stepBy(1);  // already at the top: no change, no signal
  EXPECT_EQ(changes.count(), 2);
  spin.stepBy(-100);
  EXPECT_EQ(spin.GetValue(), 5);
  EXPECT_EQ(changes.count(), 3);
  ASSERT_NE(spin.findChild<QLineEdit*>(), nullptr);
  EXPECT_TRUE(spin.findChild<QLineEdit*>()->isReadOnly());
  EXPECT_EQ(spin.alignment(), Qt::AlignCenter);
}

TEST_F(SpinTest, StoredValueOutsideTheRangeShowsUntilTheUserSteps) {
  QSignalSpy changes(&spin, &CSpinCtrlExt::valueChanged);
  spin.SetValue(45);
  EXPECT_EQ(spin.Text(), QStringLiteral("45"));
  EXPECT_EQ(spin.GetValue(), 45);
  EXPECT_EQ(changes.count(), 0);  // the program's own value is no change
  spin.stepBy(-1);
  EXPECT_EQ(spin.GetValue(), 30);
  spin.SetValue(2);
  EXPECT_EQ(spin.Text(), QStringLiteral("2"));
  spin.stepBy(1);
  EXPECT_EQ(spin.GetValue(), 5);
}

TEST_F(SpinTest, FormatsRoundAndRefuseUnsafeConversions) {
  spin.SetValue(15.7);
  EXPECT_EQ(spin.Text(), QStringLiteral("16"));
  EXPECT_TRUE(spin.SetFormat("%0.2f days"));
  EXPECT_EQ(spin.Text(), QStringLiteral("15.70 days"));
  EXPECT_TRUE(spin.SetFormat("%g%%"));
  EXPECT_EQ(spin.Text(), QStringLiteral("15.7%"));
  for (const char* bad : {"%s", "%d", "%n", "%f %f", "plain", "%*f", "%99999f"}) {
    EXPECT_FALSE(spin.SetFormat(bad)) << bad;
  }
  EXPECT_EQ(spin.GetFormat(), "%g%%");
  EXPECT_FALSE(spin.SetStep(0));
  EXPECT_EQ(spin.GetStep(), 1);
}

TEST_F(SpinTest, UserStepsPostToTheNotifyWindow) {
  std::vector<std::pair<uint32_t, uintptr_t>> received;
  platform::MessageWindow window([&](uint32_t message, uintptr_t wparam, intptr_t) {
    received.emplace_back(message, wparam);
    return intptr_t{0};
  });
  spin.SetNotifyWindow(window.Handle(), 1038);
  spin.SetValue(20);  // the program's own change posts nothing
  spin.stepBy(1);
  for (int i = 0; i < 50 && received.empty(); ++i) QTest::qWait(10);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].first, platform::WM_APP + 0x2CFu);
  EXPECT_EQ(received[0].second, 1038u);
}

}  // namespace
}  // namespace quarry
