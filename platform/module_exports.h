// The entry points every component module exports, by these C names:
//
//   DllRegisterServer()      registers the module's type library and
//                            classes in the current user's store; 0, or
//                            SELFREG_E_TYPELIB / SELFREG_E_CLASS
//   DllUnregisterServer()    removes them again; same results
//   DllGetClassObject(clsid, iid, out)   the class factory of a class
//   DllCanUnloadNow()        S_OK when no object or lock is alive, else
//                            S_FALSE (modules are never unloaded here, but
//                            hosts may ask)
//   Version(double*)         the module version, major + minor / 100;
//                            a null pointer is accepted; always 0
//   NiceName(char**)         the display name, a new string the caller
//                            frees with com::FreeString; a null pointer is
//                            accepted; always 0
//
// Modules are built with hidden visibility and export exactly these; the
// arguments are plain C types and the Guid struct, so any host that shares
// this header can call them.

#ifndef QUARRY_PLATFORM_MODULE_EXPORTS_H_
#define QUARRY_PLATFORM_MODULE_EXPORTS_H_

#include "platform/com_base.h"

namespace quarry::com {

using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
using DllGetClassObjectFn = HRESULT (*)(const Guid* clsid, const Guid* iid, void** out);
using DllCanUnloadNowFn = HRESULT (*)();
using VersionFn = HRESULT (*)(double* version);
using NiceNameFn = HRESULT (*)(char** name);

}  // namespace quarry::com

// Marks a module's definition of an entry point for export.
#define QUARRY_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

#endif  // QUARRY_PLATFORM_MODULE_EXPORTS_H_
