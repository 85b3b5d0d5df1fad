#include "sim/objects.h"

#include <algorithm>

#include "host/rules.h"

namespace addin::sim {

namespace {

Value One() { return Value::I4(1); }
Value Zero() { return Value::I4(0); }

RuntimeError Fault(const Text& text) { return RuntimeError::FromHost(Object::kInjectedFailure, text); }

template <class T>
T& Argument(std::span<Value> args, size_t i, const char16_t* method) {
  T* t = i < args.size() && args[i].IsObject() ? dynamic_cast<T*>(args[i].AsObject().get()) : nullptr;
  if (!t) throw Fault(Text(method) + u": argument " + Text(1, char16_t(u'1' + i)) + u" is not the object expected");
  return *t;
}

const Value& Arg(std::span<Value> args, size_t i, const char16_t* method) {
  if (i >= args.size()) throw Fault(Text(method) + u": too few arguments");
  return args[i];
}

}  // namespace

// --- Element ---------------------------------------------------------------------------------

Element::Element(bool empty) : empty_(empty) {
  methods[u"ТекущийЭлемент"] = [this](std::span<Value>) { return Value::Obj(ObjRef(this)); };
  methods[u"Выбран"] = [this](std::span<Value>) { return empty_ ? Zero() : One(); };
  // The empty reference answers every attribute with the empty text; its "Код" is "".
  if (empty_) members[u"Код"] = Value::Str(u"");
}

Value Element::DoGet(TextView member) {
  if (empty_ && !methods.count(member) && !members.count(member)) return Value::Str(u"");
  return Object::DoGet(member);
}

// --- Catalogue -------------------------------------------------------------------------------

Catalogue::Catalogue() {
  methods[u"ПорядокКодов"] = [this](std::span<Value>) {
    codeOrder_ = true;
    return Value();
  };
  methods[u"ВыбратьЭлементы"] = [this](std::span<Value>) {
    selection_ = elements;
    // Codes sort as the values they are (see CompareForSort), in a stable order.
    if (codeOrder_)
      std::stable_sort(selection_.begin(), selection_.end(), [](Element* a, Element* b) {
        return CompareForSort(a->members[u"Код"], b->members[u"Код"]) < 0;
      });
    next_ = 0;
    current_ = nullptr;
    return One();
  };
  methods[u"ПолучитьЭлемент"] = [this](std::span<Value>) {
    if (next_ >= selection_.size()) return Zero();
    current_ = selection_[next_++];
    return One();
  };
  methods[u"ТекущийЭлемент"] = [this](std::span<Value>) {
    if (!current_) throw Fault(u"ТекущийЭлемент: the catalogue has no current element");
    return Value::Obj(ObjRef(current_));
  };
  methods[u"НайтиПоРеквизиту"] = [this](std::span<Value> args) {
    const Text attribute = ToText(Arg(args, 0, u"НайтиПоРеквизиту"));
    const Value& wanted = Arg(args, 1, u"НайтиПоРеквизиту");
    for (Element* e : elements) {
      auto it = e->members.find(attribute);
      if (it != e->members.end() && SameValue(it->second, wanted)) {
        current_ = e;
        return One();
      }
    }
    return Zero();
  };
}

Value Catalogue::DoGet(TextView member) {
  if (methods.count(member)) return Object::DoGet(member);
  if (!current_) throw Fault(Text(member) + u": the catalogue has no current element");
  return current_->Get(member);
}

// --- Document --------------------------------------------------------------------------------

Document::Document(World& model, bool empty) : model_(model), empty_(empty) {
  methods[u"ТекущийДокумент"] = [this](std::span<Value>) { return Value::Obj(ObjRef(this)); };
  methods[u"Выбран"] = [this](std::span<Value>) { return empty_ ? Zero() : One(); };
  methods[u"Проведен"] = [this](std::span<Value>) { return posted ? One() : Zero(); };
  methods[u"Новый"] = [this](std::span<Value>) {
    // A new document: no attribute filled, not posted, no lines.
    members.clear();
    lines.clear();
    posted = deleted = false;
    return Value();
  };
  methods[u"УстановитьНовыйНомер"] = [this](std::span<Value> args) {
    members[u"НомерДок"] = Value::Str(model_.NextNumber(ToText(Arg(args, 0, u"УстановитьНовыйНомер"))));
    return Value();
  };
}

// The empty document answers every attribute with the empty text, as the empty reference does.
Value Document::DoGet(TextView member) {
  if (empty_ && !methods.count(member) && !members.count(member)) return Value::Str(u"");
  return Object::DoGet(member);
}

// --- ValueList -------------------------------------------------------------------------------

ValueList::ValueList() {
  methods[u"УдалитьВсе"] = [this](std::span<Value>) {
    values.clear();
    return Value();
  };
  methods[u"ДобавитьЗначение"] = [this](std::span<Value> args) {
    values.push_back(Arg(args, 0, u"ДобавитьЗначение"));
    return Value();
  };
  methods[u"НайтиЗначение"] = [this](std::span<Value> args) {
    const Value& wanted = Arg(args, 0, u"НайтиЗначение");
    for (size_t i = 0; i < values.size(); ++i) {
      ++Counts().rowsExamined;
      if (SameValue(values[i], wanted)) return Value::I4(static_cast<std::int32_t>(i + 1));
    }
    return Zero();
  };
  methods[u"РазмерСписка"] = [this](std::span<Value>) { return Value::I4(static_cast<std::int32_t>(values.size())); };
}

// --- ValueTable ------------------------------------------------------------------------------

ValueTable::ValueTable() {
  methods[u"НоваяКолонка"] = [this](std::span<Value> args) {
    columns.push_back(ToText(Arg(args, 0, u"НоваяКолонка")));
    for (auto& row : rows) row.emplace_back();
    return Value();
  };
  methods[u"НоваяСтрока"] = [this](std::span<Value>) {
    rows.emplace_back(columns.size());
    current = static_cast<long>(rows.size()) - 1;
    return Value();
  };
  methods[u"КоличествоСтрок"] = [this](std::span<Value>) { return Value::I4(static_cast<std::int32_t>(rows.size())); };
  methods[u"Сортировать"] = [this](std::span<Value> args) {
    // "2,3" or "Часы,Зона": column numbers or names, each with an optional "-" for descending.
    std::vector<std::pair<size_t, int>> keys;
    const Text order = ToText(Arg(args, 0, u"Сортировать"));
    size_t start = 0;
    while (start <= order.size()) {
      size_t end = std::min(order.find(u',', start), order.size());
      Text part = TrimBlanks(TextView(order).substr(start, end - start));
      int direction = 1;
      if (!part.empty() && (part.back() == u'-' || part.back() == u'+')) {
        direction = part.back() == u'-' ? -1 : 1;
        part.pop_back();
      }
      size_t column = Column(part);
      if (column == columns.size()) {
        auto number = CompareWithNumber(Value::Str(part), 0);  // a column number
        if (!number || *number <= 0) throw Fault(u"Сортировать: no column \"" + part + u"\"");
        column = static_cast<size_t>(ToInt32(Value::Str(part))) - 1;
        if (column >= columns.size()) throw Fault(u"Сортировать: no column " + part);
      }
      keys.emplace_back(column, direction);
      start = end + 1;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
      for (auto [c, d] : keys) {
        int r = CompareForSort(a[c], b[c]);
        if (r != 0) return r * d < 0;
      }
      return false;
    });
    current = -1;
    return Value();
  };
  // НайтиЗначение(value, row number variable, column): searches the column from the row after
  // the one the variable names (from the first when it is 0) and writes the found row's number
  // (from 1) into the variable; 1 when found, 0 otherwise.
  methods[u"НайтиЗначение"] = [this](std::span<Value> args) {
    const Value& wanted = Arg(args, 0, u"НайтиЗначение");
    Arg(args, 1, u"НайтиЗначение");
    const Text name = ToText(Arg(args, 2, u"НайтиЗначение"));
    size_t column = Column(name);
    if (column == columns.size()) throw Fault(u"НайтиЗначение: no column \"" + name + u"\"");
    long from = args[1].IsEmpty() ? 0 : ToInt32(args[1]);
    for (size_t r = static_cast<size_t>(std::max(from, 0L)); r < rows.size(); ++r) {
      ++Counts().rowsExamined;
      if (SameValue(rows[r][column], wanted)) {
        args[1] = Value::I4(static_cast<std::int32_t>(r + 1));
        return One();
      }
    }
    return Zero();
  };
  methods[u"ПолучитьСтрокуПоНомеру"] = [this](std::span<Value> args) {
    const std::int32_t n = ToInt32(Arg(args, 0, u"ПолучитьСтрокуПоНомеру"));
    if (n < 1 || static_cast<size_t>(n) > rows.size()) throw Fault(u"ПолучитьСтрокуПоНомеру: no row " + ToText(args[0]));
    current = n - 1;
    return One();
  };
  // The current row is removed; no row is current afterwards.
  methods[u"УдалитьСтроку"] = [this](std::span<Value>) {
    if (current < 0) throw Fault(u"УдалитьСтроку: no current row");
    rows.erase(rows.begin() + current);
    current = -1;
    return Value();
  };
}

size_t ValueTable::Column(TextView name) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (!CaseFoldLess{}(name, columns[i]) && !CaseFoldLess{}(columns[i], name)) return i;
  return columns.size();
}

Value ValueTable::DoGet(TextView member) {
  size_t c = Column(member);
  if (c == columns.size()) return Object::DoGet(member);
  if (current < 0) throw Fault(Text(member) + u": no current row");
  return rows[current][c];
}

void ValueTable::DoSet(TextView member, const Value& value) {
  size_t c = Column(member);
  if (c == columns.size()) throw RuntimeError::FromHost(kUnknownName, u"no column " + Text(member));
  if (current < 0) throw Fault(Text(member) + u": no current row");
  rows[current][c] = value;
}

// --- Spreadsheet table -----------------------------------------------------------------------

Area::Area() {
  members[u"Текст"] = Value::Str(u"");
  methods[u"Рамка"] = [this](std::span<Value> args) {
    border.clear();
    for (size_t i = 0; i < 4; ++i) border.push_back(ToInt32(Arg(args, i, u"Рамка")));
    return Value();
  };
  methods[u"ЦветФона"] = [this](std::span<Value> args) {
    color = ToInt32(Arg(args, 0, u"ЦветФона"));
    return Value();
  };
  // The area takes over the list's content as it is now; later changes to the list do not reach it.
  methods[u"Расшифровка"] = [this](std::span<Value> args) {
    details = Argument<ValueList>(args, 0, u"Расшифровка").values;
    hasDetails = true;
    return Value();
  };
}

Section::Section(World& model, TextView sectionName, const std::vector<Text>& areaNames) : name(sectionName) {
  for (const Text& a : areaNames) {
    Area& area = model.Make<Area>();
    area.name = a;
    areas.push_back(&area);
  }
  methods[u"Область"] = [this](std::span<Value> args) {
    const Text wanted = ToText(Arg(args, 0, u"Область"));
    for (Area* a : areas)
      if (!CaseFoldLess{}(wanted, a->name) && !CaseFoldLess{}(a->name, wanted)) return Value::Obj(ObjRef(a));
    throw Fault(u"Область: the section " + name + u" has no area \"" + wanted + u"\"");
  };
}

Sheet::Sheet(World& model) : model_(model) {
  sections = {{u"Шапка|Столбец", {u"Район", u"МеткаЗоны"}},
              {u"Строка|Столбец", {u"Часы", u"Документ", u"Колво", u"Метка"}}};
  methods[u"Очистить"] = [this](std::span<Value>) {
    lines.clear();
    return Value();
  };
  methods[u"ПолучитьСекцию"] = [this](std::span<Value> args) {
    const Text wanted = ToText(Arg(args, 0, u"ПолучитьСекцию"));
    for (auto& [name, areas] : sections)
      if (!CaseFoldLess{}(wanted, name) && !CaseFoldLess{}(name, wanted))
        return Value::Obj(ObjRef(&model_.Make<Section>(model_, name, areas)));
    throw Fault(u"ПолучитьСекцию: the template has no section \"" + wanted + u"\"");
  };
  methods[u"ВывестиСекцию"] = [this](std::span<Value> args) {
    lines.push_back({&Argument<Section>(args, 0, u"ВывестиСекцию")});
    return Value();
  };
  methods[u"ПрисоединитьСекцию"] = [this](std::span<Value> args) {
    Section& s = Argument<Section>(args, 0, u"ПрисоединитьСекцию");
    if (lines.empty()) lines.emplace_back();
    lines.back().push_back(&s);
    return Value();
  };
}

Connection::Connection() {
  methods[u"SetStatusLine"] = [this](std::span<Value> args) {
    statusLines.push_back(ToText(Arg(args, 0, u"SetStatusLine")));
    return Value();
  };
}

}  // namespace addin::sim
