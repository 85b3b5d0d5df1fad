// The simulated platform's own logic, checked against the platform's documented behaviour.
#include <gtest/gtest.h>

#include <stdexcept>

#include "host/rules.h"
#include "sim/model.h"
#include "sim/query.h"
#include "test_support.h"

namespace addin::sim {
namespace {

const char* kSmallDay = R"({
  "date": "09.12.2026",
  "constants": {"Вода": 1, "Залог": 90, "ИспользоватьСвойстваКлиентов": "Нет"},
  "items": [{"code": 12, "name": "Вода 5", "water": 1}, {"code": 1, "name": "Вода 19", "water": 1},
            {"code": 2, "name": "Чай"}, {"code": 7, "name": "Старая вода", "water": 1, "deleted": true},
            {"code": 90, "name": "Залог"}],
  "firms": [{"code": 1, "name": "Родник", "inn": "7701", "prefix": "РД"}],
  "clients": [{"code": 1, "name": "Иванов", "address": "Садовая, 1", "type": 1, "kind": "ЧастноеЛицо", "contract": "Д-1"},
              {"code": 2, "name": "Школа", "type": 2, "contract": null}],
  "zones": [{"code": 2, "name": "Юг"}, {"code": 1, "name": "Центр"}],
  "slots": [{"code": 1, "name": "Утро", "rows": 2}, {"code": 2, "name": "День"}],
  "invoices": [
    {"number": "РД03", "date": "09.12.2026", "client": 2, "zone": 2, "slot": 1, "posted": false, "lines": [[2, 5], [12, 1]]},
    {"number": "РД01", "date": "09.12.2026", "client": 1, "zone": 1, "slot": 2, "posted": true, "lines": [[1, 2], [90, 2], [12, 3]]},
    {"number": "РД02", "date": "09.12.2026", "client": 1, "zone": 1, "posted": true, "deleted": true, "lines": [[1, 4]]},
    {"number": "РД04", "date": "10.12.2026", "client": 1, "zone": 1, "slot": 1, "posted": true, "lines": [[1, 9]]}
  ],
  "marks": {"zones": [2], "invoices": ["РД01"]}
})";

std::string Failure(const std::string& json) {
  try {
    ParseDay(json, "day.json");
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

Text HostMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.description();
  }
  return u"";
}

Value Call(HostObject& o, TextView member, std::vector<Value> args = {}) { return o.Call(member, args); }

TEST(SimDay, TheSampleDayLoads) {
  auto m = LoadDay(ADDIN_SOURCE_DIR "/sim/data/sample-day.json");
  EXPECT_GE(m->zones.elements.size(), 8u);
  EXPECT_GE(m->slots.elements.size(), 8u);
  EXPECT_GE(m->invoices.size(), 100u);
  EXPECT_EQ(m->workingDate, u"09.12.2026");
}

TEST(SimDay, AMalformedDayFileSaysWhereItIsWrong) {
  const std::pair<std::string, std::string> cases[] = {
      {"{\"date\": ", "day.json: не JSON: ошибка в строке 1, знак 10"},
      {R"({"items": []})", "day.json: : нет поля \"date\""},
      {std::string(kSmallDay).replace(std::string(kSmallDay).find("\"client\": 2"), 11, "\"client\": 77"),
       "day.json: /invoices/0/client: нет клиента с кодом 77"},
      {std::string(kSmallDay).replace(std::string(kSmallDay).find("\"posted\": false"), 15, "\"posted\": \"no\""),
       "day.json: /invoices/0/posted: ожидается true или false"},
      {std::string(kSmallDay).replace(std::string(kSmallDay).find("[[2, 5]"), 7, "[[2]"),
       "day.json: /invoices/0/lines/0: ожидается [код товара, количество]"},
  };
  for (const auto& [json, message] : cases) EXPECT_EQ(Failure(json).substr(0, message.size()), message);
}

TEST(SimCatalogue, CodeOrderSelectionAndSearch) {
  auto m = ParseDay(kSmallDay, "small");
  Catalogue& items = m->items;
  Call(items, u"ПорядокКодов");
  Call(items, u"ВыбратьЭлементы");
  std::vector<Value> codes;
  while (Equals(Call(items, u"ПолучитьЭлемент"), 1)) codes.push_back(items.Get(u"код"));  // letter case folded
  EXPECT_EQ(codes, (std::vector<Value>{Value::I4(1), Value::I4(2), Value::I4(7), Value::I4(12), Value::I4(90)}));
  EXPECT_TRUE(Equals(Call(m->firms, u"НайтиПоРеквизиту", {Value::Str(u"ИНН"), Value::Str(u"7701"), Value::I4(1)}), 1));
  EXPECT_EQ(ToText(m->firms.Get(u"ПрефиксНомеровДокументов")), u"РД");
  EXPECT_TRUE(Equals(Call(m->firms, u"НайтиПоРеквизиту", {Value::Str(u"ИНН"), Value::Str(u"77"), Value::I4(1)}), 0));
  EXPECT_EQ(m->emptyRef.Get(u"Код"), Value::Str(u""));
  EXPECT_TRUE(Equals(Call(m->emptyRef, u"Выбран"), 0));
}

TEST(SimQuery, FlaggedItemsInCodeOrderWithoutDeletedOnes) {
  auto m = ParseDay(kSmallDay, "small");
  Query& q = m->Make<Query>(*m);
  q.Run(u"Обрабатывать НеПомеченныеНаУдаление; Номенклатура = Справочник.Номенклатура.ТекущийЭлемент; "
        u"Вода1 = Справочник.Номенклатура.Вода; Группировка Номенклатура без групп; Условие(Вода1=1);");
  std::vector<Value> codes;
  while (Equals(Call(q, u"Группировка", {Value::I4(1)}), 1)) codes.push_back(q.Get(u"Номенклатура").AsObject()->Get(u"Код"));
  EXPECT_EQ(codes, (std::vector<Value>{Value::I4(1), Value::I4(12)}));
  EXPECT_TRUE(Equals(Call(q, u"Группировка", {Value::I4(1)}), 0));  // stays at the end
}

TEST(SimQuery, InvoicesOfThePeriodWithConditionalSums) {
  auto m = ParseDay(kSmallDay, "small");
  Query& q = m->Make<Query>(*m);
  q.Run(u"Период с '09.12.2026' по '09.12.2026'; Докум=Документ.РасходнаяНакладная.ТекущийДокумент; "
        u"Товар=Документ.РасходнаяНакладная.Товар; Количество=Документ.РасходнаяНакладная.Количество; "
        u"Часы=Документ.РасходнаяНакладная.Часы; Зона=Документ.РасходнаяНакладная.Зона; Группировка Докум; "
        u"ОбрабатыватьДокументы Все; Обрабатывать НеПомеченныеНаУдаление; "
        u"Функция КолВоды=Сумма(Количество) Когда (Найти(\"~1~12\",Строка(Товар.Код))<>0); "
        u"Функция КолБут=Сумма(Количество) Когда (Строка(Товар.Код)=Строка(90)); Функция КолДоп = Сумма(Количество); ");
  ASSERT_EQ(q.records().size(), 2u);  // РД02 is marked for deletion, РД04 is another day
  const auto& first = q.records()[0];  // documents come by date, then number
  EXPECT_EQ(first.at(u"Докум").AsObject()->Get(u"НомерДок"), Value::Str(u"РД01"));
  EXPECT_EQ(first.at(u"КолВоды"), Value::R8(5));
  EXPECT_EQ(first.at(u"КолБут"), Value::R8(2));
  EXPECT_EQ(first.at(u"КолДоп"), Value::R8(7));
  const auto& second = q.records()[1];
  EXPECT_EQ(second.at(u"КолВоды"), Value::R8(6));  // code 2 is found inside "~12": a part of the list counts
  EXPECT_EQ(second.at(u"КолБут"), Value::R8(0));
  // Найти finds a part: with "~12" listed, code 1 counts too.
  q.Run(u"Докум=Документ.РасходнаяНакладная.ТекущийДокумент; Товар=Документ.РасходнаяНакладная.Товар; "
        u"Количество=Документ.РасходнаяНакладная.Количество; Группировка Докум; "
        u"Функция К=Сумма(Количество) Когда (Найти(\"~12\",Строка(Товар.Код))<>0);");
  ASSERT_EQ(q.records().size(), 3u);  // posted only, every day, deleted ones too
  EXPECT_EQ(q.records()[0].at(u"К"), Value::R8(5));
}

TEST(SimQuery, AMalformedTextSaysWhere) {
  auto m = ParseDay(kSmallDay, "small");
  Query& q = m->Make<Query>(*m);
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"Докум=Документ.РасходнаяНакладная.ТекущийДокумент; Группировка Докум; Функция К=Сумма(Количество) Когда (Найти(\"~1\",Строка(Товар.Код))<>0",
       u"query text, character 138: expected \")\""},
      {u"Докум=Документ.РасходнаяНакладная.ТекущийДокумент; Группировка Докум; Условие(Найти(\"~1\"))",
       u"query text, character 79: Найти takes 2 argument(s)"},
      {u"Период с '31.02.2026' по '01.03.2026'; Группировка Докум;", u"query text, character 10: \"31.02.2026\" is not a date"},
      {u"Докум=Документ.РасходнаяНакладная.ТекущийДокумент; Группировка Докум; Функция К=Сумма(Количество) Когда (Найти(\"~1,Строка(Товар.Код))<>0);",
       u"query text, character 112: the string is not closed"},
      {u"Выбрать * из Документ;", u"query text, character 9: unexpected character \"*\""},
      {u"Выбрать из Документ;", u"query text, character 1: unknown statement \"Выбрать\""},
      {u"Докум=Документ.РасходнаяНакладная.ТекущийДокумент;", u"query text, character 51: the query has no \"Группировка\""},
  };
  for (auto [text, message] : cases) EXPECT_EQ(HostMessage([&] { q.Run(text); }), message);
}

TEST(SimValueTable, SortSearchWithRowNumberAndRemoval) {
  auto m = ParseDay(kSmallDay, "small");
  ValueTable& t = m->Make<ValueTable>();
  for (const char16_t* c : {u"Докум", u"Часы", u"Зона"}) Call(t, u"НоваяКолонка", {Value::Str(c)});
  Element& z1 = *m->zones.elements[1];  // code 1
  Element& z2 = *m->zones.elements[0];  // code 2
  const struct {
    const char16_t* doc;
    Element* slot;
    Element* zone;
  } rows[] = {{u"a", m->slots.elements[1], &z1}, {u"b", m->slots.elements[0], &z2}, {u"c", &m->emptyRef, &z1},
              {u"d", m->slots.elements[0], &z1}};
  for (const auto& r : rows) {
    Call(t, u"НоваяСтрока");
    t.Set(u"Докум", Value::Str(r.doc));
    t.Set(u"часы", Value::Obj(ObjRef(r.slot)));
    t.Set(u"Зона", Value::Obj(ObjRef(r.zone)));
  }
  Call(t, u"Сортировать", {Value::Str(u"2,3")});
  std::vector<Text> order;
  for (auto& row : t.rows) order.push_back(row[0].AsText());
  EXPECT_EQ(order, (std::vector<Text>{u"c", u"d", u"b", u"a"}));  // the empty reference first, then slot codes, zone codes
  EXPECT_TRUE(Equals(Call(t, u"КоличествоСтрок"), 4));

  std::vector<Value> args = {Value::Obj(ObjRef(&z1)), Value::I4(0), Value::Str(u"Зона")};
  EXPECT_TRUE(Equals(t.Call(u"НайтиЗначение", args, 2), 1));
  EXPECT_EQ(args[1], Value::I4(1));
  EXPECT_TRUE(Equals(t.Call(u"НайтиЗначение", args, 2), 1));  // from the row after the one named
  EXPECT_EQ(args[1], Value::I4(2));
  std::vector<Value> rowNumber = {Value::I4(2)};
  t.Call(u"ПолучитьСтрокуПоНомеру", rowNumber, 1);
  EXPECT_EQ(t.Get(u"Докум"), Value::Str(u"d"));
  Call(t, u"УдалитьСтроку");
  EXPECT_TRUE(Equals(Call(t, u"КоличествоСтрок"), 3));
  EXPECT_THROW(t.Get(u"Докум"), RuntimeError);  // no current row after a removal
  args = {Value::Obj(ObjRef(&m->emptyRef)), Value::I4(0), Value::Str(u"Зона")};
  EXPECT_TRUE(Equals(t.Call(u"НайтиЗначение", args, 2), 0));
  EXPECT_EQ(args[1], Value::I4(0));
  EXPECT_GT(Counts().rowsExamined, 0);
}

TEST(SimSheet, SectionsLinesAreasAndDetailsTakeOver) {
  auto m = ParseDay(kSmallDay, "small");
  Sheet& sheet = m->sheet;
  ValueList& details = m->details;
  Value head = Call(sheet, u"ПолучитьСекцию", {Value::Str(u"Шапка|Столбец")});
  Value area = Call(*head.AsObject(), u"Область", {Value::Str(u"Район")});
  area.AsObject()->Set(u"Текст", Value::Str(u"Центр"));
  Call(details, u"ДобавитьЗначение", {Value::Str(u"Зона")});
  Call(*area.AsObject(), u"Расшифровка", {Value::Obj(ObjRef(&details)), Value::I4(0)});
  Call(details, u"УдалитьВсе");  // the area keeps what the list held when it was handed over
  Call(*area.AsObject(), u"Рамка", {Value::I4(3), Value::I4(4), Value::I4(3), Value::I4(0)});
  Call(*area.AsObject(), u"ЦветФона", {Value::I4(14745568)});
  Call(sheet, u"ПрисоединитьСекцию", {head});  // nothing yet: starts the first line
  Call(sheet, u"ВывестиСекцию", {Call(sheet, u"ПолучитьСекцию", {Value::Str(u"Строка|Столбец")})});
  Call(sheet, u"ПрисоединитьСекцию", {Call(sheet, u"ПолучитьСекцию", {Value::Str(u"Строка|Столбец")})});
  ASSERT_EQ(sheet.lines.size(), 2u);
  EXPECT_EQ(sheet.lines[0].size(), 1u);
  EXPECT_EQ(sheet.lines[1].size(), 2u);
  Area& a = *sheet.lines[0][0]->areas[0];
  EXPECT_EQ(a.details, std::vector<Value>{Value::Str(u"Зона")});
  EXPECT_EQ(a.border, (std::vector<int>{3, 4, 3, 0}));
  EXPECT_EQ(a.color, 14745568);
  EXPECT_EQ(a.Get(u"Текст"), Value::Str(u"Центр"));
  EXPECT_NE(HostMessage([&] { Call(sheet, u"ПолучитьСекцию", {Value::Str(u"Подвал")}); }), u"");
  EXPECT_NE(HostMessage([&] { Call(*head.AsObject(), u"Область", {Value::Str(u"Нет")}); }), u"");
  Call(sheet, u"Очистить");
  EXPECT_TRUE(sheet.lines.empty());
}

TEST(SimDocument, NewNumberingAndTheEmptyInvoice) {
  auto m = ParseDay(kSmallDay, "small");
  Document& d = m->NewInvoice();
  d.Set(u"Клиент", Value::I4(1));
  Call(d, u"Новый");
  EXPECT_FALSE(d.members.count(u"Клиент"));
  Call(d, u"УстановитьНовыйНомер", {Value::Str(u"РД")});
  EXPECT_EQ(d.Get(u"НомерДок"), Value::Str(u"РД00000001"));
  Call(d, u"УстановитьНовыйНомер", {Value::Str(u"")});
  EXPECT_EQ(d.Get(u"НомерДок"), Value::Str(u"0000000002"));
  EXPECT_TRUE(Equals(Call(m->emptyInvoice, u"Выбран"), 0));
  EXPECT_TRUE(Equals(Call(m->emptyInvoice, u"Проведен"), 0));
  EXPECT_TRUE(Equals(Call(*m->invoices[1], u"Проведен"), 1));
  EXPECT_EQ(Call(m->app, u"EvalExpr", {Value::Str(u"ПолучитьПустоеЗначение(\"Документ.РасходнаяНакладная\")")}),
            Value::Obj(ObjRef(&m->emptyInvoice)));
  EXPECT_NE(HostMessage([&] { Call(m->app, u"EvalExpr", {Value::Str(u"2+2")}); }), u"");
}

TEST(SimModel, ReferencesAreCountedAndReported) {
  auto m = ParseDay(kSmallDay, "small");
  const auto before = m->RefCounts();
  {
    ObjRef held(&m->sheet);
    EXPECT_EQ(m->Unbalanced(before).size(), 1u);
  }
  EXPECT_TRUE(m->Unbalanced(before).empty());
}

}  // namespace
}  // namespace addin::sim

namespace addin::sim {
namespace {

TEST(SimObject, TracesCallsWithArgumentsAndResults) {
  auto m = ParseDay(kSmallDay, "small");
  ValueTable& t = m->Make<ValueTable>();
  t.tracing = true;
  Call(t, u"НоваяКолонка", {Value::Str(u"Зона")});
  Call(t, u"НоваяСтрока");
  t.Set(u"Зона", Value::Obj(ObjRef(m->zones.elements[0])));
  std::vector<Value> args = {Value::Obj(ObjRef(m->zones.elements[0])), Value::I4(0), Value::Str(u"Зона")};
  t.Call(u"НайтиЗначение", args, 2);
  EXPECT_EQ(t.trace, (std::vector<Text>{u"call НоваяКолонка(\"Зона\") -> Empty", u"call НоваяСтрока -> Empty",
                                        u"set Зона(<Юг>)", u"call НайтиЗначение(<Юг>, 0, \"Зона\") -> 1"}));
  EXPECT_EQ(t.log.size(), 4u);
}

}  // namespace
}  // namespace addin::sim
