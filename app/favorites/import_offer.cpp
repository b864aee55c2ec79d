#include "app/favorites/import_offer.h"

#include <QStringList>

#include "app/favorites/favorites_list.h"
#include "framework/msgbox/app_message_box.h"

namespace quarry {

bool ShouldOfferImport(const platform::SettingsStore& store,
                       const std::filesystem::path& favorites_folder,
                       const std::vector<favorites::BookmarkSource>& sources) {
  if (sources.empty()) return false;
  if (store.GetDword(kImportOfferedKey, kImportOfferedValue, 0) != 0) return false;
  return favorites::ScanFavoritesFolder(favorites_folder).empty();
}

QString ImportQuestionText(const std::vector<favorites::BookmarkSource>& sources) {
  QStringList names;
  for (const favorites::BookmarkSource& source : sources) {
    const QString name = QString::fromStdString(source.browser);
    if (!names.contains(name)) names << name;
  }
  QString list = names.join(QStringLiteral(", "));
  if (names.size() > 1) {
    list = names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           names.back();
  }
  return QStringLiteral(
             "You have no favorites yet. Would you like to bring in your bookmarks from %1?\n\n"
             "They are copied into your Quarry favorites; your browser is not changed.")
      .arg(list);
}

bool AskWithMessageBox(QWidget*, const QString& question) {
  // The program's message box finds its window itself.
  return AppMessageBox(question, mb::kYesNo | mb::kIconQuestion) == mb::kIdYes;
}

int OfferBookmarkImport(QWidget* parent, platform::SettingsStore& store,
                        const std::filesystem::path& favorites_folder,
                        const std::filesystem::path& home, ImportAsker ask) {
  const std::vector<favorites::BookmarkSource> sources = favorites::FindBookmarkSources(home);
  if (!ShouldOfferImport(store, favorites_folder, sources)) return 0;
  // Remembered before asking: a crash or a closed program must not bring
  // the question back at every start.
  store.SetDword(kImportOfferedKey, kImportOfferedValue, 1);
  const QString question = ImportQuestionText(sources);
  const bool yes = ask ? ask(question) : AskWithMessageBox(parent, question);
  if (!yes) return 0;
  int written = 0;
  for (const favorites::BookmarkSource& source : sources) {
    std::optional<std::vector<favorites::Bookmark>> bookmarks = favorites::ReadBookmarks(source, nullptr);
    if (bookmarks) written += favorites::WriteBookmarksAsShortcuts(*bookmarks, favorites_folder);
  }
  return written;
}

}  // namespace quarry
