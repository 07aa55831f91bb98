// Today's conventions for prices and numbers, as ICU formats them from CLDR's data for a
// Windows locale id: the language's own placement of the currency symbol and the spacing
// around it, its separators and grouping. The Windows functions of Nls.h reproduce the
// texts of Windows XP instead; this is the opt-in alternative (Search::TodaysConventions).
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/nls/Nls.h"

namespace mirel_platform {

// The ICU locale of a Windows locale id ("de_DE" for 1031); "root" for 0 and unknown ids.
std::string IcuLocaleOf(LCID lcid);

// `value` (an optional minus, digits, a point before any decimals) as an amount of the
// currency `isoCode` shown with `symbol`, rounded half away from zero to `decimals`
// places (-1: the currency's usual number of places). Empty when `value` is no number.
std::string FormatCurrencyToday(LCID lcid, const std::string& value, const std::string& isoCode,
                                const std::string& symbol, int32_t decimals);

// `value` as a number of the language with `decimals` places (rounded half away from zero).
// Empty when `value` is no number.
std::string FormatNumberToday(LCID lcid, const std::string& value, int32_t decimals);

}  // namespace mirel_platform
