// Controls of the built modules in a test container: the module loaded by
// path, a site that answers the ambient properties a test chooses and
// records what the control posts, and a sink that records its events.

#ifndef QUARRY_CONTROLS_TESTING_CONTROL_HARNESS_H_
#define QUARRY_CONTROLS_TESTING_CONTROL_HARNESS_H_

#include <QRect>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/common/module_identity.h"
#include "framework/colour/colour_ref.h"
#include "platform/control_interfaces.h"

namespace quarry::controls::testing {

// The built module file of a module ("…/common-files/Kestrane/KsButton.so").
std::string ModulePath(const ModuleIdentity& module);

class TestSite final : public com::IControlSite {
 public:
  struct Posted {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
  };

  bool user_mode = true;
  std::optional<COLORREF> back_colour;
  std::optional<COLORREF> fore_colour;
  std::optional<com::FontDesc> font;
  std::vector<Posted> posted;

  bool GetAmbient(com::DISPID id, com::Variant* value) override;
  void PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
};

class EventLog final : public com::IEventSink {
 public:
  std::vector<com::DISPID> events;
  void OnEvent(com::DISPID event, std::span<const com::Variant>) override {
    events.push_back(event);
  }
};

// One control in a container. Withdraws the site and sink from the
// control when destroyed; the window belongs to the parent given.
struct TestControl {
  TestSite site;
  EventLog log;
  com::ComPtr<com::IControl> control;
  QWidget* window = nullptr;

  ~TestControl();

  com::Variant Get(com::DISPID id) const;
  com::HRESULT Put(com::DISPID id, const com::Variant& value);
  com::HRESULT Call(com::DISPID id, std::vector<com::Variant> args = {},
                    com::Variant* result = nullptr);
};

struct ControlOptions {
  QRect rect{0, 0, 120, 24};
  std::string caption;
  const com::PropertyBag* state = nullptr;  // else InitNew
  bool user_mode = true;
  std::optional<COLORREF> ambient_back;
  std::optional<COLORREF> ambient_fore;
  bool make_window = true;
};

// Options with a place, a caption and (optionally) a stored state.
inline ControlOptions Options(QRect rect, std::string caption,
                              const com::PropertyBag* state = nullptr) {
  ControlOptions options;
  options.rect = rect;
  options.caption = std::move(caption);
  options.state = state;
  return options;
}

// Loads the module and makes one of its controls (in `parent`, which
// may be null when no window is wanted). Null, with a failed test
// assertion's worth of reason in *error, when anything fails.
std::unique_ptr<TestControl> MakeControl(const ModuleIdentity& module, QWidget* parent,
                                         const ControlOptions& options = {},
                                         std::string* error = nullptr);

// Replaces the desktop's opener ("xdg-open") and browser lookup
// ("xdg-settings") with scripts on PATH for the object's life: what would
// be opened is recorded, one address a line.
class OpenerStub {
 public:
  OpenerStub();
  ~OpenerStub();
  OpenerStub(const OpenerStub&) = delete;
  OpenerStub& operator=(const OpenerStub&) = delete;

  std::string Opened() const;
  // Waits (running the event loop, at most `ms`) until `lines` addresses
  // were opened; true when they were.
  bool WaitFor(size_t lines, int ms = 5000) const;

 private:
  std::string dir_;
  std::string old_path_;
};

// The control's window painted on its own into an image of its size, over
// `background`.
QImage Render(QWidget* window, QColor background = Qt::white);

}  // namespace quarry::controls::testing

#endif  // QUARRY_CONTROLS_TESTING_CONTROL_HARNESS_H_
