// The Search object: defaults, activation, settings, the add operations and their
// messages, the collection face.
#include "mirel_SbF/Search.h"

#include <gtest/gtest.h>

#include <functional>

#include "search/SearchImpl.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

struct ErrorCase {
  const char* name;
  std::function<void(Search&)> call;
  int32_t number;
  const char* source;
  const char* description;
};

void ExpectErrors(const std::vector<ErrorCase>& cases) {
  for (const auto& c : cases) {
    Search search;
    try {
      c.call(search);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), c.number) << c.name;
      EXPECT_EQ(e.Source(), c.source) << c.name;
      EXPECT_EQ(e.Description(), c.description) << c.name;
    }
  }
}

TEST(Search, MessagesNumbersAndSources) {
  ExpectErrors({
      {"all names empty", [](Search& s) { s.SetDatabaseInfo("", "", "", 1, "USD"); }, kErrObject,
       "mirel_SbF.SetDatabaseInfo", "Missing DB Connection string"},
      {"specs name", [](Search& s) { s.SetDatabaseInfo("x", "", "", 1, "USD"); }, kErrObject,
       "mirel_SbF.SetDatabaseInfo", "Missing Specs DB Name"},
      {"project name", [](Search& s) { s.SetDatabaseInfo("x", "s", "", 1, "USD"); }, kErrObject,
       "mirel_SbF.SetDatabaseInfo", "Missing Project DB Name"},
      {"AddSelection", [](Search& s) { s.AddSelection("", "0", "", "D"); }, kErrObject,
       "mirel_SbF.AddSelection", "Missing Schema ID"},
      {"AddMinMax schema first", [](Search& s) { s.AddMinMax("", "0", "", "", "1"); }, kErrObject,
       "mirel_SbF", "Missing Schema ID"},
      {"AddMinMax min", [](Search& s) { s.AddMinMax("1", "0", "", "", ""); }, kErrObject,
       "mirel_SbF", "Missing Minumum Value"},
      {"AddMinMax max", [](Search& s) { s.AddMinMax("1", "0", "", "1", ""); }, kErrObject,
       "mirel_SbF", "Missing Maximum Value"},
      {"AddMin", [](Search& s) { s.AddMin("1", "0", "", ""); }, kErrObject, "mirel_SbF",
       "Missing Minumum Value"},
      {"AddMax", [](Search& s) { s.AddMax("", "0", "", ""); }, kErrObject, "mirel_SbF",
       "Missing Schema ID"},
      {"Item without index", [](Search& s) { s.Item(); }, kErrObject, "mirel_SbF",
       "Missing Item Index"},
      {"Item position out of range", [](Search& s) { s.Item(1); }, 9, "mirel_SbF",
       "Subscript out of range"},
      {"Item unknown key", [](Search& s) { s.Item("12"); }, 5, "mirel_SbF",
       "Invalid procedure call or argument"},
      {"duplicate key",
       [](Search& s) {
         s.Add(std::make_shared<Results>(), "k");
         s.Add(std::make_shared<Results>(), "K");
       },
       457, "mirel_SbF", "This key is already associated with an element of this collection"},
      {"not activated", [](Search&) { Search(false).Count(); }, 91, "mirel_SbF",
       "Object variable or With block variable not set"},
      {"price bound without rates", [](Search& s) { s.PriceBoundToStored("902", "1"); }, 91,
       "mirel_SbF.PriceBoundToStored", "Object variable or With block variable not set"},
  });
  // A price bound is a plain decimal text.
  auto withRates = [](std::function<void(Search&)> call) {
    return [call](Search& s) {
      s.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "EUR,USD");
      call(s);
    };
  };
  ExpectErrors({
      {"grouped digits", withRates([](Search& s) { s.PriceBoundToStored("902", "5,000"); }), 13,
       "mirel_SbF.PriceBoundToStored", "Type mismatch"},
      {"two points", withRates([](Search& s) { s.PriceBoundToStored("902", "1.2.3"); }), 13,
       "mirel_SbF.PriceBoundToStored", "Type mismatch"},
      {"exponent", withRates([](Search& s) { s.PriceBoundToStored("902", "1e5"); }), 13,
       "mirel_SbF.PriceBoundToStored", "Type mismatch"},
      {"empty", withRates([](Search& s) { s.FormatPriceBound("902", ""); }), 13, "mirel_SbF.FormatPriceBound",
       "Type mismatch"},
      {"a sign inside", withRates([](Search& s) { s.FormatPriceBound("902", "5-1"); }), 13,
       "mirel_SbF.FormatPriceBound", "Type mismatch"},
  });
}

TEST(Search, RejectedSettingsChangeNothing) {
  mirel_test::RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(mirel_test::RecordingProvider::kConnection, "specs", "prj", 0, "USD");
  EXPECT_THROW(search.SetDatabaseInfo("b", "", "", 1, "EUR"), Error);
  EXPECT_EQ(recorder.Queries().size(), 1u) << "a rejected call must not load currencies";
  // Blanks are not empty: accepted, and the currencies load from the database named " ".
  EXPECT_NO_THROW(search.SetDatabaseInfo(mirel_test::RecordingProvider::kConnection, " ", " ", 1, "EUR"));
  ASSERT_EQ(recorder.Queries().size(), 2u);
  EXPECT_EQ(recorder.Queries()[1].dbName, " ");
}

// Every text that enters the library is checked where it enters: an ill-formed one is
// refused with the entry's own source and one fixed text, and the refused call changes
// nothing (no selection, filter, setting or query).
TEST(Search, TextsThatAreNotCleanUtf8AreRefusedWhereTheyEnter) {
  const std::string bad[] = {
      "x\xC0\xA7",         // overlong "'"
      "\xE0\x80\xA7",      // overlong "'" in three bytes
      "x\xED\xA0\x80",     // an encoded surrogate
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "\xFF",
      "\xC3",              // cut short
      std::string("a\0b", 3),
  };
  struct Entry {
    const char* procedure;
    std::function<void(Search&, const std::string&)> call;
  };
  const Entry entries[] = {
      {"SetDatabaseInfo", [](Search& s, const std::string& t) { s.SetDatabaseInfo(t, "specs", "prj", 1, "USD"); }},
      {"SetDatabaseInfo", [](Search& s, const std::string& t) { s.SetDatabaseInfo("Provider=Recording", t, "prj", 1, "USD"); }},
      {"SetDatabaseInfo", [](Search& s, const std::string& t) { s.SetDatabaseInfo("Provider=Recording", "specs", t, 1, "USD"); }},
      {"SetDatabaseInfo", [](Search& s, const std::string& t) { s.SetDatabaseInfo("Provider=Recording", "specs", "prj", 1, t); }},
      {"OEMInclusionList", [](Search& s, const std::string& t) { s.OEMInclusionList(t); }},
      {"MakeInclusionList", [](Search& s, const std::string& t) { s.MakeInclusionList(t); }},
      {"ModelExclusionList", [](Search& s, const std::string& t) { s.ModelExclusionList(t); }},
      {"AddSelection", [](Search& s, const std::string& t) { s.AddSelection(t, "0", "", "US"); }},
      {"AddSelection", [](Search& s, const std::string& t) { s.AddSelection("7401", t, "", "US"); }},
      {"AddSelection", [](Search& s, const std::string& t) { s.AddSelection("7401", "0", t, "US"); }},
      {"AddSelection", [](Search& s, const std::string& t) { s.AddSelection("7401", "0", "", t); }},
      {"AddMinMax", [](Search& s, const std::string& t) { s.AddMinMax(t, "0", "", "1", "2"); }},
      {"AddMinMax", [](Search& s, const std::string& t) { s.AddMinMax("135", t, "", "1", "2"); }},
      {"AddMinMax", [](Search& s, const std::string& t) { s.AddMinMax("135", "0", t, "1", "2"); }},
      {"AddMinMax", [](Search& s, const std::string& t) { s.AddMinMax("135", "0", "", t, "2"); }},
      {"AddMinMax", [](Search& s, const std::string& t) { s.AddMinMax("135", "0", "", "1", t); }},
      {"AddMin", [](Search& s, const std::string& t) { s.AddMin(t, "0", "", "1"); }},
      {"AddMin", [](Search& s, const std::string& t) { s.AddMin("135", t, "", "1"); }},
      {"AddMin", [](Search& s, const std::string& t) { s.AddMin("135", "0", t, "1"); }},
      {"AddMin", [](Search& s, const std::string& t) { s.AddMin("135", "0", "", t); }},
      {"AddMax", [](Search& s, const std::string& t) { s.AddMax(t, "0", "", "1"); }},
      {"AddMax", [](Search& s, const std::string& t) { s.AddMax("135", t, "", "1"); }},
      {"AddMax", [](Search& s, const std::string& t) { s.AddMax("135", "0", t, "1"); }},
      {"AddMax", [](Search& s, const std::string& t) { s.AddMax("135", "0", "", t); }},
      {"Add", [](Search& s, const std::string& t) { s.Add(std::make_shared<Results>(), t); }},
      {"CurrentState", [](Search& s, const std::string& t) { s.CurrentState("2~7401~0~~" + t + "~"); }},
      {"DoSearch", [](Search& s, const std::string& t) { s.DoSearch(false, t); }},
      {"GetMatchingVehicles", [](Search& s, const std::string& t) { s.GetMatchingVehicles(false, true, t); }},
  };
  for (const Entry& entry : entries) {
    for (const std::string& text : bad) {
      mirel_test::RecordingProvider recorder;
      Search search;
      search.SetDatabaseInfo(mirel_test::RecordingProvider::kConnection, "specs", "prj", 1, "USD");
      search.AddSelection("7401", "0", "", "US");
      search.MakeInclusionList("a");
      const size_t queries = recorder.Queries().size();
      try {
        entry.call(search, text);
        ADD_FAILURE() << entry.procedure << " accepted " << ::testing::PrintToString(text);
      } catch (const Error& e) {
        EXPECT_EQ(e.Number(), kErrObject) << entry.procedure;
        EXPECT_EQ(e.Source(), std::string("mirel_SbF.") + entry.procedure);
        EXPECT_EQ(e.Description(), "Invalid text: not well-formed UTF-8, or holds a NUL character");
      }
      EXPECT_EQ(recorder.Queries().size(), queries) << entry.procedure << ": a refused call sent a query";
      EXPECT_EQ(search.CurrentState(), "2~7401~0~~US~") << entry.procedure;
      EXPECT_EQ(search.MakeInclusionList(), "a") << entry.procedure;
      EXPECT_EQ(search.OEMInclusionList(), "") << entry.procedure;
      EXPECT_EQ(search.Count(), 0) << entry.procedure;
    }
  }
  // Well-formed texts of every script pass as they are.
  Search search;
  search.MakeInclusionList("Citro\xC3\xABn, \xE6\x97\xA5\xE7\x94\xA3, \xF0\x9F\x9A\x97");
  EXPECT_EQ(search.MakeInclusionList(), "Citro\xC3\xABn, \xE6\x97\xA5\xE7\x94\xA3, \xF0\x9F\x9A\x97");
}

TEST(Search, DefaultsActivationAndFilters) {
  Search search;
  EXPECT_TRUE(search.ExcludeAdvancedVehicles());
  EXPECT_TRUE(search.ExcludeOldVehicles());
  EXPECT_TRUE(search.ExcludeBuiltVehicles());
  EXPECT_EQ(search.SegmentId(), -1);
  EXPECT_EQ(search.Count(), 0);
  EXPECT_EQ(search.OEMInclusionList(), "");

  search.SegmentId(-7);
  EXPECT_EQ(search.SegmentId(), -1);
  search.SegmentId(0);
  EXPECT_EQ(search.SegmentId(), 0);

  search.ExcludeAdvancedVehicles(false);
  search.ExcludeOldVehicles(false);
  search.OEMInclusionList(" 1, 2 ");  // stored as given
  search.AddSelection("740", "0", "", "D");
  search.Deactivate();
  EXPECT_EQ(search.NewEnum(), nullptr);
  EXPECT_TRUE(search.CanBePooled());
  search.Activate();
  EXPECT_TRUE(search.ExcludeAdvancedVehicles());
  EXPECT_TRUE(search.ExcludeOldVehicles());
  EXPECT_EQ(search.OEMInclusionList(), " 1, 2 ");
  EXPECT_EQ(search.SegmentId(), 0 - 1);
  EXPECT_EQ(search.CurrentState(), "");
}

TEST(Search, NeverActivatedObject) {
  Search search(false);
  EXPECT_EQ(search.NewEnum(), nullptr);
  EXPECT_THROW(search.AddSelection("740", "0", "", "D"), Error);
  EXPECT_THROW(search.CurrentState(), Error);
  // Writing a state creates the selection collection of its own.
  search.CurrentState("2~740~0~~D~");
  EXPECT_EQ(search.CurrentState(), "2~740~0~~D~");
}

TEST(Search, CollectionFaceKeepsOrderAndKeys) {
  Search search;
  auto a = std::make_shared<Results>();
  auto b = std::make_shared<Results>();
  a->RowId(10);
  b->RowId(20);
  search.Add(a, "a");
  search.Add(b, "b");
  EXPECT_EQ(search.Count(), 2);
  EXPECT_EQ(search.Item(2), b);
  EXPECT_EQ(search.Item("A"), a);
  std::vector<int32_t> rows;
  for (const auto& row : search) rows.push_back(row->RowId());
  EXPECT_EQ(rows, (std::vector<int32_t>{10, 20}));
  auto walker = search.NewEnum();
  std::shared_ptr<Results> row;
  ASSERT_TRUE(walker->Next(row));
  EXPECT_EQ(row, a);
  // A failed Add leaves the collection as it was.
  EXPECT_THROW(search.Add(std::make_shared<Results>(), "B"), Error);
  EXPECT_EQ(search.Count(), 2);
}

TEST(Search, AddOperationsFillSelectionsAsStated) {
  Search search;
  search.AddMin("740", "0", "", "100");
  search.AddSelection("740", "0", "", "");
  search.AddSelection("740", "0", "", "");
  EXPECT_EQ(search.CurrentState(), "1~740~0~~100~!!~2~740~0~~~~2~740~0~~~");
}

TEST(CreateSbFUserSelectionObject, BuildsAValueSelectionFromTypeZero) {
  auto s = CreateSbFUserSelectionObject(0, "740", "0", "", "!!", "!!", "D");
  EXPECT_EQ(s->ControlType(), 2);
  EXPECT_EQ(s->SchemaId(), "740");
  EXPECT_EQ(s->SchemaLocation(), "0");
  EXPECT_EQ(s->SchemaValue(), "");
  EXPECT_EQ(s->MinValue(), "!!");
  EXPECT_EQ(s->MaxValue(), "!!");
  EXPECT_EQ(s->ValueSelected(), "D");
}

}  // namespace
}  // namespace mirel_SbF
