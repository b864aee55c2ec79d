// The skeleton every control of the four modules is built on: reference
// counting, the stock properties (BackColor, ForeColor, Caption/Text,
// Enabled, Font) and AboutBox, dispatch by DISPID and by name, the site
// and event sink, persistence with the version word and the font
// adjustment on load, and the link between the control object and its
// window.
//
// A control object holds the properties; its window (a QWidget subclass
// each module defines) paints and handles input by calling back into the
// object. The window holds one reference to the object for as long as it
// exists (see WindowRef), so the object outlives every call its window
// makes. Everything runs on the thread that runs the user interface.

#ifndef QUARRY_CONTROLS_COMMON_CONTROL_BASE_H_
#define QUARRY_CONTROLS_COMMON_CONTROL_BASE_H_

#include <QFont>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "controls/common/module_identity.h"
#include "framework/colour/colour_ref.h"
#include "platform/control_interfaces.h"

namespace quarry::controls {

// Live objects and server locks of this module, for DllCanUnloadNow. Each
// module links its own copy, so the counts are per module.
class ModuleUsage {
 public:
  static void ObjectCreated() { ++objects_; }
  static void ObjectDestroyed() { --objects_; }
  static void Lock(bool lock) { locks_ += lock ? 1 : -1; }
  static bool CanUnload() { return objects_ == 0 && locks_ <= 0; }

 private:
  static inline std::atomic<int> objects_{0};
  static inline std::atomic<int> locks_{0};
};

// The three settings a control reads once, when it is made.
struct ControlSettings {
  bool use_custom_controls = true;
  uint16_t font_charset = 0;
  int font_weight = 400;  // the control's current weight (ControlFontWeight)

  // From the user's store ($ZT_REGISTRY_FILE or the default).
  static ControlSettings Read();
};

class CKsControlBase : public com::IControl {
 public:
  // IUnknown
  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  // IDispatch: the stock members, then the control's own.
  com::HRESULT GetIDOfName(std::string_view name, com::DISPID* id) override;
  com::HRESULT Invoke(com::DISPID id, com::DispatchKind kind, std::span<const com::Variant> args,
                      com::Variant* result) override;

  // IControl
  com::HRESULT SetSite(com::IControlSite* site) override;
  com::HRESULT Advise(com::IEventSink* sink) override;
  com::HRESULT InitNew() override;
  com::HRESULT Load(const com::PropertyBag& bag) override;
  com::HRESULT Save(com::PropertyBag* bag) override;
  bool IsModified() override { return modified_; }
  QWidget* CreateControlWindow(QWidget* parent, const com::ControlWindowParams& params) override;
  QWidget* Window() override { return window_.data(); }
  com::HRESULT AdjustExtent(int* width, int* height) override;
  com::HRESULT OnAmbientPropertyChange(com::DISPID id) override;
  com::HRESULT GetPages(std::vector<com::Guid>* pages) override;

  // Stock properties, for the control's drawing.
  COLORREF BackColor() const { return back_colour_; }
  COLORREF ForeColor() const { return fore_colour_; }
  const std::string& Caption() const { return caption_; }
  bool Enabled() const { return enabled_; }
  // The stock font as a Qt font (the window's font).
  QFont ControlFont() const;
  const std::optional<com::FontDesc>& FontObject() const { return font_; }

  const ControlSettings& Settings() const { return settings_; }
  bool UseCustom() const { return settings_.use_custom_controls; }
  // The container's user mode; true without a site (a control at run time).
  bool UserMode() const;
  // The container's ambient colours, or the desktop's window colours.
  COLORREF AmbientBackColor() const;
  COLORREF AmbientForeColor() const;

  void SetModifiedFlag(bool modified = true) { modified_ = modified; }
  // Repaints the window (when there is one).
  void InvalidateControl();
  // Raises an event to the host's sink, if any.
  void FireEvent(com::DISPID event, std::span<const com::Variant> args = {});
  // Posts a message to the container's window through the site.
  void PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam);
  // Shows the module's modal about box over the window.
  void AboutBox();

  // Called by the window's WindowRef as the window goes.
  void WindowDestroyed();

 protected:
  CKsControlBase(const ModuleIdentity& identity, ControlSettings settings);
  ~CKsControlBase() override;

  // The control's own members: names for GetIDOfName and the call itself.
  // InvokeMember answers DISP_E_MEMBERNOTFOUND for what is not its own.
  virtual std::span<const com::MemberName> Members() const = 0;
  virtual com::HRESULT InvokeMember(com::DISPID id, com::DispatchKind kind,
                                    std::span<const com::Variant> args, com::Variant* result) = 0;
  // Sets the control's own properties to their defaults.
  virtual void ResetState() = 0;
  // Exchanges the control's own properties, after the stock ones.
  virtual void ExchangeProperties(com::PropExchange& px) = 0;
  // Makes the window (a child of `parent`).
  virtual QWidget* MakeWindow(QWidget* parent) = 0;
  // A stock property changed (DISPID_BACKCOLOR, ...); repaints by default.
  virtual void OnStockPropertyChanged(com::DISPID id);
  // The name screen readers give the control: by default the caption
  // without mnemonic marks. Controls whose caption carries a tool tip
  // leave that part out.
  virtual std::string AccessibleText() const;
  // Applies the stock font, enabled state and accessible name to the
  // window (after a caption change, for instance).
  void ApplyStockToWindow();
  // Whether the picture page is listed among the pages.
  virtual bool ListsPicturePage() const { return false; }

  const ModuleIdentity& identity() const { return identity_; }

  // Stores `value` in `*member` and says whether it changed.
  template <typename T>
  static bool Change(T* member, const T& value) {
    if (*member == value) return false;
    *member = value;
    return true;
  }

 private:
  com::HRESULT InvokeStock(com::DISPID id, com::DispatchKind kind,
                           std::span<const com::Variant> args, com::Variant* result);
  void ResetStock();
  void ExchangeStock(com::PropExchange& px);

  const ModuleIdentity& identity_;
  const ControlSettings settings_;
  std::atomic<uint32_t> refs_{1};
  com::IControlSite* site_ = nullptr;
  com::IEventSink* sink_ = nullptr;
  QPointer<QWidget> window_;
  bool modified_ = false;

  COLORREF back_colour_ = 0xFFFFFF;
  COLORREF fore_colour_ = 0;
  std::string caption_;
  bool enabled_ = true;
  std::optional<com::FontDesc> font_;
};

// Held by a control's window: one reference to its control for the
// window's life, and the notice to the control when the window goes.
template <typename Control>
class WindowRef {
 public:
  explicit WindowRef(Control* control) : control_(control) { control_->AddRef(); }
  ~WindowRef() {
    control_->WindowDestroyed();
    control_->Release();
  }
  WindowRef(const WindowRef&) = delete;
  WindowRef& operator=(const WindowRef&) = delete;

  Control* operator->() const { return control_; }
  Control* get() const { return control_; }

 private:
  Control* control_;
};

// Argument helpers for InvokeMember: the single argument of a put,
// converted; DISP_E_BADPARAMCOUNT or DISP_E_TYPEMISMATCH otherwise.
com::HRESULT PutArgInt(std::span<const com::Variant> args, int32_t* value);
com::HRESULT PutArgUInt(std::span<const com::Variant> args, uint32_t* value);
com::HRESULT PutArgBool(std::span<const com::Variant> args, bool* value);
com::HRESULT PutArgString(std::span<const com::Variant> args, std::string* value);
com::HRESULT PutArgBytes(std::span<const com::Variant> args, std::vector<uint8_t>* value);
// Sets *result when it is not null; S_OK.
com::HRESULT Return(com::Variant* result, com::Variant value);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_CONTROL_BASE_H_
