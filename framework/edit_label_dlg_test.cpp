#include "framework/edit_label_dlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quarry {
namespace {

TEST(EditLabelDlgTest, BothFieldsStartWithTheLabelAndNewOneIsSelected) {
  CEditLabelDlg dlg(QStringLiteral("Table 3"));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Edit Label"));
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  auto* current = FindControl<QLineEdit>(&dlg, CEditLabelDlg::kIdCurrentLabel);
  auto* fresh = FindControl<QLineEdit>(&dlg, CEditLabelDlg::kIdNewLabel);
  ASSERT_NE(current, nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(current->text(), QStringLiteral("Table 3"));
  EXPECT_TRUE(current->isReadOnly());
  EXPECT_EQ(fresh->text(), QStringLiteral("Table 3"));
  EXPECT_EQ(dlg.focusWidget(), fresh);
  EXPECT_EQ(fresh->selectedText(), QStringLiteral("Table 3"));
  EXPECT_EQ(current->accessibleName(), QStringLiteral("Current Label"));
  EXPECT_EQ(fresh->accessibleName(), QStringLiteral("New Label"));
}

// Runs the dialog modally, types `text` over the selection and presses the
// button `button_id`; returns exec()'s result.
int RunTyping(CEditLabelDlg& dlg, const QString& text, int button_id) {
  QTimer::singleShot(0, &dlg, [&] {
    auto* fresh = FindControl<QLineEdit>(&dlg, CEditLabelDlg::kIdNewLabel);
    QTest::keyClicks(fresh, text);
    FindControl<QPushButton>(&dlg, button_id)->click();
  });
  // Bounded: if the click never lands, close the dialog anyway.
  QTimer::singleShot(5000, &dlg, [&] { dlg.done(-1); });
  return dlg.exec();
}

TEST(EditLabelDlgTest, OkGivesTheTextAsTypedAndCancelIsACancel) {
  CEditLabelDlg ok_dlg(QStringLiteral("Table 3"));
  EXPECT_EQ(RunTyping(ok_dlg, QStringLiteral("  Prices, 2024 "), CEditLabelDlg::kIdOk),
            QDialog::Accepted);
  EXPECT_EQ(ok_dlg.GetNewLabel(), QStringLiteral("  Prices, 2024 "));

  CEditLabelDlg cancel_dlg(QStringLiteral("Table 3"));
  EXPECT_EQ(RunTyping(cancel_dlg, QStringLiteral("x"), CEditLabelDlg::kIdCancel),
            QDialog::Rejected);
}

}  // namespace
}  // namespace quarry
