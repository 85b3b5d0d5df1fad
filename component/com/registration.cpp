#include "component/com/registration.h"

#include <oleauto.h>

#include <string>

#include "component/com/addin_obj.h"
#include "host/com_raii.h"
#include "host/com_variant.h"

namespace addin::com {

namespace {

constexpr wchar_t kProgId[] = L"AddIn.AddInObj";
constexpr wchar_t kClassName[] = L"AddInObj";

#ifdef _WIN64
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr wchar_t kPlatform[] = L"win64";
#else
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr wchar_t kPlatform[] = L"win32";
#endif

std::wstring GuidText(REFGUID guid) {
  wchar_t buf[40];
  StringFromGUID2(guid, buf, 40);
  return buf;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (n == 0 || n == MAX_PATH) ThrowHresult(HRESULT_FROM_WIN32(GetLastError()));
  return path;
}

void SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY k = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  }
  if (rc != ERROR_SUCCESS) ThrowHresult(HRESULT_FROM_WIN32(rc));
}

// Deletes a key with everything under it; a key that is not there is no failure. Written out
// because Windows XP has no RegDeleteTree. A subkey that cannot be deleted is stepped over, so
// the walk always ends.
void DeleteTree(HKEY parent, const wchar_t* key) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(parent, key, 0, KEY_READ | DELETE, &k) != ERROR_SUCCESS) return;
  wchar_t name[256];  // a key name has at most 255 characters
  for (DWORD index = 0;;) {
    DWORD length = 256;
    if (RegEnumKeyExW(k, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteTree(k, name);
    HKEY left = nullptr;
    if (RegOpenKeyExW(k, name, 0, KEY_READ, &left) == ERROR_SUCCESS) {
      RegCloseKey(left);
      ++index;
    }
  }
  RegCloseKey(k);
  RegDeleteKeyW(parent, key);
}

void DeleteTree(const std::wstring& key) { DeleteTree(HKEY_CLASSES_ROOT, key.c_str()); }

bool KeyExists(const std::wstring& key, REGSAM view) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_AddInObj); }

}  // namespace

HRESULT RegisterServer() {
  const std::wstring path = ModulePath(), clsid = GuidText(CLSID_AddInObj), cls = ClassKey();
  SetValue(cls, nullptr, kClassName);
  SetValue(cls + L"\\InprocServer32", nullptr, path);
  SetValue(cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  SetValue(cls + L"\\ProgID", nullptr, kProgId);
  SetValue(cls + L"\\TypeLib", nullptr, GuidText(LIBID_AddIn));
  SetValue(cls + L"\\Version", nullptr, L"1.0");
  SetValue(kProgId, nullptr, kClassName);
  SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);

  // Only the component's own library: the host's interfaces and library are the host's.
  ComPtr<ITypeLib> lib;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
  if (SUCCEEDED(hr)) hr = RegisterTypeLib(lib.get(), const_cast<wchar_t*>(path.c_str()), nullptr);
  return hr;
}

HRESULT UnregisterServer() {
  const std::wstring cls = ClassKey();
  DeleteTree(cls);
  // With the other bitness still registered, the keys both share stay: the ProgID, the type
  // library's version key and its interfaces. Only this bitness's own entries go.
  if (KeyExists(cls + L"\\InprocServer32", kOtherView)) {
    DeleteTree(L"TypeLib\\" + GuidText(LIBID_AddIn) + L"\\1.0\\0\\" + kPlatform);
    return S_OK;
  }
  DeleteTree(kProgId);
  HRESULT hr = UnRegisterTypeLib(LIBID_AddIn, 1, 0, LOCALE_NEUTRAL, kSysKind);
  return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY ? S_OK : hr;  // already gone
}

}  // namespace addin::com
