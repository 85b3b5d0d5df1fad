#include "delivery/delivery.h"
#include "host/calendar.h"

namespace addin::delivery {

Text QueryLiteral(TextView text) {
  Text literal = u"\"";
  for (char16_t c : text) {
    literal.push_back(c);
    if (c == u'"') literal.push_back(u'"');
  }
  return literal + u"\"";
}

// The flagged list arrives closed with its separator ("~1~7~12~"): an item counts as flagged
// only when "~code~" occurs in it, so code 1 does not match inside 12. The working date is
// written DD.MM.YYYY whatever the locale.
Text InvoiceQueryText(double workingDate, TextView flaggedList, TextView depositCode) {
  const Text day = DayText(workingDate);
  return u"Период с '" + day + u"' по '" + day +
         u"'; Докум=Документ.РасходнаяНакладная.ТекущийДокумент; Товар=Документ.РасходнаяНакладная.Товар; "
         u"Количество=Документ.РасходнаяНакладная.Количество; Часы=Документ.РасходнаяНакладная.Часы; "
         u"Зона=Документ.РасходнаяНакладная.Зона; Группировка Докум; ОбрабатыватьДокументы Все; "
         u"Обрабатывать НеПомеченныеНаУдаление; Функция КолВоды=Сумма(Количество) Когда (Найти(" +
         QueryLiteral(flaggedList) + u",\"~\"+Строка(Товар.Код)+\"~\")<>0); Функция КолБут=Сумма(Количество) Когда "
         u"(Строка(Товар.Код)=Строка(" + Text(depositCode) + u")); Функция КолДоп = Сумма(Количество); ";
}

}  // namespace addin::delivery
