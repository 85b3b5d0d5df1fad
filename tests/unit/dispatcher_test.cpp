#include <gtest/gtest.h>

#include <functional>

#include "component/addin.h"
#include "host/utf.h"
#include "fake_object.h"

namespace addin {
namespace {

using test::FakeObject;

ParamArray Params(Value code, std::int32_t lower = 0) {
  ParamArray p{1, lower, std::vector<Value>(9, Value::Null())};
  p.items[0] = std::move(code);
  return p;
}

// Every operation whose arguments are all objects, with objects everywhere, passes the
// dispatcher's checks; each non-object in a needed place fails it with "object required".
TEST(Dispatcher, ObjectElementsMustHoldObjects) {
  FakeObject obj;
  const struct {
    double code;
    std::vector<int> objectElements;
  } cases[] = {
      {36, {1}}, {37, {1}}, {26, {1}}, {41, {2, 3, 4, 5}}, {13, {2, 3, 4, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    for (int bad : c.objectElements) {
      for (const Value& notObject : {Value::I4(5), Value::Str(u"x"), Value(), Value::Null()}) {
        ParamArray p = Params(Value::R8(c.code));
        for (int e = 1; e < 9; ++e) p.items[e] = Value::Obj(ObjRef(&obj));
        p.items[bad] = notObject;
        AddIn a;
        EXPECT_EQ(a.CallAsProc(methExecute, &p), StatusOfErrorNumber(kObjectRequired))
            << c.code << " element " << bad;
        EXPECT_TRUE(a.result().IsNull());
      }
    }
  }
  EXPECT_EQ(obj.refs, 0);  // every reference taken was released
  EXPECT_TRUE(obj.log.empty());
}

TEST(Dispatcher, CodesSelectByNumericValue) {
  FakeObject obj;
  const struct {
    Value code;
    Status status;  // with element 1 a number: failure iff the code needs an object there
  } cases[] = {
      {Value::I2(26), StatusOfErrorNumber(kObjectRequired)},
      {Value::R8(26.0), StatusOfErrorNumber(kObjectRequired)},
      {Value::Str(u"26"), StatusOfErrorNumber(kObjectRequired)},
      {Value::Cy({260000}), StatusOfErrorNumber(kObjectRequired)},
      {Value::R8(36.5), kOk},
      {Value::I4(61), kOk},
      {Value::I4(71), kOk},
      {Value::R8(61.9), kOk},
      {Value::R8(70.4), kOk},  // in range, rounds to 70: no setting
      {Value::Null(), kOk},
      {Value(), kOk},
      {Value::Bool(true), kOk},
      {Value::Str(u"abc"), StatusOfErrorNumber(kTypeMismatch)},
      {Value::Str(u""), StatusOfErrorNumber(kTypeMismatch)},
      {Value::Obj(ObjRef(&obj)), StatusOfErrorNumber(kTypeMismatch)},
  };
  for (const auto& c : cases) {
    ParamArray p = Params(c.code);
    p.items[1] = Value::I4(5);
    AddIn a;
    EXPECT_EQ(a.CallAsProc(methExecute, &p), c.status);
    EXPECT_TRUE(a.result().IsNull());
    EXPECT_EQ(p.items[1], Value::I4(5));  // the dispatcher changes no element
  }
}

TEST(Dispatcher, ArraysWithoutTheNeededElementsFailWithSubscriptOutOfRange) {
  FakeObject obj;
  auto objects = [&](size_t n, std::int32_t lower, int dims = 1) {
    ParamArray p{dims, lower, std::vector<Value>(n, Value::Obj(ObjRef(&obj)))};
    if (!p.items.empty()) p.items[0] = Value::I4(13);
    return p;
  };
  const Status kOutOfRange = StatusOfErrorNumber(kSubscriptOutOfRange);
  const struct {
    ParamArray params;
    Status status;
  } cases[] = {
      {objects(9, 1), kOutOfRange},     // no element 0
      {objects(9, 0, 2), kOutOfRange},  // two dimensions
      {objects(0, 0), kOutOfRange},
      {objects(8, 0), kOutOfRange},  // operation 13 needs element 8
      {objects(9, -1), kOutOfRange},  // element 0 is an object there: the code is a type mismatch
  };
  AddIn a;
  for (auto c : cases) {
    if (c.params.lowerBound == -1) {
      c.params.items[1] = Value::I4(13);
      c.params.items[0] = Value::Null();
      c.status = kOutOfRange;  // 13 needs element 8, the ninth of nine from -1 is element 7
    }
    EXPECT_EQ(a.CallAsProc(methExecute, &c.params), c.status);
  }
  EXPECT_EQ(a.CallAsProc(methExecute, nullptr), kOutOfRange);
  ParamArray short1 = Params(Value::I4(63));
  short1.items.resize(1);
  EXPECT_EQ(a.CallAsProc(methExecute, &short1), kOutOfRange);
  ParamArray nothing = Params(Value::I4(61));
  nothing.items.resize(1);
  EXPECT_EQ(a.CallAsProc(methExecute, &nothing), kOk);  // no routine, no element needed
  EXPECT_TRUE(obj.log.empty());
}

// Every failure family gives its status, unchanged, and a description beside it, in one line:
// the operation, the error, the step (the host member and how it was used, or the component's
// own check), where the routine was, and the host's own words, cut and on one line.
TEST(Dispatcher, EveryFailureIsDescribedBesideItsStatus) {
  const Text longText(10000, u'я');
  const struct Row {
    const char* family;
    std::function<void(FakeObject& holder)> prepare;  // the holder of operations 26, 36, 37
    std::vector<Value> params;                        // element 1 on: the holder where Empty
    Status status;
    Text description;
  } rows[] = {
      {"a week schedule field that is no number", [](FakeObject& h) { h.members[u"ДеньНедели"] = Value::Str(u"00a056"); },
       {Value::I4(26)}, StatusOfErrorNumber(kTypeMismatch),
       u"Security.Выполнить(26): ошибка 13 (несоответствие типа): поле дня в тексте \"ДеньНедели\" не читается как "
       u"число у дня Понедельник"},
      {"a quantity that does not fit its field", [](FakeObject& h) { h.members[u"б3"] = Value::I4(-50); },
       {Value::I4(36)}, StatusOfErrorNumber(kInvalidArgument),
       u"Security.Выполнить(36): ошибка 5 (недопустимый аргумент): количество дня не помещается в поле текста "
       u"\"ДеньНедели\" у дня Среда"},
      {"a quantity out of 32 bits", [](FakeObject& h) { h.members[u"б2"] = Value::R8(1e10); }, {Value::I4(36)},
       StatusOfErrorNumber(kOverflow), u"Security.Выполнить(36): ошибка 6 (переполнение) при чтении \"б2\" у дня Вторник"},
      {"an argument that is no object", nullptr, {Value::I4(26), Value::I4(5)}, StatusOfErrorNumber(kObjectRequired),
       u"Security.Выполнить(26): ошибка 424 (требуется объект): элемент 1 массива параметров не объект, а 5"},
      {"a Null setting", nullptr, {Value::I4(63), Value::Null()}, StatusOfErrorNumber(kInvalidUseOfNull),
       u"Security.Выполнить(63): ошибка 94 (недопустимое использование Null): строки заявок не текст и не число"},
      {"a schedule key that is no number", nullptr, {Value::R8(69), Value::Str(u"ключ")},
       StatusOfErrorNumber(kTypeMismatch), u"Security.Выполнить(69): ошибка 13 (несоответствие типа): ключ расписания не число"},
      {"the sheet before Init", nullptr,
       {Value::I4(13), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value()},
       StatusOfErrorNumber(kObjectNotSet),
       u"Security.Выполнить(13): ошибка 91 (объектная переменная не задана): компонента не запущена (Init) или уже "
       u"остановлена (Done)"},
      {"an operation code that is no number", nullptr, {Value::Str(u"тринадцать")}, StatusOfErrorNumber(kTypeMismatch),
       u"Security.Выполнить: ошибка 13 (несоответствие типа): код операции в элементе 0 не число"},
      {"a host member missing", [](FakeObject& h) { h.members.erase(u"ДеньНедели"); }, {Value::I4(37)},
       static_cast<Status>(0x80020006U),
       u"Security.Выполнить(37): ошибка платформы 0x80020006 (неизвестное имя) при чтении \"ДеньНедели\": no member "
       u"ДеньНедели"},
      {"a host call failing without words",
       [](FakeObject& h) {
         h.methods[u"б1"] = [](std::span<Value>) -> Value { throw RuntimeError::FromHost(0x80004005U, u""); };
       },
       {Value::I4(36)}, static_cast<Status>(0x80004005U),
       u"Security.Выполнить(36): ошибка платформы 0x80004005 (сбой) при чтении \"б1\" у дня Понедельник"},
      {"a host's own numbered error with line breaks in its words",
       [](FakeObject& h) {
         h.methods[u"б6"] = [](std::span<Value>) -> Value {
           throw RuntimeError::FromHost(0x800A000DU, u"Реквизит только для чтения\r\nМодуль: Форма\tстрока 12");
         };
       },
       {Value::I4(37)}, StatusOfErrorNumber(kTypeMismatch),
       u"Security.Выполнить(37): ошибка 13 (несоответствие типа) при чтении \"б6\" у дня Суббота: Реквизит "
       u"только для чтения  Модуль: Форма строка 12"},
      {"a host's words of 10,000 characters",
       [&](FakeObject& h) {
         h.methods[u"ДеньНедели"] = [&](std::span<Value>) -> Value { throw RuntimeError::FromHost(0x80020009U, longText); };
       },
       {Value::I4(26)}, static_cast<Status>(0x80020009U),
       u"Security.Выполнить(26): ошибка платформы 0x80020009 (исключение) при чтении \"ДеньНедели\": " +
           Text(500, u'я') + u"…"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.family);
    FakeObject holder;
    for (int i = 1; i <= 7; ++i) holder.members[u"б" + Text(1, static_cast<char16_t>(u'0' + i))] = Value::I4(i);
    holder.members[u"ДеньНедели"] = Value::Str(u"000056000292000168001376001056005568001024");
    for (const char16_t* day : {u"Понедельник", u"Вторник", u"Среда", u"Четверг", u"Пятница", u"Суббота", u"Воскресенье"})
      holder.members[day] = Value::I2(0);
    if (r.prepare) r.prepare(holder);
    ParamArray p = Params(r.params[0]);
    p.items[1] = Value::Obj(ObjRef(&holder));
    for (size_t i = 1; i < r.params.size(); ++i)
      if (!r.params[i].IsEmpty()) p.items[i] = r.params[i];
      else p.items[i] = Value::Obj(ObjRef(&holder));
    AddIn a;
    a.Init(ObjRef());  // the schedule key's default; no connection
    EXPECT_EQ(a.CallAsProc(methExecute, &p), r.status);
    EXPECT_EQ(Utf8(a.failure()), Utf8(r.description));
    // A success after the failure leaves no words behind.
    ParamArray none = Params(Value::I4(61));
    EXPECT_EQ(a.CallAsProc(methExecute, &none), kOk);
    EXPECT_TRUE(a.failure().empty());
    a.Done();
  }
  AddIn a;
  EXPECT_EQ(a.GetInfo(nullptr), StatusOfErrorNumber(kSubscriptOutOfRange));
  EXPECT_EQ(Utf8(a.failure()),
            "IInitDone.GetInfo: ошибка 9 (индекс вне диапазона): массив не передан, не одномерный или без элемента 0");
  ParamArray lower1 = Params(Value::I4(13), 1);
  EXPECT_EQ(a.CallAsProc(methExecute, &lower1), StatusOfErrorNumber(kSubscriptOutOfRange));
  EXPECT_EQ(Utf8(a.failure()), "Security.Выполнить: ошибка 9 (индекс вне диапазона): в массиве параметров нет элемента 0");
}

}  // namespace
}  // namespace addin
