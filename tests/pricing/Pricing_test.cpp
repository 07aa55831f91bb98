// Pricing: the currency load, conversion through the euro, and the formatted texts.
#include "pricing/Pricing.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/modMisc.h"
#include "mirel_SbF/mirel_SbF.h"
#include "support/Raises.h"
#include "support/RecordingProvider.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;
using mirel_test::RecordingProvider;

Pricing Loaded(const std::string& list) {
  Pricing pricing;
  pricing.InitPricing(list, RecordingProvider::kConnection, "prj");
  return pricing;
}

TEST(Pricing, QueryTextAndTable) {
  RecordingProvider recorder;
  Pricing pricing = Loaded("GBP , USD");  // blanks around a comma are no part of a code
  const std::string query = "Select Code,Symbol,symbolafter,decimals,conversion from currency_symbol where (code IN (";
  ASSERT_EQ(recorder.Queries().size(), 1u);
  EXPECT_EQ(recorder.Queries()[0].sql, query + "N'GBP',N'USD',N'EUR'));");
  EXPECT_EQ(recorder.Queries()[0].dbName, "prj");
  EXPECT_EQ(pricing.GetPrimaryCurrencyCode(), "GBP");
}

TEST(Pricing, ConvertsThroughTheEuro) {
  RecordingProvider recorder;
  Pricing pricing = Loaded("GBP,USD");
  EXPECT_NEAR(pricing.ConvertPrice(100, "GBP", "USD"), 100 / 0.7 * 1.1, 1e-9);
  EXPECT_DOUBLE_EQ(pricing.ConvertPrice(77, "USD", "EUR"), 70);
  for (int32_t id : {902, 909, 100902, 100909}) EXPECT_TRUE(pricing.IsPricingField(id)) << id;
  for (int32_t id : {901, 910, 100901, 100910}) EXPECT_FALSE(pricing.IsPricingField(id)) << id;
}

TEST(Pricing, ErrorsNumbersAndSources) {
  RecordingProvider recorder;
  struct Case { std::function<void()> call; int32_t number; const char *source, *description; } cases[] = {
      {[] { Loaded(""); }, kErrObject, "mirel_SbF", "No Currencies specified"},
      {[] { Loaded("GBP").ConvertPrice(1, "JPY", "GBP"); }, kErrPricing, "mirel_SbF",
       "'From Currency Code' requested was not specified"},
      {[] { Loaded("GBP").ConvertPrice(1, "GBP", "JPY"); }, kErrPricing, "mirel_SbF",
       "'To Currency Code' requested was not specified"},
      {[] { Loaded("GBP").ConvertPrice(1, "BP", "GBP"); }, kErrPricing, "mirel_SbF", "Unable to find currency code!"},
      {[] { Loaded("GBP").FormatPrice(1, "SEK", 1); }, kErrObject, "mirel_SbF.FormatCurrencyToLocale",
       "Unable to locate currency requested"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Raises(c.call, c.number, c.source, c.description));
}

// An empty currency table stops the load.
TEST(Pricing, AnEmptyTableStopsTheLoad) {
  RecordingProvider recorder;
  recorder.AnswerCurrencies(false);
  recorder.Queue(std::make_shared<MemoryRecordset>(
      std::vector<std::string>{"code", "symbol", "symbolafter", "decimals", "conversion"},
      std::vector<std::vector<Variant>>{}));
  EXPECT_TRUE(Raises([] { Loaded("USD"); }, kErrPricing, "mirel_SbF.GetCurrencyInfo", "No records found!"));
}

TEST(Pricing, FormattedPrices) {
  RecordingProvider recorder;
  Pricing pricing = Loaded("GBP,EUR,CHF");
  struct Case { std::function<std::string()> call; const char* expected; } cases[] = {
      {[&] { return pricing.FormatPrice(1234.5, "GBP", 1); }, "\u00a31,234.50"},
      {[&] { return pricing.FormatPrice(1234.5, "CHF", 1); }, "1,234.50CHF"},
      {[&] { return pricing.FormatPrice(1234.5, "GBP", 22); }, "\u00a31,234.50"},  // locale 0
      {[&] { return pricing.FormatAllPrices(70, "GBP", 1); }, "\u00a370.00 (\u20ac100.00, 96.00CHF)"},
      {[&] { return Loaded("USD").FormatAllPrices(11, "USD", 1); }, "$11.00"},
      {[&] { return pricing.ConvertAndFormatPrice(100, "EUR", "GBP", 1); }, "\u00a370.00"},
      {[&] { return pricing.FormatNumber("not a number", -1, 3); }, "not a number"},
      {[&] { return pricing.FormatNumber("x", 2, 1); }, ""},
  };
  int index = 0;
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << "case " << index++;
}

// 1234567.891 and its negative for languages of every separator style and several negative
// orders (the pound, symbol before positive amounts: symbolafter 0).
TEST(Pricing, RealAmountsPerLanguage) {
  RecordingProvider recorder;
  Pricing pricing = Loaded("GBP");
  const std::string nbsp = "\u00a0";
  struct Case {
    int32_t language;
    std::string number;    // 1234567.891 with two decimals
    std::string negative;  // -1234567.891 in GBP, the pound written as L
  } cases[] = {
      {1, "1,234,567.89", "-L1,234,567.89"},                          // en-GB, order 1
      {3, "1.234.567,89", "-1.234.567,89 L"},                         // de-DE, order 8
      {7, "1,234,567.89", "(L1,234,567.89)"},                         // en-US, order 0
      {26, "1" + nbsp + "234" + nbsp + "567,89", "(1" + nbsp + "234" + nbsp + "567,89L)"},  // fr-CA, 4
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pricing.FormatPrice(1234567.891, "GBP", c.language), "\u00a3" + c.number) << c.language;
    std::string negative = c.negative;
    negative.replace(negative.find('L'), 1, "\u00a3");
    EXPECT_EQ(pricing.FormatPrice(-1234567.891, "GBP", c.language), negative) << c.language;
    EXPECT_EQ(pricing.FormatNumber("1234567.891", 2, c.language), c.number) << c.language;
  }
}

// Today's conventions (opt-in): ICU's placement and spacing for the language, the table's
// symbol and decimals; the Windows texts of the same calls beside them.
TEST(Pricing, TodaysConventionsPerLanguage) {
  RecordingProvider recorder;
  Pricing pricing = Loaded("GBP,EUR,CHF,JPY,HUF");
  const std::string nbsp = "\u00a0", narrow = "\u202f";
  struct Case {
    std::function<std::string()> call;
    std::string windows, today;
  } cases[] = {
      {[&] { return pricing.FormatPrice(790000, "JPY", 1); }, "\u00a5790,000.00", "\u00a5790,000"},  // 0 decimals
      {[&] { return pricing.FormatPrice(4800, "CHF", 3); }, "4.800,00CHF", "4.800,00" + nbsp + "CHF"},
      // The table's decimals, where ICU's for the currency differ (two for the forint).
      {[&] { return pricing.FormatPrice(395000.4, "HUF", 3); }, "395.000,40Ft", "395.000" + nbsp + "Ft"},
      {[&] { return pricing.FormatPrice(5000, "EUR", 3); }, "\u20ac5.000,00", "5.000,00" + nbsp + "\u20ac"},
      {[&] { return pricing.FormatPrice(5000, "EUR", 5); }, "\u20ac5" + nbsp + "000,00", "5" + narrow + "000,00" + nbsp + "\u20ac"},
      {[&] { return pricing.FormatPrice(4800, "CHF", 1); }, "4,800.00CHF", "CHF" + nbsp + "4,800.00"},
      {[&] { return pricing.FormatPrice(-1234.565, "GBP", 1); }, "-\u00a31,234.57", "-\u00a31,234.57"},
      {[&] { return pricing.FormatAllPrices(70, "GBP", 3); },
       "\u00a370,00 (\u20ac100,00, 96,00CHF, \u00a515.800,00, 39.500,00Ft)",
       "70,00" + nbsp + "\u00a3 (100,00" + nbsp + "\u20ac, 96,00" + nbsp + "CHF, 15.800" + nbsp + "\u00a5, 39.500" + nbsp + "Ft)"},
      {[&] { return pricing.FormatNumber("1234567.891", 1, 3); }, "1.234.567,9", "1.234.567,9"},
      {[&] { return pricing.FormatNumber("1234567.891", 1, 5); }, "1" + nbsp + "234" + nbsp + "567,9",
       "1" + narrow + "234" + narrow + "567,9"},
      {[&] { return pricing.FormatNumber("1976", -1, 3); }, "1976", "1976"},  // unformatted stays as it is
  };
  int index = 0;
  for (const auto& c : cases) {
    pricing.TodaysConventions(false);
    EXPECT_EQ(c.call(), c.windows) << "case " << index;
    pricing.TodaysConventions(true);
    EXPECT_EQ(c.call(), c.today) << "case " << index++;
  }
  EXPECT_TRUE(Raises([&] { pricing.FormatNumber("x", 2, 1); }, 13, "mirel_SbF.FormatNumber", "Type mismatch"));
}

}  // namespace
}  // namespace mirel_SbF
