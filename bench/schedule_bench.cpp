// Operations 36, 37 and 26 through the protocol and dispatcher on a simulated holder, against
// the host calls each must make. The ratio of the two is the component's own overhead.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "component/addin.h"
#include "schedule/week_schedule.h"
#include "settings/settings.h"
#include "sim/object.h"

using namespace addin;

namespace {

struct Fixture {
  Fixture() {
    holder.logging = false;
    for (int i = 0; i < kDays; ++i) holder.members[kQuantityNames[i]] = Value::I4(100 + i);
    holder.members[kWeekText] = Value::Str(u"000200000408000824001664003360006784013696");
    ResetScheduleKey();
    params.items.assign(9, Value::Null());
    params.items[1] = Value::Obj(ObjRef(&holder));
  }
  sim::Object holder;
  AddIn component;
  ParamArray params;
};

void Execute(benchmark::State& state, int code) {
  Fixture f;
  f.params.items[0] = Value::I2(static_cast<std::int16_t>(code));
  for (auto _ : state) {
    ParamArray p = f.params;  // the COM layer makes this copy too
    if (f.component.CallAsProc(methExecute, &p) != kOk) state.SkipWithError("Execute failed");
    benchmark::DoNotOptimize(p);
  }
}

// Exactly the host calls of each operation, with the values it would pass.
void HostCalls(benchmark::State& state, int code) {
  Fixture f;
  HostObject& h = f.holder;
  for (auto _ : state) {
    if (code == 36) {
      for (int i = 0; i < kDays; ++i) benchmark::DoNotOptimize(h.Get(kQuantityNames[i]));
      h.Set(kWeekText, Value::Str(u"000200000408000824001664003360006784013696"));
    } else {
      for (int i = 0; i < 7 + (code == 37); ++i) benchmark::DoNotOptimize(h.Get(kWeekText));
      if (code == 37) {
        for (int i = kDays - 1; i >= 0; --i) {
          h.Set(kQuantityNames[i], Value::I4(100 + i));
          benchmark::DoNotOptimize(h.Get(kQuantityNames[i]));
          h.Set(kFlagNames[i], Value::I2(1));
        }
      }
    }
  }
}

// Prints each operation's time beside its host calls' time and their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (int code : {36, 37, 26}) {
      auto e = times_.find("Execute/" + std::to_string(code)), h = times_.find("HostCalls/" + std::to_string(code));
      if (e == times_.end() || h == times_.end()) continue;
      std::printf("operation %d: Execute %.0f ns, its host calls %.0f ns, ratio %.2f\n", code, e->second, h->second,
                  e->second / h->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

BENCHMARK_CAPTURE(Execute, 36, 36)->Name("Execute/36");
BENCHMARK_CAPTURE(Execute, 37, 37)->Name("Execute/37");
BENCHMARK_CAPTURE(Execute, 26, 26)->Name("Execute/26");
BENCHMARK_CAPTURE(HostCalls, 36, 36)->Name("HostCalls/36");
BENCHMARK_CAPTURE(HostCalls, 37, 37)->Name("HostCalls/37");
BENCHMARK_CAPTURE(HostCalls, 26, 26)->Name("HostCalls/26");

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
