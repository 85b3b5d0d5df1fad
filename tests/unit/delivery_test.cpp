// The delivery sheet on small days of the simulated platform.
#include <gtest/gtest.h>

#include "component/addin.h"
#include "delivery/delivery.h"
#include "host/utf.h"
#include "settings/settings.h"
#include "sim/day_run.h"
#include "sim/model.h"
#include "sim/proxy.h"

namespace addin {
namespace {

using sim::Area;

constexpr Status kTypeMismatchStatus = StatusOfErrorNumber(kTypeMismatch);

// A day with the given zones, slots and invoices; items 1 and 12 are flagged, 90 is the deposit.
std::string Day(const std::string& zones, const std::string& slots, const std::string& invoices,
                const std::string& orderRows = "\"2\"", const std::string& extra = "") {
  return R"({"date": "09.12.2026", "settings": {"orderRows": )" + orderRows +
         R"(, "firmInn": "1", "numberPrefix": "", "scheduleKey": "2718281"},
  "constants": {"Вода": 1, "Залог": 90, "ИспользоватьСвойстваКлиентов": "Нет"},
  "items": [{"code": 1, "name": "Вода 19", "water": 1}, {"code": 2, "name": "Чай"},
            {"code": 12, "name": "Вода 5", "water": 1}, {"code": 90, "name": "Залог"}],
  "firms": [{"code": 1, "name": "Родник", "inn": "1", "prefix": "РД"}],
  "properties": [{"code": 1, "name": "Склад"}],
  "clients": [{"code": 1, "name": " Иванов ", "address": " Садовая, 1 ", "type": 1, "contract": "Д"}],
  "zones": )" + zones + R"(, "slots": )" + slots + R"(, "invoices": )" + invoices + extra + "}";
}

std::string Invoice(int n, const std::string& zone, const std::string& slot, bool posted, const std::string& lines) {
  return R"({"number": "N)" + std::to_string(n) + R"(", "date": "09.12.2026", "client": 1)" +
         (zone.empty() ? "" : ", \"zone\": " + zone) + (slot.empty() ? "" : ", \"slot\": " + slot) +
         ", \"posted\": " + (posted ? "true" : "false") + ", \"lines\": " + lines + "}";
}

// The day with one piece of its text replaced.
std::string With(std::string day, const std::string& from, const std::string& to) {
  const size_t at = day.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? day : day.replace(at, from.size(), to);
}

class DeliverySheet : public ::testing::Test {
 protected:
  void TearDown() override { Settings() = ComponentSettings{}; }

  // Runs the settings and operation 13; returns the status of operation 13.
  Status Run(const std::string& json) {
    model = sim::ParseDay(json, "test day");
    before = model->RefCounts();
    objectsBefore = model->objects().size();
    // The objects reach the routine as the DLL's adapter hands them over: a wrapper per value.
    component.Init(sim::Proxy::Wrap(ObjRef(&model->connection)));
    Status status = kOk;
    for (auto& call : sim::DeliverySheetCalls(*model)) {
      ParamArray p{1, 0, {}};
      for (const Value& v : call.params) p.items.push_back(sim::Proxy::Outward(v));
      status = component.CallAsProc(methExecute, &p);
      if (call.what.rfind("13", 0) != 0) {
        EXPECT_EQ(status, kOk) << call.what;
      }
    }
    component.Done();
    return status;
  }
  // After the run, with what the platform keeps let go: no reference may be left.
  void ExpectBalanced() {
    model->ForgetObjectsSince(objectsBefore);
    EXPECT_EQ(model->Unbalanced(before), std::vector<std::string>{});
  }
  const std::vector<std::vector<sim::Section*>>& Lines() { return model->sheet.lines; }
  // Body cell of line l (0 is the header line), zone column z.
  const std::vector<Area*>& Cell(size_t line, size_t zone) { return Lines().at(line).at(zone)->areas; }
  static std::string Text(const Area* a) { return Utf8(a->members.at(u"Текст").AsText()); }
  std::string LastStatus() { return Utf8(model->connection.statusLines.back()); }

  AddIn component;
  std::unique_ptr<sim::Model> model;
  std::vector<long> before;
  size_t objectsBefore = 0;
};

const char* kTwoZones = R"([{"code": 1, "name": "Центр"}, {"code": 2, "name": "Юг"}])";

TEST_F(DeliverySheet, NoInvoicesGiveTheFullGridOfOpenCells) {
  ASSERT_EQ(Run(Day(kTwoZones, R"([{"code": 1, "name": "Утро"}, {"code": 2, "name": "День", "rows": 1}])", "[]")), kOk);
  ASSERT_EQ(Lines().size(), 1u + 2 + 1);  // header, two rows of the default, one row of "День"
  EXPECT_EQ(Text(Cell(0, 0)[0]), "Центр");
  EXPECT_EQ(Text(Cell(0, 1)[1]), "-");
  for (size_t line = 1; line < Lines().size(); ++line) {
    ASSERT_EQ(Lines()[line].size(), 2u);
    for (size_t z = 0; z < 2; ++z) {
      const auto& cell = Cell(line, z);
      for (int a : {1, 2, 3}) EXPECT_EQ(cell[a]->color, delivery::kOpenColour);
      EXPECT_EQ(Text(cell[1]), "");
      ASSERT_TRUE(cell[1]->hasDetails);
      EXPECT_EQ(cell[1]->details.size(), 4u);
      EXPECT_EQ(cell[1]->details[0], Value::Str(u"Документ"));
      EXPECT_EQ(cell[1]->details[1], Value::Str(u""));
      EXPECT_EQ(cell[1]->details[3], Value::Obj(ObjRef(model->zones.elements[z])));
    }
  }
  EXPECT_EQ(Text(Cell(1, 0)[0]), "Утро");
  EXPECT_EQ(Cell(1, 0)[0]->border, (std::vector<int>{3, 4, 3, 0}));
  EXPECT_EQ(Text(Cell(2, 0)[0]), "");  // the time slot's name on its first row only
  EXPECT_TRUE(Cell(2, 0)[0]->border.empty());
  EXPECT_EQ(component.result(), Value::I4(2));
  EXPECT_TRUE(model->connection.statusLines.empty());
  ExpectBalanced();
}

TEST_F(DeliverySheet, WithoutAZoneOfCodeOneEverythingIsOneLine) {
  ASSERT_EQ(Run(Day(R"([{"code": 2, "name": "Юг"}, {"code": 3, "name": "Север"}])", R"([{"code": 1, "name": "Утро"}])", "[]")),
            kOk);
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].size(), 2u + 2 * 2);
}

TEST_F(DeliverySheet, SlotsWithoutRowsStillCountAndFourEmptySlotsGiveFour) {
  ASSERT_EQ(Run(Day(kTwoZones,
                    R"([{"code": 1, "name": "A", "rows": 1}, {"code": 2, "name": "B", "rows": -1}, {"code": 3, "name": "C"},
                       {"code": 4, "name": "D", "rows": 2}])",
                    "[]")),
            kOk);
  EXPECT_EQ(component.result(), Value::I4(4));
  // A: 1 row; B: none; C carries B's count (-1): none; D: 2 rows.
  EXPECT_EQ(Lines().size(), 1u + 1 + 2);
}

TEST_F(DeliverySheet, PlacedInvoicesTheirTextsQuantitiesColoursAndMarks) {
  const std::string invoices = "[" + Invoice(1, "1", "1", true, "[[1, 5]]") + "," +
                               Invoice(2, "1", "1", false, "[[90, 2]]") + "," + Invoice(3, "2", "1", false, "[[12, 5], [90, 2]]") +
                               "," + Invoice(4, "2", "1", false, "[[2, 3]]") + "]";
  ASSERT_EQ(Run(Day(kTwoZones, R"([{"code": 1, "name": "Утро"}])", invoices, "\"2\"",
                    R"(, "marks": {"zones": [2], "invoices": ["N3"]})")),
            kOk);
  ASSERT_EQ(Lines().size(), 3u);
  const auto& posted = Cell(1, 0);
  EXPECT_EQ(Text(posted[1]), "Иванов Садовая, 1");
  EXPECT_EQ(Text(posted[2]), "5");
  for (int a : {1, 2, 3}) EXPECT_EQ(posted[a]->color, delivery::kPostedColour);
  EXPECT_FALSE(posted[1]->hasDetails);  // a posted invoice's "Документ" gets no details
  ASSERT_TRUE(posted[3]->hasDetails);
  EXPECT_EQ(posted[3]->details.size(), 2u);
  EXPECT_EQ(Text(Cell(2, 0)[2]), "0/2");
  EXPECT_EQ(Cell(2, 0)[1]->details[1], Value::Obj(ObjRef(model->invoices[1])));
  EXPECT_EQ(Text(Cell(1, 1)[2]), "5/2");
  EXPECT_EQ(Text(Cell(1, 1)[3]), "V");
  EXPECT_EQ(Text(Cell(2, 1)[2]), "");  // 0 and 0: untouched
  EXPECT_EQ(Text(Cell(2, 1)[3]), "");
  EXPECT_EQ(Text(Cell(0, 1)[1]), "+");
  EXPECT_EQ(LastStatus(), "Выведено 4 из 4");
  EXPECT_EQ(model->connection.statusLines.size(), 4u);
  // The details list ends with what the last area received.
  EXPECT_EQ(model->details.values, (std::vector<Value>{Value::Str(u"Метка"), Value::Obj(ObjRef(model->invoices[3]))}));
  ExpectBalanced();
}

// Three invoices of one slot and zone in a slot of two rows: two are written; the third keeps
// no later invoice of that zone out. An invoice without a time slot blocks nothing either.
TEST_F(DeliverySheet, AnInvoiceThatFindsNoCellBlocksNothing) {
  std::string invoices = "[" + Invoice(1, "1", "", false, "[[1, 1]]");  // no time slot: sorts first
  for (int n = 2; n <= 4; ++n) invoices += "," + Invoice(n, "1", "1", false, "[[1, " + std::to_string(n) + "]]");
  invoices += "," + Invoice(5, "1", "2", false, "[[1, 9]]") + "]";
  ASSERT_EQ(Run(Day(kTwoZones, R"([{"code": 1, "name": "Утро"}, {"code": 2, "name": "День"}])", invoices)), kOk);
  ASSERT_EQ(Lines().size(), 5u);
  EXPECT_EQ(Text(Cell(1, 0)[2]), "2");
  EXPECT_EQ(Text(Cell(2, 0)[2]), "3");
  EXPECT_EQ(Text(Cell(3, 0)[2]), "9");  // the next slot's invoice is shown
  EXPECT_EQ(LastStatus(), "Выведено 3 из 5");
  ExpectBalanced();
}

TEST_F(DeliverySheet, FlaggedCodesMatchWholeCodesOnly) {
  // Item 12 is flagged; items 1 and 2 are not parts of it any more. "Вода" is item 12 here.
  std::string day = Day(kTwoZones, R"([{"code": 1, "name": "Утро"}])",
                        "[" + Invoice(1, "1", "1", false, "[[2, 4], [12, 3]]") + "]");
  day = With(day, "\"Вода\": 1,", "\"Вода\": 12,");
  day = With(day, "{\"code\": 1, \"name\": \"Вода 19\", \"water\": 1}", "{\"code\": 1, \"name\": \"Вода 19\"}");
  ASSERT_EQ(Run(day), kOk);
  EXPECT_EQ(Text(Cell(1, 0)[2]), "3");
}

TEST_F(DeliverySheet, QuotesInCodesDoNotChangeTheQuery) {
  std::string day = Day(kTwoZones, R"([{"code": 1, "name": "Утро"}])",
                        "[" + Invoice(1, "1", "1", false, R"x([["1\")", 2], [90, 1]])x") + "]");
  day = With(day, "{\"code\": 2, \"name\": \"Чай\"}", R"x({"code": "1\")", "name": "Вода с кавычкой", "water": 1})x");
  ASSERT_EQ(Run(day), kOk);
  EXPECT_EQ(Text(Cell(1, 0)[2]), "2/1");
}

TEST_F(DeliverySheet, ConversionFailuresStopWhereTheyHappen) {
  const struct {
    const char* what;
    std::string orderRows, zones;
    bool textDeposit;
    Status status;
    size_t lines, sections;  // output before the failure: lines, sections of the first line
  } cases[] = {
      {"empty order rows", "\"\"", kTwoZones, false, kTypeMismatchStatus, 0, 0},
      {"order rows out of range", "\"40000\"", kTwoZones, false, StatusOfErrorNumber(kOverflow), 0, 0},
      {"deposit code no number", "\"2\"", kTwoZones, true, kTypeMismatchStatus, 1, 2},
      {"zone code no number", "\"2\"", R"([{"code": 1, "name": "Центр"}, {"code": "Ю", "name": "Юг"}])", false,
       kTypeMismatchStatus, 1, 1},
  };
  for (const auto& c : cases) {
    std::string day = Day(c.zones, R"([{"code": 1, "name": "Утро"}])", "[]", c.orderRows);
    if (c.textDeposit) day = With(With(day, "{\"code\": 90", "{\"code\": \"З\""), "\"Залог\": 90", "\"Залог\": \"З\"");
    model.reset();
    EXPECT_EQ(Run(day), c.status) << c.what;
    EXPECT_EQ(Lines().size(), c.lines) << c.what;
    EXPECT_EQ(Lines().empty() ? 0u : Lines()[0].size(), c.sections) << c.what;
    EXPECT_TRUE(component.result().IsNull()) << c.what;
    ExpectBalanced();
  }
}

TEST_F(DeliverySheet, TheInvoiceQueryTextHasAFixedDateAndEscapedLiterals) {
  const addin::Text text = delivery::InvoiceQueryText(46365, u"~1~\"~", u"0");
  EXPECT_NE(text.find(u"Период с '09.12.2026' по '09.12.2026'"), Text::npos);
  EXPECT_NE(text.find(u"Найти(\"~1~\"\"~\",\"~\"+Строка(Товар.Код)+\"~\")<>0"), Text::npos);
  EXPECT_NE(text.find(u"Строка(Товар.Код)=Строка(0)"), Text::npos);
  EXPECT_EQ(text.substr(text.size() - 2), u"; ");
}

}  // namespace
}  // namespace addin
