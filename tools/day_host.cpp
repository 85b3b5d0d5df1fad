// Plays the platform for one day under Wine: the day file's objects in the simulated host behind
// IDispatch, the real DLL created by ProgID and driven by vtable with the settings and
// operation 13, the sheet written as HTML. Ends with the status line, IsResult, the host calls
// the DLL made, and whether every reference it took was given back.
//
//   day_host (--day FILE | --generate ZONES,SLOTS,ROWS,INVOICES) [--date DD.MM.YYYY]
//            [--out FILE.html] [--repeat N] [--fill-invoice CLIENT_CODE]
//            [--numbering shared|rotated|disjoint]
//
// With --fill-invoice, a new sales invoice is then filled for that client (operation 41, with the
// first zone and time slot) and its fields are printed. --numbering chooses how the simulated
// objects number their members (see sim::FaceNumbering): one number per name everywhere, or per
// type of object as the platform's own objects do.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/com_variant.h"
#include "host/calendar.h"
#include "host/rules.h"
#include "host/utf.h"
#include "sim/com_exposed.h"
#include "sim/day_run.h"
#include "sim/html.h"

using namespace addin;
using com::ComPtr;

namespace {

void Check(HRESULT hr, const std::string& what) {
  if (FAILED(hr)) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr));
    throw std::runtime_error(what + " failed with status " + hex);
  }
}

// The day's Execute calls through the DLL's ILanguageExtender; returns IsResult.
Value RunDay(sim::Model& model, double workingDate) {
  CLSID clsid;
  Check(CLSIDFromProgID(L"AddIn.AddInObj", &clsid), "CLSIDFromProgID");
  ComPtr<IInitDone> init;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, reinterpret_cast<void**>(init.put())),
        "CoCreateInstance");
  ComPtr<ILanguageExtender> ext;
  Check(init->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(ext.put())), "QueryInterface");
  {
    com::UniqueVariant connection;
    com::ToVariant(Value::Obj(ObjRef(&model.connection)), *connection.get());
    Check(init->Init(V_DISPATCH(connection.get())), "Init");
  }
  for (auto& call : sim::DeliverySheetCalls(model, workingDate)) {
    SAFEARRAY* params = com::ToSafeArray(call.params);
    HRESULT hr = ext->CallAsProc(0, &params);
    SafeArrayDestroy(params);
    Check(hr, "Execute " + call.what);
  }
  com::UniqueVariant result;
  Check(ext->GetPropVal(0, result.get()), "GetPropVal");
  Value isResult = com::FromVariant(*result);
  Check(init->Done(), "Done");
  return isResult;
}

// Operation 41 for the client of that code; prints the new document's fields.
void FillInvoice(sim::Model& model, const std::string& code) {
  sim::Element* client = nullptr;
  for (sim::Element* c : model.clients.elements)
    if (Utf8(ToText(c->members[u"Код"])) == code) client = c;
  if (!client) throw std::runtime_error("no client with code " + code);
  CLSID clsid;
  Check(CLSIDFromProgID(L"AddIn.AddInObj", &clsid), "CLSIDFromProgID");
  ComPtr<ILanguageExtender> ext;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILanguageExtender,
                         reinterpret_cast<void**>(ext.put())),
        "CoCreateInstance");
  sim::Document& doc = model.NewInvoice();
  auto obj = [](HostObject& o) { return Value::Obj(ObjRef(&o)); };
  std::vector<Value> params = {Value::I2(41), obj(doc), obj(model.firms), obj(*client), obj(*model.zones.elements.at(0)),
                               obj(*model.slots.elements.at(0)), Value::Null(), Value::Null(), Value::Null()};
  SAFEARRAY* array = com::ToSafeArray(params);
  const HRESULT hr = ext->CallAsProc(0, &array);
  SafeArrayDestroy(array);
  Check(hr, "Execute 41");
  std::printf("new invoice for client %s:\n", code.c_str());
  for (auto& [name, value] : doc.members) {
    std::string shown;
    if (value.IsObject()) {
      shown = Utf8(sim::ReferenceName(value).value_or(u"(reference)"));
    } else {
      shown = value.kind() == Value::Kind::Date ? Utf8(DayText(value.AsDate())) : Utf8(ToText(value));
    }
    std::printf("  %s%s %s\n", Utf8(name).c_str(), std::string(name.size() < 22 ? 22 - name.size() : 0, ' ').c_str(),
                shown.c_str());
  }
  doc.DropReferences();
}

}  // namespace

int main(int argc, char** argv) {
  std::string day, date, out, generate, client, numbering = "shared";
  int repeat = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--day")) day = argv[i + 1];
    else if (!std::strcmp(argv[i], "--date")) date = argv[i + 1];
    else if (!std::strcmp(argv[i], "--out")) out = argv[i + 1];
    else if (!std::strcmp(argv[i], "--repeat")) repeat = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--generate")) generate = argv[i + 1];
    else if (!std::strcmp(argv[i], "--fill-invoice")) client = argv[i + 1];
    else if (!std::strcmp(argv[i], "--numbering")) numbering = argv[i + 1];
  }
  const std::pair<const char*, sim::FaceNumbering> numberings[] = {
      {"shared", sim::FaceNumbering::Shared}, {"rotated", sim::FaceNumbering::Rotated},
      {"disjoint", sim::FaceNumbering::Disjoint}};
  bool knownNumbering = false;
  for (auto& [name, n] : numberings)
    if (numbering == name) sim::SetFaceNumbering(n), knownNumbering = true;
  int grid[4] = {0, 0, 0, 0};
  if (!generate.empty() && std::sscanf(generate.c_str(), "%d,%d,%d,%d", &grid[0], &grid[1], &grid[2], &grid[3]) != 4)
    generate.clear(), day.clear();
  if ((day.empty() == generate.empty()) || repeat < 1 || argc % 2 == 0 || !knownNumbering) {
    std::fprintf(stderr,
                 "usage: day_host (--day FILE | --generate ZONES,SLOTS,ROWS,INVOICES) [--date DD.MM.YYYY]\n"
                 "                [--out FILE.html] [--repeat N] [--fill-invoice CLIENT_CODE]\n"
                 "                [--numbering shared|rotated|disjoint]\n");
    return 2;
  }
  CoInitialize(nullptr);
  int rc = 0;
  try {
    sim::ExposeSimulatedObjects();
    auto model = day.empty() ? sim::GenerateDay(grid[0], grid[1], grid[2], grid[3]) : sim::LoadDay(day);
    double workingDate = -1;
    if (!date.empty()) workingDate = ParseDayText(Utf16(date)).value_or(-1);
    const auto before = model->RefCounts();
    const size_t objects = model->objects().size();
    Value isResult;
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (int i = 0; i < repeat; ++i) isResult = RunDay(*model, workingDate);
    QueryPerformanceCounter(&b);
    const std::string status = model->connection.statusLines.empty() ? "" : Utf8(model->connection.statusLines.back());
    const std::string result = Utf8(ToText(isResult));
    if (!out.empty()) {
      std::ofstream file(out, std::ios::binary);
      file << sim::RenderSheet(model->sheet, "Лист доставки на " + (date.empty() ? Utf8(model->workingDate) : date),
                               "Строка состояния: " + status + ". Результат: " + result + ".");
      if (!file) throw std::runtime_error(out + ": cannot be written");
    }
    std::printf("status line: %s\nIsResult: %s\n", status.c_str(), result.c_str());
    std::printf("one run: %.1f ms; per run: %ld GetIDsOfNames, %ld Invoke calls on the simulated objects\n",
                (b.QuadPart - a.QuadPart) * 1e3 / f.QuadPart / repeat, sim::ComCalls().getIDsOfNames / repeat,
                sim::ComCalls().invoke / repeat);
    isResult = Value();
    if (!client.empty()) FillInvoice(*model, client);
    model->ForgetObjectsSince(objects);
    const auto unbalanced = model->Unbalanced(before);
    for (const auto& line : unbalanced) std::printf("reference left: %s\n", line.c_str());
    std::printf("references: %s\n", unbalanced.empty() ? "balanced" : "NOT balanced");
    rc = unbalanced.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "day_host: %s\n", e.what());
    rc = 1;
  }
  CoUninitialize();
  return rc;
}
