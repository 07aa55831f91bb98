// The locale data behind GetLocaleInfoA.
#pragma once

#include "runtime/nls/Nls.h"

namespace mirel_platform {

struct LocaleSettings {
  LCID lcid;
  const char* decimal;     // LOCALE_SDECIMAL (UTF-8)
  const char* thousand;    // LOCALE_STHOUSAND (UTF-8)
  const char* grouping;    // LOCALE_SGROUPING, e.g. "3;0"
  int digits;              // LOCALE_IDIGITS
  int leadingZero;         // LOCALE_ILZERO
  int negativeCurrency;    // LOCALE_INEGCURR
};

// The settings of `lcid`, or null for a locale this platform does not know.
const LocaleSettings* FindLocale(LCID lcid);

}  // namespace mirel_platform
