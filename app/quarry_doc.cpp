#include "app/quarry_doc.h"

namespace quarry {

CQuarryDoc::CQuarryDoc(platform::SettingsStore& store)
    : settings_(std::make_unique<CAppSettings>(store)) {
  settings_->Load();
}

CQuarryDoc::~CQuarryDoc() {
  // The worker may still be posting to the views; it must be gone before
  // the hub it reads is freed.
  settings_->Stop();
  settings_.reset();
}

}  // namespace quarry
