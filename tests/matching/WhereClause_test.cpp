// The composed WHERE clause, character for character (either-or criteria too), and the
// bounds it refuses (the other fields' refusals: the hostile matrix).
#include "matching/WhereClause.h"

#include <gtest/gtest.h>

#include <functional>

#include "sql/TsqlRewrite.h"
#include "support/Raises.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

using mirel_platform::Dialect;
using mirel_platform::RewriteTsql;

// A value choice, or a range choice from `min` to `max` when `value` is "!!".
void Add(Search::State& state, const std::string& schema, const std::string& location, const std::string& value,
         const std::string& min = "!!", const std::string& max = "!!") {
  const int16_t type = value == "!!" ? 1 : 2;
  state.m_colSelections->Add(CreateSbFUserSelectionObject(type, schema, location, "", min, max, value));
}

using S = Search::State&;
// The subquery that finds the vehicles of one condition.
std::string In(const std::string& condition) { return "select distinct vehicle_id from equipment where " + condition; }

TEST(CreateWhereClause, FilterAndSwitchCombinations) {
  struct Case {
    const char* name;
    std::function<void(S)> setUp;
    bool standardOnly;
    std::string expected;
  } cases[] = {
      {"filter, standard switch and selections in that order",
       [](S s) { s.m_bExcludeAdvancedVehicles = true, Add(s, "7401", "0", "S"); }, true,
       "WHERE eq.vehicle_id in (" + In("schema_id = 106 AND (data_value <> N'A')) ") + "AND eq.option_id = 0 AND " +
           "eq.vehicle_id in (" + In("schema_id = 7401 AND (data_value = N'S')AND Location = 0 ) ")},
      {"value selection with no value stands without a value condition",
       [](S s) { Add(s, "7401", "0", "US"), Add(s, "7403", "0", ""); }, false,
       "WHERE eq.vehicle_id in (" + In("schema_id = 7403 AND Location = 0 AND vehicle_id in (") +
           In("schema_id = 7401 AND (data_value = N'US')AND Location = 0 ) ) ")},
      {"several OR-joined entries bind as one condition", [](S s) { s.m_strMakeInclusionList = "3, 5"; }, false,
       "WHERE eq.vehicle_id in (" + In("schema_id = 111 AND ((data_value = N'3') OR (data_value = N'5'))) ")},
      {"quote inside an entry is doubled", [](S s) { s.m_strOEMInclusionList = "O'Brien"; }, false,
       "WHERE eq.vehicle_id in (" + In("schema_id = 117 AND (data_value = N'O''Brien')) ")},
      // StandardChoices: every choice's level tests option_id too, ahead of the level below;
      // an either-or criterion's one level alike.
      {"standard choices, the switch on",
       [](S s) {
         s.m_bStandardChoices = true, s.m_colEitherOr.push_back(Criterion{"7401", "0"});
         Add(s, "7401", "0", "EU"), Add(s, "135", "0", "!!", "100"), Add(s, "7401", "0", "JP");
       },
       true,
       "WHERE eq.option_id = 0 AND eq.vehicle_id in (" +
           In("schema_id = 135 AND Location = 0 AND cast(data_value as float) >= 100 AND option_id = 0 AND vehicle_id in (") +
           In("schema_id = 7401 AND ((data_value = N'EU') OR (data_value = N'JP'))AND Location = 0 AND option_id = 0 ) ) ")},
      {"standard choices, the switch off: as without them",
       [](S s) { s.m_bStandardChoices = true, Add(s, "7401", "0", "S"); }, false,
       "WHERE eq.vehicle_id in (" + In("schema_id = 7401 AND (data_value = N'S')AND Location = 0 ) ")},
  };
  for (const auto& c : cases) {
    Search::State state = mirel_test::NewState("");
    c.setUp(state);
    EXPECT_EQ(CreateWhereClause(state, "eq", c.standardOnly, true), c.expected) << c.name;
  }
}

TEST(BuildRestrictionInnerJoins, AgeAndListFilters) {
  struct Case { const char* name; std::function<void(S)> setUp; std::string expected; } cases[] = {
      {"advanced and old", [](S s) { s.m_bExcludeAdvancedVehicles = s.m_bExcludeOldVehicles = true; },
       In("schema_id = 106 AND (data_value <> N'A') AND vehicle_id in (") +
           In("schema_id = 302 AND (LEFT(data_value, 3) <> N'(O)') ) ")},
      {"oem, make and model nest in that order",
       [](S s) { s.m_strOEMInclusionList = "4", s.m_strMakeInclusionList = "12", s.m_strModelExclusionList = "7"; },
       In("schema_id = 112 AND (data_value <> N'7')AND vehicle_id in (") +
           In("schema_id = 111 AND (data_value = N'12')AND vehicle_id in (") + In("schema_id = 117 AND (data_value = N'4')) ) ")},
  };
  for (const auto& c : cases) {
    Search::State state = mirel_test::NewState("");
    c.setUp(state);
    EXPECT_EQ(BuildRestrictionInnerJoins(state), c.expected) << c.name;
  }
}

// One definition of a number: every bound the library writes is read by the rewrite as a
// number, and the forms the engines read differently are refused by both, the library
// first (so the host meets the library's own error, not the connector's).
TEST(CreateWhereClause, BoundsTheLibraryAcceptsAreTheNumbersTheRewriteReads) {
  struct Case { const char* bound; bool accepted; } cases[] = {
      {"5", true},    {"-5", true},   {"0.75", true}, {"-0.75", true}, {"007", true},
      {"123456789012345678901234567890.5", true},     {"+5", false},   {".5", false},
      {"5.", false},  {"-.5", false}, {"--5", false}, {"1e5", false},  {"0x1F", false},
      {"", false},  // an empty bound (a hand-made state's) never reaches an engine either
  };
  const std::string select = "select distinct eq.vehicle_id from equipment eq ";
  for (const Case& c : cases) {
    Search::State state = mirel_test::NewState("");
    Add(state, "135", "0", "!!", c.bound);
    if (c.accepted) {
      EXPECT_NO_THROW(RewriteTsql(select + CreateWhereClause(state, "eq", false, true), Dialect::PostgreSQL))
          << c.bound;
      continue;
    }
    EXPECT_TRUE(mirel_test::RaisesHolding([&] { CreateWhereClause(state, "eq", false, true); }, kErrObject,
                                          "mirel_SbF.CreateVehicleSql", c.bound));
    if (!std::string(c.bound).empty()) {
      EXPECT_THROW(RewriteTsql(select + "where cast(data_value as float) >= " + c.bound, Dialect::PostgreSQL), Error)
          << c.bound;
    }
  }
}

// Either-or criteria: one level for all value choices of a marked criterion, and the clause
// without a criterion's own choices for its counts.
TEST(WhereTerms, ValueChoicesOfAnEitherOrCriterionMakeOneLevel) {
  Search::State state = mirel_test::NewState("");
  Add(state, "7401", "0", "EU");
  Add(state, "135", "0", "!!", "100");
  Add(state, "7401", "0", "JP");
  Add(state, "7402", "0", "V");
  state.m_colEitherOr.push_back(Criterion{"7401", "0"});
  const std::string outer = "eq0.vehicle_id in (" +
                            In("schema_id = 7402 AND (data_value = N'V')AND Location = 0 AND vehicle_id in (") +
                            In("schema_id = 135 AND Location = 0 AND cast(data_value as float) >= 100 ");
  EXPECT_EQ(WhereTerms(state, "eq0", false, true, nullptr),
            outer + "AND vehicle_id in (" +
                In("schema_id = 7401 AND ((data_value = N'EU') OR (data_value = N'JP'))AND Location = 0 ) ) ) "));
  EXPECT_EQ(WhereTerms(state, "eq0", false, true, &state.m_colEitherOr[0]), outer + ") ) ");
  // A choice without a value lets every value of the criterion pass.
  Add(state, "7401", "0", "");
  EXPECT_NE(WhereTerms(state, "eq0", false, true, nullptr).find(In("schema_id = 7401 AND Location = 0 ) ) ) ")),
            std::string::npos);
}

}  // namespace
}  // namespace mirel_SbF
