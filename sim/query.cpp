#include "sim/query.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <functional>
#include <memory>
#include <optional>

#include "host/calendar.h"
#include "host/rules.h"

namespace addin::sim {

namespace {

RuntimeError QueryError(size_t position, const Text& what) {
  Text where = u"query text, character " + ToText(Value::I4(static_cast<std::int32_t>(position + 1)));
  return RuntimeError::FromHost(Object::kInjectedFailure, where + u": " + what);
}

bool Same(TextView a, TextView b) { return !CaseFoldLess{}(a, b) && !CaseFoldLess{}(b, a); }

bool IsLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= 0x0400 && c <= 0x04FF) || c == u'_';
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// --- Tokens ----------------------------------------------------------------------------------

struct Token {
  enum Kind { Name, Number, String, Date, Punct, End } kind;
  Text text;
  size_t position;
};

std::vector<Token> Tokenize(TextView s) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < s.size()) {
    char16_t c = s[i];
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      ++i;
      continue;
    }
    const size_t start = i;
    if (IsLetter(c)) {
      while (i < s.size() && (IsLetter(s[i]) || IsDigit(s[i]))) ++i;
      tokens.push_back({Token::Name, Text(s.substr(start, i - start)), start});
    } else if (IsDigit(c)) {
      while (i < s.size() && (IsDigit(s[i]) || s[i] == u'.')) ++i;
      tokens.push_back({Token::Number, Text(s.substr(start, i - start)), start});
    } else if (c == u'"') {
      Text value;
      for (++i;; ++i) {
        if (i >= s.size()) throw QueryError(start, u"the string is not closed");
        if (s[i] == u'"') {
          if (i + 1 < s.size() && s[i + 1] == u'"') {
            value.push_back(u'"');
            ++i;
            continue;
          }
          break;
        }
        value.push_back(s[i]);
      }
      ++i;
      tokens.push_back({Token::String, value, start});
    } else if (c == u'\'') {
      size_t close = s.find(u'\'', i + 1);
      if (close == TextView::npos) throw QueryError(start, u"the date is not closed");
      tokens.push_back({Token::Date, Text(s.substr(i + 1, close - i - 1)), start});
      i = close + 1;
    } else {
      Text p(1, c);
      if (i + 1 < s.size() && ((c == u'<' && (s[i + 1] == u'>' || s[i + 1] == u'=')) || (c == u'>' && s[i + 1] == u'=')))
        p.push_back(s[++i]);
      if (Text(u";=(),.+<>-").find(c) == Text::npos) throw QueryError(start, u"unexpected character \"" + p + u"\"");
      ++i;
      tokens.push_back({Token::Punct, p, start});
    }
  }
  tokens.push_back({Token::End, {}, s.size()});
  return tokens;
}

// --- Expressions -----------------------------------------------------------------------------

struct Expr {
  enum Kind { Literal, Variable, Member, Call, Binary } kind;
  Value value;           // Literal
  Text name;             // Variable, Member (the member), Call (the function), Binary (the operator)
  std::vector<std::unique_ptr<Expr>> operands;
  size_t position = 0;
};
using ExprPtr = std::unique_ptr<Expr>;

// --- The parsed query ------------------------------------------------------------------------

struct Binding {
  Text variable, source, kind, attribute;  // Variable = Source.Kind.Attribute
};
struct Function {
  Text name, variable;
  ExprPtr when;  // none: every record counts
};
struct Plan {
  std::optional<std::pair<double, double>> period;
  std::vector<Binding> bindings;
  Text grouping;
  bool allDocuments = false, notDeleted = false;
  std::vector<ExprPtr> conditions;
  std::vector<Function> functions;
};

class Parser {
 public:
  explicit Parser(TextView text) : tokens_(Tokenize(text)) {}

  Plan Parse() {
    Plan plan;
    while (Peek().kind != Token::End) {
      if (IsPunct(u";")) {
        Next();
        continue;
      }
      Statement(plan);
      if (Peek().kind != Token::End) Expect(u";");
    }
    if (plan.grouping.empty()) throw QueryError(Peek().position, u"the query has no \"Группировка\"");
    return plan;
  }

 private:
  const Token& Peek(size_t ahead = 0) const { return tokens_[std::min(i_ + ahead, tokens_.size() - 1)]; }
  const Token& Next() { return tokens_[std::min(i_++, tokens_.size() - 1)]; }
  bool IsPunct(const char16_t* p) const { return Peek().kind == Token::Punct && Peek().text == p; }
  bool IsWord(const char16_t* w) const { return Peek().kind == Token::Name && Same(Peek().text, w); }
  void Expect(const char16_t* p) {
    if (!IsPunct(p)) throw QueryError(Peek().position, u"expected \"" + Text(p) + u"\"");
    Next();
  }
  void ExpectWord(const char16_t* w) {
    if (!IsWord(w)) throw QueryError(Peek().position, u"expected \"" + Text(w) + u"\"");
    Next();
  }
  Text Name() {
    if (Peek().kind != Token::Name) throw QueryError(Peek().position, u"expected a name");
    return Next().text;
  }
  double DateOf(const Token& t) {
    if (t.kind != Token::Date) throw QueryError(t.position, u"expected a date in single quotes");
    auto d = ParseDayText(t.text);
    if (!d) throw QueryError(t.position, u"\"" + t.text + u"\" is not a date");
    return *d;
  }

  void Statement(Plan& plan) {
    const Token& first = Peek();
    if (IsWord(u"Период")) {
      Next();
      ExpectWord(u"с");
      double from = DateOf(Next());
      ExpectWord(u"по");
      double to = DateOf(Next());
      plan.period = {from, to};
    } else if (IsWord(u"Группировка")) {
      Next();
      plan.grouping = Name();
      if (IsWord(u"без")) {
        Next();
        ExpectWord(u"групп");
      }
    } else if (IsWord(u"ОбрабатыватьДокументы")) {
      Next();
      if (IsWord(u"Все")) plan.allDocuments = true;
      else if (!IsWord(u"Проведенные")) throw QueryError(Peek().position, u"expected \"Все\" or \"Проведенные\"");
      Next();
    } else if (IsWord(u"Обрабатывать")) {
      Next();
      if (IsWord(u"НеПомеченныеНаУдаление")) plan.notDeleted = true;
      else if (!IsWord(u"Все")) throw QueryError(Peek().position, u"expected \"НеПомеченныеНаУдаление\" or \"Все\"");
      Next();
    } else if (IsWord(u"Условие")) {
      Next();
      Expect(u"(");
      plan.conditions.push_back(Expression());
      Expect(u")");
    } else if (IsWord(u"Функция")) {
      Next();
      Function f;
      f.name = Name();
      Expect(u"=");
      if (!IsWord(u"Сумма")) throw QueryError(Peek().position, u"only \"Сумма\" is supported");
      Next();
      Expect(u"(");
      f.variable = Name();
      Expect(u")");
      if (IsWord(u"Когда")) {
        Next();
        Expect(u"(");
        f.when = Expression();
        Expect(u")");
      }
      plan.functions.push_back(std::move(f));
    } else if (first.kind == Token::Name && Peek(1).kind == Token::Punct && Peek(1).text == u"=") {
      Binding b;
      b.variable = Name();
      Expect(u"=");
      b.source = Name();
      if (!Same(b.source, u"Справочник") && !Same(b.source, u"Документ"))
        throw QueryError(first.position, u"a variable is bound to \"Справочник\" or \"Документ\"");
      Expect(u".");
      b.kind = Name();
      Expect(u".");
      b.attribute = Name();
      plan.bindings.push_back(std::move(b));
    } else {
      throw QueryError(first.position, u"unknown statement \"" + first.text + u"\"");
    }
  }

  ExprPtr Make(Expr::Kind kind, size_t position) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->position = position;
    return e;
  }

  ExprPtr Expression() {
    ExprPtr left = Sum();
    for (const char16_t* op : {u"=", u"<>", u"<", u">", u"<=", u">="}) {
      if (IsPunct(op)) {
        auto e = Make(Expr::Binary, Peek().position);
        e->name = Next().text;
        e->operands.push_back(std::move(left));
        e->operands.push_back(Sum());
        return e;
      }
    }
    return left;
  }

  ExprPtr Sum() {
    ExprPtr left = Primary();
    while (IsPunct(u"+")) {
      auto e = Make(Expr::Binary, Next().position);
      e->name = u"+";
      e->operands.push_back(std::move(left));
      e->operands.push_back(Primary());
      left = std::move(e);
    }
    return left;
  }

  ExprPtr Primary() {
    const Token& t = Peek();
    ExprPtr e;
    if (t.kind == Token::Number) {
      e = Make(Expr::Literal, t.position);
      // Digits with at most one decimal point, whatever the locale.
      const Text digits = Next().text;
      if (std::count(digits.begin(), digits.end(), u'.') > 1 || digits.back() == u'.')
        throw QueryError(t.position, u"\"" + digits + u"\" is not a number");
      e->value = Value::R8(std::strtod(std::string(digits.begin(), digits.end()).c_str(), nullptr));
    } else if (t.kind == Token::String) {
      e = Make(Expr::Literal, t.position);
      e->value = Value::Str(Next().text);
    } else if (IsPunct(u"-")) {
      Next();
      e = Make(Expr::Binary, t.position);
      e->name = u"-";
      auto zero = Make(Expr::Literal, t.position);
      zero->value = Value::I4(0);
      e->operands.push_back(std::move(zero));
      e->operands.push_back(Primary());
    } else if (IsPunct(u"(")) {
      Next();
      e = Expression();
      Expect(u")");
    } else if (t.kind == Token::Name) {
      Text name = Next().text;
      if (IsPunct(u"(")) {
        if (!Same(name, u"Найти") && !Same(name, u"Строка"))
          throw QueryError(t.position, u"unknown function \"" + name + u"\"");
        e = Make(Expr::Call, t.position);
        e->name = name;
        Next();
        if (!IsPunct(u")")) {
          e->operands.push_back(Expression());
          while (IsPunct(u",")) {
            Next();
            e->operands.push_back(Expression());
          }
        }
        Expect(u")");
        const size_t wanted = Same(name, u"Найти") ? 2 : 1;
        if (e->operands.size() != wanted) throw QueryError(t.position, name + u" takes " + ToText(Value::I4(wanted)) + u" argument(s)");
      } else {
        e = Make(Expr::Variable, t.position);
        e->name = name;
      }
    } else {
      throw QueryError(t.position, t.kind == Token::End ? Text(u"the text ends inside an expression")
                                                        : u"unexpected \"" + t.text + u"\"");
    }
    while (IsPunct(u".")) {
      auto m = Make(Expr::Member, Next().position);
      m->name = Name();
      m->operands.push_back(std::move(e));
      e = std::move(m);
    }
    return e;
  }

  std::vector<Token> tokens_;
  size_t i_ = 0;
};

// --- Evaluation ------------------------------------------------------------------------------

using Detail = Query::Record;  // one catalogue element, or one line of one document

Value Evaluate(const Expr& e, const Detail& d) {
  switch (e.kind) {
    case Expr::Literal: return e.value;
    case Expr::Variable: {
      auto it = d.find(e.name);
      if (it == d.end()) throw QueryError(e.position, u"unknown variable \"" + e.name + u"\"");
      return it->second;
    }
    case Expr::Member: {
      Value of = Evaluate(*e.operands[0], d);
      if (!of.IsObject()) throw QueryError(e.position, u"\"" + e.name + u"\" of a value that is no reference");
      return of.AsObject()->Get(e.name);
    }
    case Expr::Call: {
      if (Same(e.name, u"Строка")) return Value::Str(ToText(Evaluate(*e.operands[0], d)));
      const Text s = ToText(Evaluate(*e.operands[0], d)), sub = ToText(Evaluate(*e.operands[1], d));
      const size_t at = s.find(sub);
      return Value::I4(at == Text::npos ? 0 : static_cast<std::int32_t>(at + 1));
    }
    case Expr::Binary: {
      const Value a = Evaluate(*e.operands[0], d), b = Evaluate(*e.operands[1], d);
      const Text& op = e.name;
      if (op == u"+") {
        if (a.IsText() || b.IsText()) return Value::Str(ToText(a) + ToText(b));
        return Value::R8(ToNumber(a) + ToNumber(b));
      }
      if (op == u"-") return Value::R8(ToNumber(a) - ToNumber(b));
      int order;
      if (IsNumber(a) || IsNumber(b)) order = ToNumber(a) < ToNumber(b) ? -1 : (ToNumber(a) > ToNumber(b) ? 1 : 0);
      else if (a.IsText() && b.IsText()) order = a.AsText() < b.AsText() ? -1 : (a.AsText() > b.AsText() ? 1 : 0);
      else order = a == b ? 0 : 2;  // references: equal or not
      bool r = op == u"=" ? order == 0 : op == u"<>" ? order != 0 : op == u"<" ? order == -1
             : op == u">" ? order == 1 : op == u"<=" ? (order == -1 || order == 0) : (order == 1 || order == 0);
      return Value::I4(r ? 1 : 0);
    }
  }
  return Value();
}

bool Holds(const Expr& e, const Detail& d) {
  Value v = Evaluate(e, d);
  return !v.IsNull() && !v.IsEmpty() && ToNumber(v) != 0;
}

}  // namespace

Query::Query(World& model) : model_(model) {
  methods[u"Выполнить"] = [this](std::span<Value> args) {
    if (args.empty()) throw RuntimeError::FromHost(kInjectedFailure, u"Выполнить: the query text is missing");
    Run(ToText(args[0]));
    return Value::I4(1);
  };
  // Группировка(1): the next record of the first (only) grouping; 1 while there is one.
  methods[u"Группировка"] = [this](std::span<Value> args) {
    if (args.empty() || !Equals(args[0], 1))
      throw RuntimeError::FromHost(kInjectedFailure, u"Группировка: only the first grouping is supported");
    if (position_ + 1 >= static_cast<long>(records_.size())) {
      position_ = static_cast<long>(records_.size());
      return Value::I4(0);
    }
    ++position_;
    return Value::I4(1);
  };
}

Value Query::DoGet(TextView member) {
  if (position_ >= 0 && position_ < static_cast<long>(records_.size())) {
    auto it = records_[position_].find(member);
    if (it != records_[position_].end()) return it->second;
  }
  return Object::DoGet(member);
}

void Query::Run(TextView text) {
  Plan plan = Parser(text).Parse();
  records_.clear();
  position_ = -1;

  // Every variable comes from one source: a catalogue, or the sales invoices with their lines.
  const Binding* grouped = nullptr;
  for (const Binding& b : plan.bindings) {
    if (!Same(b.source, plan.bindings[0].source) || !Same(b.kind, plan.bindings[0].kind))
      throw QueryError(0, u"variables from more than one source are not supported");
    if (Same(b.variable, plan.grouping)) grouped = &b;
  }
  if (!grouped) throw QueryError(0, u"the grouping \"" + plan.grouping + u"\" is not a variable of the query");
  for (const Function& f : plan.functions)
    if (std::none_of(plan.bindings.begin(), plan.bindings.end(), [&](const Binding& b) { return Same(b.variable, f.variable); }))
      throw QueryError(0, u"the function \"" + f.name + u"\" sums \"" + f.variable + u"\", which is not a variable");

  std::vector<Detail> details;
  auto bindAll = [&](Detail& d, const std::function<Value(const Binding&)>& value) {
    for (const Binding& b : plan.bindings) d[b.variable] = value(b);
  };
  if (Same(grouped->source, u"Справочник")) {
    Catalogue* catalogue = model_.CatalogueNamed(grouped->kind);
    if (!catalogue) throw QueryError(0, u"no catalogue \"" + grouped->kind + u"\"");
    for (Element* e : catalogue->elements) {
      if (plan.notDeleted && Equals(e->members[u"ПометкаУдаления"], 1)) continue;
      Detail d;
      bindAll(d, [&](const Binding& b) {
        return Same(b.attribute, u"ТекущийЭлемент") ? Value::Obj(ObjRef(e)) : e->members[b.attribute];
      });
      details.push_back(std::move(d));
    }
  } else {
    if (!Same(grouped->kind, u"РасходнаяНакладная")) throw QueryError(0, u"no document \"" + grouped->kind + u"\"");
    for (Document* doc : model_.Invoices()) {
      if (plan.period && (std::floor(doc->date) < plan.period->first || std::floor(doc->date) > plan.period->second))
        continue;
      if ((!plan.allDocuments && !doc->posted) || (plan.notDeleted && doc->deleted)) continue;
      for (const Document::Line& line : doc->lines) {
        Detail d;
        bindAll(d, [&](const Binding& b) {
          if (Same(b.attribute, u"ТекущийДокумент")) return Value::Obj(ObjRef(doc));
          if (Same(b.attribute, u"Товар")) return Value::Obj(ObjRef(line.item));
          if (Same(b.attribute, u"Количество")) return Value::R8(line.quantity);
          auto it = doc->members.find(b.attribute);
          return it != doc->members.end() ? it->second : Value::Obj(ObjRef(&model_.EmptyRef()));
        });
        details.push_back(std::move(d));
      }
    }
  }
  details.erase(std::remove_if(details.begin(), details.end(),
                               [&](const Detail& d) {
                                 for (const ExprPtr& c : plan.conditions)
                                   if (!Holds(*c, d)) return true;
                                 return false;
                               }),
                details.end());

  // One record per value of the grouping variable, in the order of those values.
  std::stable_sort(details.begin(), details.end(), [&](const Detail& a, const Detail& b) {
    return CompareForSort(a.at(plan.grouping), b.at(plan.grouping)) < 0;
  });
  for (const Detail& d : details) {
    if (records_.empty() || !(records_.back().at(plan.grouping) == d.at(plan.grouping))) {
      records_.push_back(d);
      for (const Function& f : plan.functions) records_.back()[f.name] = Value::R8(0);
    }
    for (const Function& f : plan.functions) {
      if (f.when && !Holds(*f.when, d)) continue;
      Value& sum = records_.back()[f.name];
      sum = Value::R8(sum.AsR8() + ToNumber(d.at(f.variable)));
    }
  }
}

}  // namespace addin::sim
