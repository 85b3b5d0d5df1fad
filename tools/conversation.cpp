// Loads the component the way the platform's loader does and prints the conversation: the DLL
// copied into an infobase's folder (by default "C:\Базы\Торговля 2\Доставка.dll"), loaded and
// registered, the object names read from its string 100, each object created by "AddIn." + name
// and started; each call the host makes and what the component answered.
// Usage: conversation.exe --dll <built DLL> [--as <path of the copy>]
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/utf.h"
#include "../tests/e2e/loader.h"
#include "../tests/e2e/test_object.h"

using addin::com::ComPtr;
using addin::com::UniqueBstr;
using addin::test::TestObject;

namespace {

// Written as UTF-8 whatever the console's code page is.
void Print(const std::wstring& line) {
  const std::string bytes = addin::Utf8(addin::TextView(reinterpret_cast<const char16_t*>(line.data()), line.size()));
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void Say(const std::wstring& call, HRESULT hr, const std::wstring& answer = L"") {
  wchar_t status[32];
  std::swprintf(status, 32, L"status 0x%08lX", static_cast<unsigned long>(hr));
  std::wstring line = L"host -> " + call;
  line.resize(std::max<size_t>(line.size() + 1, 52), L' ');
  Print(line + status + (answer.empty() ? L"" : L"  answer: " + answer) + L"\n");
}

std::wstring Shown(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_EMPTY: return L"Empty";
    case VT_NULL: return L"Null";
    case VT_BSTR: return L"\"" + std::wstring(V_BSTR(&v)) + L"\"";
    default: {
      VARIANT t;
      VariantInit(&t);
      VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR);
      std::wstring s = V_VT(&t) == VT_BSTR ? V_BSTR(&t) : L"?";
      VariantClear(&t);
      return s;
    }
  }
}

using Entry = HRESULT(STDAPICALLTYPE*)();
using addin::test::Export;

// One object of the list, started and used as the platform does; whether every reference given
// to it came back.
bool Start(const std::wstring& progId) {
  HRESULT hr;
  {
    CLSID clsid;
    hr = CLSIDFromProgID(progId.c_str(), &clsid);
    Say(L"CLSIDFromProgID(\"" + progId + L"\")", hr);
    ComPtr<IInitDone> init;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone,
                                             reinterpret_cast<void**>(init.put()));
    Say(L"CoCreateInstance(IInitDone)", hr);
    if (FAILED(hr)) return false;
    TestObject connection;
    Say(L"IInitDone::Init(connection)", init->Init(&connection));

    SAFEARRAYBOUND b{1, 0};
    SAFEARRAY* info = SafeArrayCreate(VT_VARIANT, 1, &b);
    hr = init->GetInfo(&info);
    LONG zero = 0;
    VARIANT v;
    VariantInit(&v);
    SafeArrayGetElement(info, &zero, &v);
    Say(L"IInitDone::GetInfo(array)", hr, L"element 0 = " + Shown(v));
    VariantClear(&v);
    SafeArrayDestroy(info);

    ComPtr<ILanguageExtender> ext;
    init->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(ext.put()));
    UniqueBstr name;
    hr = ext->RegisterExtensionAs(name.put());
    Say(L"ILanguageExtender::RegisterExtensionAs", hr, name.get());
    Print(L"        the configuration's scripts reach it as СоздатьОбъект(\"AddIn." + std::wstring(name.get()) +
          L"\")\n");

    for (const wchar_t* m : {L"Execute", L"Выполнить"}) {
      UniqueBstr n(SysAllocString(m));
      LONG pos = -99;
      hr = ext->FindMethod(n.get(), &pos);
      Say(L"FindMethod(\"" + std::wstring(m) + L"\")", hr, std::to_wstring(pos));
    }
    LONG params = 0, ret = 0;
    hr = ext->GetNParams(0, &params);
    Say(L"GetNParams(0)", hr, std::to_wstring(params));
    for (LONG p = 0; p < params; ++p) {
      hr = ext->GetParamDefValue(0, p, &v);
      Say(L"GetParamDefValue(0, " + std::to_wstring(p) + L")", hr, Shown(v));
      VariantClear(&v);
    }
    hr = ext->HasRetVal(0, &ret);
    Say(L"HasRetVal(0)", hr, std::to_wstring(ret));

    b.cElements = 9;
    SAFEARRAY* args = SafeArrayCreate(VT_VARIANT, 1, &b);
    VARIANT code;
    VariantInit(&code);
    V_VT(&code) = VT_I4;
    V_I4(&code) = 61;
    SafeArrayPutElement(args, &zero, &code);
    Say(L"CallAsProc(0, [61, Empty x 8])", ext->CallAsProc(0, &args));
    SafeArrayDestroy(args);

    for (const wchar_t* p : {L"IsResult", L"Результат"}) {
      UniqueBstr n(SysAllocString(p));
      LONG num = -99;
      hr = ext->FindProp(n.get(), &num);
      Say(L"FindProp(\"" + std::wstring(p) + L"\")", hr, std::to_wstring(num));
    }
    LONG readable = 0;
    hr = ext->IsPropReadable(0, &readable);
    Say(L"IsPropReadable(0)", hr, std::to_wstring(readable));
    hr = ext->GetPropVal(0, &v);
    Say(L"GetPropVal(0)", hr, Shown(v));
    VariantClear(&v);
    Say(L"IInitDone::Done()", init->Done());
    init = {};
    ext = {};
    Print(L"host -> release; connection references left: " + std::to_wstring(connection.refs()) + L"\n");
    return connection.refs() == 0;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring built, path = addin::test::kLoaderPath;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wstring(argv[i]) == L"--dll") built = argv[i + 1];
    else if (std::wstring(argv[i]) == L"--as") path = argv[i + 1];
  }
  if (built.empty()) {
    Print(L"usage: conversation.exe --dll <AddIn.dll> [--as <path of the copy>]\n");
    return 2;
  }
  if (!addin::test::CopyAs(built, path)) {
    Print(L"cannot copy " + built + L" to " + path + L"\n");
    return 1;
  }
  CoInitialize(nullptr);
  bool ok = false;
  HMODULE m = LoadLibraryW(path.c_str());
  Say(L"LoadLibraryW(\"" + path + L"\")", m ? S_OK : HRESULT_FROM_WIN32(GetLastError()));
  if (m) {
    auto reg = Export<Entry>(m, "DllRegisterServer");
    const HRESULT hr = reg ? reg() : E_NOINTERFACE;
    Say(L"DllRegisterServer()", hr);
    const auto names = addin::test::ObjectNames(m, path);
    std::wstring list;
    for (const auto& n : names) list += (list.empty() ? L"" : L", ") + n;
    Say(L"LoadStringW(100): objects to create", S_OK, list);
    ok = SUCCEEDED(hr);
    for (const auto& n : names) ok = Start(L"AddIn." + n) && ok;
    auto canUnload = Export<Entry>(m, "DllCanUnloadNow");
    const HRESULT unload = canUnload ? canUnload() : E_NOINTERFACE;
    Say(L"DllCanUnloadNow()", unload, unload == S_OK ? L"may be unloaded" : L"still in use");
    ok = ok && unload == S_OK;
  }
  CoUninitialize();
  return ok ? 0 : 1;
}
