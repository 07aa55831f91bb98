// Either-or criteria in the WHERE clause: one level for all value choices of a marked
// criterion, and the clause without a criterion's own choices for its counts.
#include <gtest/gtest.h>

#include "matching/WhereClause.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

// A value choice, or with `min` a range choice.
void Add(Search::State& state, const std::string& schema, const std::string& value, const char* min = nullptr) {
  state.m_colSelections->Add(CreateSbFUserSelectionObject(min ? 1 : 2, schema, "0", "", min ? min : "!!", "!!", value));
}

TEST(EitherOrClause, ValueChoicesOfAMarkedCriterionMakeOneLevel) {
  Search::State state = mirel_test::NewState("");
  Add(state, "7401", "EU");
  Add(state, "135", "!!", "100");
  Add(state, "7401", "JP");
  Add(state, "7402", "V");
  const std::string narrowing = CreateWhereClause(state, "eq0", false, true);
  state.m_colEitherOr.push_back(Criterion{"7401", "0"});
  struct Case { const Criterion* without; std::string clause; } cases[] = {
      {nullptr,
       "eq0.vehicle_id in ("
       "select distinct vehicle_id from equipment where schema_id = 7402 AND (data_value = N'V')AND Location = 0 AND vehicle_id in ("
       "select distinct vehicle_id from equipment where schema_id = 135 AND Location = 0 AND cast(data_value as float) >= 100 AND vehicle_id in ("
       "select distinct vehicle_id from equipment where schema_id = 7401 AND ((data_value = N'EU') OR (data_value = N'JP'))AND Location = 0 ) ) ) "},
      {&state.m_colEitherOr[0],
       "eq0.vehicle_id in ("
       "select distinct vehicle_id from equipment where schema_id = 7402 AND (data_value = N'V')AND Location = 0 AND vehicle_id in ("
       "select distinct vehicle_id from equipment where schema_id = 135 AND Location = 0 AND cast(data_value as float) >= 100 ) ) "},
  };
  for (const Case& c : cases) EXPECT_EQ(WhereTerms(state, "eq0", false, true, c.without), c.clause);
  // Unmarked, the same choices narrow one by one, as they always did.
  EXPECT_NE(narrowing.find("(data_value = N'EU')AND Location = 0 ) ) ) ) "), std::string::npos) << narrowing;
  // A choice without a value lets every value of the criterion pass.
  Add(state, "7401", "");
  EXPECT_NE(WhereTerms(state, "eq0", false, true, nullptr)
                .find("select distinct vehicle_id from equipment where schema_id = 7401 AND Location = 0 ) ) ) "),
            std::string::npos);
}

}  // namespace
}  // namespace mirel_SbF
