#include "host/failure.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace addin {

namespace {

Text Ascii(const char* s) { return Text(s, s + std::char_traits<char>::length(s)); }

Text Number(double x) {
  char buf[32];
  if (x == std::floor(x) && std::fabs(x) < 1e15) std::snprintf(buf, sizeof buf, "%.0f", x);
  else std::snprintf(buf, sizeof buf, "%.15g", x);
  return Ascii(buf);
}

struct Name {
  std::int32_t code;
  const char16_t* words;
};

// The usual names of the run-time errors, as the platform's documentation gives them.
constexpr Name kErrorNames[] = {
    {5, u"недопустимый аргумент"},
    {6, u"переполнение"},
    {9, u"индекс вне диапазона"},
    {11, u"деление на ноль"},
    {13, u"несоответствие типа"},
    {91, u"объектная переменная не задана"},
    {94, u"недопустимое использование Null"},
    {424, u"требуется объект"},
};

// The common failures of a host's dispatch and of COM.
constexpr Name kStatusNames[] = {
    {static_cast<std::int32_t>(0x80020003U), u"член не найден"},
    {static_cast<std::int32_t>(0x80020004U), u"параметр не найден"},
    {static_cast<std::int32_t>(0x80020005U), u"несоответствие типа"},
    {static_cast<std::int32_t>(0x80020006U), u"неизвестное имя"},
    {static_cast<std::int32_t>(0x80020007U), u"именованные аргументы не поддерживаются"},
    {static_cast<std::int32_t>(0x80020008U), u"недопустимый тип значения"},
    {static_cast<std::int32_t>(0x80020009U), u"исключение"},
    {static_cast<std::int32_t>(0x8002000AU), u"переполнение"},
    {static_cast<std::int32_t>(0x8002000BU), u"неверный индекс"},
    {static_cast<std::int32_t>(0x8002000EU), u"неверное число параметров"},
    {static_cast<std::int32_t>(0x8002000FU), u"параметр обязателен"},
    {static_cast<std::int32_t>(0x80004001U), u"не реализовано"},
    {static_cast<std::int32_t>(0x80004003U), u"пустой указатель"},
    {static_cast<std::int32_t>(0x80004005U), u"сбой"},
    {static_cast<std::int32_t>(0x8000FFFFU), u"непредвиденная ошибка"},
    {static_cast<std::int32_t>(0x80070005U), u"отказано в доступе"},
    {static_cast<std::int32_t>(0x8007000EU), u"недостаточно памяти"},
    {static_cast<std::int32_t>(0x80070057U), u"недопустимый аргумент"},
};

template <size_t N>
const char16_t* Find(const Name (&table)[N], std::int32_t code) {
  for (const Name& n : table)
    if (n.code == code) return n.words;
  return nullptr;
}

Text Quoted(TextView t) { return u"\"" + OneLine(t, 100) + u"\""; }

}  // namespace

FailurePlace& Place() noexcept {
  // A failure of this allocation at a thread's first use is a failure to start: terminate.
  thread_local FailurePlace* place = new FailurePlace;
  return *place;
}

void ResetPlace(FailurePlace& place) noexcept { place = FailurePlace{}; }

void NoteHostCall(FailurePlace& p, HostAccess access, TextView member) noexcept {
  p.access = access;
  p.what = member;
}

Text OneLine(TextView text, size_t limit) {
  Text line(text.substr(0, limit));
  for (char16_t& c : line)
    if (c == u'\r' || c == u'\n' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0x2028 || c == 0x2029) c = u' ';
  if (text.size() > limit) line += u"…";
  return line;
}

Text ValueInWords(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Empty: return u"пустое значение";
    case Value::Kind::Null: return u"Null";
    case Value::Kind::Bool: return v.AsBool() ? u"Истина" : u"Ложь";
    case Value::Kind::I2: return Number(v.AsI2());
    case Value::Kind::I4: return Number(v.AsI4());
    case Value::Kind::R8: return Number(v.AsR8());
    case Value::Kind::Cy: return Number(static_cast<double>(v.AsCy().scaled) / 10000);
    case Value::Kind::Date: return u"дата " + Number(v.AsDate());
    case Value::Kind::Text: return Quoted(v.AsText());
    case Value::Kind::Object: return u"объект";
    case Value::Kind::Opaque: return u"значение особого вида";
  }
  return {};
}

Text ErrorInWords(std::int32_t number, std::int32_t status, bool host) {
  if (number == 0 && static_cast<std::uint32_t>(status) >> 16 == 0x800AU) number = status & 0xFFFF;
  if (number != 0) {
    const char16_t* name = Find(kErrorNames, number);
    return Number(number) + (name ? u" (" + Text(name) + u")" : Text());
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(status)));
  const char16_t* name = Find(kStatusNames, status);
  return (host ? u"платформы " : u"") + Ascii(hex) + (name ? u" (" + Text(name) + u")" : Text());
}

Text DescribePlace(TextView check) noexcept {
  try {
    const FailurePlace& p = Place();
    Text words;
    switch (check.empty() ? p.access : HostAccess::Check) {
      case HostAccess::Read: words = u" при чтении " + Quoted(p.what); break;
      case HostAccess::Write: words = u" при записи " + Quoted(p.what); break;
      case HostAccess::Call: words = u" при вызове " + Quoted(p.what); break;
      case HostAccess::Check: words = u": " + Text(check.empty() ? p.what : check); break;
      case HostAccess::None: break;
    }
    if (p.stage) {
      words += u" " + Text(p.stage);
      if (p.name) words += u" " + Text(p.name);
      if (p.index > 0) words += u" " + Number(p.index) + (p.count > 0 ? u" из " + Number(p.count) : Text());
      Text codes;
      for (int i = 0; i < 2; ++i)
        if (p.codes[i] && p.codeNames[i])
          codes += (codes.empty() ? u"" : u", ") + Text(p.codeNames[i]) + u" " + ValueInWords(*p.codes[i]);
      if (!codes.empty()) words += u" (" + codes + u")";
    }
    return words;
  } catch (...) {
    return {};
  }
}

}  // namespace addin
