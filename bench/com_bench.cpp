// Operations 36, 37 and 26 through real COM (the DLL registered in the Wine prefix) against a
// minimal IDispatch holder, beside the IDispatch calls each operation must make at least: the
// ratio of the two is the component's own cost in a real process.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "../tests/e2e/test_object.h"

using addin::com::ComPtr;
using addin::test::I4;
using addin::test::Str;
using addin::test::TestObject;

namespace {

const wchar_t* const kQuantities[7] = {L"б1", L"б2", L"б3", L"б4", L"б5", L"б6", L"б7"};
const wchar_t* const kFlags[7] = {L"Понедельник", L"Вторник", L"Среда", L"Четверг", L"Пятница", L"Суббота",
                                  L"Воскресенье"};
const wchar_t kText[] = L"ДеньНедели";

double NanosPerRun(int runs, const std::function<void()>& body) {
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&a);
  for (int i = 0; i < runs; ++i) body();
  QueryPerformanceCounter(&b);
  return (b.QuadPart - a.QuadPart) * 1e9 / f.QuadPart / runs;
}

// One member used by name the first time: its DISPID, then the call.
struct Caller {
  IDispatch* d;
  std::vector<std::pair<std::wstring, DISPID>> ids;
  DISPID Id(const wchar_t* name) {
    for (auto& [n, id] : ids)
      if (n == name) return id;
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    ids.emplace_back(name, id);
    return id;
  }
  void Get(const wchar_t* name) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT r;
    VariantInit(&r);
    d->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, &r, nullptr,
              nullptr);
    VariantClear(&r);
  }
  void Put(const wchar_t* name, VARIANT v) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS one{&v, &put, 1, 1};
    d->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr);
    VariantClear(&v);
  }
};

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  {
    TestObject holder;
    for (int i = 0; i < 7; ++i) holder.SetMember(kQuantities[i], I4(100 + i));
    for (int i = 0; i < 7; ++i) holder.SetMember(kFlags[i], I4(0));
    holder.SetMember(kText, Str(L"000200000408000824001664003360006784013696"));

    CLSID clsid;
    ComPtr<ILanguageExtender> ext;
    if (FAILED(CLSIDFromProgID(L"AddIn.AddInObj", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILanguageExtender,
                                reinterpret_cast<void**>(ext.put())))) {
      std::fprintf(stderr, "AddIn.AddInObj is not registered\n");
      return 1;
    }
    ComPtr<IInitDone> init;
    ext->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(init.put()));
    TestObject connection;
    init->Init(&connection);  // the built-in schedule key

    SAFEARRAYBOUND b{9, 0};
    SAFEARRAY* args = SafeArrayCreate(VT_VARIANT, 1, &b);
    LONG one = 1, zero = 0;
    VARIANT h = addin::test::Obj(&holder);
    SafeArrayPutElement(args, &one, &h);
    VariantClear(&h);

    const int runs = argc > 1 ? std::atoi(argv[1]) : 20000;  // runs per operation
    HRESULT status = S_OK;
    for (int code : {36, 37, 26}) {
      VARIANT c = I4(code);
      SafeArrayPutElement(args, &zero, &c);
      double execute = NanosPerRun(runs, [&] {
        HRESULT hr = ext->CallAsProc(0, &args);
        if (FAILED(hr)) status = hr;
        holder.calls.clear();
      });
      if (FAILED(status)) {
        std::fprintf(stderr, "operation %d failed: 0x%08lX\n", code, static_cast<unsigned long>(status));
        return 1;
      }
      double calls = NanosPerRun(runs, [&] {
        Caller host{&holder, {}};
        if (code == 36) {
          for (auto q : kQuantities) host.Get(q);
          host.Put(kText, Str(L"000200000408000824001664003360006784013696"));
        } else {
          for (int i = 0; i < 7 + (code == 37); ++i) host.Get(kText);
          if (code == 37)
            for (int i = 6; i >= 0; --i) {
              host.Put(kQuantities[i], I4(100 + i));
              host.Get(kQuantities[i]);
              host.Put(kFlags[i], I4(1));
            }
        }
        holder.calls.clear();
      });
      std::printf("operation %d through COM: Execute %.0f ns, its IDispatch calls %.0f ns, ratio %.2f\n", code,
                  execute, calls, execute / calls);
    }
    SafeArrayDestroy(args);
    init->Done();
  }
  CoUninitialize();
  return 0;
}
