#include "controls/common/control_base.h"

#include <QApplication>

#include "controls/common/about_box.h"
#include "controls/common/appearance_settings.h"
#include "controls/common/caption_text.h"
#include "controls/common/system_colour.h"
#include "platform/com_qt.h"
#include "platform/settings_store.h"

namespace quarry::controls {

namespace {

using com::DispatchKind;
using com::HRESULT;
using com::Variant;

// The stock members every control answers to. "Text" and "Caption" are
// the same property, as they always were for these controls.
constexpr com::MemberName kStockMembers[] = {
    {com::DISPID_BACKCOLOR, "BackColor"},
    {com::DISPID_FORECOLOR, "ForeColor"},
    {com::DISPID_CAPTION, "Caption"},
    {com::DISPID_TEXT, "Text"},
    {com::DISPID_ENABLED, "Enabled"},
    {com::DISPID_FONT, "Font"},
    {com::DISPID_ABOUTBOX, "AboutBox", "About Box"},
};

bool IsPut(DispatchKind kind) { return kind == DispatchKind::kPropertyPut; }

}  // namespace

ControlSettings ControlSettings::Read() {
  const platform::SettingsStore& store = platform::SettingsStore::User();
  ControlSettings s;
  s.use_custom_controls = UseCustomControls(store);
  s.font_charset = FontCharSetSetting(store);
  s.font_weight = ControlFontWeight(s.use_custom_controls, FontWeightSetting(store));
  return s;
}

HRESULT PutArgInt(std::span<const Variant> args, int32_t* value) {
  if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
  std::optional<int32_t> v = args[0].ToInt();
  if (!v) return com::DISP_E_TYPEMISMATCH;
  *value = *v;
  return com::S_OK;
}

HRESULT PutArgUInt(std::span<const Variant> args, uint32_t* value) {
  if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
  std::optional<uint32_t> v = args[0].ToUInt();
  if (!v) return com::DISP_E_TYPEMISMATCH;
  *value = *v;
  return com::S_OK;
}

HRESULT PutArgBool(std::span<const Variant> args, bool* value) {
  if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
  std::optional<bool> v = args[0].ToBool();
  if (!v) return com::DISP_E_TYPEMISMATCH;
  *value = *v;
  return com::S_OK;
}

HRESULT PutArgString(std::span<const Variant> args, std::string* value) {
  if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
  std::optional<std::string> v = args[0].ToString();
  if (!v) return com::DISP_E_TYPEMISMATCH;
  *value = std::move(*v);
  return com::S_OK;
}

HRESULT PutArgBytes(std::span<const Variant> args, std::vector<uint8_t>* value) {
  if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
  // An empty argument clears a picture.
  if (args[0].IsEmpty()) {
    value->clear();
    return com::S_OK;
  }
  std::optional<std::vector<uint8_t>> v = args[0].ToBytes();
  if (!v) return com::DISP_E_TYPEMISMATCH;
  *value = std::move(*v);
  return com::S_OK;
}

HRESULT Return(Variant* result, Variant value) {
  if (result != nullptr) *result = std::move(value);
  return com::S_OK;
}

CKsControlBase::CKsControlBase(const ModuleIdentity& identity, ControlSettings settings)
    : identity_(identity), settings_(settings) {
  ModuleUsage::ObjectCreated();
  ResetStock();
}

CKsControlBase::~CKsControlBase() { ModuleUsage::ObjectDestroyed(); }

HRESULT CKsControlBase::QueryInterface(const com::Guid& iid, void** out) {
  if (out == nullptr) return com::E_POINTER;
  if (iid == com::IID_IUnknown || iid == com::IID_IDispatch || iid == com::IID_IControl ||
      iid == identity_.DispatchIid()) {
    AddRef();
    *out = static_cast<com::IControl*>(this);
    return com::S_OK;
  }
  *out = nullptr;
  return com::E_NOINTERFACE;
}

uint32_t CKsControlBase::AddRef() { return ++refs_; }

uint32_t CKsControlBase::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT CKsControlBase::GetIDOfName(std::string_view name, com::DISPID* id) {
  if (com::Succeeded(com::LookUpMember(kStockMembers, name, id))) return com::S_OK;
  return com::LookUpMember(Members(), name, id);
}

HRESULT CKsControlBase::Invoke(com::DISPID id, DispatchKind kind, std::span<const Variant> args,
                               Variant* result) {
  if (kind == DispatchKind::kPropertyGet && !args.empty()) return com::DISP_E_BADPARAMCOUNT;
  // The control may be released by an event handler during the call.
  com::ComPtr<com::IControl> keep = com::ComPtr<com::IControl>::Share(this);
  const HRESULT hr = InvokeStock(id, kind, args, result);
  if (hr != com::DISP_E_MEMBERNOTFOUND) return hr;
  return InvokeMember(id, kind, args, result);
}

HRESULT CKsControlBase::InvokeStock(com::DISPID id, DispatchKind kind,
                                    std::span<const Variant> args, Variant* result) {
  switch (id) {
    case com::DISPID_BACKCOLOR:
    case com::DISPID_FORECOLOR: {
      COLORREF* member = id == com::DISPID_BACKCOLOR ? &back_colour_ : &fore_colour_;
      if (kind == DispatchKind::kPropertyGet) return Return(result, Variant::Colour(*member));
      if (!IsPut(kind)) return com::DISP_E_MEMBERNOTFOUND;
      uint32_t value = 0;
      if (HRESULT hr = PutArgUInt(args, &value); com::Failed(hr)) return hr;
      if (Change(member, value)) {
        SetModifiedFlag();
        OnStockPropertyChanged(id);
      }
      return com::S_OK;
    }
    case com::DISPID_CAPTION:
    case com::DISPID_TEXT: {
      if (kind == DispatchKind::kPropertyGet) return Return(result, Variant::String(caption_));
      if (!IsPut(kind)) return com::DISP_E_MEMBERNOTFOUND;
      std::string value;
      if (HRESULT hr = PutArgString(args, &value); com::Failed(hr)) return hr;
      if (Change(&caption_, value)) {
        SetModifiedFlag();
        ApplyStockToWindow();
        OnStockPropertyChanged(com::DISPID_CAPTION);
      }
      return com::S_OK;
    }
    case com::DISPID_ENABLED: {
      if (kind == DispatchKind::kPropertyGet) return Return(result, Variant::Bool(enabled_));
      if (!IsPut(kind)) return com::DISP_E_MEMBERNOTFOUND;
      bool value = false;
      if (HRESULT hr = PutArgBool(args, &value); com::Failed(hr)) return hr;
      if (Change(&enabled_, value)) {
        SetModifiedFlag();
        if (window_ != nullptr) window_->setEnabled(enabled_);
        OnStockPropertyChanged(id);
      }
      return com::S_OK;
    }
    case com::DISPID_FONT: {
      if (kind == DispatchKind::kPropertyGet) {
        return Return(result, font_ ? Variant::Font(*font_) : Variant());
      }
      if (!IsPut(kind)) return com::DISP_E_MEMBERNOTFOUND;
      if (args.size() != 1) return com::DISP_E_BADPARAMCOUNT;
      std::optional<com::FontDesc> value = args[0].ToFont();
      if (!value && !args[0].IsEmpty()) return com::DISP_E_TYPEMISMATCH;
      if (Change(&font_, value)) {
        SetModifiedFlag();
        ApplyStockToWindow();
        OnStockPropertyChanged(id);
      }
      return com::S_OK;
    }
    case com::DISPID_ABOUTBOX:
      if (kind != DispatchKind::kMethod) return com::DISP_E_MEMBERNOTFOUND;
      if (!args.empty()) return com::DISP_E_BADPARAMCOUNT;
      AboutBox();
      return com::S_OK;
  }
  return com::DISP_E_MEMBERNOTFOUND;
}

HRESULT CKsControlBase::SetSite(com::IControlSite* site) {
  site_ = site;
  return com::S_OK;
}

HRESULT CKsControlBase::Advise(com::IEventSink* sink) {
  sink_ = sink;
  return com::S_OK;
}

void CKsControlBase::ResetStock() {
  back_colour_ = AmbientBackColor();
  fore_colour_ = AmbientForeColor();
  caption_.clear();
  enabled_ = true;
  com::Variant font;
  if (site_ != nullptr && site_->GetAmbient(com::DISPID_AMBIENT_FONT, &font) && font.ToFont()) {
    font_ = font.ToFont();
  } else if (qApp != nullptr) {
    font_ = com::FontDescFromQFont(QApplication::font());
  } else {
    font_.reset();
  }
}

HRESULT CKsControlBase::InitNew() {
  ResetStock();
  ResetState();
  ApplyStockToWindow();
  modified_ = false;
  InvalidateControl();
  return com::S_OK;
}

void CKsControlBase::ExchangeStock(com::PropExchange& px) {
  px.UInt("BackColor", &back_colour_, AmbientBackColor());
  px.UInt("ForeColor", &fore_colour_, AmbientForeColor());
  px.String("Caption", &caption_, std::string());
  px.Bool("Enabled", &enabled_, true);
  px.Font("Font", &font_);
}

HRESULT CKsControlBase::Load(const com::PropertyBag& bag) {
  ResetStock();
  ResetState();
  // The exchange may mark the control modified (a converted value).
  modified_ = false;
  com::PropExchange px = com::PropExchange::Loading(bag);
  ExchangeStock(px);
  ExchangeProperties(px);
  // A character set forced by the settings, and with it the weight of the
  // look in use; otherwise the stored font stays exactly as it was.
  if (settings_.font_charset != 0 && font_) {
    font_->charset = settings_.font_charset;
    font_->weight = settings_.font_weight;
  }
  ApplyStockToWindow();
  InvalidateControl();
  return com::S_OK;
}

HRESULT CKsControlBase::Save(com::PropertyBag* bag) {
  if (bag == nullptr) return com::E_POINTER;
  bag->Clear();
  // Always the current version: a state loaded from an older module is
  // converted when it is saved again.
  com::PropExchange px = com::PropExchange::Saving(bag, identity_.VersionWord());
  ExchangeStock(px);
  ExchangeProperties(px);
  modified_ = false;
  return com::S_OK;
}

QWidget* CKsControlBase::CreateControlWindow(QWidget* parent,
                                             const com::ControlWindowParams& params) {
  if (window_ != nullptr || parent == nullptr) return nullptr;
  QWidget* window = MakeWindow(parent);
  if (window == nullptr) return nullptr;
  window_ = window;
  // The window's name is the caption; without one, a loaded caption stays.
  if (!params.name.empty()) caption_ = params.name;
  window->setGeometry(params.rect);
  window->setEnabled(enabled_);
  ApplyStockToWindow();
  // The name is the caption now: the control hears of it like any change.
  OnStockPropertyChanged(com::DISPID_CAPTION);
  if (parent->isVisible()) window->show();
  return window;
}

HRESULT CKsControlBase::AdjustExtent(int* width, int* height) {
  if (width == nullptr || height == nullptr) return com::E_POINTER;
  return com::S_OK;
}

HRESULT CKsControlBase::OnAmbientPropertyChange(com::DISPID) {
  InvalidateControl();
  return com::S_OK;
}

HRESULT CKsControlBase::GetPages(std::vector<com::Guid>* pages) {
  if (pages == nullptr) return com::E_POINTER;
  *pages = {identity_.PageClsid(), com::CLSID_CFontPropPage, com::CLSID_CColorPropPage};
  if (ListsPicturePage()) pages->push_back(com::CLSID_CPicturePropPage);
  return com::S_OK;
}

QFont CKsControlBase::ControlFont() const {
  if (font_) return com::QFontFromDesc(*font_);
  return window_ != nullptr ? window_->font() : QFont();
}

bool CKsControlBase::UserMode() const {
  com::Variant mode;
  if (site_ != nullptr && site_->GetAmbient(com::DISPID_AMBIENT_USERMODE, &mode)) {
    return mode.ToBool().value_or(true);
  }
  return true;
}

COLORREF CKsControlBase::AmbientBackColor() const {
  com::Variant colour;
  if (site_ != nullptr && site_->GetAmbient(com::DISPID_AMBIENT_BACKCOLOR, &colour)) {
    if (std::optional<uint32_t> c = colour.ToUInt()) return *c;
  }
  return SysColour(SysColourIndex::kButtonFace);
}

COLORREF CKsControlBase::AmbientForeColor() const {
  com::Variant colour;
  if (site_ != nullptr && site_->GetAmbient(com::DISPID_AMBIENT_FORECOLOR, &colour)) {
    if (std::optional<uint32_t> c = colour.ToUInt()) return *c;
  }
  return SysColour(SysColourIndex::kWindowText);
}

void CKsControlBase::InvalidateControl() {
  if (window_ != nullptr) window_->update();
}

void CKsControlBase::FireEvent(com::DISPID event, std::span<const Variant> args) {
  if (sink_ == nullptr) return;
  com::ComPtr<com::IControl> keep = com::ComPtr<com::IControl>::Share(this);
  sink_->OnEvent(event, args);
}

void CKsControlBase::PostToContainer(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (site_ != nullptr) site_->PostToContainer(message, wparam, lparam);
}

void CKsControlBase::AboutBox() { ShowAboutBox(identity_, window_.data()); }

void CKsControlBase::WindowDestroyed() { window_ = nullptr; }

void CKsControlBase::OnStockPropertyChanged(com::DISPID) { InvalidateControl(); }

void CKsControlBase::ApplyStockToWindow() {
  if (window_ == nullptr) return;
  if (font_) window_->setFont(com::QFontFromDesc(*font_));
  window_->setEnabled(enabled_);
  window_->setAccessibleName(QString::fromStdString(AccessibleText()));
}

std::string CKsControlBase::AccessibleText() const { return WithoutMnemonics(caption_); }

}  // namespace quarry::controls
