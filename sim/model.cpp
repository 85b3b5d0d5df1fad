#include "sim/model.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <typeinfo>

#include <nlohmann/json.hpp>

#include "host/calendar.h"
#include "host/rules.h"
#include "host/utf.h"
#include "sim/query.h"

namespace addin::sim {

namespace {

using nlohmann::json;

Element& NewElement(Model& m, Catalogue& c, Value code, Text name) {
  Element& e = m.Make<Element>();
  e.type = &c;
  e.members[u"Код"] = std::move(code);
  e.members[u"Наименование"] = Value::Str(std::move(name));
  c.elements.push_back(&e);
  return e;
}

// An enumeration value: a reference whose "Идентификатор" is its identifier ("" for the empty one).
Element& EnumValue(Model& m, Text identifier) {
  static const char enumeration = 0;
  Element& e = m.Make<Element>(identifier.empty());
  e.type = &enumeration;
  e.methods[u"Идентификатор"] = [identifier](std::span<Value>) { return Value::Str(identifier); };
  return e;
}

// Reads a day file's values, saying where a fault is.
class Reader {
 public:
  Reader(std::string file) : file_(std::move(file)) {}

  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw std::runtime_error(file_ + ": " + where + ": " + what);
  }
  const json& Field(const json& object, const std::string& where, const char* name, bool required = true) const {
    static const json none;
    if (!object.is_object()) Fail(where, "ожидается объект");
    auto it = object.find(name);
    if (it == object.end()) {
      if (required) Fail(where, std::string("нет поля \"") + name + "\"");
      return none;
    }
    return *it;
  }
  Text String(const json& v, const std::string& where) const {
    if (!v.is_string()) Fail(where, "ожидается текст");
    return Utf16(v.get<std::string>());
  }
  double Number(const json& v, const std::string& where) const {
    if (!v.is_number()) Fail(where, "ожидается число");
    return v.get<double>();
  }
  bool Flag(const json& v, const std::string& where) const {
    if (v.is_null()) return false;
    if (!v.is_boolean()) Fail(where, "ожидается true или false");
    return v.get<bool>();
  }
  // A code: a whole number, or a text.
  Value Code(const json& v, const std::string& where) const {
    if (v.is_number_integer()) return Value::I4(v.get<std::int32_t>());
    if (v.is_string()) return Value::Str(Utf16(v.get<std::string>()));
    Fail(where, "ожидается код (целое число или текст)");
  }
  double Date(const json& v, const std::string& where) const {
    auto d = ParseDayText(String(v, where));
    if (!d) Fail(where, "ожидается дата ДД.ММ.ГГГГ");
    return *d;
  }
  const json& Array(const json& object, const std::string& where, const char* name) const {
    const json& a = Field(object, where, name);
    if (!a.is_array()) Fail(where + "/" + name, "ожидается массив");
    return a;
  }
  Element* Find(Catalogue& c, const json& code, const std::string& where, const char* what) const {
    Value wanted = Code(code, where);
    for (Element* e : c.elements)
      if (SameValue(e->members[u"Код"], wanted)) return e;
    Fail(where, std::string("нет ") + what + " с кодом " + code.dump());
  }

 private:
  std::string file_;
};

}  // namespace

Model::Model()
    : items(Make<Catalogue>()),
      clients(Make<Catalogue>()),
      firms(Make<Catalogue>()),
      zones(Make<Catalogue>()),
      slots(Make<Catalogue>()),
      contracts(Make<Catalogue>()),
      properties(Make<Catalogue>()),
      constants(Make<Object>()),
      emptyRef(Make<Element>(true)),
      emptyInvoice(Make<Document>(*this, true)),
      connection(Make<Connection>()),
      app(Make<Object>()),
      sheet(Make<Sheet>(*this)),
      zoneMarks(Make<ValueList>()),
      documentMarks(Make<ValueList>()),
      details(Make<ValueList>()) {
  emptyInvoice.type = &emptyInvoice;  // the empty reference is of a type of its own
  connection.members[u"AppDispatch"] = Value::Obj(ObjRef(&app));
  app.methods[u"Константа"] = [this](std::span<Value>) { return Value::Obj(ObjRef(&constants)); };
  // The expressions the routines evaluate; any other is an error, as a typing mistake would be.
  app.methods[u"EvalExpr"] = [this](std::span<Value> args) {
    const Text text = args.empty() ? Text() : TrimBlanks(ToText(args[0]));
    const size_t open = text.find(u'(');
    const Text function = open == Text::npos ? text : TrimBlanks(TextView(text).substr(0, open));
    Text argument;
    if (open != Text::npos && text.size() > open + 3 && text.back() == u')') {
      Text inner = TrimBlanks(TextView(text).substr(open + 1, text.size() - open - 2));
      if (inner.size() >= 2 && inner.front() == u'"' && inner.back() == u'"') argument = inner.substr(1, inner.size() - 2);
    }
    auto is = [](TextView a, TextView b) { return !CaseFoldLess{}(a, b) && !CaseFoldLess{}(b, a); };
    if (is(function, u"СоздатьОбъект")) {
      if (is(argument, u"Запрос")) return Value::Obj(ObjRef(&Make<Query>(*this)));
      if (is(argument, u"ТаблицаЗначений")) return Value::Obj(ObjRef(&Make<ValueTable>()));
      if (is(argument, u"СписокЗначений")) return Value::Obj(ObjRef(&Make<ValueList>()));
    }
    if (is(function, u"ПолучитьПустоеЗначение") && is(argument, u"Документ.РасходнаяНакладная"))
      return Value::Obj(ObjRef(&emptyInvoice));
    throw RuntimeError::FromHost(Object::kInjectedFailure, u"EvalExpr: the simulated platform cannot evaluate " + text);
  };
}

Model::~Model() {
  for (auto& o : objects_) o->DropReferences();
}

Catalogue* Model::CatalogueNamed(TextView name) {
  const std::pair<const char16_t*, Catalogue*> all[] = {
      {u"Номенклатура", &items}, {u"Клиенты", &clients}, {u"Фирмы", &firms}, {u"Зоны", &zones},
      {u"Часы", &slots},         {u"Договоры", &contracts}, {u"СвойстваКлиентов", &properties}};
  for (auto [n, c] : all)
    if (!CaseFoldLess{}(name, n) && !CaseFoldLess{}(n, name)) return c;
  return nullptr;
}

Document& Model::NewInvoice() { return Make<Document>(*this); }

// A new number is the prefix followed by the next number of the model, zero-filled to ten
// characters in all (at least one digit).
Text Model::NextNumber(TextView prefix) {
  const std::string digits = std::to_string(++lastNumber_);
  Text number(prefix);
  if (number.size() + digits.size() < 10) number.append(10 - number.size() - digits.size(), u'0');
  number.append(digits.begin(), digits.end());
  return number;
}

void Model::ForgetObjectsSince(size_t count) {
  for (size_t i = count; i < objects_.size(); ++i) objects_[i]->DropReferences();
  details.values.clear();
}

void Model::DiscardObjectsSince(size_t count) {
  ForgetObjectsSince(count);
  sheet.lines.clear();
  if (count < objects_.size()) objects_.erase(objects_.begin() + static_cast<std::ptrdiff_t>(count), objects_.end());
}

std::vector<long> Model::RefCounts() const {
  std::vector<long> counts;
  for (auto& o : objects_) counts.push_back(o->refs);
  return counts;
}

std::vector<std::string> Model::Unbalanced(const std::vector<long>& before) const {
  std::vector<std::string> out;
  for (size_t i = 0; i < objects_.size(); ++i) {
    const long was = i < before.size() ? before[i] : 0;
    const Object& object = *objects_[i];
    if (object.refs != was)
      out.push_back(std::string(typeid(object).name()) + " #" + std::to_string(i) + ": " + std::to_string(was) +
                    " -> " + std::to_string(object.refs));
  }
  return out;
}

std::unique_ptr<Model> ParseDay(const std::string& text, const std::string& name) {
  json day;
  try {
    day = json::parse(text);
  } catch (const json::parse_error& e) {
    // The place of the fault, counted as an editor counts it: line, and character in the line.
    const std::size_t end = std::min<std::size_t>(e.byte > 0 ? e.byte - 1 : 0, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < end; ++i) {
      if (text[i] == '\n') ++line, column = 1;
      else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
    }
    throw std::runtime_error(name + ": не JSON: ошибка в строке " + std::to_string(line) + ", знак " +
                             std::to_string(column));
  }
  Reader r(name);
  auto model = std::make_unique<Model>();
  Model& m = *model;

  const json& settings = r.Field(day, "", "settings", false);
  if (!settings.is_null()) {
    const std::pair<const char*, Text*> fields[] = {{"orderRows", &m.orderRows}, {"firmInn", &m.firmInn},
                                                    {"numberPrefix", &m.numberPrefix}, {"scheduleKey", &m.scheduleKey}};
    for (auto [key, field] : fields) {
      const json& v = r.Field(settings, "/settings", key, false);
      if (!v.is_null()) *field = r.String(v, std::string("/settings/") + key);
    }
  }
  m.workingDate = r.String(r.Field(day, "", "date"), "/date");
  r.Date(r.Field(day, "", "date"), "/date");

  const json& items = r.Array(day, "", "items");
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string at = "/items/" + std::to_string(i);
    Element& e = NewElement(m, m.items, r.Code(r.Field(items[i], at, "code"), at + "/code"),
                            r.String(r.Field(items[i], at, "name"), at + "/name"));
    const json& water = r.Field(items[i], at, "water", false);
    e.members[u"Вода"] = Value::I4(water.is_null() ? 0 : static_cast<std::int32_t>(r.Number(water, at + "/water")));
    e.members[u"ПометкаУдаления"] = Value::I4(r.Flag(r.Field(items[i], at, "deleted", false), at + "/deleted"));
  }
  const json& constants = r.Field(day, "", "constants");
  m.constants.members[u"Вода"] =
      Value::Obj(ObjRef(r.Find(m.items, r.Field(constants, "/constants", "Вода"), "/constants/Вода", "товара")));
  m.constants.members[u"Залог"] =
      Value::Obj(ObjRef(r.Find(m.items, r.Field(constants, "/constants", "Залог"), "/constants/Залог", "товара")));
  m.constants.members[u"ИспользоватьСвойстваКлиентов"] = Value::Obj(ObjRef(&EnumValue(
      m, r.String(r.Field(constants, "/constants", "ИспользоватьСвойстваКлиентов"), "/constants/ИспользоватьСвойстваКлиентов"))));

  const json& firms = r.Array(day, "", "firms");
  for (size_t i = 0; i < firms.size(); ++i) {
    const std::string at = "/firms/" + std::to_string(i);
    Element& e = NewElement(m, m.firms, r.Code(r.Field(firms[i], at, "code"), at + "/code"),
                            r.String(r.Field(firms[i], at, "name"), at + "/name"));
    e.members[u"ИНН"] = Value::Str(r.String(r.Field(firms[i], at, "inn"), at + "/inn"));
    e.members[u"ПрефиксНомеровДокументов"] = Value::Str(r.String(r.Field(firms[i], at, "prefix"), at + "/prefix"));
  }
  const json& properties = r.Field(day, "", "properties", false);
  for (size_t i = 0; properties.is_array() && i < properties.size(); ++i) {
    const std::string at = "/properties/" + std::to_string(i);
    NewElement(m, m.properties, r.Code(r.Field(properties[i], at, "code"), at + "/code"),
               r.String(r.Field(properties[i], at, "name"), at + "/name"));
  }
  const json& clients = r.Array(day, "", "clients");
  for (size_t i = 0; i < clients.size(); ++i) {
    const std::string at = "/clients/" + std::to_string(i);
    const json& c = clients[i];
    Element& e = NewElement(m, m.clients, r.Code(r.Field(c, at, "code"), at + "/code"),
                            r.String(r.Field(c, at, "name"), at + "/name"));
    const json& address = r.Field(c, at, "address", false);
    e.members[u"ПочтовыйАдрес"] = Value::Str(address.is_null() ? Text() : r.String(address, at + "/address"));
    e.members[u"ТипКлиента"] = Value::I4(static_cast<std::int32_t>(r.Number(r.Field(c, at, "type"), at + "/type")));
    const json& free = r.Field(c, at, "free", false);
    e.members[u"Бесплатно"] = Value::I4(free.is_null() ? 0 : static_cast<std::int32_t>(r.Number(free, at + "/free")));
    const json& kind = r.Field(c, at, "kind", false);
    e.members[u"ВидКонтрагента"] = Value::Obj(ObjRef(&EnumValue(m, kind.is_null() ? Text() : r.String(kind, at + "/kind"))));
    const json& contract = r.Field(c, at, "contract", false);
    Element* main = &m.emptyRef;
    if (!contract.is_null()) {
      Text contractName = r.String(contract, at + "/contract");
      main = &NewElement(m, m.contracts, Value::I4(static_cast<std::int32_t>(m.contracts.elements.size() + 1)), contractName);
    }
    e.members[u"ОсновнойДоговорТорг"] = Value::Obj(ObjRef(main));
  }
  const std::pair<const char*, Catalogue*> grids[] = {{"zones", &m.zones}, {"slots", &m.slots}};
  for (auto [key, catalogue] : grids) {
    const json& list = r.Array(day, "", key);
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = std::string("/") + key + "/" + std::to_string(i);
      Element& e = NewElement(m, *catalogue, r.Code(r.Field(list[i], at, "code"), at + "/code"),
                              r.String(r.Field(list[i], at, "name"), at + "/name"));
      if (catalogue == &m.slots) {
        const json& rows = r.Field(list[i], at, "rows", false);
        e.members[u"СтрокЗаявок"] = Value::I4(rows.is_null() ? 0 : static_cast<std::int32_t>(r.Number(rows, at + "/rows")));
      }
    }
  }
  const json& invoices = r.Array(day, "", "invoices");
  for (size_t i = 0; i < invoices.size(); ++i) {
    const std::string at = "/invoices/" + std::to_string(i);
    const json& v = invoices[i];
    Document& d = m.Make<Document>(m);
    d.date = r.Date(r.Field(v, at, "date"), at + "/date");
    d.members[u"ДатаДок"] = Value::FromDate(d.date);
    d.members[u"НомерДок"] = Value::Str(r.String(r.Field(v, at, "number"), at + "/number"));
    d.members[u"Клиент"] = Value::Obj(ObjRef(r.Find(m.clients, r.Field(v, at, "client"), at + "/client", "клиента")));
    auto optional = [&](const char* key, Catalogue& c, const char* what) {
      const json& code = r.Field(v, at, key, false);
      return Value::Obj(ObjRef(code.is_null() ? &m.emptyRef : r.Find(c, code, at + "/" + key, what)));
    };
    d.members[u"Свойство"] = optional("property", m.properties, "свойства");
    d.members[u"Зона"] = optional("zone", m.zones, "зоны");
    d.members[u"Часы"] = optional("slot", m.slots, "часа");
    d.posted = r.Flag(r.Field(v, at, "posted", false), at + "/posted");
    d.deleted = r.Flag(r.Field(v, at, "deleted", false), at + "/deleted");
    const json& lines = r.Array(v, at, "lines");
    for (size_t k = 0; k < lines.size(); ++k) {
      const std::string lat = at + "/lines/" + std::to_string(k);
      if (!lines[k].is_array() || lines[k].size() != 2) r.Fail(lat, "ожидается [код товара, количество]");
      d.lines.push_back({r.Find(m.items, lines[k][0], lat + "/0", "товара"), r.Number(lines[k][1], lat + "/1")});
    }
    m.invoices.push_back(&d);
  }
  const json& marks = r.Field(day, "", "marks", false);
  if (!marks.is_null()) {
    const json& zoneMarks = r.Field(marks, "/marks", "zones", false);
    for (size_t i = 0; zoneMarks.is_array() && i < zoneMarks.size(); ++i)
      m.zoneMarks.values.push_back(
          Value::Obj(ObjRef(r.Find(m.zones, zoneMarks[i], "/marks/zones/" + std::to_string(i), "зоны"))));
    const json& docMarks = r.Field(marks, "/marks", "invoices", false);
    for (size_t i = 0; docMarks.is_array() && i < docMarks.size(); ++i) {
      const std::string at = "/marks/invoices/" + std::to_string(i);
      Text number = r.String(docMarks[i], at);
      Document* found = nullptr;
      for (Document* d : m.invoices)
        if (d->members[u"НомерДок"] == Value::Str(number)) found = d;
      if (!found) r.Fail(at, "нет накладной с этим номером");
      m.documentMarks.values.push_back(Value::Obj(ObjRef(found)));
    }
  }
  return model;
}

std::unique_ptr<Model> LoadDay(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": не удаётся прочитать файл");
  std::stringstream text;
  text << in.rdbuf();
  return ParseDay(text.str(), path);
}

std::unique_ptr<Model> GenerateDay(int zoneCount, int slotCount, int rowsPerSlot, int invoiceCount, unsigned seed) {
  std::mt19937 random(seed);
  json day;
  day["date"] = "09.12.2026";
  day["settings"] = {{"orderRows", std::to_string(rowsPerSlot)}, {"firmInn", "7701234567"},
                     {"numberPrefix", "СП"}, {"scheduleKey", "2718281"}};
  day["constants"] = {{"Вода", 1}, {"Залог", 90}, {"ИспользоватьСвойстваКлиентов", "Да"}};
  json items = json::array();
  for (int c = 1; c <= 12; ++c) items.push_back({{"code", c}, {"name", "Товар " + std::to_string(c)}, {"water", c <= 5 ? 1 : 0}});
  items.push_back({{"code", 90}, {"name", "Бутыль залоговая"}});
  day["items"] = items;
  day["firms"] = json::array({{{"code", 1}, {"name", "ООО Родник"}, {"inn", "7701234567"}, {"prefix", "РД"}}});
  day["properties"] = json::array({{{"code", 1}, {"name", "Офис"}}});
  json clients = json::array();
  const int clientCount = std::max(10, invoiceCount / 3);
  for (int c = 1; c <= clientCount; ++c)
    clients.push_back({{"code", c}, {"name", "Клиент " + std::to_string(c)}, {"address", "ул. Садовая, " + std::to_string(c)},
                       {"type", 1 + static_cast<int>(random() % 4)}, {"free", random() % 5 == 0 ? 1 : 0},
                       {"kind", random() % 2 ? "ЧастноеЛицо" : "Организация"}, {"contract", "Д-" + std::to_string(c)}});
  day["clients"] = clients;
  json zones = json::array(), slots = json::array();
  for (int z = 1; z <= zoneCount; ++z) zones.push_back({{"code", z}, {"name", "Зона " + std::to_string(z)}});
  for (int s = 1; s <= slotCount; ++s)
    slots.push_back({{"code", s}, {"name", std::to_string(7 + s % 14) + ":00"}, {"rows", rowsPerSlot}});
  day["zones"] = zones;
  day["slots"] = slots;
  json invoices = json::array();
  for (int i = 1; i <= invoiceCount; ++i) {
    json lines = json::array({{1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 6)}});
    if (random() % 2) lines.push_back({90, 1 + static_cast<int>(random() % 3)});
    char number[16];
    std::snprintf(number, sizeof number, "%08d", i);
    invoices.push_back({{"number", std::string("РД") + number}, {"date", "09.12.2026"},
                        {"client", 1 + static_cast<int>(random() % clientCount)},
                        {"zone", 1 + static_cast<int>(random() % zoneCount)}, {"slot", 1 + static_cast<int>(random() % slotCount)},
                        {"posted", random() % 2 == 0}, {"lines", lines}});
  }
  day["invoices"] = invoices;
  // A few marked zones and invoices, as a dispatcher keeps them.
  json zoneMarks = json::array(), invoiceMarks = json::array();
  for (int z = 1; z <= zoneCount; z += 7) zoneMarks.push_back(z);
  for (int k = 0; k < 15 && k < invoiceCount; ++k) invoiceMarks.push_back(invoices[k * invoiceCount / 15]["number"]);
  day["marks"] = {{"zones", zoneMarks}, {"invoices", invoiceMarks}};
  return ParseDay(day.dump(), "generated day");
}

}  // namespace addin::sim
