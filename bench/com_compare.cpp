// Two builds of the DLL in one process, taking turns in short rounds, so that whatever else the
// machine does weighs on both alike: operations 36, 37 and 26 against a minimal IDispatch
// holder, and the sample day's delivery sheet against the simulated platform, each build's
// objects made through its own DllGetClassObject. Each round times both builds one after the
// other; prints, per figure, the median of each build's times and the median of the rounds'
// shares (second / first), the figure that drift between rounds does not move.
//
//   com_compare FIRST.dll SECOND.dll DAY.json [ROUNDS, default 101]
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/com_variant.h"
#include "sim/com_exposed.h"
#include "sim/day_run.h"
#include "sim/model.h"
#include "../tests/e2e/test_object.h"

using namespace addin;
using com::ComPtr;
using test::I4;
using test::Str;
using test::TestObject;

namespace {

const wchar_t* const kQuantities[7] = {L"б1", L"б2", L"б3", L"б4", L"б5", L"б6", L"б7"};
const wchar_t* const kFlags[7] = {L"Понедельник", L"Вторник", L"Среда", L"Четверг", L"Пятница", L"Суббота",
                                  L"Воскресенье"};

double Seconds(const std::function<void()>& body) {
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&a);
  body();
  QueryPerformanceCounter(&b);
  return double(b.QuadPart - a.QuadPart) / f.QuadPart;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One build: its objects, made through its own class factory.
struct Build {
  HMODULE module = nullptr;
  ComPtr<IInitDone> init;
  ComPtr<ILanguageExtender> ext;

  bool Load(const wchar_t* path) {
    module = LoadLibraryW(path);
    if (!module) return false;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    return get && SUCCEEDED(get(CLSID_AddInObj, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))) &&
           SUCCEEDED(factory->CreateInstance(nullptr, IID_IInitDone, reinterpret_cast<void**>(init.put()))) &&
           SUCCEEDED(init->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(ext.put())));
  }
};

HRESULT Execute(ILanguageExtender* ext, std::vector<Value> params) {
  params.resize(9, Value::Null());
  SAFEARRAY* array = com::ToSafeArray(params);
  const HRESULT hr = ext->CallAsProc(0, &array);
  SafeArrayDestroy(array);
  return hr;
}

// The sample day's settings and sheet through one build; false on a failure.
bool Sheet(Build& b, sim::Model& model) {
  com::UniqueVariant connection;
  com::ToVariant(Value::Obj(ObjRef(&model.connection)), *connection.get());
  if (FAILED(b.init->Init(V_DISPATCH(connection.get())))) return false;
  bool ok = true;
  for (auto& call : sim::DeliverySheetCalls(model)) ok = SUCCEEDED(Execute(b.ext.get(), call.params)) && ok;
  b.init->Done();
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: com_compare FIRST.dll SECOND.dll DAY.json [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 4 ? _wtoi(argv[4]) : 101;
  CoInitialize(nullptr);
  int rc = 0;
  {
    sim::ExposeSimulatedObjects();
    Build builds[2];
    for (int i = 0; i < 2; ++i)
      if (!builds[i].Load(argv[1 + i])) {
        std::fprintf(stderr, "cannot load %ls\n", argv[1 + i]);
        return 1;
      }
    std::string dayPath;
    for (const wchar_t* c = argv[3]; *c; ++c) dayPath += static_cast<char>(*c);
    auto model = sim::LoadDay(dayPath);

    TestObject holder, connection;
    for (int i = 0; i < 7; ++i) holder.SetMember(kQuantities[i], I4(100 + i));
    for (int i = 0; i < 7; ++i) holder.SetMember(kFlags[i], I4(0));
    holder.SetMember(L"ДеньНедели", Str(L"000200000408000824001664003360006784013696"));
    for (Build& b : builds) b.init->Init(&connection);  // the built-in schedule key

    SAFEARRAYBOUND bound{9, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    LONG zero = 0, one = 1;
    VARIANT h = test::Obj(&holder);
    SafeArrayPutElement(array, &one, &h);
    VariantClear(&h);

    const char* names[4] = {"operation 36", "operation 37", "operation 26", "sample day's sheet"};
    std::vector<double> figures[4][2];
    const int calls = 2000, sheets = 1;
    for (int r = 0; r < rounds; ++r) {
      for (int k = 0; k < 2; ++k) {
        const int which = (r + k) % 2;  // each build goes first every other round
        Build& b = builds[which];
        int n = 0;
        for (int code : {36, 37, 26}) {
          VARIANT c = I4(code);
          SafeArrayPutElement(array, &zero, &c);
          const double s = Seconds([&] {
            for (int i = 0; i < calls; ++i) {
              if (FAILED(b.ext->CallAsProc(0, &array))) rc = 1;
              holder.calls.clear();
            }
          });
          figures[n++][which].push_back(s * 1e9 / calls);
        }
        for (Build& other : builds) other.init->Done();
        const double s = Seconds([&] {
          for (int i = 0; i < sheets; ++i)
            if (!Sheet(b, *model)) rc = 1;
        });
        for (Build& other : builds) other.init->Init(&connection);
        figures[3][which].push_back(s * 1e3 / sheets);
      }
    }
    if (std::getenv("ADDIN_COMPARE_ROUNDS"))  // every round's figures, for a look at the spread
      for (int n = 0; n < 4; ++n)
        for (int w = 0; w < 2; ++w) {
          std::printf("%s, %s:", names[n], w ? "second" : "first");
          for (double x : figures[n][w]) std::printf(" %.1f", x);
          std::printf("\n");
        }
    for (int n = 0; n < 4; ++n) {
      std::vector<double> shares;
      for (int r = 0; r < rounds; ++r) shares.push_back(figures[n][1][r] / figures[n][0][r]);
      const double a = Median(figures[n][0]), b = Median(figures[n][1]);
      std::printf("%-20s %d rounds: first %9.1f %s, second %9.1f %s (medians); second/first %.3f (median of the rounds)\n",
                  names[n], rounds, a, n == 3 ? "ms" : "ns", b, n == 3 ? "ms" : "ns", Median(shares));
    }
    SafeArrayDestroy(array);
    for (Build& b : builds) b.init->Done();
    if (rc) std::fprintf(stderr, "a call failed\n");
  }
  CoUninitialize();
  return rc;
}
