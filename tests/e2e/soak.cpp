// A long run through the real DLL in one process: the sample day's delivery sheet many times,
// then operations 36, 37 and 26 many times each, all through ILanguageExtender::CallAsProc as
// the platform calls it. After a warm-up, the process's private bytes may not grow by 64 KiB or
// more, every simulated object's reference count must be back where it started, and the last
// run's results must equal the first's.
//
//   soak --day FILE [--sheets N] [--calls N]
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/com_variant.h"
#include "host/rules.h"
#include "host/utf.h"
#include "sim/com_exposed.h"
#include "sim/day_run.h"
#include "sim/html.h"

using namespace addin;
using com::ComPtr;

namespace {

constexpr SIZE_T kAllowedGrowth = 64 * 1024;

// The process's private bytes as GetProcessMemoryInfo reports them; where that gives none (Wine
// leaves PrivateUsage at 0), the committed private memory found by walking the address space,
// which is what the counter counts.
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters))
    throw std::runtime_error("GetProcessMemoryInfo failed");
  if (counters.PrivateUsage) return counters.PrivateUsage;
  SIZE_T committed = 0;
  MEMORY_BASIC_INFORMATION info;
  for (auto* at = static_cast<char*>(nullptr); VirtualQuery(at, &info, sizeof info) == sizeof info;
       at = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) committed += info.RegionSize;
    if (static_cast<char*>(info.BaseAddress) + info.RegionSize <= at) break;
  }
  return committed;
}

// The bytes in use in every heap of the process (busy blocks): finer than private bytes, which
// grow by whole commits of the heap (256 KiB seen under Wine).
long long HeapBytesInUse() {
  HANDLE heaps[64];
  const DWORD count = GetProcessHeaps(64, heaps);
  long long total = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += static_cast<long long>(entry.cbData);
    HeapUnlock(heaps[i]);
  }
  return total;
}

std::string Shown(const Value& v) {
  if (v.IsNull()) return "Null";
  if (v.IsObject()) return "(object)";
  return Utf8(ToText(v));
}

void Check(HRESULT hr, const std::string& what) {
  if (FAILED(hr)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr));
    throw std::runtime_error(what + " failed with status " + hex);
  }
}

struct Addin {
  ComPtr<IInitDone> init;
  ComPtr<ILanguageExtender> ext;
  Addin() {
    CLSID clsid;
    Check(CLSIDFromProgID(L"AddIn.AddInObj", &clsid), "CLSIDFromProgID");
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, reinterpret_cast<void**>(init.put())),
          "CoCreateInstance");
    Check(init->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(ext.put())), "QueryInterface");
  }
  void Execute(const std::vector<Value>& params, const std::string& what) {
    SAFEARRAY* array = com::ToSafeArray(params);
    const HRESULT hr = ext->CallAsProc(0, &array);
    SafeArrayDestroy(array);
    Check(hr, what);
  }
  Value Result() {
    com::UniqueVariant v;
    Check(ext->GetPropVal(0, v.get()), "GetPropVal");
    return com::FromVariant(*v.get());
  }
};

// Runs `body` a tenth of `runs` times as the warm-up, then `runs` times; returns the larger
// growth over the latter, of private bytes or of heap bytes in use, and prints both.
long long Soak(const char* what, long runs, const std::function<void(long)>& body) {
  for (long i = 0; i < runs / 10; ++i) body(i);
  const SIZE_T before = PrivateBytes();
  const long long heapBefore = HeapBytesInUse();
  for (long i = 0; i < runs; ++i) body(i);
  const SIZE_T after = PrivateBytes();
  const long long heapAfter = HeapBytesInUse();
  const long long growth = static_cast<long long>(after) - static_cast<long long>(before);
  std::printf("%-28s %7ld runs: private bytes %llu -> %llu (%+lld), heap in use %lld -> %lld (%+lld)\n", what,
              runs, static_cast<unsigned long long>(before), static_cast<unsigned long long>(after), growth,
              heapBefore, heapAfter, heapAfter - heapBefore);
  return std::max(growth, heapAfter - heapBefore);
}

}  // namespace

int main(int argc, char** argv) {
  std::string day;
  long sheets = 100, calls = 10000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--day")) day = argv[i + 1];
    else if (!std::strcmp(argv[i], "--sheets")) sheets = std::atol(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--calls")) calls = std::atol(argv[i + 1]);
  }
  if (day.empty() || sheets < 1 || calls < 1) {
    std::fprintf(stderr, "usage: soak --day FILE [--sheets N] [--calls N]\n");
    return 2;
  }
  std::printf("soak: %d-bit process\n", static_cast<int>(sizeof(void*) * 8));
  CoInitialize(nullptr);
  int failures = 0;
  auto expect = [&](bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    failures += ok ? 0 : 1;
  };
  try {
    sim::ExposeSimulatedObjects();
    sim::SetFaceNumbering(sim::FaceNumbering::Rotated);
    auto model = sim::LoadDay(day);
    for (auto& o : model->objects()) o->logging = false;
    const auto before = model->RefCounts();
    const size_t made = model->objects().size();
    {
      Addin addin;
      com::UniqueVariant connection;
      com::ToVariant(Value::Obj(ObjRef(&model->connection)), *connection.get());
      Check(addin.init->Init(V_DISPATCH(connection.get())), "Init");

      // The delivery sheet.
      const auto sheetCalls = sim::DeliverySheetCalls(*model);
      // The first and the last sheet are rendered outside the measured runs.
      std::string firstSheet, lastSheet;
      auto render = [&] {
        const std::string status = Utf8(model->connection.statusLines.back());
        return sim::RenderSheet(model->sheet, "soak", status + " / " + Shown(addin.Result()));
      };
      auto runSheet = [&] {
        model->connection.statusLines.clear();
        model->DiscardObjectsSince(made);
        for (const auto& call : sheetCalls) addin.Execute(call.params, "Execute " + call.what);
      };
      runSheet();
      firstSheet = render();
      const long long sheetGrowth = Soak("delivery sheet (13)", sheets, [&](long) { runSheet(); });
      lastSheet = render();
      model->DiscardObjectsSince(made);
      expect(sheetGrowth < static_cast<long long>(kAllowedGrowth), "sheets: private bytes and heap in use grew by less than 64 KiB");
      expect(!firstSheet.empty() && firstSheet == lastSheet, "sheets: the last sheet equals the first");

      // Operations 36, 37 and 26 on one holder.
      sim::Object& holder = model->Make<sim::Object>();
      holder.logging = false;
      const char16_t* days[7] = {u"б1", u"б2", u"б3", u"б4", u"б5", u"б6", u"б7"};
      for (int d = 0; d < 7; ++d) holder.members[days[d]] = Value::I4(100 + 7 * d);
      auto obj = [](HostObject& o) { return Value::Obj(ObjRef(&o)); };
      struct Op {
        const char* what;
        int code;
        std::string first, last;
      } ops[] = {{"week schedule packing (36)", 36, {}, {}},
                 {"week schedule unpacking (37)", 37, {}, {}},
                 {"today's quantity (26)", 26, {}, {}}};
      for (Op& op : ops) {
        std::vector<Value> params = {Value::I2(static_cast<std::int16_t>(op.code)), obj(holder)};
        params.resize(9, Value::Null());
        auto seen = [&] {
          std::string shown = Shown(addin.Result());
          for (auto& [name, value] : holder.members) shown += " " + Utf8(name) + "=" + Shown(value);
          return shown;
        };
        addin.Execute(params, op.what);
        op.first = seen();
        const long long growth = Soak(op.what, calls, [&](long) { addin.Execute(params, op.what); });
        op.last = seen();
        expect(growth < static_cast<long long>(kAllowedGrowth),
               std::string(op.what) + ": private bytes and heap in use grew by less than 64 KiB");
        expect(op.first == op.last, std::string(op.what) + ": the last result equals the first");
      }
      holder.DropReferences();
      Check(addin.init->Done(), "Done");
      std::printf("calls made: %ld sheets (%zu Execute calls each), %ld each of 36, 37 and 26\n", sheets,
                  sheetCalls.size(), calls);
    }
    model->DiscardObjectsSince(made);
    const auto unbalanced = model->Unbalanced(before);
    for (const auto& line : unbalanced) std::printf("reference left: %s\n", line.c_str());
    expect(unbalanced.empty(), "every simulated object's reference count is back where it started");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "soak: %s\n", e.what());
    failures += 1;
  }
  CoUninitialize();
  return failures ? 1 : 0;
}
