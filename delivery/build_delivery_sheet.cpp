// Operation 13: the delivery sheet, a grid of delivery zones (columns) against time slots (blocks
// of sheet rows), each cell showing at most one sales invoice of the working date.
#include <map>
#include <vector>

#include "delivery/build_delivery_sheet.h"
#include "delivery/delivery.h"
#include "host/calls.h"
#include "host/failure.h"
#include "host/bridge.h"
#include "host/rules.h"
#include "host/runtime_error.h"
#include "settings/settings.h"

namespace addin {

namespace {

using namespace delivery;

// A code as the cells compare it: numbers by value, texts exactly; a number never equals a text.
struct CodeKey {
  bool number;
  double value;
  Text text;
  auto operator<=>(const CodeKey&) const = default;
};

CodeKey KeyOf(const Value& code) {
  if (IsNumber(code)) return {true, ToNumber(code), {}};
  return {false, 0, code.IsNull() ? Text(u"\x01Null") : ToText(code)};
}

// One delivery row as read once after sorting: what a placed cell needs.
struct DeliveryRow {
  Value document, flagged, deposit;
};

class Run {
 public:
  explicit Run(Operands& op)
      : op_(op),
        sheetRef_(ObjectIn(*op.byRef[1])),
        detailsRef_(ObjectIn(*op.byRef[5])),
        sheet_(*sheetRef_),
        zoneMarks_(op.Obj(2)),
        documentMarks_(op.Obj(3)),
        details_(*detailsRef_),
        zones_(op.Obj(7)),
        slots_(op.Obj(8)) {}

  void Execute() {
    app_ = &EnsureAppDispatch();
    Call(sheet_, u"Очистить");
    NoteCheck(op_.Place(), u"строки заявок (операция 63) не заданы или не число от -32768 до 32767");
    orderRows_ = ToInt16(Value::Str(Settings().defaultOrderRows));
    OutputHeader();
    GatherDeliveryRows();
    OutputBody();
    *op_.result = Value::I4(slotCount_);
  }

 private:
  // Empties the details list and fills it with the values, one call each.
  void Details(std::initializer_list<Value> values) {
    Call(details_, u"УдалитьВсе");
    for (const Value& v : values) Call(details_, u"ДобавитьЗначение", {v});
  }
  void AreaDetails(HostObject& area) { Call(area, u"Расшифровка", {Value::Obj(detailsRef_), Value::I4(0)}); }
  ObjRef Area(HostObject& section, const char16_t* name) {
    return Call(section, u"Область", {Value::Str(name)}).AsObject();
  }
  // A section opens a new line at the zone of code 1 and is joined to the right otherwise.
  void Output(const Value& section, const Value& zoneCode) {
    Call(sheet_, Equals(zoneCode, 1) ? u"ВывестиСекцию" : u"ПрисоединитьСекцию", {section});
  }
  void SelectInCodeOrder(HostObject& catalogue) {
    Call(catalogue, u"ПорядокКодов");
    Call(catalogue, u"ВыбратьЭлементы");
  }
  bool NextElement(HostObject& catalogue) { return Equals(Call(catalogue, u"ПолучитьЭлемент"), 1); }
  void StatusLine(const Text& text) {
    const ObjRef connection = Bridge().connection;
    if (!connection) throw RuntimeError(kObjectNotSet);
    Call(*connection, u"SetStatusLine", {Value::Str(text)});
  }
  Value Eval(const char16_t* expression) { return Call(*app_, u"EvalExpr", {Value::Str(expression)}); }
  ObjRef Constants() { return ObjectIn(app_->Get(u"Константа")); }

  void OutputHeader() {
    PlaceScope place(op_.Place(), u"в шапке у зоны");
    SelectInCodeOrder(zones_);
    for (std::int32_t n = 1;; ++n) {
      place.At(n);
      if (!NextElement(zones_)) break;
      const Value section = Call(sheet_, u"ПолучитьСекцию", {Value::Str(kHeaderSection)});
      const Value zone = Call(zones_, u"ТекущийЭлемент");
      ObjRef area = Area(*ObjectIn(section), u"Район");
      area->Set(u"Текст", Value::Str(ToText(zones_.Get(u"Наименование"))));
      Details({Value::Str(u"Зона"), zone});
      AreaDetails(*area);
      area = Area(*ObjectIn(section), u"МеткаЗоны");
      area->Set(u"Текст", Value::Str(Equals(Call(zoneMarks_, u"НайтиЗначение", {zone}), 0) ? u"-" : u"+"));
      Details({Value::Str(u"МеткаЗоны"), zone});
      AreaDetails(*area);
      Output(section, zones_.Get(u"Код"));
    }
  }

  void GatherDeliveryRows() {
    // The flagged code list: the code of the constant "Вода", then every flagged item's code.
    const Value flaggedQuery = Eval(u"СоздатьОбъект(\"Запрос\")");
    const ObjRef flaggedItems = ObjectIn(flaggedQuery);
    Call(flaggedItems, u"Выполнить", {Value::Str(kFlaggedItemsQuery)});
    Text flagged = u"~" + ToText(ObjectIn(Constants()->Get(u"Вода"))->Get(u"Код"));
    while (Equals(Call(flaggedItems, u"Группировка", {Value::I4(1)}), 1))
      flagged += u"~" + ToText(ObjectIn(flaggedItems->Get(u"Номенклатура"))->Get(u"Код"));
    flagged += u"~";

    // The deposit code: 0 when the codes of "Залог" and "Вода" are the same number. A text code
    // goes into the query as a literal, so that no code can change the query's structure.
    const ObjRef constants = Constants();
    const double deposit = ToNumber(ObjectIn(constants->Get(u"Залог"))->Get(u"Код"));
    const double water = ToNumber(ObjectIn(constants->Get(u"Вода"))->Get(u"Код"));
    Text depositCode = u"0";
    if (deposit != water) {
      const Value code = ObjectIn(constants->Get(u"Залог"))->Get(u"Код");
      depositCode = code.IsText() ? QueryLiteral(code.AsText()) : ToText(code);
    }

    const Value invoiceQuery = Eval(u"СоздатьОбъект(\"Запрос\")");
    HostObject& q = *ObjectIn(invoiceQuery);  // invoiceQuery holds it
    Call(q, u"Выполнить", {Value::Str(InvoiceQueryText(Settings().workingDate, flagged, depositCode))});

    const Value rowsTable = Eval(u"СоздатьОбъект(\"ТаблицаЗначений\")");
    HostObject& rows = *ObjectIn(rowsTable);  // rowsTable holds it
    for (const char16_t* column : {u"Докум", u"Часы", u"Зона", u"КолВоды", u"КолБут"})
      Call(rows, u"НоваяКолонка", {Value::Str(column)});
    {
      PlaceScope place(op_.Place(), u"у записи запроса");
      for (std::int32_t record = 1;; ++record) {
        place.At(record);
        if (!Equals(Call(q, u"Группировка", {Value::I4(1)}), 1)) break;
        Call(rows, u"НоваяСтрока");
        rows.Set(u"Докум", q.Get(u"Докум"));
        rows.Set(u"Часы", Call(ObjectIn(q.Get(u"Часы")), u"ТекущийЭлемент"));
        rows.Set(u"Зона", Call(ObjectIn(q.Get(u"Зона")), u"ТекущийЭлемент"));
        rows.Set(u"КолВоды", q.Get(u"КолВоды"));
        rows.Set(u"КолБут", q.Get(u"КолБут"));
      }
    }
    Call(rows, u"Сортировать", {Value::Str(u"2,3")});
    total_ = ToInt32(Call(rows, u"КоличествоСтрок"));

    // Each row is read once, in the sorted order, and queued for its own time slot and zone: a
    // cell then takes the next invoice of its slot and zone, and an invoice that finds no cell
    // (its slot has no rows left in that column, or its slot or zone is not in the catalogues)
    // keeps no other invoice out.
    PlaceScope row(op_.Place(), u"у строки");
    for (std::int32_t n = 1; n <= total_; ++n) {
      row.At(n, total_);
      std::vector<Value> number = {Value::I4(n)};
      rows.Call(u"ПолучитьСтрокуПоНомеру", number, 1);
      DeliveryRow delivery{rows.Get(u"Докум"), {}, {}};
      const Value slotCode = ObjectIn(rows.Get(u"Часы"))->Get(u"Код");
      const CodeScope shownSlot(op_.Place(), 0, u"час", slotCode);
      const Value zoneCode = ObjectIn(rows.Get(u"Зона"))->Get(u"Код");
      const CodeScope shownZone(op_.Place(), 1, u"зона", zoneCode);
      const CodeKey slot = KeyOf(slotCode), zone = KeyOf(zoneCode);
      delivery.flagged = rows.Get(u"КолВоды");
      delivery.deposit = rows.Get(u"КолБут");
      queues_[{slot, zone}].rows.push_back(std::move(delivery));
    }
  }

  void OutputBody() {
    placed_ = Eval(u"СоздатьОбъект(\"СписокЗначений\")");
    Call(ObjectIn(placed_), u"УдалитьВсе");
    emptyInvoice_ = Eval(u"ПолучитьПустоеЗначение(\"Документ.РасходнаяНакладная\")");
    std::int32_t count = orderRows_;
    PlaceScope place(op_.Place(), u"у часа");
    SelectInCodeOrder(slots_);
    for (;;) {
      place.Stage(u"у часа");
      place.At(slotCount_ + 1);
      if (!NextElement(slots_)) break;
      ++slotCount_;
      const auto rowsOfSlot = CompareWithNumber(slots_.Get(u"СтрокЗаявок"), 0);
      if (rowsOfSlot && *rowsOfSlot != 0) count = ToInt16(slots_.Get(u"СтрокЗаявок"));
      const Value slot = Call(slots_, u"ТекущийЭлемент");
      const Value slotCode = slots_.Get(u"Код");
      const CodeScope shownSlot(op_.Place(), 0, u"час", slotCode);
      const CodeKey slotKey = KeyOf(slotCode);
      place.Stage(u"в строке");
      for (std::int32_t rowIndex = 1; rowIndex <= count; ++rowIndex) {
        place.At(rowIndex, count);
        SelectInCodeOrder(zones_);
        while (NextElement(zones_)) WriteCell(slot, slotKey, rowIndex);
      }
    }
  }

  // The next invoice of the slot and zone, if one is left.
  const DeliveryRow* Place(const CodeKey& slot, const CodeKey& zone) {
    auto it = queues_.find({slot, zone});
    if (it == queues_.end() || it->second.next == it->second.rows.size()) return nullptr;
    return &it->second.rows[it->second.next++];
  }

  // The client's name and address, or the invoice's property instead of the address when the
  // configuration uses client properties.
  Text CellText(HostObject& invoice) {
    const ObjRef client = ObjectIn(invoice.Get(u"Клиент"));
    const Value useProperties = Call(ObjectIn(Constants()->Get(u"ИспользоватьСвойстваКлиентов")), u"Идентификатор");
    const Text name = TrimBlanks(ToText(client->Get(u"Наименование")));
    if (useProperties == Value::Str(u"Да")) {
      const ObjRef property = ObjectIn(invoice.Get(u"Свойство"));
      const Text propertyName = TrimBlanks(ToText(property->Get(u"Наименование")));
      const Text address = TrimBlanks(ToText(client->Get(u"ПочтовыйАдрес")));
      return name + u" " + (Equals(Call(property, u"Выбран"), 1) ? propertyName : address);
    }
    return name + u" " + TrimBlanks(ToText(client->Get(u"ПочтовыйАдрес")));
  }

  void WriteCell(const Value& slot, const CodeKey& slotKey, std::int32_t rowIndex) {
    const bool first = rowIndex == 1;
    const Value section = Call(sheet_, u"ПолучитьСекцию", {Value::Str(kCellSection)});
    HostObject& s = *ObjectIn(section);  // section holds it
    const Value zone = Call(zones_, u"ТекущийЭлемент");
    const Value zoneCode = zones_.Get(u"Код");
    const CodeScope shownZone(op_.Place(), 1, u"зона", zoneCode);
    ObjRef hours = Area(s, u"Часы");
    if (first) {
      hours->Set(u"Текст", Value::Str(ToText(slots_.Get(u"Наименование"))));
      Call(*hours, u"Рамка", {Value::I4(3), Value::I4(4), Value::I4(3), Value::I4(0)});
      Details({Value::Str(u"Часы"), slot, zone});
      AreaDetails(*hours);
    }
    ObjRef document = Area(s, u"Документ");
    if (first) Call(*document, u"Рамка", {Value::I4(3), Value::I4(4), Value::I4(0), Value::I4(3)});

    Value flagged = Value::I4(0), deposit = Value::I4(0), invoice = emptyInvoice_;
    if (const DeliveryRow* row = Place(slotKey, KeyOf(zoneCode))) {
      HostObject& doc = *ObjectIn(row->document);  // the row holds it
      document->Set(u"Текст", Value::Str(CellText(doc)));
      Call(ObjectIn(placed_), u"ДобавитьЗначение", {Call(doc, u"ТекущийДокумент")});
      flagged = row->flagged;
      deposit = row->deposit;
      ++shown_;
      StatusLine(u"Выведено " + ToText(Value::I4(shown_)) + u" из " + ToText(Value::I4(total_)));
      invoice = Call(doc, u"ТекущийДокумент");
    }
    const ObjRef cellInvoice = ObjectIn(invoice);
    Details({Value::Str(u"Документ"),
             Equals(Call(cellInvoice, u"Выбран"), 1) ? Call(cellInvoice, u"ТекущийДокумент") : Value::Str(u""), slot,
             zone});
    std::int32_t colour = kPostedColour;
    if (Equals(Call(cellInvoice, u"Проведен"), 0)) {
      AreaDetails(*document);
      colour = kOpenColour;
    }
    Call(*document, u"ЦветФона", {Value::I4(colour)});

    ObjRef quantity = Area(s, u"Колво");
    const bool hasFlagged = CompareWithNumber(flagged, 0).value_or(0) != 0;
    const bool hasDeposit = CompareWithNumber(deposit, 0).value_or(0) != 0;
    if (hasFlagged || hasDeposit)
      quantity->Set(u"Текст", Value::Str(ToText(flagged) + (hasDeposit ? u"/" + ToText(deposit) : Text())));
    Call(*quantity, u"ЦветФона", {Value::I4(colour)});
    if (first) Call(*quantity, u"Рамка", {Value::I4(3), Value::I4(4), Value::I4(0), Value::I4(3)});

    ObjRef mark = Area(s, u"Метка");
    if (CompareWithNumber(Call(documentMarks_, u"НайтиЗначение", {Call(cellInvoice, u"ТекущийДокумент")}), 0).value_or(0) != 0)
      mark->Set(u"Текст", Value::Str(u"V"));
    if (first) Call(*mark, u"Рамка", {Value::I4(3), Value::I4(4), Value::I4(3), Value::I4(3)});
    Call(*mark, u"ЦветФона", {Value::I4(colour)});
    Details({Value::Str(u"Метка"), invoice});
    AreaDetails(*mark);
    Output(section, zoneCode);
  }

  Operands& op_;
  ObjRef sheetRef_, detailsRef_;  // elements passed by reference: held for the run
  HostObject &sheet_, &zoneMarks_, &documentMarks_, &details_, &zones_, &slots_;
  HostObject* app_ = nullptr;
  Value placed_, emptyInvoice_;
  std::int16_t orderRows_ = 0;
  std::int32_t total_ = 0, shown_ = 0, slotCount_ = 0;
  // The invoices of each (time slot, zone) in sorted order, and the next one to place.
  struct Queue {
    std::vector<DeliveryRow> rows;
    size_t next = 0;
  };
  std::map<std::pair<CodeKey, CodeKey>, Queue> queues_;
};

}  // namespace

void BuildDeliverySheet(Operands& op) { Run(op).Execute(); }

}  // namespace addin
