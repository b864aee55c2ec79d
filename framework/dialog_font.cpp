#include "framework/dialog_font.h"

#include <QApplication>
#include <QFontDatabase>

#include "framework/colour/scheme_settings.h"
#include "platform/settings_store.h"

namespace quarry {

namespace {

constexpr std::string_view kFaceName = "FaceName";
constexpr std::string_view kFontHeight = "FontHeight";
constexpr std::string_view kFontItalic = "FontItalic";
constexpr std::string_view kFontUnderline = "FontUnderline";
constexpr std::string_view kFontStrikeOut = "FontStrikeOut";

constexpr int kMinPoints = 4;
constexpr int kMaxPoints = 72;

// A flag stored as a DWORD, read as the 16-bit quantity it always was;
// nullopt when the user has not set it.
std::optional<bool> StoredFlag(const platform::SettingsStore& store,
                               std::string_view name) {
  const auto value = store.Get(appearance::kKey, name);
  if (!value || value->type != platform::ValueType::kDword) return std::nullopt;
  return (store.GetDword(appearance::kKey, name, 0) & 0xFFFF) != 0;
}

}  // namespace

QFont DialogFont(const platform::SettingsStore& store, const QFont& desktop) {
  QFont font = desktop;

  const std::string face = store.GetString(appearance::kKey, kFaceName, "",
                                           /*expand=*/true);
  if (!face.empty()) {
    const QString family = QString::fromStdString(face);
    if (QFontDatabase::hasFamily(family)) font.setFamily(family);
  }

  const auto height = store.Get(appearance::kKey, kFontHeight);
  if (height && height->type == platform::ValueType::kDword) {
    const int points = static_cast<int>(
        store.GetDword(appearance::kKey, kFontHeight, 0) & 0xFFFF);
    if (points >= kMinPoints && points <= kMaxPoints) font.setPointSize(points);
  }

  if (auto italic = StoredFlag(store, kFontItalic)) font.setItalic(*italic);
  if (auto underline = StoredFlag(store, kFontUnderline)) {
    font.setUnderline(*underline);
  }
  if (auto strike = StoredFlag(store, kFontStrikeOut)) font.setStrikeOut(*strike);
  return font;
}

QFont DialogFont() {
  return DialogFont(platform::SettingsStore::User(), QApplication::font());
}

}  // namespace quarry
