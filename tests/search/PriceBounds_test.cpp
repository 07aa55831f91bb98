// Price bounds between the primary currency the ladder shows and the currency prices are
// stored in (the sample stores USD; EUR 1, USD 1.08, GBP 0.86 per euro). The errors are in
// Search_test.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

TEST(PriceBounds, ConvertIntoTheStoredCurrencyAndShowInTheCurrentOnes) {
  struct Case {
    const char* currencies;
    const char* schema;
    const char* amount;  // in the first currency
    const char* stored;
    const char* shown;   // FormatPriceBound(stored)
  } cases[] = {
      {"EUR,USD", "902", "5000", "5400", "\u20ac5,000.00 ($5,400.00)"},
      {"GBP,EUR,USD", "902", "86", "108", "\u00a386.00 (\u20ac100.00, $108.00)"},
      {"USD", "902", "5000.50", "5000.50", "$5,000.50"},  // the stored currency: unchanged
      {"EUR,USD", "135", "150", "150", "150"},           // no price: unchanged
      {"EUR,USD", "x", "1,5", "1,5", "1,5"},             // no item id: unchanged
  };
  for (const auto& c : cases) {
    Search search;
    search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, c.currencies);
    const std::string stored = search.PriceBoundToStored(c.schema, c.amount);
    EXPECT_EQ(stored, c.stored) << c.currencies << " " << c.amount;
    EXPECT_EQ(search.FormatPriceBound(c.schema, stored), c.shown) << c.currencies << " " << c.amount;
  }
}

}  // namespace
}  // namespace mirel_SbF
