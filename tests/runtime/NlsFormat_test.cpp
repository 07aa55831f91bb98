// The Windows formatting functions: value parsing, rounding, grouping, the currency and
// number patterns, each called as the pricing calls them (the size first).
#include <gtest/gtest.h>

#include <string>

#include "runtime/nls/Nls.h"

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
    EXPECT_EQ(Currency("-1.06", Cur(1, order)), expected[order]) << order;  // rounded to 1.1
    EXPECT_EQ(Currency("1.1", Cur(1, order)), "$1.1") << order;  // positive: the positive order
  }
  EXPECT_EQ(Currency("-0.001", Cur(2, 1)), "-$0.00");  // the sign stays on a value that rounds to zero
  EXPECT_EQ(Currency("-1", Cur(2, 16)), "<fail>");
}

// Rounding on the decimal text (half away from zero), grouping, the leading zero and the
// positive orders, as the pricing's locales ask for them.
TEST(GetCurrencyFormatA, RoundingGroupingAndPositiveOrders) {
  struct Case { const char* value; CURRENCYFMTA format; const char* expected; } cases[] = {
      {"1.1", Cur(1, 0, 1), "1.1$"},          {"2353.119", Cur(2, 0), "$2,353.12"},
      {"0.125", Cur(2, 0), "$0.13"},          {"1.005", Cur(2, 0), "$1.01"},
      {"9.995", Cur(2, 0), "$10.00"},         {"999.5", Cur(0, 0), "$1,000"},
      {"-2.5", Cur(0, 1), "-$3"},             {".5", Cur(1, 0, 0, 3, 0), "$.5"},
      {"1234567890", Cur(0, 0, 0, 0), "$1234567890"},
      {"-0", Cur(2, 0), "($0.00)"},           {"1", Cur(10, 0), "<fail>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Currency(c.value, c.format), c.expected) << c.value;
}

TEST(GetNumberFormatA, NegativeOrdersAndTheCurrencyOrderFallback) {
  const char* expected[5] = {"(1.0)", "-1.0", "- 1.0", "1.0-", "1.0 -"};
  for (uint32_t order = 0; order < 5; ++order) EXPECT_EQ(Number("-1", Num(1, order)), expected[order]);
  for (uint32_t order = 5; order < 16; ++order) EXPECT_EQ(Number("-1", Num(1, order)), "-1.0") << order;
  EXPECT_EQ(Number("-1", Num(1, 16)), "<fail>");
}

}  // namespace
}  // namespace mirel_platform
