// The object model of the in-process component layer: result codes,
// reference-counted interfaces reached through QueryInterface, the class
// factory every module hands out, and a smart pointer that holds one
// reference.
//
// Interfaces are C++ classes of pure virtual functions, so a module built
// with hidden visibility and the program that loads it need share nothing
// but these headers: calls go through the objects' tables of virtual
// functions, never through exported symbols. Nothing is thrown across an
// interface; every call reports an HRESULT.

#ifndef QUARRY_PLATFORM_COM_BASE_H_
#define QUARRY_PLATFORM_COM_BASE_H_

#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/com_guid.h"

namespace quarry::com {

using HRESULT = int32_t;

// The codes keep their registry-era values: hosts and the registration
// tool report them, and scripts may test them.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);
inline constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
inline constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

// A short English text for the codes above ("Class not registered"), or
// "Error 0x80004005"-style text for others.
std::string_view ResultText(HRESULT hr);

// The base of every interface. A new object starts with one reference,
// owned by whoever created it; Release() of the last reference destroys
// it. Objects are used on the thread that created them unless an
// interface says otherwise.
class IUnknown {
 public:
  // On success stores an interface pointer in *out with a new reference;
  // otherwise E_NOINTERFACE and *out null.
  virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// Hands out new objects of one class.
class IClassFactory : public IUnknown {
 public:
  // Makes an object and queries it for `iid`. `outer` must be null: no
  // class of the system supports aggregation (CLASS_E_NOAGGREGATION).
  virtual HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  // Keeps the module from counting as unused while locked.
  virtual HRESULT LockServer(bool lock) = 0;
};

inline constexpr Guid IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Holds one reference to an interface; moves hand it on.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over the reference the caller owns (as returned by a creation
  // or query call).
  static ComPtr Adopt(T* p) {
    ComPtr ptr;
    ptr.p_ = p;
    return ptr;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p != nullptr) p->AddRef();
    return Adopt(p);
  }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For calls that store a new reference through a void** argument; the
  // pointer held before is released first.
  void** Receive() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }

  // The same object queried for `U` (identified by `iid`); empty when it
  // does not have that interface.
  template <typename U>
  ComPtr<U> As(const Guid& iid) const {
    ComPtr<U> out;
    if (p_ != nullptr) p_->QueryInterface(iid, out.Receive());
    return out;
  }

 private:
  T* p_ = nullptr;
};

// Strings handed from a module to its caller (the NiceName export):
// allocated with the C library's allocator, so that whichever side frees
// them uses the same heap. Null for a failed allocation.
char* AllocString(std::string_view text);
void FreeString(char* text);

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_COM_BASE_H_
