#include "component/com/registration.h"

#include <string>

#include "AddIn.h"
#include "component/registration.h"
#include "host/com_variant.h"

namespace addin::com {

namespace {

using registration::Scope;

std::wstring Wide(const Text& t) { return std::wstring(t.begin(), t.end()); }
Text Narrow(const std::wstring& w) { return Text(w.begin(), w.end()); }

std::wstring GuidText(REFGUID guid) {
  wchar_t buf[40];
  StringFromGUID2(guid, buf, 40);
  return buf;
}

#ifdef _WIN64
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

// The classes of each scope, written explicitly under HKLM or HKCU (never through
// HKEY_CLASSES_ROOT, which sends a write to the user's key whenever one exists there), in this
// module's own registry view: on 64-bit Windows the redirector puts a 32-bit module's keys where
// 32-bit COM looks for them.
class WindowsRegistry final : public registration::Registry {
 public:
  std::optional<Text> Read(Scope scope, const Text& key, const Text& name) override {
    HKEY k = Open(scope, key, KEY_QUERY_VALUE);
    if (!k) return std::nullopt;
    std::optional<Text> result;
    const std::wstring n = Wide(name);
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(k, n.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
      bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      if (RegQueryValueExW(k, n.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) ==
          ERROR_SUCCESS) {
        data.resize(bytes / sizeof(wchar_t));
        while (!data.empty() && data.back() == L'\0') data.pop_back();  // stored with or without its end
        result = Narrow(data);
      }
    }
    RegCloseKey(k);
    return result;
  }
  bool HasKey(Scope scope, const Text& key) override { return Exists(scope, key, 0); }
  bool HasKeyInOtherView(Scope scope, const Text& key) override { return Exists(scope, key, kOtherView); }
  long Write(Scope scope, const Text& key, const Text& name, const Text& data) override {
    HKEY k = nullptr;
    const std::wstring path = Classes(key);
    LONG rc = RegCreateKeyExW(Root(scope), path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    const std::wstring n = Wide(name), d = Wide(data);
    rc = RegSetValueExW(k, n.empty() ? nullptr : n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(d.c_str()),
                        static_cast<DWORD>((d.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return rc;
  }
  long DeleteValue(Scope scope, const Text& key, const Text& name) override {
    const std::wstring path = Classes(key);
    HKEY k = nullptr;
    LONG rc = RegOpenKeyExW(Root(scope), path.c_str(), 0, KEY_SET_VALUE, &k);
    if (rc != ERROR_SUCCESS) return rc;
    const std::wstring n = Wide(name);
    rc = RegDeleteValueW(k, n.empty() ? nullptr : n.c_str());
    RegCloseKey(k);
    return rc;
  }
  long DeleteKey(Scope scope, const Text& key, bool tree) override {
    const std::wstring path = Classes(key);
    return tree ? DeleteTree(Root(scope), path.c_str()) : RegDeleteKeyW(Root(scope), path.c_str());
  }
  bool SameFile(const Text& a, const Text& b) override { return Canonical(Wide(a)) == Canonical(Wide(b)); }

 private:
  static HKEY Root(Scope scope) { return scope == Scope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
  static std::wstring Classes(const Text& key) { return L"Software\\Classes\\" + Wide(key); }
  static HKEY Open(Scope scope, const Text& key, REGSAM access) {
    HKEY k = nullptr;
    const std::wstring path = Classes(key);
    return RegOpenKeyExW(Root(scope), path.c_str(), 0, access, &k) == ERROR_SUCCESS ? k : nullptr;
  }
  static bool Exists(Scope scope, const Text& key, REGSAM view) {
    HKEY k = Open(scope, key, KEY_READ | view);
    if (k) RegCloseKey(k);
    return k != nullptr;
  }
  // The long form, upper-cased as the file system compares names; a path that names no file is
  // compared as it is.
  static std::wstring Canonical(const std::wstring& path) {
    std::wstring full(path.size() + 1, L'\0');
    for (;;) {
      const DWORD n = GetLongPathNameW(path.c_str(), full.data(), static_cast<DWORD>(full.size()));
      if (n == 0) {
        full = path;
        break;
      }
      if (n < full.size()) {
        full.resize(n);
        break;
      }
      full.assign(n, L'\0');
    }
    if (!full.empty()) CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
  }
  // Deletes a key with everything under it. Written out because Windows XP has no
  // RegDeleteTree. A subkey that cannot be deleted is stepped over, so the walk always ends;
  // the key's own deletion then tells.
  static LONG DeleteTree(HKEY parent, const wchar_t* key) {
    HKEY k = nullptr;
    LONG rc = RegOpenKeyExW(parent, key, 0, KEY_READ | DELETE, &k);
    if (rc != ERROR_SUCCESS) return rc;
    wchar_t name[256];  // a key name has at most 255 characters
    for (DWORD index = 0;;) {
      DWORD length = 256;
      if (RegEnumKeyExW(k, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (DeleteTree(k, name) != ERROR_SUCCESS) ++index;
    }
    RegCloseKey(k);
    return RegDeleteKeyW(parent, key);
  }
};

}  // namespace

std::wstring ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) ThrowHresult(HRESULT_FROM_WIN32(GetLastError()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    // Cut short: a full buffer (XP says nothing more, later Windows an insufficient buffer).
    if (path.size() >= 32768) ThrowHresult(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    path.resize(path.size() * 2);
  }
}

namespace {

registration::Module ThisModule() {
  return {Narrow(ModuleFileName()),
          sizeof(void*) == 8,
          Narrow(GuidText(CLSID_AddInObj)),
          Narrow(GuidText(LIBID_AddIn)),
          {{Narrow(GuidText(IID__AddInObj)), u"_AddInObj", true},
           {Narrow(GuidText(DIID___AddInObj)), u"__AddInObj", false}}};
}

bool IsWord(const wchar_t* text, const wchar_t* word) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text, -1, word, -1) == CSTR_EQUAL;
}

}  // namespace

HRESULT RegisterServer() {
  WindowsRegistry registry;
  return registration::RegisterMachineWide(registry, ThisModule());
}

HRESULT UnregisterServer() {
  WindowsRegistry registry;
  return registration::UnregisterAll(registry, ThisModule());
}

HRESULT Install(bool install, const wchar_t* scope) {
  if (!scope || !*scope || IsWord(scope, L"machine")) return install ? RegisterServer() : UnregisterServer();
  if (!IsWord(scope, L"user")) return E_INVALIDARG;
  WindowsRegistry registry;
  return install ? registration::RegisterForUser(registry, ThisModule())
                 : registration::UnregisterScope(registry, Scope::User, ThisModule());
}

}  // namespace addin::com
