// New invoice filling on the simulated platform.
#include <gtest/gtest.h>

#include "component/addin.h"
#include "invoices/message_box.h"
#include "settings/settings.h"
#include "sim/model.h"
#include "sim/proxy.h"

namespace addin {
namespace {

const char* kDay = R"({"date": "09.12.2026",
  "constants": {"Вода": 1, "Залог": 1, "ИспользоватьСвойстваКлиентов": "Нет"},
  "items": [{"code": 1, "name": "Вода"}],
  "firms": [{"code": 1, "name": "Исток", "inn": "7702", "prefix": "ИС"}, {"code": 2, "name": "Родник", "inn": "7701", "prefix": "РД"}],
  "clients": [
    {"code": 1, "name": "Школа", "type": 2, "kind": "Организация", "contract": "Д-1"},
    {"code": 2, "name": "Иванов", "type": 1, "kind": " ЧастноеЛицо ", "contract": null},
    {"code": 3, "name": "Опт", "type": 3, "contract": "Д-3"},
    {"code": 4, "name": "Аптека", "type": 4, "free": 1, "kind": "ЧастноеЛицо", "contract": "Д-4"},
    {"code": 5, "name": "Петров", "type": 1, "free": 1, "kind": "ЧастноеЛицо", "contract": "Д-5"},
    {"code": 6, "name": "Сидоров", "type": 1, "kind": "частноелицо", "contract": "Д-6"},
    {"code": 7, "name": "Кафе", "type": 2, "kind": "ЧастноеЛицо", "contract": "Д-7"}
  ],
  "zones": [{"code": 1, "name": "Центр"}], "slots": [{"code": 1, "name": "Утро"}], "invoices": []})";

class Invoice : public ::testing::Test {
 protected:
  void SetUp() override {
    old = SetInformationBox(&box);
    Reset();
  }
  // A fresh day and settings.
  void Reset() {
    model = sim::ParseDay(kDay, "invoice day");
    Settings() = ComponentSettings{};
    Settings().firmInn = u"7701";
    Settings().workingDate = 46365;
    Settings().numberPrefix = u"СП";
  }
  void TearDown() override {
    SetInformationBox(old);
    Settings() = ComponentSettings{};
  }

  // Operation 41 for client n (1-based); the objects arrive as the DLL's adapter hands them over.
  Status Fill(size_t client) {
    doc = &model->NewInvoice();
    doc->members[u"Договор"] = Value::Str(u"as after Новый");  // Новый clears it in the simulation
    auto obj = [](HostObject& o) { return sim::Proxy::Outward(Value::Obj(ObjRef(&o))); };
    auto expected = model->RefCounts();
    ParamArray p{1, 0, {Value::I2(41), obj(*doc), obj(model->firms), obj(*model->clients.elements[client - 1]),
                        obj(*model->zones.elements[0]), obj(*model->slots.elements[0]), Value::Null(), Value::Null(),
                        Value::Null()}};
    Status s = component.CallAsProc(methExecute, &p);
    p.items.clear();
    // Every reference the operation took is given back; the document keeps those of its fields.
    for (auto& [name, value] : doc->members)
      for (size_t i = 0; value.IsObject() && i < expected.size(); ++i)
        if (model->objects()[i].get() == value.AsObject().get()) ++expected[i];
    EXPECT_EQ(model->Unbalanced(expected), std::vector<std::string>{});
    EXPECT_TRUE(component.result().IsNull());
    return s;
  }
  Value Field(const char16_t* name) {
    auto it = doc->members.find(name);
    return it == doc->members.end() ? Value() : it->second;
  }

  std::unique_ptr<sim::Model> model;
  sim::Document* doc = nullptr;
  AddIn component;
  RecordedMessages box;
  InformationBox* old = nullptr;
};

TEST_F(Invoice, StepsInOrderForAClientWithAMainContract) {
  ASSERT_EQ(Fill(1), kOk);
  EXPECT_EQ(doc->log, (std::vector<Text>{u"set НомерДок", u"call Новый", u"set ДатаДок", u"set Фирма", u"set ТипУчета",
                                         u"get ТипУчета", u"set ФинУчет", u"set НомерДок", u"get Фирма",
                                         u"call УстановитьНовыйНомер", u"set Клиент", u"set Договор", u"set Зона",
                                         u"set Часы", u"set УчитыватьНП", u"set СуммаВключаетНП"}));
  EXPECT_EQ(Field(u"ДатаДок"), Value::FromDate(46365));
  EXPECT_EQ(Field(u"Фирма"), Value::Obj(ObjRef(model->firms.elements[1])));
  EXPECT_EQ(Field(u"ТипУчета"), Value::I2(1));
  EXPECT_EQ(Field(u"ФинУчет"), Value::I2(1));
  EXPECT_EQ(Field(u"НомерДок"), Value::Str(u"РД00000001"));
  EXPECT_EQ(Field(u"Клиент"), Value::Obj(ObjRef(model->clients.elements[0])));
  EXPECT_EQ(Field(u"Договор"), model->clients.elements[0]->members[u"ОсновнойДоговорТорг"]);
  EXPECT_EQ(Field(u"Зона"), Value::Obj(ObjRef(model->zones.elements[0])));
  EXPECT_EQ(Field(u"Часы"), Value::Obj(ObjRef(model->slots.elements[0])));
  EXPECT_EQ(Field(u"УчитыватьНП"), Value::I2(0));
  EXPECT_EQ(Field(u"СуммаВключаетНП"), Value::I2(0));
  EXPECT_TRUE(box.messages.empty());
}

TEST_F(Invoice, ClientTypesFreeDeliveryAndSalesTax) {
  const struct {
    size_t client;
    std::int16_t accounting;   // ТипУчета at the end
    bool freeDelivery;         // НеБратьВзаиморасчеты set to 1
    const char16_t* number;    // the last number given
    std::int16_t salesTax;     // УчитыватьНП
  } cases[] = {
      {1, 1, false, u"РД00000001", 0},  // type 2
      {2, 1, false, u"РД00000001", 1},  // type 1, identifier with blanks around
      {3, 0, false, u"СП00000002", 0},  // type 3: numbered twice, the second time with the prefix
      {4, 0, true, u"СП00000002", 0},   // type 4 with free delivery
      {5, 0, true, u"СП00000002", 1},   // type 1 with free delivery is special too
      {6, 1, false, u"РД00000001", 0},  // identifier in another letter case
      {7, 1, false, u"РД00000001", 0},  // private person of type 2
  };
  for (const auto& c : cases) {
    Reset();
    ASSERT_EQ(Fill(c.client), kOk) << c.client;
    EXPECT_EQ(Field(u"ТипУчета"), Value::I2(c.accounting)) << c.client;
    EXPECT_EQ(Field(u"ФинУчет"), Value::I2(1)) << c.client;  // not recomputed
    EXPECT_EQ(Field(u"НеБратьВзаиморасчеты"), c.freeDelivery ? Value::I2(1) : Value()) << c.client;
    EXPECT_EQ(Field(u"НомерДок"), Value::Str(c.number)) << c.client;
    EXPECT_EQ(Field(u"УчитыватьНП"), Value::I2(c.salesTax)) << c.client;
    EXPECT_EQ(Field(u"СуммаВключаетНП"), Value::I2(0)) << c.client;
  }
}

TEST_F(Invoice, AClientWithoutMainContractGetsTheMessageAndFillingGoesOn) {
  ASSERT_EQ(Fill(2), kOk);
  EXPECT_EQ(box.messages, std::vector<Text>{u"Для клиента Иванов не установлен основной договор!"});
  EXPECT_EQ(Field(u"Договор"), Value());  // as "Новый" left it
  EXPECT_EQ(Field(u"СуммаВключаетНП"), Value::I2(0));
}

TEST_F(Invoice, NoWorkingDateAndNoPrefix) {
  Settings().workingDate = 0;
  Settings().numberPrefix = u"";
  ASSERT_EQ(Fill(3), kOk);
  EXPECT_EQ(Field(u"ДатаДок"), Value::FromDate(0));
  EXPECT_EQ(Field(u"НомерДок"), Value::Str(u"0000000002"));
}

TEST_F(Invoice, FailuresStopAtTheirStepAndKeepWhatWasWritten) {
  model->clients.elements[0]->members[u"ТипКлиента"] = Value::Str(u"оптовый");
  EXPECT_EQ(Fill(1), StatusOfErrorNumber(kTypeMismatch));
  EXPECT_EQ(doc->log.back(), u"set Договор");  // step 11 done, step 12 failed
  EXPECT_EQ(Field(u"Клиент"), Value::Obj(ObjRef(model->clients.elements[0])));

  Reset();
  model->clients.elements[2]->members[u"ТипКлиента"] = Value::Null();  // Null: not a special client
  model->clients.elements[2]->members[u"Бесплатно"] = Value::Null();
  ASSERT_EQ(Fill(3), kOk);
  EXPECT_EQ(Field(u"ТипУчета"), Value::I2(1));

  Reset();
  ParamArray p{1, 0, {Value::I2(41), Value::I4(5)}};
  p.items.resize(9, Value::Null());
  EXPECT_EQ(component.CallAsProc(methExecute, &p), StatusOfErrorNumber(kObjectRequired));  // elements 2 to 5
}

// Without a firm of the firm INN the operation stops right after the search: the number is
// cleared, the document is new and dated, and nothing else is written.
TEST_F(Invoice, AnUnknownFirmInnStopsBeforeTheFirmIsWritten) {
  Settings().firmInn = u"0000";
  EXPECT_EQ(Fill(1), StatusOfErrorNumber(kInvalidArgument));
  EXPECT_EQ(doc->log, (std::vector<Text>{u"set НомерДок", u"call Новый", u"set ДатаДок"}));
  EXPECT_EQ(Field(u"Фирма"), Value());
  EXPECT_EQ(Field(u"ДатаДок"), Value::FromDate(46365));
}

}  // namespace
}  // namespace addin
