// The Search object: defaults, activation, settings, the add operations and their
// messages, price bounds between currencies, the collection face.
#include "mirel_SbF/Search.h"

#include <gtest/gtest.h>

#include <functional>

#include "search/SearchImpl.h"
#include "support/Raises.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;
using mirel_test::RecordingProvider;
using Call = std::function<void(Search&)>;

Search& OnSample(Search& search) {
  search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "EUR,USD");
  return search;
}

TEST(Search, MessagesNumbersAndSources) {
  const std::string object = "mirel_SbF";
  struct Case { Call call; int32_t number; std::string source, description; } cases[] = {
      {[](Search& s) { s.SetDatabaseInfo("", "", "", 1, "USD"); }, kErrObject, object + ".SetDatabaseInfo",
       "Missing DB Connection string"},
      {[](Search& s) { s.SetDatabaseInfo("x", "s", "", 1, "USD"); }, kErrObject, object + ".SetDatabaseInfo",
       "Missing Project DB Name"},
      {[](Search& s) { s.SetDatabaseInfo("x", "s", "p", 1, ""); }, kErrObject, object + ".SetDatabaseInfo",
       "No Currencies specified"},
      {[](Search& s) { s.AddMinMax("1", "0", "", "1", ""); }, kErrObject, object, "Missing Maximum Value"},
      {[](Search& s) { s.AddMin("1", "0", "", ""); }, kErrObject, object, "Missing Minumum Value"},
      {[](Search& s) { s.EitherOr("7401", "0 OR 1=1", true); }, kErrObject, object + ".EitherOr",
       "Schema location is not a whole number: \"0 OR 1=1\""},
      {[](Search& s) { s.Item("12"); }, 5, object, "Invalid procedure call or argument"},
      {[](Search& s) { s.Add(std::make_shared<Results>(), "k"), s.Add(std::make_shared<Results>(), "K"); }, 457,
       object, "This key is already associated with an element of this collection"},
      {[](Search&) { Search(false).Count(); }, 91, object, "Object variable or With block variable not set"},
      {[](Search& s) { s.PriceBoundToStored("902", "1"); }, 91, object + ".PriceBoundToStored",
       "Object variable or With block variable not set"},
      // A price bound is a plain decimal text.
      {[](Search& s) { OnSample(s).PriceBoundToStored("902", "5,000"); }, 13, object + ".PriceBoundToStored", "Type mismatch"},
      {[](Search& s) { OnSample(s).FormatPriceBound("902", "5-1"); }, 13, object + ".FormatPriceBound", "Type mismatch"},
  };
  for (const auto& c : cases) {
    Search search;
    EXPECT_TRUE(Raises([&] { c.call(search); }, c.number, c.source, c.description));
  }
}

TEST(Search, RejectedSettingsChangeNothing) {
  RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 0, "USD");
  EXPECT_THROW(search.SetDatabaseInfo("b", "", "", 1, "EUR"), Error);
  EXPECT_EQ(recorder.Queries().size(), 1u) << "a rejected call must not load currencies";
}

// Every text that enters the library is checked where it enters: an ill-formed one is
// refused with the entry's own source and one fixed text, and the refused call changes
// nothing (no selection, filter, setting or query).
TEST(Search, TextsThatAreNotCleanUtf8AreRefusedWhereTheyEnter) {
  const std::string bad[] = {
      "x\xC0\xA7",          // overlong "'"
      std::string("a\0b", 3),
  };
  // Each text argument of each entry in turn, the others harmless.
  using Args = std::vector<std::string>;
  const std::string rec = RecordingProvider::kConnection;
  struct Entry { const char* procedure; Args harmless; std::function<void(Search&, const Args&)> call; } entries[] = {
      {"SetDatabaseInfo", {rec, "specs", "prj", "USD"}, [](Search& s, const Args& a) { s.SetDatabaseInfo(a[0], a[1], a[2], 1, a[3]); }},
      {"OEMInclusionList", {""}, [](Search& s, const Args& a) { s.OEMInclusionList(a[0]); }},
      {"MakeInclusionList", {""}, [](Search& s, const Args& a) { s.MakeInclusionList(a[0]); }},
      {"ModelExclusionList", {""}, [](Search& s, const Args& a) { s.ModelExclusionList(a[0]); }},
      {"AddSelection", {"7401", "0", "", "US"}, [](Search& s, const Args& a) { s.AddSelection(a[0], a[1], a[2], a[3]); }},
      {"AddMinMax", {"135", "0", "", "1", "2"}, [](Search& s, const Args& a) { s.AddMinMax(a[0], a[1], a[2], a[3], a[4]); }},
      {"AddMin", {"135", "0", "", "1"}, [](Search& s, const Args& a) { s.AddMin(a[0], a[1], a[2], a[3]); }},
      {"AddMax", {"135", "0", "", "1"}, [](Search& s, const Args& a) { s.AddMax(a[0], a[1], a[2], a[3]); }},
      {"EitherOr", {"7401", "0"}, [](Search& s, const Args& a) { s.EitherOr(a[0], a[1], true); }},
      {"Add", {"k"}, [](Search& s, const Args& a) { s.Add(std::make_shared<Results>(), a[0]); }},
      {"CurrentState", {""}, [](Search& s, const Args& a) { s.CurrentState("2~7401~0~~" + a[0] + "~"); }},
      {"DoSearch", {""}, [](Search& s, const Args& a) { s.DoSearch(false, a[0]); }},
      {"GetMatchingVehicles", {""}, [](Search& s, const Args& a) { s.GetMatchingVehicles(false, true, a[0]); }},
  };
  for (const Entry& entry : entries) {
    for (size_t argument = 0; argument < entry.harmless.size(); ++argument) {
      for (const std::string& text : bad) {
        SCOPED_TRACE(std::string(entry.procedure) + " argument " + std::to_string(argument + 1) + " " +
                     ::testing::PrintToString(text));
        RecordingProvider recorder;
        Search search;
        search.SetDatabaseInfo(rec, "specs", "prj", 1, "USD");
        search.AddSelection("7401", "0", "", "US");
        search.MakeInclusionList("a");
        const size_t queries = recorder.Queries().size();
        Args args = entry.harmless;
        args[argument] = text;
        EXPECT_TRUE(Raises([&] { entry.call(search, args); }, kErrObject, std::string("mirel_SbF.") + entry.procedure,
                           "Invalid text: not well-formed UTF-8, or holds a NUL character"));
        EXPECT_EQ(recorder.Queries().size(), queries) << "a refused call sent a query";
        EXPECT_EQ(search.CurrentState(), "2~7401~0~~US~");
        EXPECT_EQ(search.MakeInclusionList() + "|" + search.OEMInclusionList(), "a|");
        EXPECT_EQ(search.Count(), 0);
      }
    }
  }
  // Well-formed texts of every script pass as they are.
  Search search;
  search.MakeInclusionList("Citro\xC3\xABn, \xE6\x97\xA5\xE7\x94\xA3, \xF0\x9F\x9A\x97");
  EXPECT_EQ(search.MakeInclusionList(), "Citro\xC3\xABn, \xE6\x97\xA5\xE7\x94\xA3, \xF0\x9F\x9A\x97");
}

// Price bounds between the primary currency the ladder shows and the currency prices are
// stored in (the sample stores USD; EUR 1, USD 1.08, GBP 0.86 per euro).
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

// An amount of any currency in every currency of the list, for the language, as the ladder
// shows prices; an amount that is no plain decimal text is refused before anything else.
TEST(PriceBounds, AnAmountInEveryCurrencyOfTheList) {
  struct Case {
    const char* currencies;
    int32_t language;
    bool today;
    const char* amount;
    const char* currency;
    const char* shown;
  } cases[] = {
      {"GBP,EUR,USD", 3, false, "1234567.891", "GBP", "\u00a31.234.567,89 (\u20ac1.435.544,06, $1.550.387,58)"},
      {"GBP,EUR,USD", 3, true, "1234567.891", "GBP", "1.234.567,89\u00a0\u00a3 (1.435.544,06\u00a0\u20ac, 1.550.387,58\u00a0$)"},
      {"EUR,USD", 1, false, "5400", "USD", "\u20ac5,000.00 ($5,400.00)"},
      {"USD", 1, false, "-12.5", "USD", "-$12.50"},
  };
  for (const auto& c : cases) {
    Search search;
    search.TodaysConventions(c.today);
    search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", c.language, c.currencies);
    EXPECT_EQ(search.FormatAmount(c.amount, c.currency), c.shown) << c.currencies << " " << c.amount;
  }
  Search search;
  OnSample(search);
  for (const char* amount : {"1e3", "", "5,000", " 5", "inf"})
    EXPECT_TRUE(Raises([&] { search.FormatAmount(amount, "USD"); }, 13, "mirel_SbF.FormatAmount", "Type mismatch")) << amount;
}

// Activate restores the defaults over whatever was set; a negative segment means none.
TEST(Search, ActivationRestoresTheDefaults) {
  Search search;
  search.SegmentId(-7);
  EXPECT_EQ(search.SegmentId(), -1);
  search.SegmentId(0);
  search.ExcludeAdvancedVehicles(false);
  search.ExcludeOldVehicles(false);
  search.ExcludeBuiltVehicles(false);
  search.AddSelection("740", "0", "", "D");
  search.Deactivate();
  EXPECT_EQ(search.NewEnum(), nullptr);
  search.Activate();
  EXPECT_TRUE(search.ExcludeAdvancedVehicles() && search.ExcludeOldVehicles() && search.ExcludeBuiltVehicles());
  EXPECT_EQ(search.SegmentId(), -1);
  EXPECT_EQ(search.CurrentState(), "");
  // Writing a state into one never activated creates the selection collection of its own.
  Search never(false);
  EXPECT_THROW(never.AddSelection("740", "0", "", "D"), Error);
  never.CurrentState("2~740~0~~D~");
  EXPECT_EQ(never.CurrentState(), "2~740~0~~D~");
}

}  // namespace
}  // namespace mirel_SbF
