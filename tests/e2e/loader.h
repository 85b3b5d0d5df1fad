// What the platform's loader does with an add-in DLL before the first Init, for the Windows test
// programs: the copy in the users' folder, the object names from the string table, and a watch
// on the registry calls the DLL makes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace addin::test {

// Where the tests put the DLL: a Cyrillic folder and file name with a space, as an infobase's
// folder often is (not a system DLL's name such as Security.dll).
inline const wchar_t kLoaderPath[] = L"C:\\Базы\\Торговля 2\\Доставка.dll";

// Copies the file, making the folders on the way.
bool CopyAs(const std::wstring& from, const std::wstring& to);

// The names of the objects to create: string 100 of the module ("Name1|Name2|..."), or the file
// name without its extension when there is none.
std::vector<std::wstring> ObjectNames(HMODULE module, const std::wstring& path);

// Counts the registry calls of one loaded module that change something (keys created, values
// set, keys and values deleted), by replacing its imports from advapi32; with `refuseMachine`
// those under HKEY_LOCAL_MACHINE are refused with access denied, as for a user without rights.
struct RegistryWatch {
  explicit RegistryWatch(HMODULE module);
  ~RegistryWatch();
  static int changes;
  static int machineChanges;  // of them, under HKEY_LOCAL_MACHINE
  static bool refuseMachine;

 private:
  HMODULE module_;
};

// The registry's own answer, in the caller's view: the default value of a key, "" when missing.
std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* name = nullptr);
bool RegistryHasKey(HKEY root, const std::wstring& key);

}  // namespace addin::test
