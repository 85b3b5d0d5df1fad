// Operation 41: a newly created sales invoice filled for a client: date, issuing firm, number,
// client and contract, zone and time slot, the accounting and sales-tax flags.
#include <optional>

#include "invoices/fill_new_invoice.h"
#include "host/calls.h"
#include "host/failure.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "invoices/message_box.h"
#include "settings/settings.h"

namespace addin {

namespace {

RecordedMessages g_recorded;
InformationBox* g_box = &g_recorded;

// Three-valued "or" of comparisons: met only when one of them is true (a Null is not).
bool AnyMet(std::initializer_list<std::optional<bool>> parts) {
  bool met = false;
  for (const auto& p : parts) met = met || p.value_or(false);
  return met;
}

std::optional<bool> IsEqual(const Value& v, double n) {
  auto c = CompareWithNumber(v, n);
  return c ? std::optional<bool>(*c == 0) : std::nullopt;
}
std::optional<bool> IsAbove(const Value& v, double n) {
  auto c = CompareWithNumber(v, n);
  return c ? std::optional<bool>(*c > 0) : std::nullopt;
}

}  // namespace

InformationBox& Messages() { return *g_box; }

InformationBox* SetInformationBox(InformationBox* box) {
  InformationBox* old = g_box;
  g_box = box ? box : &g_recorded;
  return old;
}

void FillNewInvoice(Operands& op) {
  const ObjRef document = ObjectIn(*op.byRef[1]);
  HostObject& doc = *document;
  HostObject& firms = op.Obj(2);
  HostObject& client = op.Obj(3);
  const ComponentSettings& settings = Settings();
  PlaceScope step(op.Place(), u"на шаге");

  step.Named(u"«дата и номер»");
  doc.Set(u"НомерДок", Value::Str(u""));
  Call(doc, u"Новый");
  doc.Set(u"ДатаДок", Value::FromDate(settings.workingDate));
  step.Named(u"«фирма»");
  const Value found = Call(firms, u"НайтиПоРеквизиту", {Value::Str(u"ИНН"), Value::Str(settings.firmInn), Value::I4(1)});
  // Without the issuing firm every later step would fill the document with an empty firm and a
  // number without its prefix: the operation stops here instead.
  if (!Equals(found, 1))
    throw RuntimeError(kInvalidArgument,
                       u"фирма с ИНН " + ValueInWords(Value::Str(settings.firmInn)) + u" (операция 62) не найдена");
  doc.Set(u"Фирма", Call(firms, u"ТекущийЭлемент"));
  doc.Set(u"ТипУчета", Flag(true));
  doc.Set(u"ФинУчет", Flag(IsGreater(doc.Get(u"ТипУчета"), 0)));
  doc.Set(u"НомерДок", Value::Str(u""));
  Call(doc, u"УстановитьНовыйНомер", {ObjectIn(doc.Get(u"Фирма"))->Get(u"ПрефиксНомеровДокументов")});
  step.Named(u"«клиент и договор»");
  doc.Set(u"Клиент", Value::Obj(ObjRef(&client)));

  if (Equals(Call(*ObjectIn(client.Get(u"ОсновнойДоговорТорг")), u"Выбран"), 1)) {
    doc.Set(u"Договор", client.Get(u"ОсновнойДоговорТорг"));
  } else {
    Messages().ShowInformation(
        kMessageCaption, u"Для клиента " + ToText(client.Get(u"Наименование")) + u" не установлен основной договор!");
  }

  // Special clients: types 3 and 4, and clients with free delivery. Every part is evaluated.
  step.Named(u"«особый клиент»");
  const auto type3 = IsEqual(client.Get(u"ТипКлиента"), 3);
  const auto type4 = IsEqual(client.Get(u"ТипКлиента"), 4);
  const auto free = IsAbove(client.Get(u"Бесплатно"), 0);
  if (AnyMet({type3, type4, free})) {
    doc.Set(u"ТипУчета", Flag(false));
    if (IsGreater(client.Get(u"Бесплатно"), 0)) doc.Set(u"НеБратьВзаиморасчеты", Flag(true));
    doc.Set(u"НомерДок", Value::Str(u""));
    Call(doc, u"УстановитьНовыйНомер", {Value::Str(settings.numberPrefix)});
  }

  step.Named(u"«зона и часы»");
  doc.Set(u"Зона", Value::Obj(ObjRef(&op.Obj(4))));
  doc.Set(u"Часы", Value::Obj(ObjRef(&op.Obj(5))));

  // Sales tax: private persons of type 1, the identifier compared exactly after trimming.
  step.Named(u"«налог с продаж»");
  const Value identifier = Call(*ObjectIn(client.Get(u"ВидКонтрагента")), u"Идентификатор");
  const Text kind = TrimBlanks(identifier.IsNull() ? Text() : ToText(identifier));
  const bool typeOne = Equals(client.Get(u"ТипКлиента"), 1);
  doc.Set(u"УчитыватьНП", Flag(kind == u"ЧастноеЛицо" && typeOne));
  doc.Set(u"СуммаВключаетНП", Flag(false));
}

}  // namespace addin
