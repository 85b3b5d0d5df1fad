// The delivery sheet's host member names and texts, gathered where a reader sees them all.
#pragma once

#include "host/value.h"

namespace addin::delivery {

// Colours of the body cells (0x00BBGGRR): posted invoices light green, the rest white.
inline constexpr std::int32_t kPostedColour = 14745568;  // E0FFE0
inline constexpr std::int32_t kOpenColour = 16777215;    // FFFFFF

inline constexpr const char16_t* kHeaderSection = u"Шапка|Столбец";
inline constexpr const char16_t* kCellSection = u"Строка|Столбец";

// The flagged items query: the items not marked for deletion whose attribute "Вода" is 1.
inline constexpr const char16_t* kFlaggedItemsQuery =
    u"Обрабатывать НеПомеченныеНаУдаление; Номенклатура = Справочник.Номенклатура.ТекущийЭлемент; "
    u"Вода1 = Справочник.Номенклатура.Вода; Группировка Номенклатура без групп; Условие(Вода1=1);";

// The invoice query of the working date, without its four data parts (dates, flagged code
// list, deposit code): see InvoiceQueryText.
Text InvoiceQueryText(double workingDate, TextView flaggedList, TextView depositCode);

// A text as a literal of the host's query language: in double quotes, each quote doubled.
Text QueryLiteral(TextView text);

}  // namespace addin::delivery
