// The interfaces between a container (a dialog of the programs) and the
// controls that component modules provide: the control itself (a dispatch
// object that makes one QWidget as its window), the site through which it
// asks its container for ambient values, and the property page a module
// offers for editing a control's main properties.
//
// Lifetime: a control object lives as long as anyone holds a reference.
// Its window holds one reference while it exists, and the host another;
// the window belongs to its Qt parent like any widget and dies with it.
// The site and the event sink are owned by the host, which must withdraw
// them (SetSite(nullptr), Advise(nullptr)) before destroying them.

#ifndef QUARRY_PLATFORM_CONTROL_INTERFACES_H_
#define QUARRY_PLATFORM_CONTROL_INTERFACES_H_

#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com_dispatch.h"
#include "platform/property_bag.h"

class QWidget;

namespace quarry::com {

class IControlSite {
 public:
  // The container's value of an ambient property (DISPID_AMBIENT_...);
  // false when it has none.
  virtual bool GetAmbient(DISPID id, Variant* value) = 0;
  // Posts a window message to the container's window, as a control posts
  // to its parent. Pointers in the message stay the control's; the site
  // copies what it must keep.
  virtual void PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;

 protected:
  ~IControlSite() = default;
};

// How a control's window is made: its child id, place in the parent (in
// pixels) and name, which becomes its caption.
struct ControlWindowParams {
  int id = 0;
  QRect rect;
  std::string name;
};

class IControl : public IDispatch {
 public:
  // Before the window is made (the controls ask their site first); null
  // detaches the control from its container.
  virtual HRESULT SetSite(IControlSite* site) = 0;
  // Where events go; null withdraws the sink.
  virtual HRESULT Advise(IEventSink* sink) = 0;

  // A new control with default properties; or properties from a stored
  // state (the state's version decides what is read). Call one of them
  // once, before the window is made.
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(const PropertyBag& bag) = 0;
  // Writes the properties with the module's current version word.
  virtual HRESULT Save(PropertyBag* bag) = 0;
  // Whether a property changed since the state was loaded or saved.
  virtual bool IsModified() = 0;

  // Makes the control's window as a child of `parent`, which owns it.
  // Null when it cannot be made or already exists.
  virtual QWidget* CreateControlWindow(QWidget* parent, const ControlWindowParams& params) = 0;
  // The window; null before it is made and after it is destroyed.
  virtual QWidget* Window() = 0;

  // The container proposes a size in pixels; the control raises it to
  // its minimums and the container uses what comes back.
  virtual HRESULT AdjustExtent(int* width, int* height) = 0;
  // An ambient property of the container changed (DISPID_AMBIENT_...).
  virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
  // The property pages the control lists, its own first.
  virtual HRESULT GetPages(std::vector<Guid>* pages) = 0;
};

// {9EDD2637-A6C8-4386-BBAC-75F04345AEE7}
inline constexpr Guid IID_IControl{
    0x9EDD2637, 0xA6C8, 0x4386, {0xBB, 0xAC, 0x75, 0xF0, 0x43, 0x45, 0xAE, 0xE7}};

// A page that edits properties of one control by name.
class IPropertyPage : public IUnknown {
 public:
  // The control the page edits; null lets it go.
  virtual HRESULT SetObject(IDispatch* object) = 0;
  // Makes the page's window as a child of `parent`, filled from the
  // control's current values.
  virtual QWidget* CreatePageWindow(QWidget* parent) = 0;
  // Writes the page's fields back to the control.
  virtual HRESULT Apply() = 0;
  // The page's caption ("General").
  virtual std::string Title() = 0;
};

// {78632C93-2329-482D-B1E1-250780EBCB02}
inline constexpr Guid IID_IPropertyPage{
    0x78632C93, 0x2329, 0x482D, {0xB1, 0xE1, 0x25, 0x07, 0x80, 0xEB, 0xCB, 0x02}};

// The system's stock pages a control may list after its own.
inline constexpr Guid CLSID_CFontPropPage{
    0x0BE35200, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr Guid CLSID_CColorPropPage{
    0x0BE35201, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr Guid CLSID_CPicturePropPage{
    0x0BE35202, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_CONTROL_INTERFACES_H_
