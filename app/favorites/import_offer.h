// The one-time offer to fill an empty favourites folder with the
// bookmarks of the user's other browsers.

#ifndef QUARRY_APP_FAVORITES_IMPORT_OFFER_H_
#define QUARRY_APP_FAVORITES_IMPORT_OFFER_H_

#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/favorites/bookmark_import.h"
#include "platform/settings_store.h"

class QWidget;

namespace quarry {

// Where the store remembers that the offer was made (DWORD 1).
inline constexpr char kImportOfferedKey[] = "Software\\Zandor Tech\\Quarry\\Settings";
inline constexpr char kImportOfferedValue[] = "FavoritesImportOffered";

// True when the offer is due: it was never made, the favourites folder
// holds no favourite, and there is at least one source.
bool ShouldOfferImport(const platform::SettingsStore& store,
                       const std::filesystem::path& favorites_folder,
                       const std::vector<favorites::BookmarkSource>& sources);

// The question shown for `sources`.
QString ImportQuestionText(const std::vector<favorites::BookmarkSource>& sources);

// Asks the user; true for Yes.
using ImportAsker = std::function<bool(const QString& question)>;

// A Yes/No message box with the caption "Quarry" over `parent`.
bool AskWithMessageBox(QWidget* parent, const QString& question);

// Makes the offer when it is due (the sources are looked for under
// `home`): remembers in `store` that it was made, asks through `ask`
// (AskWithMessageBox over `parent` when empty) and, on Yes, writes the
// bookmarks of every source into `favorites_folder`. Returns the number of
// favourites written; a source that cannot be read is skipped. Runs on the
// user-interface thread, before the favourites are loaded.
int OfferBookmarkImport(QWidget* parent, platform::SettingsStore& store,
                        const std::filesystem::path& favorites_folder,
                        const std::filesystem::path& home, ImportAsker ask = {});

}  // namespace quarry

#endif  // QUARRY_APP_FAVORITES_IMPORT_OFFER_H_
