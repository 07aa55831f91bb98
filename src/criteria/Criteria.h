// The pieces the criteria lists are built from: the row titles of a category (loaded
// once, then looked up forward only) and the factories of rows and values.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "matching/WhereClause.h"
#include "pricing/Pricing.h"
#include "search/SearchImpl.h"

namespace mirel_SbF {

// ---- pieces shared by the criteria queries and builders ----

// " and (sbf.category = N'<name>') " for a section (quotes doubled), "" for all.
std::string SectionCondition(const std::string& strSectionName);
// The join that keeps the criteria rows of the chosen segment, "" when none is chosen.
std::string SegmentJoin(const Search::State& state);
// The decimals of a criterion_format value: the value when 0 or more, else (negative
// or Null) -1.
int32_t DecimalsOf(const Variant& format);
// The search's Pricing object (set up by SetDatabaseInfo).
const Pricing& PricingOf(const Search::State& state);

// Loads the titles of every criterion row of `strSectionName` (all sections when empty)
// in the user's language into m_rsTitleText, ascending by row id.
void InitSbFTitleText(Search::State& state, const std::string& strSectionName);

// The title of `lRowId`, capitalised for the language. Look-ups move forward only, so
// row ids must come in ascending order after each load; a row id not found raises
// "Unable to locate matching row_id".
std::string GetTitleText(Search::State& state, int32_t lRowId);

// A row from the current record of a criteria query; the record set is not moved.
std::shared_ptr<Results> CreateResultsObject(Search::State& state, const Recordset& rs,
                                             bool bMinMax);
std::shared_ptr<Info> CreateInfoObject(const std::string& strDataValue,
                                       const std::string& strFullText, bool bIsSelected);
// Whether one of the user's selections picks `value` of `row`.
bool IsInfoObjectSelected(const Search::State& state, const Results& row, const Info& value);

// ---- counts per value, kept values, either-or criteria (opt-in) ----

// The counts of one DoSearch call, kept in the search's m_oFacets while it builds rows.
struct FacetCounts {
  // Matching vehicles per (schema id, location, data value) of coded rows and per
  // (schema id, location, number) of numeric-list rows.
  struct Table {
    std::map<std::tuple<std::string, std::string, std::string>, int32_t> coded;
    std::map<std::tuple<std::string, std::string, double>, int32_t> numeric;
  };
  Table all;                                     // under every choice
  std::vector<std::pair<Criterion, Table>> own;  // either-or criteria, without their own choices
  std::string section;
  bool standardOnly = false;
  bool reduce = true;
  bool shown = false;  // counts go to the values (else they only decide which are listed)
  bool keep = false;   // values counted 0 stay listed

  // The counts of an either-or criterion with choices, without them; null for any other.
  const Table* Own(const Results& row) const;
  const Table& For(const Results& row) const;
  // The count of a value of `row`: a coded row's data value as stored, a numeric one's number.
  int32_t Coded(const Results& row, const std::string& strDataValue) const;
  int32_t Numeric(const Results& row, double dblValue) const;
};

// Whether DoSearch counts: asked for, or needed by an either-or criterion with choices.
bool FacetsWanted(const Search::State& state, bool bReduceLists);
// Runs the counting queries of a DoSearch call.
std::shared_ptr<const FacetCounts> CountValues(const Search::State& state, const std::string& strSectionName,
                                               bool bUseStandardEquipOnly, bool bReduceLists);
// Adds `info` to `row` under the key `counter` (then counted up) unless it is counted 0 and
// values are not kept; says whether it was added.
bool PlaceCountedValue(const Search::State& state, Results& row, std::shared_ptr<Info> info, int32_t count,
                       int16_t& counter);
// Appends a finished list row. When counting, only a row that has values, after adding the
// picked values it lacks when values are kept.
void AppendListRow(Search::State& state, std::shared_ptr<Results> row, int16_t& counter);
// Counts the matching vehicles per step of a range row's ladder; `bounds` are its values in
// the currency the data are stored in.
void CountSteps(const Search::State& state, Results& row, const std::string& strCriterionValue,
                const std::vector<double>& bounds);

}  // namespace mirel_SbF

namespace mirel_SbF {

// ---- range rows: the smallest and largest value per range criterion, laid out as a
// ladder of rounded values ----

std::shared_ptr<Recordset> GetSbFMinMaxInfo(const Search::State& state,
                                            const std::string& strSectionName,
                                            bool bUseStandardEquipOnly, bool bReduceLists);
// Builds one range row from the current record, appends it and moves to the next record.
void AddSbFMinMaxInfo(Search::State& state, Recordset& rs);
// The first step: the increment times a power of ten, then a multiple of that, so that
// it is at least 5 % of the minimum. A step that is not positive is refused.
double AdjustMinMaxStep(double dblStep, double dblMinimum);
// The step after `dblValue`: it grows as the values grow (doubling at 30 steps, etc.).
double ComputeStepValue(double dblValue, double dblStep);
// The text shown for a value: all requested currencies for a price, else the number with
// `lDecimals` decimals (-1: as it is) for the user's language.
std::string FormatSbFValue(const Search::State& state, double dblValue, bool bIsPricing,
                           const std::string& strCurrencyCode, int32_t lDecimals);
// The currency the specifications database holds a price item in.
std::string DetermineFromCurrencyType(const Search::State& state, int32_t lSchemaId);

}  // namespace mirel_SbF

namespace mirel_SbF {

// ---- coded-value rows: every value the matching vehicles carry, named in the language ----

std::shared_ptr<Recordset> GetSbFCodedValueInfo(const Search::State& state,
                                                const std::string& strSectionName,
                                                bool bUseStandardEquipOnly, bool bReduceLists);
// Consumes every record of the current row id: one row per order id, appended in order.
void AddSbFCodedValueInfo(Search::State& state, Recordset& rs);

}  // namespace mirel_SbF

namespace mirel_SbF {

// ---- numeric-list rows: the distinct numbers the matching vehicles hold ----

std::shared_ptr<Recordset> GetNumericListInfo(const Search::State& state,
                                              const std::string& strSectionName,
                                              bool bUseStandardEquipOnly, bool bReduceLists);
// Consumes every record of the current row id: one row per order id, appended in order.
void AddSbFNumericListInfo(Search::State& state, Recordset& rs);

// ---- the merge of the three sorted record sets ----

// 1 coded values, 2 ranges, 3 numeric lists: the set whose current row id is lowest (on a
// tie in that order); 3 when all are at their end.
int16_t WhichRowComesNext(Recordset& rsCoded, Recordset& rsMinMax, Recordset& rsNumeric);

}  // namespace mirel_SbF
