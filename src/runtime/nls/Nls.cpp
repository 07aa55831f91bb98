// The Windows national-language functions the price and number formatting calls, for
// platforms that do not have them. They follow the Windows calling pattern (a size query
// with no buffer, then the call with a buffer of that size; the size counts the
// terminating NUL) and Windows' formatting rules for an explicit format record.
#include "runtime/nls/Nls.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "runtime/nls/LocaleTable.h"

namespace mirel_platform {
namespace {

// Currency patterns: '$' the symbol, '-' the negative sign, 'n' the formatted number.
constexpr const char* kPositiveCurrency[] = {"$n", "n$", "$ n", "n $"};
constexpr const char* kNegativeCurrency[] = {
    "($n)",   //  0  ($1.1)
    "-$n",    //  1  -$1.1
    "$-n",    //  2  $-1.1
    "$n-",    //  3  $1.1-
    "(n$)",   //  4  (1.1$)
    "-n$",    //  5  -1.1$
    "n-$",    //  6  1.1-$
    "n$-",    //  7  1.1$-
    "-n $",   //  8  -1.1 $
    "-$ n",   //  9  -$ 1.1
    "n $-",   // 10  1.1 $-
    "$ n-",   // 11  $ 1.1-
    "$ -n",   // 12  $ -1.1
    "n- $",   // 13  1.1- $
    "($ n)",  // 14  ($ 1.1)
    "(n $)",  // 15  (1.1 $)
};
constexpr const char* kNegativeNumber[] = {"(n)", "-n", "- n", "n-", "n -"};

int Deliver(const std::string& text, char* buffer, int cch) {
  const int size = static_cast<int>(text.size()) + 1;
  if (cch < 0) return 0;
  if (cch == 0) return size;
  if (!buffer || cch < size) return 0;
  std::memcpy(buffer, text.c_str(), static_cast<size_t>(size));
  return size;
}

struct Parsed {
  bool negative = false;
  std::string integer;   // without leading zeros
  std::string fraction;
};

// An optional minus, digits, at most one point; nothing else (no blanks, no plus, no
// exponent, no separators). A text without any digit is refused too.
std::optional<Parsed> ParseValue(const char* text) {
  if (!text) return std::nullopt;
  Parsed p;
  const char* c = text;
  if (*c == '-') {
    p.negative = true;
    ++c;
  }
  bool point = false;
  bool digit = false;
  for (; *c; ++c) {
    if (*c >= '0' && *c <= '9') {
      (point ? p.fraction : p.integer) += *c;
      digit = true;
    } else if (*c == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;
  size_t first = p.integer.find_first_not_of('0');
  p.integer = first == std::string::npos ? "" : p.integer.substr(first);
  return p;
}

// The group sizes of a Grouping value, read from its most significant digit: sizes from
// the decimal point leftwards. A last digit other than 0 repeats for the rest of the
// integer part (3 is 3,3,3..., 32 is 3,2,2...); a last digit 0 repeats nothing, the rest
// forming one group (30 is 3 then the rest); a 0 elsewhere is an empty group (two
// separators in a row). 0 alone means no grouping.
std::string Group(const std::string& digits, uint32_t grouping, const std::string& separator) {
  std::vector<size_t> sizes;
  for (char c : std::to_string(grouping)) sizes.push_back(static_cast<size_t>(c - '0'));
  const bool repeat = sizes.back() != 0;
  if (!repeat) sizes.pop_back();
  std::vector<std::string> groups;  // from the right
  std::string remaining = digits;
  for (size_t i = 0; !remaining.empty(); ++i) {
    size_t size = i < sizes.size() ? sizes[i] : repeat ? sizes.back() : remaining.size();
    if (i < sizes.size() && size == 0) {
      groups.emplace_back();
      continue;
    }
    size = std::min(size, remaining.size());
    groups.push_back(remaining.substr(remaining.size() - size));
    remaining.resize(remaining.size() - size);
  }
  std::string out;
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
    if (it != groups.rbegin()) out += separator;
    out += *it;
  }
  return out;
}

// The number without its sign: rounded half away from zero on the decimal digits of the
// text (never through a binary double), padded to `digits` decimals, grouped. A carry
// goes into the digits before grouping, so 999.5 with no decimals is "1,000".
std::string FormatDigits(Parsed p, uint32_t digits, uint32_t leadingZero, uint32_t grouping,
                         const std::string& decimal, const std::string& thousand) {
  std::string kept = p.integer + p.fraction.substr(0, std::min<size_t>(digits, p.fraction.size()));
  const size_t intLength = p.integer.size();
  if (p.fraction.size() > digits && p.fraction[digits] >= '5') {
    size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(kept.begin(), '1');
      p.integer = kept.substr(0, intLength + 1);
      p.fraction = kept.substr(intLength + 1);
    } else {
      ++kept[i - 1];
      p.integer = kept.substr(0, intLength);
      p.fraction = kept.substr(intLength);
    }
  } else {
    p.fraction = kept.substr(intLength);
  }
  p.fraction.resize(digits, '0');
  std::string integer = p.integer.empty() ? (leadingZero ? "0" : "") : Group(p.integer, grouping, thousand);
  return digits > 0 ? integer + decimal + p.fraction : integer;
}

std::string ApplyPattern(const char* pattern, const std::string& number, const std::string& symbol) {
  std::string out;
  for (const char* c = pattern; *c; ++c) {
    switch (*c) {
      case 'n': out += number; break;
      case '$': out += symbol; break;
      case '-': out += '-'; break;  // every supported locale's negative sign
      default: out += *c;
    }
  }
  return out;
}

int GroupingOfLocale(const LocaleSettings& locale) {
  return locale.grouping[0] - '0';  // "3;0": every supported locale groups by three
}

}  // namespace

int GetLocaleInfoA(LCID Locale, LCTYPE LCType, char* lpLCData, int cchData) {
  const LocaleSettings* locale = FindLocale(Locale);
  if (!locale) return 0;
  std::string value;
  switch (LCType) {
    case LOCALE_SDECIMAL: value = locale->decimal; break;
    case LOCALE_STHOUSAND: value = locale->thousand; break;
    case LOCALE_SGROUPING: value = locale->grouping; break;
    case LOCALE_IDIGITS: value = std::to_string(locale->digits); break;
    case LOCALE_ILZERO: value = std::to_string(locale->leadingZero); break;
    case LOCALE_INEGCURR: value = std::to_string(locale->negativeCurrency); break;
    default: return 0;
  }
  return Deliver(value, lpLCData, cchData);
}

int GetCurrencyFormatA(LCID Locale, uint32_t dwFlags, const char* lpValue,
                       const CURRENCYFMTA* lpFormat, char* lpCurrencyStr, int cchCurrency) {
  // Without a record the locale's currency symbol and orders would be needed, which the
  // locale table does not hold: refused, as an unsupported request.
  if (!FindLocale(Locale) || dwFlags != 0 || !lpFormat) return 0;
  const CURRENCYFMTA& f = *lpFormat;
  if (f.NumDigits > 9 || f.LeadingZero > 1 || !f.lpDecimalSep ||
      !f.lpThousandSep || !f.lpCurrencySymbol || f.NegativeOrder > 15 || f.PositiveOrder > 3)
    return 0;
  std::optional<Parsed> value = ParseValue(lpValue);
  if (!value) return 0;
  const std::string number =
      FormatDigits(*value, f.NumDigits, f.LeadingZero, f.Grouping, f.lpDecimalSep, f.lpThousandSep);
  const char* pattern =
      value->negative ? kNegativeCurrency[f.NegativeOrder] : kPositiveCurrency[f.PositiveOrder];
  return Deliver(ApplyPattern(pattern, number, f.lpCurrencySymbol), lpCurrencyStr, cchCurrency);
}

int GetNumberFormatA(LCID Locale, uint32_t dwFlags, const char* lpValue,
                     const NUMBERFMTA* lpFormat, char* lpNumberStr, int cchNumber) {
  const LocaleSettings* locale = FindLocale(Locale);
  if (!locale || dwFlags != 0) return 0;
  NUMBERFMTA f{};
  if (lpFormat) {
    f = *lpFormat;
  } else {
    f = {static_cast<uint32_t>(locale->digits), static_cast<uint32_t>(locale->leadingZero),
         static_cast<uint32_t>(GroupingOfLocale(*locale)), locale->decimal, locale->thousand, 1};
  }
  if (f.NumDigits > 9 || f.LeadingZero > 1 || !f.lpDecimalSep ||
      !f.lpThousandSep || f.NegativeOrder > 15)
    return 0;
  // The library fills this record's negative order from the locale's currency order
  // (0..15). Windows' number formatter knows only orders 0..4; an order from 5 to 15 is
  // formatted as order 1 ("-1.1") rather than failing, or every negative number in such a
  // language (German has 8) would come out empty.
  const uint32_t order = f.NegativeOrder <= 4 ? f.NegativeOrder : 1;
  std::optional<Parsed> value = ParseValue(lpValue);
  if (!value) return 0;
  const std::string number =
      FormatDigits(*value, f.NumDigits, f.LeadingZero, f.Grouping, f.lpDecimalSep, f.lpThousandSep);
  const std::string text = value->negative ? ApplyPattern(kNegativeNumber[order], number, "") : number;
  return Deliver(text, lpNumberStr, cchNumber);
}

}  // namespace mirel_platform
