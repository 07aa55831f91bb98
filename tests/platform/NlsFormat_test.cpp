// The Windows formatting functions: value parsing, rounding, grouping, the currency and
// number patterns, the size protocol and the locale table.
#include <gtest/gtest.h>

#include <string>

#include "platform/nls/Nls.h"

namespace mirel_platform {
namespace {

// Size query, then the call with exactly that size; "<fail>" when either answers 0.
template <class Call, class Format>
std::string Sized(Call format, const char* value, const Format& f, LCID lcid) {
  const int size = format(lcid, 0, value, &f, nullptr, 0);
  if (size == 0) return "<fail>";
  std::string buffer(static_cast<size_t>(size), 'x');
  if (format(lcid, 0, value, &f, buffer.data(), size) != size) return "<fail>";
  EXPECT_EQ(buffer.back(), '\0');
  buffer.pop_back();
  return buffer;
}
std::string Currency(const char* value, CURRENCYFMTA f, LCID lcid = 1033) { return Sized(GetCurrencyFormatA, value, f, lcid); }
std::string Number(const char* value, NUMBERFMTA f, LCID lcid = 1033) { return Sized(GetNumberFormatA, value, f, lcid); }

CURRENCYFMTA Cur(uint32_t digits, uint32_t negative, uint32_t positive = 0, uint32_t grouping = 3,
                 uint32_t leadingZero = 1) {
  return {digits, leadingZero, grouping, ".", ",", negative, positive, "$"};
}

NUMBERFMTA Num(uint32_t digits, uint32_t negative = 1, uint32_t grouping = 3, uint32_t leadingZero = 1) {
  return {digits, leadingZero, grouping, ".", ",", negative};
}

TEST(GetCurrencyFormatA, EveryNegativeOrder) {
  const char* expected[16] = {"($1.1)", "-$1.1", "$-1.1", "$1.1-", "(1.1$)", "-1.1$", "1.1-$", "1.1$-",
                              "-1.1 $", "-$ 1.1", "1.1 $-", "$ 1.1-", "$ -1.1", "1.1- $", "($ 1.1)", "(1.1 $)"};
  for (uint32_t order = 0; order < 16; ++order) {
    EXPECT_EQ(Currency("-1.1", Cur(1, order)), expected[order]) << order;
    EXPECT_EQ(Currency("-1.06", Cur(1, order)), expected[order]) << order;  // rounded to 1.1
    EXPECT_EQ(Currency("1.1", Cur(1, order)), "$1.1") << order;  // positive: the positive order
    std::string zero = expected[order];
    zero.replace(zero.find("1.1"), 3, "0.0");
    EXPECT_EQ(Currency("-0", Cur(1, order)), zero) << order;  // the sign of "-0" stays
    EXPECT_EQ(Currency("0", Cur(1, order)), "$0.0") << order;
  }
  EXPECT_EQ(Currency("-0.001", Cur(2, 1)), "-$0.00");  // the sign stays on a value that rounds to zero
  EXPECT_EQ(Currency("-1", Cur(2, 16)), "<fail>");
}

TEST(GetCurrencyFormatA, PositiveOrdersRoundingAndGrouping) {
  struct Case { const char* value; CURRENCYFMTA format; const char* expected; } cases[] = {
      {"1.1", Cur(1, 0, 0), "$1.1"},          {"1.1", Cur(1, 0, 1), "1.1$"},
      {"1.1", Cur(1, 0, 2), "$ 1.1"},         {"1.1", Cur(1, 0, 3), "1.1 $"},
      {"1234.5", Cur(2, 0, 0), "$1,234.50"},  {"2353.119", Cur(2, 0), "$2,353.12"},
      {"2353.111", Cur(2, 0), "$2,353.11"},   {"0.125", Cur(2, 0), "$0.13"},
      {"1.005", Cur(2, 0), "$1.01"},          {"0.1449", Cur(2, 0), "$0.14"},
      {"9.995", Cur(2, 0), "$10.00"},         {"999.5", Cur(0, 0), "$1,000"},
      {"-2.5", Cur(0, 1), "-$3"},             {"0.5", Cur(0, 0), "$1"},
      {".5", Cur(1, 0, 0, 3, 0), "$.5"},      {"000235", Cur(1, 0), "$235.0"},
      {"1234567890", Cur(0, 0, 0, 0), "$1234567890"},
      {"1234567890", Cur(0, 0, 0, 32), "$1,23,45,67,890"},
      {"100000", Cur(0, 0, 0, 32), "$1,00,000"},
      {"1234567890", Cur(0, 0, 0, 2), "$12,34,56,78,90"},
      {"0", Cur(2, 0), "$0.00"},              {"-0", Cur(2, 0), "($0.00)"},
      {"1", Cur(1, 0, 4), "<fail>"},          {"1", Cur(10, 0), "<fail>"},
      {"123456789", Cur(1, 0, 0, 23), "$1,234,567,89.0"},      {"1", Cur(1, 0, 0, 3, 2), "<fail>"},
      // Vectors validated on Windows (from Wine's test suite), the en-US locale.
      {"2353", Cur(0, 0, 0, 0, 0), "$2353"},                 {"2353", Cur(1, 0, 0, 0, 0), "$2353.0"},
      {"2353", Cur(1, 0, 0, 2, 0), "$23,53.0"},              {"235", Cur(1, 0, 0, 3, 0), "$235.0"},
      {"1234567890", Cur(1, 0, 0, 31, 0), "$1,2,3,4,5,6,7,890.0"}, {"1234567890", Cur(1, 0, 0, 312, 0), "$12,34,56,7,890.0"},
      {"1234567890", Cur(1, 0, 0, 310, 0), "$123456,7,890.0"},     {"-235", Cur(1, 2, 0, 310, 0), "$-235.0"},
      {".5", Cur(1, 2, 0, 310, 1), "$0.5"},  {"0.5", Cur(1, 2, 0, 310, 1), "$0.5"},  {"0.5", Cur(1, 2, 0, 310, 0), "$.5"},
      {"1", Cur(1, 2, 1, 310, 0), "1.0$"},   {"1", Cur(1, 2, 2, 310, 0), "$ 1.0"},   {"1", Cur(1, 2, 3, 310, 0), "1.0 $"},
  };
  for (const auto& c : cases) EXPECT_EQ(Currency(c.value, c.format), c.expected) << c.value;
}

TEST(GetCurrencyFormatA, RefusesValueTextsThatAreNotPlainNumbers) {
  for (const char* bad : {"", "-", ".", "23,53", "--", "0-", "0..", " 0.1", "0.1 ", "+1", "1e3", "1,000", "&H10"})
    EXPECT_EQ(Currency(bad, Cur(2, 0)), "<fail>") << "[" << bad << "]";
  EXPECT_EQ(Currency("1.", Cur(1, 0)), "$1.0");
  CURRENCYFMTA noSymbol = Cur(2, 0);
  noSymbol.lpCurrencySymbol = nullptr;
  EXPECT_EQ(GetCurrencyFormatA(1033, 0, "1", &noSymbol, nullptr, 0), 0);
  EXPECT_EQ(GetCurrencyFormatA(9999, 0, "1", &noSymbol, nullptr, 0), 0);
  EXPECT_EQ(Currency("2353", {0, 0, 0, nullptr, nullptr, 0, 0, nullptr}), "<fail>");
  EXPECT_EQ(Number("2353", {0, 0, 0, nullptr, nullptr, 0}), "<fail>");
}

TEST(GetNumberFormatA, NegativeOrdersAndTheCurrencyOrderFallback) {
  const char* expected[5] = {"(1.0)", "-1.0", "- 1.0", "1.0-", "1.0 -"};
  for (uint32_t order = 0; order < 5; ++order) EXPECT_EQ(Number("-1", Num(1, order)), expected[order]);
  for (uint32_t order = 5; order < 16; ++order) EXPECT_EQ(Number("-1", Num(1, order)), "-1.0") << order;
  EXPECT_EQ(Number("-1", Num(1, 16)), "<fail>");
  struct Case { const char* value; NUMBERFMTA format; const char* expected; } cases[] = {
      {"1234567.891", Num(2), "1,234,567.89"}, {"1234567.891", Num(0, 1, 0), "1234568"},
      {"12345678", Num(0, 1, 32), "1,23,45,678"}, {"0.5", Num(1, 1, 3, 0), ".5"},
      {"0.95", Num(1, 1, 3, 0), "1.0"},          {"-0.4", Num(0, 0), "(0)"},
      {"0", Num(3), "0.000"},                    {"x", Num(2), "<fail>"},
      // Vectors validated on Windows (from Wine's test suite), the en-US locale; the digits
      // are formatted as for currencies (the currency vectors above), these add empty groups.
      {"123456789", Num(1, 0, 230, 0), "1234,567,89.0"},
      {"123456789", Num(1, 0, 203, 0), "1,234,567,,89.0"}, {"123456789", Num(1, 0, 2030, 0), "1234,567,,89.0"},
      {"123456789", Num(1, 0, 2003, 0), "1,234,567,,,89.0"}, {"123456789", Num(1, 0, 1200, 0), "123456,,78,9.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Number(c.value, c.format), c.expected) << c.value;
  NUMBERFMTA german = {2, 1, 3, ",", ".", 8};
  EXPECT_EQ(Number("-1234567.891", german, 1031), "-1.234.567,89");
}

TEST(BufferProtocol, SizeQueryThenExactBuffer) {
  NUMBERFMTA f = Num(2);
  const int size = GetNumberFormatA(1033, 0, "1234", &f, nullptr, 0);
  EXPECT_EQ(size, 9);  // "1,234.00" and the NUL
  std::string small(static_cast<size_t>(size - 1), 'x');
  EXPECT_EQ(GetNumberFormatA(1033, 0, "1234", &f, small.data(), size - 1), 0);
  EXPECT_EQ(GetNumberFormatA(1033, 0, "1234", &f, nullptr, 5), 0);
  EXPECT_EQ(GetNumberFormatA(1033, 1, "1234", &f, nullptr, 0), 0);  // flags must be 0
}

std::string Item(LCID lcid, LCTYPE type) {
  int size = GetLocaleInfoA(lcid, type, nullptr, 0);
  if (size == 0) return "<fail>";
  std::string buffer(static_cast<size_t>(size), 'x');
  EXPECT_EQ(GetLocaleInfoA(lcid, type, buffer.data(), size), size);
  return buffer.substr(0, buffer.find('\0'));
}

TEST(GetLocaleInfoA, LocaleTable) {
  struct Case {
    LCID lcid;
    const char* decimal;
    const char* thousand;
    const char* negative;
    const char* leadingZero;
  } cases[] = {
      {0, ".", ",", "0", "1"},          {1033, ".", ",", "0", "1"},
      {2057, ".", ",", "1", "1"},       {1031, ",", ".", "8", "1"},
      {1036, ",", "\xC2\xA0", "8", "1"}, {1049, ",", "\xC2\xA0", "5", "1"},
      {1040, ",", ".", "9", "1"},       {2055, ".", "'", "2", "1"},
      {2052, ".", ",", "2", "0"},       {1037, ".", ",", "2", "0"},
      {11274, ",", ".", "2", "1"},      {1060, ",", ".", "8", "1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Item(c.lcid, LOCALE_SDECIMAL), c.decimal) << c.lcid;
    EXPECT_EQ(Item(c.lcid, LOCALE_STHOUSAND), c.thousand) << c.lcid;
    EXPECT_EQ(Item(c.lcid, LOCALE_INEGCURR), c.negative) << c.lcid;
    EXPECT_EQ(Item(c.lcid, LOCALE_ILZERO), c.leadingZero) << c.lcid;
    EXPECT_EQ(Item(c.lcid, LOCALE_SGROUPING), "3;0") << c.lcid;
    EXPECT_EQ(Item(c.lcid, LOCALE_IDIGITS), "2") << c.lcid;
  }
  EXPECT_EQ(GetLocaleInfoA(1033, LOCALE_SGROUPING, nullptr, 0), 4);
  char small[3];
  EXPECT_EQ(GetLocaleInfoA(1033, LOCALE_SGROUPING, small, 3), 0);
  EXPECT_EQ(Item(9999, LOCALE_SDECIMAL), "<fail>");
  EXPECT_EQ(Item(1033, 99), "<fail>");
}

}  // namespace
}  // namespace mirel_platform
