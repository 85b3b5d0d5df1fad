// The real DLL loaded the way the platform's loader loads it: from an infobase's folder with a
// Cyrillic name, registered by the loader on every start as whoever runs it, the object names
// taken from string 100, each object created by "AddIn." + name and started.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdlib>
#include <string>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "loader.h"
#include "test_object.h"

namespace addin::test {
namespace {

using com::ComPtr;
using com::UniqueBstr;
using Entry = HRESULT(STDAPICALLTYPE*)();

std::wstring Env(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v ? v : L"";
}

std::wstring Guid(REFGUID g) {
  wchar_t buf[40];
  StringFromGUID2(g, buf, 40);
  return buf;
}

const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kClass = L"CLSID\\" + Guid(CLSID_AddInObj);
// Every key of the component's own, relative to the classes of a scope.
const std::wstring kOwnKeys[] = {kClass, L"AddIn.AddInObj", L"TypeLib\\" + Guid(LIBID_AddIn),
                                 L"Interface\\" + Guid(IID__AddInObj), L"Interface\\" + Guid(DIID___AddInObj)};

bool AnyOwnKey(HKEY root) {
  for (const auto& k : kOwnKeys)
    if (RegistryHasKey(root, kClasses + k)) return true;
  return false;
}

// regsvr32 of this bitness, as a user runs it; its exit status.
DWORD Regsvr32(const std::wstring& arguments) {
  std::wstring line = L"regsvr32.exe /s " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 9998;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST(Loader, EachDllNamesItsObjectInString100) {
  for (const wchar_t* var : {L"ADDIN_DLL", L"ADDIN_DLL32"}) {
    const std::wstring dll = Env(var);
    if (dll.empty()) continue;
    HMODULE m = LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr) << var;
    wchar_t text[64] = {};
    EXPECT_EQ(LoadStringW(m, 100, text, 64), 8) << var;
    EXPECT_STREQ(text, L"AddInObj") << var;
    FreeLibrary(m);
  }
}

TEST(Loader, LoadsRegistersAndStartsTheComponentFromACyrillicFolder) {
  const std::wstring built = Env(L"ADDIN_DLL"), path = kLoaderPath;
  ASSERT_FALSE(built.empty()) << "ADDIN_DLL names the DLL under test";
  ASSERT_TRUE(CopyAs(built, path));
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  HMODULE m = LoadLibraryW(path.c_str());
  ASSERT_NE(m, nullptr);
  auto reg = Export<Entry>(m, "DllRegisterServer");
  auto unreg = Export<Entry>(m, "DllUnregisterServer");
  auto canUnload = Export<Entry>(m, "DllCanUnloadNow");
  ASSERT_TRUE(reg && unreg && canUnload && GetProcAddress(m, "DllInstall"));
  {
    RegistryWatch watch(m);
    ASSERT_EQ(unreg(), S_OK);  // whatever the suite registered before
    ASSERT_FALSE(AnyOwnKey(HKEY_LOCAL_MACHINE));
    RegistryWatch::changes = RegistryWatch::machineChanges = 0;
    ASSERT_EQ(reg(), S_OK);
    std::printf("first registration: %d registry changes, all machine-wide: %s\n", RegistryWatch::changes,
                RegistryWatch::machineChanges == RegistryWatch::changes ? "yes" : "no");
    EXPECT_GT(RegistryWatch::changes, 0);
    EXPECT_EQ(RegistryWatch::machineChanges, RegistryWatch::changes);

    // The registration names the file exactly as it is, Cyrillic letters and space included.
    const std::wstring cls = kClasses + kClass, lib = kClasses + L"TypeLib\\" + Guid(LIBID_AddIn) + L"\\1.0";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, cls + L"\\InprocServer32"), path);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kClasses + L"AddIn.AddInObj\\CLSID"), Guid(CLSID_AddInObj));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, lib + (sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32")), path);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, lib + L"\\HELPDIR"), L"C:\\Базы\\Торговля 2");
    EXPECT_FALSE(AnyOwnKey(HKEY_CURRENT_USER));

    // The loader registers on every start: the same file again changes nothing.
    RegistryWatch::changes = 0;
    EXPECT_EQ(reg(), S_OK);
    std::printf("second registration: %d registry changes\n", RegistryWatch::changes);
    EXPECT_EQ(RegistryWatch::changes, 0);
  }

  // The object names, and each object created by its ProgID and started as the platform does.
  const auto names = ObjectNames(m, path);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], L"AddInObj");
  TestObject connection;
  for (const auto& name : names) {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID((L"AddIn." + name).c_str(), &clsid), S_OK);
    ComPtr<IInitDone> init;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone,
                               reinterpret_cast<void**>(init.put())),
              S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);  // the object is served by the copy the loader loaded
    ASSERT_EQ(init->Init(&connection), S_OK);
    SAFEARRAYBOUND b{1, 0};
    SAFEARRAY* info = SafeArrayCreate(VT_VARIANT, 1, &b);
    EXPECT_EQ(init->GetInfo(&info), S_OK);
    SafeArrayDestroy(info);
    ComPtr<ILanguageExtender> ext;
    ASSERT_EQ(init->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(ext.put())), S_OK);
    UniqueBstr ext_name;
    ASSERT_EQ(ext->RegisterExtensionAs(ext_name.put()), S_OK);
    EXPECT_STREQ(ext_name.get(), L"Security");
    b.cElements = 9;
    SAFEARRAY* args = SafeArrayCreate(VT_VARIANT, 1, &b);
    LONG at = 0;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    for (LONG value : {63L, 3L}) {
      V_I4(&v) = value;
      SafeArrayPutElement(args, &at, &v);
      ++at;
    }
    EXPECT_EQ(ext->CallAsProc(0, &args), S_OK);
    SafeArrayDestroy(args);
    EXPECT_EQ(init->Done(), S_OK);
  }
  EXPECT_EQ(connection.refs(), 0);
  EXPECT_EQ(canUnload(), S_OK);

  {
    // A user without administrator rights: the machine-wide classes refuse every change.
    RegistryWatch watch(m);
    RegistryWatch::refuseMachine = true;
    EXPECT_EQ(unreg(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));  // the administrator's registration stays
    RegistryWatch::changes = 0;
    EXPECT_EQ(reg(), S_OK);  // ... and serves this user too: nothing to write
    EXPECT_EQ(RegistryWatch::changes, 0);
    RegistryWatch::refuseMachine = false;
    ASSERT_EQ(unreg(), S_OK);
    RegistryWatch::refuseMachine = true;
    RegistryWatch::changes = RegistryWatch::machineChanges = 0;
    EXPECT_EQ(reg(), S_OK);  // registered for this user instead
    std::printf("registration refused machine-wide: %d registry changes, %d of them refused machine-wide\n",
                RegistryWatch::changes, RegistryWatch::machineChanges);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kClasses + kClass + L"\\InprocServer32"), path);
    EXPECT_FALSE(AnyOwnKey(HKEY_LOCAL_MACHINE));
    RegistryWatch::changes = 0;
    EXPECT_EQ(reg(), S_OK);
    EXPECT_EQ(RegistryWatch::changes, 0);
    EXPECT_EQ(unreg(), S_OK);  // the user's own goes; nothing of this file is left machine-wide
    EXPECT_FALSE(AnyOwnKey(HKEY_CURRENT_USER));
  }

  // regsvr32 /n /i:user: the current user's classes only, and /u takes all of it away again.
  const std::wstring quoted = L"\"" + path + L"\"";
  EXPECT_EQ(Regsvr32(L"/n /i:user " + quoted), 0u);
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kClasses + kClass + L"\\InprocServer32"), path);
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kClasses + L"AddIn.AddInObj\\CLSID"), Guid(CLSID_AddInObj));
  EXPECT_FALSE(AnyOwnKey(HKEY_LOCAL_MACHINE));
  EXPECT_EQ(Regsvr32(L"/u /n /i:user " + quoted), 0u);
  EXPECT_FALSE(AnyOwnKey(HKEY_CURRENT_USER));
  EXPECT_FALSE(AnyOwnKey(HKEY_LOCAL_MACHINE));

  // The rest of the suite uses the build's DLL, registered as before.
  HMODULE original = LoadLibraryW(built.c_str());
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(Export<Entry>(original, "DllRegisterServer")(), S_OK);
  CoUninitialize();
}

}  // namespace
}  // namespace addin::test
