#include "platform/class_registry.h"

#include <cstdio>
#include <filesystem>

#include "platform/settings_store.h"

namespace quarry::com {

namespace {

std::string Join(std::string_view a, std::string_view b) {
  std::string path(a);
  path += '\\';
  path += b;
  return path;
}

std::string TypeLibKey(const Guid& libid) {
  return Join(Join(kClassesKey, "TypeLib"), FormatGuid(libid));
}

std::string InterfaceKey(const Guid& iid) {
  return Join(Join(kClassesKey, "Interface"), FormatGuid(iid));
}

// Deletes `key` when present; true when it is absent afterwards.
bool RemoveKey(platform::SettingsStore& store, const std::string& key) {
  store.DeleteKey(key);
  return !store.KeyExists(key);
}

}  // namespace

std::string TypeLibVersionText(uint16_t major, uint16_t minor) {
  char text[16];
  std::snprintf(text, sizeof text, "%x.%x", major, minor);
  return text;
}

std::string ClassKey(const Guid& clsid) {
  return Join(Join(kClassesKey, "CLSID"), FormatGuid(clsid));
}

bool RegisterTypeLib(platform::SettingsStore& store, const TypeLibRegistration& lib) {
  const std::string version = TypeLibVersionText(lib.major, lib.minor);
  const std::string key = Join(TypeLibKey(lib.libid), version);
  const std::string folder = std::filesystem::path(lib.module_path).parent_path().string();
  bool ok = store.SetString(key, "", lib.name);
  ok = ok && store.SetString(Join(key, "0\\linux"), "", lib.module_path);
  ok = ok && store.SetString(Join(key, "FLAGS"), "", "0");
  ok = ok && store.SetString(Join(key, "HELPDIR"), "", folder);
  for (const InterfaceRegistration& itf : lib.interfaces) {
    const std::string itf_key = InterfaceKey(itf.iid);
    ok = ok && store.SetString(itf_key, "", itf.name);
    ok = ok && store.SetString(Join(itf_key, "TypeLib"), "", FormatGuid(lib.libid));
    ok = ok && store.SetString(Join(itf_key, "TypeLib"), "Version", version);
  }
  return ok;
}

bool UnregisterTypeLib(platform::SettingsStore& store, const TypeLibRegistration& lib) {
  const std::string lib_key = TypeLibKey(lib.libid);
  bool ok = RemoveKey(store, Join(lib_key, TypeLibVersionText(lib.major, lib.minor)));
  if (ok && store.KeyExists(lib_key) && store.SubKeys(lib_key).empty() &&
      store.Values(lib_key).empty()) {
    ok = RemoveKey(store, lib_key);
  }
  for (const InterfaceRegistration& itf : lib.interfaces) {
    ok = RemoveKey(store, InterfaceKey(itf.iid)) && ok;
  }
  return ok;
}

bool RegisterClass(platform::SettingsStore& store, const ClassRegistration& cls) {
  const std::string key = ClassKey(cls.clsid);
  bool ok = store.SetString(key, "", cls.type_name);
  ok = ok && store.SetString(Join(key, "InprocServer32"), "", cls.module_path);
  ok = ok && store.SetString(Join(key, "InprocServer32"), "ThreadingModel", "Apartment");
  if (!cls.prog_id.empty()) {
    ok = ok && store.SetString(Join(key, "ProgID"), "", cls.prog_id);
    const std::string prog_key = Join(kClassesKey, cls.prog_id);
    ok = ok && store.SetString(prog_key, "", cls.type_name);
    ok = ok && store.SetString(Join(prog_key, "CLSID"), "", FormatGuid(cls.clsid));
    if (cls.control) ok = ok && store.CreateKey(Join(prog_key, "Insertable"));
  }
  if (cls.control) {
    ok = ok && store.CreateKey(Join(key, "Control"));
    ok = ok && store.CreateKey(Join(key, "Insertable"));
    ok = ok && store.SetString(Join(key, "MiscStatus"), "", "0");
    ok = ok && store.SetString(Join(key, "MiscStatus\\1"), "", std::to_string(cls.misc_status));
    ok = ok && store.SetString(Join(key, "ToolboxBitmap32"), "",
                               cls.module_path + ", " + std::to_string(cls.toolbox_bitmap));
  }
  if (cls.type_lib) {
    ok = ok && store.SetString(Join(key, "TypeLib"), "", FormatGuid(*cls.type_lib));
    ok = ok && store.SetString(Join(key, "Version"), "",
                               TypeLibVersionText(cls.type_lib_major, cls.type_lib_minor));
  }
  return ok;
}

bool UnregisterClass(platform::SettingsStore& store, const ClassRegistration& cls) {
  bool ok = RemoveKey(store, ClassKey(cls.clsid));
  if (!cls.prog_id.empty()) {
    const std::string prog_key = Join(kClassesKey, cls.prog_id);
    const std::optional<Guid> named = ClsidFromProgId(store, cls.prog_id);
    if (!named || *named == cls.clsid) ok = RemoveKey(store, prog_key) && ok;
  }
  return ok;
}

std::optional<std::string> InprocServerPath(const platform::SettingsStore& store,
                                            const Guid& clsid) {
  std::string path = store.GetString(Join(ClassKey(clsid), "InprocServer32"), "", "", true);
  if (path.empty()) return std::nullopt;
  return path;
}

std::optional<Guid> ClsidFromProgId(const platform::SettingsStore& store,
                                    std::string_view prog_id) {
  if (prog_id.empty()) return std::nullopt;
  const std::string text = store.GetString(Join(Join(kClassesKey, prog_id), "CLSID"), "", "");
  return ParseGuid(text);
}

}  // namespace quarry::com
