#include "framework/qt_colour.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

namespace quarry {
namespace {

TEST(QtColourTest, ColourRefsKeepRedInTheLowByte) {
  EXPECT_EQ(ToQColor(0x339ADF), QColor(0xDF, 0x9A, 0x33));
  EXPECT_EQ(ToQColor(0xFF339ADF), QColor(0xDF, 0x9A, 0x33));
  EXPECT_EQ(FromQColor(QColor(0xDF, 0x9A, 0x33, 0x10)), 0x339ADFu);
  EXPECT_EQ(FromQColor(QColor::fromHsv(0, 255, 255)), Rgb(255, 0, 0));
}

TEST(QtColourTest, DesktopPaletteSuppliesFaceAndCaption) {
  const QPalette saved = QApplication::palette();
  QPalette palette = saved;
  palette.setColor(QPalette::Button, QColor(11, 22, 33));
  palette.setColor(QPalette::Highlight, QColor(44, 55, 66));
  QApplication::setPalette(palette);

  InstallDesktopSystemColours();
  EXPECT_EQ(SystemColours::Installed().ButtonFace(), Rgb(11, 22, 33));
  EXPECT_EQ(SystemColours::Installed().ActiveCaption(), Rgb(44, 55, 66));
  CColourScheme scheme;
  scheme.Derive(0x339ADF);
  EXPECT_EQ(scheme.Face(), Rgb(11, 22, 33));

  QApplication::setPalette(saved);
}

TEST(QtColourTest, MissingFaceFallsBackToTheDesktopSansSerif) {
  const QFont font = FontFromChoice(FontChoice{"No Such Face 12345", 14, 700});
  EXPECT_EQ(font.family(),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  EXPECT_EQ(font.pixelSize(), 14);
  EXPECT_EQ(font.weight(), QFont::Bold);
  // Weight 0 is "don't care": a normal face.
  EXPECT_EQ(FontFromChoice(FontChoice{"", 12, 0}).weight(), QFont::Normal);
  if (QFontDatabase::hasFamily("DejaVu Serif")) {
    EXPECT_EQ(FontFromChoice(FontChoice{"DejaVu Serif", 14, 400}).family(),
              "DejaVu Serif");
  }
}

}  // namespace
}  // namespace quarry
