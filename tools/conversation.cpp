// Loads the component the way the platform does and prints the conversation: each call the host
// makes and what the component answered.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/utf.h"
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

}  // namespace

int wmain() {
  CoInitialize(nullptr);
  int rc = 0;
  {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"AddIn.AddInObj", &clsid);
    Say(L"CLSIDFromProgID(\"AddIn.AddInObj\")", hr);
    ComPtr<IInitDone> init;
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone,
                                             reinterpret_cast<void**>(init.put()));
    Say(L"CoCreateInstance(IInitDone)", hr);
    if (FAILED(hr)) return 1;
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
    rc = connection.refs() == 0 ? 0 : 1;
  }
  CoUninitialize();
  return rc;
}
