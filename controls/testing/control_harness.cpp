#include "controls/testing/control_harness.h"

#include <stdlib.h>

#include <QCoreApplication>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/component_loader.h"
#include "platform/testing/subprocess.h"

namespace quarry::controls::testing {

std::string ModulePath(const ModuleIdentity& module) {
  return std::string(QUARRY_MODULE_DIR) + "/" + std::string(module.module_name) + ".so";
}

bool TestSite::GetAmbient(com::DISPID id, com::Variant* value) {
  switch (id) {
    case com::DISPID_AMBIENT_USERMODE:
      *value = com::Variant::Bool(user_mode);
      return true;
    case com::DISPID_AMBIENT_BACKCOLOR:
      if (!back_colour) return false;
      *value = com::Variant::Colour(*back_colour);
      return true;
    case com::DISPID_AMBIENT_FORECOLOR:
      if (!fore_colour) return false;
      *value = com::Variant::Colour(*fore_colour);
      return true;
    case com::DISPID_AMBIENT_FONT:
      if (!font) return false;
      *value = com::Variant::Font(*font);
      return true;
  }
  return false;
}

void TestSite::PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  posted.push_back({message, wparam, lparam});
}

TestControl::~TestControl() {
  if (control) {
    control->Advise(nullptr);
    control->SetSite(nullptr);
  }
}

com::Variant TestControl::Get(com::DISPID id) const {
  com::Variant value;
  com::GetProperty(control.get(), id, &value);
  return value;
}

com::HRESULT TestControl::Put(com::DISPID id, const com::Variant& value) {
  return com::PutProperty(control.get(), id, value);
}

com::HRESULT TestControl::Call(com::DISPID id, std::vector<com::Variant> args,
                               com::Variant* result) {
  return com::CallMethod(control.get(), id, args, result);
}

std::unique_ptr<TestControl> MakeControl(const ModuleIdentity& module, QWidget* parent,
                                         const ControlOptions& options, std::string* error) {
  auto made = std::make_unique<TestControl>();
  made->site.user_mode = options.user_mode;
  made->site.back_colour = options.ambient_back;
  made->site.fore_colour = options.ambient_fore;
  std::string reason;
  const com::HRESULT hr =
      com::CreateInstanceFromModule(ModulePath(module), module.ControlClsid(), com::IID_IControl,
                                    made->control.Receive(), &reason);
  if (com::Failed(hr)) {
    if (error != nullptr) *error = reason;
    return nullptr;
  }
  made->control->SetSite(&made->site);
  made->control->Advise(&made->log);
  if (options.state != nullptr) {
    made->control->Load(*options.state);
  } else {
    made->control->InitNew();
  }
  if (options.make_window && parent != nullptr) {
    made->window = made->control->CreateControlWindow(
        parent, com::ControlWindowParams{1000, options.rect, options.caption});
    if (made->window == nullptr) {
      if (error != nullptr) *error = "no window";
      return nullptr;
    }
  }
  return made;
}

OpenerStub::OpenerStub() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quarry-opener-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
  const std::string log = dir_ + "/opened";
  std::ofstream(dir_ + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << log << "'\n";
  std::ofstream(dir_ + "/xdg-settings") << "#!/bin/sh\nexit 1\n";
  for (const char* tool : {"/xdg-open", "/xdg-settings"}) {
    std::filesystem::permissions(dir_ + tool, std::filesystem::perms::owner_all);
  }
  const char* path = getenv("PATH");
  old_path_ = path != nullptr ? path : "/usr/bin:/bin";
  setenv("PATH", (dir_ + ":" + old_path_).c_str(), 1);
}

OpenerStub::~OpenerStub() {
  setenv("PATH", old_path_.c_str(), 1);
  // Openers still on their way find their script gone and fail quietly.
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string OpenerStub::Opened() const { return quarry::testing::ReadFileBytes(dir_ + "/opened"); }

bool OpenerStub::WaitFor(size_t lines, int ms) const {
  for (int waited = 0;; waited += 10) {
    const std::string opened = Opened();
    if (static_cast<size_t>(std::count(opened.begin(), opened.end(), '\n')) >= lines) return true;
    if (waited >= ms) return false;
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
}

QImage Render(QWidget* window, QColor background) {
  QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(background);
  window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace quarry::controls::testing
