#include "app/sub_view_pages.h"

#include <algorithm>

#include "app/app_settings.h"

namespace quarry {

CSubViewPage::CSubViewPage(const DialogTemplate& tpl) : CKsDialog(tpl) { hide(); }

CSubViewPage::~CSubViewPage() {
  // Nothing may reach a page that is being torn down.
  DestroyWindow();
  if (registered_ && settings_ != nullptr) {
    settings_->UnregisterWindow(Handle());
  }
}

bool CSubViewPage::Init(CQuarryView* view, QWidget* content_area,
                        CAppSettings* settings) {
  if (initialised_) return true;
  view_ = view;
  settings_ = settings;
  if (content_area != nullptr) {
    setParent(content_area->parentWidget());
    setGeometry(content_area->geometry());
  }
  registered_ = settings_ != nullptr && settings_->RegisterWindow(Handle());
  initialised_ = true;
  return registered_;
}

void CSubViewPage::GrowBy(int dx, int dy) {
  resize(std::max(0, width() + dx), std::max(0, height() + dy));
}

std::vector<QWidget*> CSubViewPage::Panes() { return {this}; }

intptr_t CSubViewPage::WindowProc(uint32_t message, uintptr_t wparam,
                                  intptr_t lparam) {
  OnHubMessage(message, wparam, lparam);
  emit hubMessage(message, wparam, lparam);
  return 0;
}

void CSubViewPage::OnHubMessage(uint32_t, uintptr_t, intptr_t) {}

}  // namespace quarry
