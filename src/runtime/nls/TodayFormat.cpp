#include "runtime/nls/TodayFormat.h"

#include <memory>

#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

namespace mirel_platform {
namespace {

struct Closer {
  void operator()(UNumberFormat* f) const { unum_close(f); }
};
using Format = std::unique_ptr<UNumberFormat, Closer>;

std::u16string Utf16(const std::string& text, UErrorCode& status) {
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) status = U_ZERO_ERROR;
  std::u16string out(static_cast<size_t>(length), u'\0');
  u_strFromUTF8(out.data(), length, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
  return out;
}

// The number `value` formatted by `f`: a size query, then the text.
std::string Run(UNumberFormat* f, const std::string& value, UErrorCode& status) {
  const int32_t length = unum_formatDecimal(f, value.data(), static_cast<int32_t>(value.size()), nullptr, 0, nullptr,
                                            &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  status = U_ZERO_ERROR;
  std::u16string text(static_cast<size_t>(length), u'\0');
  unum_formatDecimal(f, value.data(), static_cast<int32_t>(value.size()), text.data(), length, nullptr, &status);
  if (U_FAILURE(status)) return {};
  int32_t size = 0;
  u_strToUTF8(nullptr, 0, &size, text.data(), length, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) status = U_ZERO_ERROR;
  std::string out(static_cast<size_t>(size), '\0');
  u_strToUTF8(out.data(), size, nullptr, text.data(), length, &status);
  return U_FAILURE(status) ? std::string() : out;
}

// An optional minus, digits, at most one point with digits on both sides: the form the
// library hands over, and nothing ICU would read otherwise (no exponent, no "NaN").
bool IsPlainNumber(const std::string& value) {
  size_t i = value.rfind('-', 0) == 0 ? 1 : 0;
  bool digits = false, point = false;
  for (; i < value.size(); ++i) {
    if (value[i] >= '0' && value[i] <= '9') {
      digits = true;
    } else if (value[i] == '.' && digits && !point && i + 1 < value.size()) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

Format Open(UNumberFormatStyle style, LCID lcid, UErrorCode& status) {
  Format f(unum_open(style, nullptr, 0, IcuLocaleOf(lcid).c_str(), nullptr, &status));
  if (U_FAILURE(status)) return nullptr;
  unum_setAttribute(f.get(), UNUM_ROUNDING_MODE, UNUM_ROUND_HALFUP);
  return f;
}

void FixDecimals(UNumberFormat* f, int32_t decimals) {
  if (decimals < 0) return;
  unum_setAttribute(f, UNUM_MIN_FRACTION_DIGITS, decimals);
  unum_setAttribute(f, UNUM_MAX_FRACTION_DIGITS, decimals);
}

}  // namespace

std::string IcuLocaleOf(LCID lcid) {
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = lcid == 0 ? 0 : uloc_getLocaleForLCID(lcid, name, sizeof name, &status);
  if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof name)) return "root";
  return name;
}

std::string FormatCurrencyToday(LCID lcid, const std::string& value, const std::string& isoCode,
                                const std::string& symbol, int32_t decimals) {
  if (!IsPlainNumber(value)) return {};
  UErrorCode status = U_ZERO_ERROR;
  Format f = Open(UNUM_CURRENCY, lcid, status);
  if (!f) return {};
  // The ISO code gives the currency's usual places; the symbol is the currency table's,
  // set after the code so that it is the one shown.
  const std::u16string code = Utf16(isoCode, status);
  if (code.size() == 3 && U_SUCCESS(status)) unum_setTextAttribute(f.get(), UNUM_CURRENCY_CODE, code.data(), 3, &status);
  status = U_ZERO_ERROR;  // a code ICU does not know keeps the language's default currency's places
  const std::u16string shown = Utf16(symbol, status);
  unum_setSymbol(f.get(), UNUM_CURRENCY_SYMBOL, shown.data(), static_cast<int32_t>(shown.size()), &status);
  if (U_FAILURE(status)) return {};
  FixDecimals(f.get(), decimals);
  return Run(f.get(), value, status);
}

std::string FormatNumberToday(LCID lcid, const std::string& value, int32_t decimals) {
  if (!IsPlainNumber(value)) return {};
  UErrorCode status = U_ZERO_ERROR;
  Format f = Open(UNUM_DECIMAL, lcid, status);
  if (!f) return {};
  FixDecimals(f.get(), decimals < 0 ? 0 : decimals);
  return Run(f.get(), value, status);
}

}  // namespace mirel_platform
