// The three Windows national-language functions the price and number formatting uses,
// with their Windows names, records and calling pattern: a call with cch 0 answers the
// size the text needs in bytes including the terminating NUL; a call with a buffer of
// that size writes the text and the NUL and answers the same size. 0 means failure: an
// unknown locale or item, a value text that is not a plain number, a record value out of
// range, flags other than 0, or a buffer too small. Texts are UTF-8.
#pragma once
#include <cstdint>
namespace mirel_platform {
using LCID = uint32_t;
using LCTYPE = uint32_t;
inline constexpr LCTYPE LOCALE_SDECIMAL = 14, LOCALE_STHOUSAND = 15, LOCALE_SGROUPING = 16,
                        LOCALE_IDIGITS = 17, LOCALE_ILZERO = 18, LOCALE_INEGCURR = 28;
struct NUMBERFMTA {
  uint32_t NumDigits; uint32_t LeadingZero; uint32_t Grouping;
  const char* lpDecimalSep; const char* lpThousandSep; uint32_t NegativeOrder;
};
struct CURRENCYFMTA {
  uint32_t NumDigits; uint32_t LeadingZero; uint32_t Grouping;
  const char* lpDecimalSep; const char* lpThousandSep; uint32_t NegativeOrder;
  uint32_t PositiveOrder; const char* lpCurrencySymbol;
};
int GetLocaleInfoA(LCID Locale, LCTYPE LCType, char* lpLCData, int cchData);
int GetCurrencyFormatA(LCID Locale, uint32_t dwFlags, const char* lpValue,
                       const CURRENCYFMTA* lpFormat, char* lpCurrencyStr, int cchCurrency);
int GetNumberFormatA(LCID Locale, uint32_t dwFlags, const char* lpValue,
                     const NUMBERFMTA* lpFormat, char* lpNumberStr, int cchNumber);
}
