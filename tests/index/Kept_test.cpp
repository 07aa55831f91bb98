// What the engine keeps: the compact table behind the sorted copy of `version` gives back every
// cell as it was added, whichever layout each column takes; the budget admits by worth, so a
// working set larger than the budget keeps a stable part, and a costly entry is not pushed out
// by cheap ones.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "index/Answers.h"
#include "index/EngineCache.h"
#include "index/Evaluator.h"

namespace {

using mirel_platform::EngineCache;
using mirel_platform::Kept;
using mirel_platform::facets::CompactTable;
using mirel_platform::facets::SchemaIds;
using mirel_SbF::Variant;

// Columns of every layout: ids that all differ (whole numbers, plain), names that repeat
// (kept once each), fractional prices that all differ, a column of mixed types and NULLs that
// turns plain part way (more than 4,096 distinct values while rows are added).
TEST(CompactTable, GivesBackEveryCellInEveryLayout) {
  for (const size_t rows : {size_t{0}, size_t{1}, size_t{7}, size_t{10000}}) {
    CompactTable table({"vehicle_id", "name", "price", "mixed"});
    std::vector<std::vector<Variant>> added;
    for (size_t r = 0; r < rows; ++r) {
      const int32_t n = static_cast<int32_t>(r);
      Variant mixed = r % 5 == 0   ? Variant::Null()
                      : r % 5 == 1 ? Variant("text " + std::to_string(r))
                      : r % 5 == 2 ? Variant(n)
                                   : Variant(r * 0.25);
      added.push_back({Variant(n * 3), Variant("Model " + std::to_string(r % 37)), Variant(1000.5 + r), mixed});
      table.AddRow(added.back());
    }
    table.Shrink();
    ASSERT_EQ(table.Rows(), rows);
    for (size_t r = 0; r < rows; ++r)
      for (size_t c = 0; c < 4; ++c) {
        const Variant cell = table.Cell(r, c);
        ASSERT_EQ(cell.Type(), added[r][c].Type()) << r << "," << c;
        ASSERT_TRUE(cell.IsNull() || cell == added[r][c]) << r << "," << c;
      }
    // Repeated names cost four bytes a row, numbers eight, not a value of sixteen each.
    if (rows == 10000) {
      EXPECT_LT(table.Bytes(), rows * (8 + 4 + 8 + 16) + 200000);
    }
  }
}

// Asks for `key` as a reader does: a hit, or a miss and the value stored with `cost`.
bool Ask(EngineCache& cache, const std::string& key, size_t bytes, uint64_t cost) {
  if (cache.Get<Kept::ItemKinds>("v1", key)) return true;
  cache.Put<Kept::ItemKinds>("v1", key, std::make_shared<const SchemaIds>(), bytes, cost);
  return false;
}

TEST(EngineCache, KeepsAStablePartOfWhatDoesNotFitAndCostlyEntriesFirst) {
  // 40 items of 100 kB read in turn, with room for about 20: least recently used order alone
  // would miss every time; admission keeps about half of them.
  EngineCache cache(2'000'000);
  int hits = 0;
  for (int round = 0; round < 10; ++round)
    for (int item = 0; item < 40; ++item) hits += Ask(cache, "item " + std::to_string(item), 100'000, 1000) && round > 0;
  EXPECT_GE(hits, 9 * 15);
  EXPECT_LE(cache.GetCounts().bytes, 2'000'000u);

  // A costly entry asked for once per round stays although cheap ones are asked for more.
  EngineCache second(2'000'000);
  int costlyHits = 0;
  for (int round = 0; round < 10; ++round) {
    costlyHits += Ask(second, "sorted copy", 1'000'000, 1'000'000) && round > 0;
    for (int item = 0; item < 40; ++item) Ask(second, "item " + std::to_string(item), 100'000, 1000);
  }
  EXPECT_EQ(costlyHits, 9);
  // Nothing larger than the whole budget is kept.
  second.Put<Kept::ItemKinds>("v1", "huge", std::make_shared<const SchemaIds>(), 3'000'000, 1'000'000'000);
  EXPECT_EQ(second.Get<Kept::ItemKinds>("v1", "huge"), nullptr);
}

}  // namespace
