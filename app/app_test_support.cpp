#include "app/app_test_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_frame.h"
#include "app/quarry_view.h"
#include "web/web_settings.h"

namespace quarry::testing {

namespace {

void CollectValues(const platform::SettingsStore& store, const std::string& key,
                   std::set<std::string>* out) {
  for (const platform::ValueEntry& value : store.Values(key)) {
    out->insert(key + "\\" + value.name);
  }
  for (const std::string& sub : store.SubKeys(key)) {
    CollectValues(store, key.empty() ? sub : key + "\\" + sub, out);
  }
}

}  // namespace

std::set<std::string> AllValues(const platform::SettingsStore& store) {
  std::set<std::string> values;
  CollectValues(store, "", &values);
  return values;
}

AppFixture::AppFixture() {
  store_ = std::make_unique<platform::SettingsStore>(dir_.File("registry.sqlite"));
  SetWebSettingsStore(store_.get());
  hooks_.store = store_.get();
  hooks_.stop_box = [this](const QString& text) { boxes.push_back(text); };
  // The usage report would go to the real product site.
  hooks_.usage_feedback = [] {};
  // No notification area unless a test provides one.
  hooks_.frame_options.tray_available = [] { return false; };

  const std::string opener = dir_.File("opener");
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << dir_.File("opened")
                        << "'\n";
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  setenv("QUARRY_OPENER", opener.c_str(), 1);
  setenv("ZT_COMMON_FILES_DIR", dir_.path().c_str(), 1);
}

AppFixture::~AppFixture() {
  app_.reset();
  SetWebSettingsStore(nullptr);
  unsetenv("QUARRY_OPENER");
  unsetenv("ZT_COMMON_FILES_DIR");
}

CQuarryApp& AppFixture::Start(std::vector<std::string> args) {
  app_ = std::make_unique<CQuarryApp>(std::move(args), hooks_);
  if (app_->InitInstance() && app_->View() != nullptr) {
    app_->View()->SetMessageSink([this](const QString& text) { messages.push_back(text); });
  }
  return *app_;
}

void AppFixture::Close() {
  if (app_ && app_->MainFrame() != nullptr) app_->MainFrame()->close();
  app_.reset();
}

std::vector<std::string> AppFixture::Opened() const {
  std::istringstream lines(ReadFileBytes(dir_.File("opened")));
  std::vector<std::string> opened;
  for (std::string line; std::getline(lines, line);) opened.push_back(line);
  return opened;
}

void AppFixture::FailOpener(int status) {
  std::ofstream(dir_.File("opener")) << "#!/bin/sh\nexit " << status << "\n";
}

}  // namespace quarry::testing
