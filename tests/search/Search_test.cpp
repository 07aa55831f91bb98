// The Search object: defaults, activation, settings, the add operations and their
// messages, the collection face.
#include "mirel_SbF/Search.h"

#include <gtest/gtest.h>

#include <functional>

#include "search/SearchImpl.h"
#include "support/RecordingProvider.h"

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
