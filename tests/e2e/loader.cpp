#include "loader.h"

#include <cstring>

namespace addin::test {

bool CopyAs(const std::wstring& from, const std::wstring& to) {
  for (auto pos = to.find(L'\\', 3); pos != std::wstring::npos; pos = to.find(L'\\', pos + 1))
    CreateDirectoryW(to.substr(0, pos).c_str(), nullptr);
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::vector<std::wstring> ObjectNames(HMODULE module, const std::wstring& path) {
  wchar_t text[1024];
  const int n = LoadStringW(module, 100, text, 1024);
  std::vector<std::wstring> names;
  if (n <= 0) {
    std::wstring file = path.substr(path.find_last_of(L"\\/") + 1);
    names.push_back(file.substr(0, file.find_last_of(L'.')));
    return names;
  }
  std::wstring all(text, n);
  for (size_t start = 0;;) {
    const size_t bar = all.find(L'|', start);
    names.push_back(all.substr(start, bar - start));
    if (bar == std::wstring::npos) break;
    start = bar + 1;
  }
  return names;
}

int RegistryWatch::changes = 0;
int RegistryWatch::machineChanges = 0;
bool RegistryWatch::refuseMachine = false;

namespace {

// Whether a call on this root is refused, after counting it.
bool Refused(HKEY root) {
  ++RegistryWatch::changes;
  if (root != HKEY_LOCAL_MACHINE) return false;
  ++RegistryWatch::machineChanges;
  return RegistryWatch::refuseMachine;
}

// Handles opened under HKEY_LOCAL_MACHINE, so that a value set through one counts there.
std::vector<HKEY> machineKeys;
bool UnderMachine(HKEY k) {
  if (k == HKEY_LOCAL_MACHINE) return true;
  for (HKEY m : machineKeys)
    if (m == k) return true;
  return false;
}
HKEY Root(HKEY k) { return UnderMachine(k) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

LONG WINAPI CreateKey(HKEY parent, LPCWSTR sub, DWORD reserved, LPWSTR cls, DWORD options, REGSAM sam,
                      LPSECURITY_ATTRIBUTES security, PHKEY out, LPDWORD disposition) {
  if (Refused(Root(parent))) return ERROR_ACCESS_DENIED;
  const LONG rc = RegCreateKeyExW(parent, sub, reserved, cls, options, sam, security, out, disposition);
  if (rc == ERROR_SUCCESS && UnderMachine(parent)) machineKeys.push_back(*out);
  return rc;
}
LONG WINAPI OpenKey(HKEY parent, LPCWSTR sub, DWORD options, REGSAM sam, PHKEY out) {
  // Opening to change or delete is what a user without rights is refused.
  const bool changing = (sam & (KEY_SET_VALUE | DELETE | KEY_CREATE_SUB_KEY)) != 0;
  if (changing && UnderMachine(parent) && RegistryWatch::refuseMachine) return ERROR_ACCESS_DENIED;
  const LONG rc = RegOpenKeyExW(parent, sub, options, sam, out);
  if (rc == ERROR_SUCCESS && UnderMachine(parent)) machineKeys.push_back(*out);
  return rc;
}
LONG WINAPI SetValue(HKEY k, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (Refused(Root(k))) return ERROR_ACCESS_DENIED;
  return RegSetValueExW(k, name, reserved, type, data, size);
}
LONG WINAPI DeleteKey(HKEY parent, LPCWSTR sub) {
  if (Refused(Root(parent))) return ERROR_ACCESS_DENIED;
  return RegDeleteKeyW(parent, sub);
}
LONG WINAPI DeleteValue(HKEY k, LPCWSTR name) {
  if (Refused(Root(k))) return ERROR_ACCESS_DENIED;
  return RegDeleteValueW(k, name);
}
LONG WINAPI CloseKey(HKEY k) {
  for (auto it = machineKeys.begin(); it != machineKeys.end(); ++it)
    if (*it == k) {
      machineKeys.erase(it);
      break;
    }
  return RegCloseKey(k);
}

// Points the module's import of `function` from advapi32 at `to` (or back at the original).
void Redirect(HMODULE module, const char* function, void* to) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    if (_stricmp(reinterpret_cast<char*>(base + imp->Name), "advapi32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(to);
      VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
    }
  }
}

struct Replacement {
  const char* name;
  void* watch;
  void* original;
};
const Replacement kReplacements[] = {
    {"RegCreateKeyExW", reinterpret_cast<void*>(&CreateKey), reinterpret_cast<void*>(&RegCreateKeyExW)},
    {"RegOpenKeyExW", reinterpret_cast<void*>(&OpenKey), reinterpret_cast<void*>(&RegOpenKeyExW)},
    {"RegSetValueExW", reinterpret_cast<void*>(&SetValue), reinterpret_cast<void*>(&RegSetValueExW)},
    {"RegDeleteKeyW", reinterpret_cast<void*>(&DeleteKey), reinterpret_cast<void*>(&RegDeleteKeyW)},
    {"RegDeleteValueW", reinterpret_cast<void*>(&DeleteValue), reinterpret_cast<void*>(&RegDeleteValueW)},
    {"RegCloseKey", reinterpret_cast<void*>(&CloseKey), reinterpret_cast<void*>(&RegCloseKey)},
};

}  // namespace

RegistryWatch::RegistryWatch(HMODULE module) : module_(module) {
  changes = machineChanges = 0;
  refuseMachine = false;
  for (const auto& r : kReplacements) Redirect(module_, r.name, r.watch);
}

RegistryWatch::~RegistryWatch() {
  for (const auto& r : kReplacements) Redirect(module_, r.name, r.original);
  refuseMachine = false;
}

std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return L"";
  wchar_t data[4096] = {};
  DWORD bytes = sizeof(data) - sizeof(wchar_t), type = 0;
  const LONG rc = RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(data) : L"";
}

bool RegistryHasKey(HKEY root, const std::wstring& key) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

}  // namespace addin::test
