#include "component/dispatcher.h"

#include <array>
#include <optional>

#include "delivery/build_delivery_sheet.h"
#include "host/failure.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "invoices/fill_new_invoice.h"
#include "schedule/get_today_quantity.h"
#include "schedule/pack_week_schedule.h"
#include "schedule/unpack_week_schedule.h"
#include "settings/set_component_setting.h"

namespace addin {

namespace {

enum class Mode : std::uint8_t { Object, ByRef, ByValue };

struct Operand {
  std::int8_t element;
  Mode mode;
};

// One row per operation: the elements in the order they are taken, and the routine.
struct Route {
  std::int16_t code;
  std::array<Operand, 8> operands;
  std::uint8_t count;
  Routine routine;  // none yet: the operation does nothing
};

constexpr Mode O = Mode::Object, R = Mode::ByRef, V = Mode::ByValue;

// Searched in this order; the first code equal to the operation code wins.
constexpr Route kRoutes[] = {
    {36, {{{1, O}}}, 1, PackWeekSchedule},
    {37, {{{1, O}}}, 1, UnpackWeekSchedule},
    {41, {{{1, R}, {5, O}, {4, O}, {3, O}, {2, O}}}, 5, FillNewInvoice},
    {26, {{{1, O}}}, 1, GetTodayQuantity},
    {13, {{{1, R}, {5, R}, {8, O}, {7, O}, {6, O}, {4, O}, {3, O}, {2, O}}}, 8, BuildDeliverySheet},
};
// Operations 62 to 70, both ends included: the code as a 16-bit integer, element 1 by value.
constexpr Route kSettingsRoute = {0, {{{1, V}}}, 1, SetComponentSetting};
constexpr double kFirstSetting = 62, kLastSetting = 70;

Value& Element(ParamArray* params, int index) {
  Value* v = params ? params->At(index) : nullptr;
  if (!v) {
    if (!params) throw RuntimeError(kSubscriptOutOfRange, u"массив параметров не передан");
    throw RuntimeError(kSubscriptOutOfRange,
                       u"в массиве параметров нет элемента " + ValueInWords(Value::I4(index)) +
                           (params->dimensions == 0   ? u" (массив не из значений)"
                            : params->dimensions != 1 ? u" (массив не одномерный)"
                                                      : u""));
  }
  return *v;
}

// The route an operation code selects, compared by numeric value. A Null or Empty code selects
// nothing; a text code is read as a number, and a text that is none is a type mismatch.
const Route* Select(const Value& code) {
  for (const Route& r : kRoutes)
    if (Equals(code, r.code)) return &r;
  auto low = CompareWithNumber(code, kFirstSetting), high = CompareWithNumber(code, kLastSetting);
  if (low && high && *low >= 0 && *high <= 0) return &kSettingsRoute;
  return nullptr;
}

}  // namespace

void Dispatch(ParamArray* params, Value& result) {
  const Value code = Element(params, 0);
  FailurePlace& place = Place();
  NoteCheck(place, u"код операции в элементе 0 не число");
  const Route* route = Select(code);
  if (!route) return;

  Operands op;
  op.result = &result;
  op.place = &place;
  place.operation = route->code;
  if (route == &kSettingsRoute) place.operation = op.code = ToInt16(code);
  const auto operands = std::span(route->operands).first(route->count);
  for (const Operand& o : operands) Element(params, o.element);  // every index exists
  for (const Operand& o : operands) {
    Value& element = Element(params, o.element);
    switch (o.mode) {
      case Mode::Object:
        if (!element.IsObject())
          throw RuntimeError(kObjectRequired, u"элемент " + ValueInWords(Value::I4(o.element)) +
                                                  u" массива параметров не объект, а " + ValueInWords(element));
        op.object[o.element] = element.AsObject();
        break;
      case Mode::ByRef: op.byRef[o.element] = &element; break;
      case Mode::ByValue: op.byValue[o.element] = element; break;
    }
  }
  if (route->routine) route->routine(op);
}

}  // namespace addin
