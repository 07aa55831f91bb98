// Regional settings of the locales the library's languages map to, as Windows XP/2003
// reported them through GetLocaleInfo: decimal separator, thousands separator, grouping,
// digits, leading zero and negative currency order. The values are those of the
// Windows-era national-language tables (where later Windows versions changed a value,
// the older one is kept, since the formatting must match what the original produced);
// a "space-like" thousands separator is the no-break space U+00A0, written in UTF-8.
#include "runtime/nls/LocaleTable.h"

namespace mirel_platform {
namespace {

#define NBSP "\xC2\xA0"

// lcid, decimal, thousand, grouping, digits, leading zero, negative currency order
constexpr LocaleSettings kLocales[] = {
    {0,     ".", ",",  "3;0", 2, 1, 0},   // system default: English (United States)
    {1027,  ",", ".",  "3;0", 2, 1, 8},   // Catalan
    {1028,  ".", ",",  "3;0", 2, 1, 1},   // Chinese (Taiwan)
    {1029,  ",", NBSP, "3;0", 2, 1, 8},   // Czech
    {1030,  ",", ".",  "3;0", 2, 1, 12},  // Danish
    {1031,  ",", ".",  "3;0", 2, 1, 8},   // German
    {1032,  ",", ".",  "3;0", 2, 1, 8},   // Greek
    {1033,  ".", ",",  "3;0", 2, 1, 0},   // English (United States)
    {1034,  ",", ".",  "3;0", 2, 1, 8},   // Spanish (traditional sort)
    {1035,  ",", NBSP, "3;0", 2, 1, 8},   // Finnish
    {1036,  ",", NBSP, "3;0", 2, 1, 8},   // French
    {1037,  ".", ",",  "3;0", 2, 0, 2},   // Hebrew
    {1038,  ",", NBSP, "3;0", 2, 1, 8},   // Hungarian
    {1040,  ",", ".",  "3;0", 2, 1, 9},   // Italian
    {1041,  ".", ",",  "3;0", 2, 1, 1},   // Japanese
    {1042,  ".", ",",  "3;0", 2, 1, 1},   // Korean
    {1043,  ",", ".",  "3;0", 2, 1, 11},  // Dutch
    {1044,  ",", NBSP, "3;0", 2, 1, 12},  // Norwegian (Bokmål)
    {1045,  ",", NBSP, "3;0", 2, 1, 8},   // Polish
    {1046,  ",", ".",  "3;0", 2, 1, 0},   // Portuguese (Brazil)
    {1049,  ",", NBSP, "3;0", 2, 1, 5},   // Russian
    {1050,  ",", ".",  "3;0", 2, 1, 8},   // Croatian
    {1053,  ",", NBSP, "3;0", 2, 1, 8},   // Swedish
    {1054,  ".", ",",  "3;0", 2, 0, 1},   // Thai
    {1055,  ",", ".",  "3;0", 2, 1, 8},   // Turkish
    {1060,  ",", ".",  "3;0", 2, 1, 8},   // Slovenian
    {2052,  ".", ",",  "3;0", 2, 0, 2},   // Chinese (PRC)
    {2055,  ".", "'",  "3;0", 2, 1, 2},   // German (Switzerland)
    {2057,  ".", ",",  "3;0", 2, 1, 1},   // English (United Kingdom)
    {2058,  ".", ",",  "3;0", 2, 1, 1},   // Spanish (Mexico)
    {2060,  ",", ".",  "3;0", 2, 1, 8},   // French (Belgium)
    {2067,  ",", ".",  "3;0", 2, 1, 8},   // Dutch (Belgium)
    {2070,  ",", ".",  "3;0", 2, 1, 8},   // Portuguese (Portugal)
    {3081,  ".", ",",  "3;0", 2, 1, 1},   // English (Australia)
    {3084,  ",", NBSP, "3;0", 2, 1, 4},   // French (Canada)
    {6153,  ".", ",",  "3;0", 2, 1, 1},   // English (Ireland)
    {11274, ",", ".",  "3;0", 2, 1, 2},   // Spanish (Argentina)
};

#undef NBSP

}  // namespace

const LocaleSettings* FindLocale(LCID lcid) {
  for (const LocaleSettings& locale : kLocales)
    if (locale.lcid == lcid) return &locale;
  return nullptr;
}

}  // namespace mirel_platform
