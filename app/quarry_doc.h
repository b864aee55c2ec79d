// The main program's one document.

#ifndef QUARRY_APP_QUARRY_DOC_H_
#define QUARRY_APP_QUARRY_DOC_H_

#include <memory>

#include "app/app_settings.h"
#include "platform/settings_store.h"

namespace quarry {

// Owns the settings object and its message hub for the whole run; it keeps
// no tables and no file of its own. Build it on the user-interface thread.
class CQuarryDoc {
 public:
  // Creates the settings object on `store` (which must outlive the
  // document), loads every value and starts the hub worker.
  explicit CQuarryDoc(platform::SettingsStore& store = platform::SettingsStore::User());
  // Stops the hub worker, then deletes the settings object.
  ~CQuarryDoc();

  CQuarryDoc(const CQuarryDoc&) = delete;
  CQuarryDoc& operator=(const CQuarryDoc&) = delete;

  // The settings object; valid for the document's life, never null.
  CAppSettings* GetSettings() const { return settings_.get(); }

 private:
  std::unique_ptr<CAppSettings> settings_;
};

}  // namespace quarry

#endif  // QUARRY_APP_QUARRY_DOC_H_
