// Counts per value, kept values and either-or criteria for DoSearch (all opt-in).
//
// When a search counts, the list rows are read without the user's choices (the vehicles in
// play) and each value is given the number of matching vehicles that carry it, from one
// counting query per kind of list; a value is listed when that number is above 0, or always
// when values are kept. Either-or criteria with choices are counted once more, each without
// its own choices. Range rows keep their ladder; one query per row counts the vehicles per
// step.
#include <charconv>
#include <system_error>

#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "common/modMisc.h"
#include "criteria/Criteria.h"
#include "mirel_SbF/Connector.h"
#include "sql/QueryShapes.h"

namespace mirel_SbF {
namespace {

// " and (sbf.criterion_schema_id = S) and (sbf.criterion_location = L) ": the criterion
// whose own counts are taken, "" for all.
std::string OwnCriterion(const Criterion* own) {
  if (!own) return {};
  std::string sql;
  sql += " and (sbf.criterion_schema_id = ";
  sql += own->schema;
  sql += ") and (sbf.criterion_location = ";
  sql += own->location;
  sql += ") ";
  return sql;
}

std::string WhereOf(const std::string& terms) { return terms.empty() ? std::string() : "WHERE " + terms; }

// The vehicles per (item, location, data value) of the coded criteria rows.
std::string CodedCountsSql(const Search::State& state, const FacetCounts& facets,
                           const Criterion* own) {
  std::string sql;
  sql += mirel_platform::shapes::kCodedCounts;
  sql += "from equipment eq0 ";
  sql += "inner join schema_info si on (eq0.schema_id = si.schema_id) and (si.data_type <> 1) and (si.data_type <> 2) ";
  sql += "inner join ";
  sql += state.m_strProjectDbName;
  sql += "..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') ";
  sql += SectionCondition(facets.section);
  sql += OwnCriterion(own);
  sql += SegmentJoin(state);
  sql += WhereOf(WhereTerms(state, "eq0", facets.standardOnly, facets.reduce, own));
  sql += "group by eq0.schema_id, eq0.location, eq0.data_value;";
  return sql;
}

// The vehicles per (item, location, number) of the numeric-list criteria rows.
std::string NumericCountsSql(const Search::State& state, const FacetCounts& facets,
                             const Criterion* own) {
  std::string sql;
  sql += mirel_platform::shapes::kNumericCounts;
  sql += "from equipment eq0 ";
  sql += "inner join ";
  sql += state.m_strProjectDbName;
  sql += "..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') and (sbf.multi_select_style <> 2) ";
  sql += SectionCondition(facets.section);
  sql += OwnCriterion(own);
  sql += SegmentJoin(state);
  sql += "inner join schema_info si on (eq0.schema_id = si.schema_id and (si.data_type = 1 or si.data_type = 2)) ";
  sql += WhereOf(WhereTerms(state, "eq0", facets.standardOnly, facets.reduce, own));
  sql += "group by eq0.schema_id, eq0.location, cast(eq0.data_value as float);";
  return sql;
}

FacetCounts::Table ReadCounts(const Search::State& state, const FacetCounts& facets,
                              const Criterion* own) {
  FacetCounts::Table table;
  mirel_base::Connector connector;
  std::shared_ptr<Recordset> coded =
      connector.ExecuteQuery(CodedCountsSql(state, facets, own), state.m_strSpecsDbName, state.m_strDbConn);
  for (; !coded->EndOfFile(); coded->MoveNext()) {
    table.coded[{CStr(coded->Fields("schema_id").Value()), CStr(coded->Fields("location").Value()),
                 CStr(coded->Fields("data_value").Value())}] = CLng(coded->Fields("vehicle_count").Value());
  }
  coded->Close();
  std::shared_ptr<Recordset> numeric =
      connector.ExecuteQuery(NumericCountsSql(state, facets, own), state.m_strSpecsDbName, state.m_strDbConn);
  for (; !numeric->EndOfFile(); numeric->MoveNext()) {
    table.numeric[{CStr(numeric->Fields("schema_id").Value()), CStr(numeric->Fields("location").Value()),
                   CDbl(numeric->Fields("fdata_value").Value())}] = CLng(numeric->Fields("vehicle_count").Value());
  }
  numeric->Close();
  return table;
}

// A ladder value as a number literal of the statement: as the value's text shows it when
// that is a plain decimal, else written out in full.
std::string BoundLiteral(double value) {
  const std::string text = DoubleToText(value);
  if (IsDecimalNumber(text)) return text;
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (ec != std::errc()) Raise(RuntimeError::Overflow);
  std::string literal(buffer, end);
  RequireDecimalNumber("Range step", literal);
  return literal;
}

// Whether the user made a choice of `criterion`.
bool IsChosen(const Search::State& state, const Criterion& criterion) {
  for (const auto& selection : SelectionsOf(state).Items())
    if (Criterion{selection->SchemaId(), selection->SchemaLocation()} == criterion) return true;
  return false;
}

}  // namespace

bool FacetsWanted(const Search::State& state, bool bReduceLists) {
  if (state.m_bCountVehicles || state.m_bKeepAllValues) return true;
  if (!bReduceLists) return false;
  for (const Criterion& marked : state.m_colEitherOr)
    if (IsChosen(state, marked)) return true;
  return false;
}

std::shared_ptr<const FacetCounts> CountValues(const Search::State& state, const std::string& strSectionName,
                                               bool bUseStandardEquipOnly, bool bReduceLists) {
  return WithHandler("CountValues", [&] {
    auto facets = std::make_shared<FacetCounts>();
    facets->section = strSectionName;
    facets->standardOnly = bUseStandardEquipOnly;
    facets->reduce = bReduceLists;
    facets->shown = state.m_bCountVehicles || state.m_bKeepAllValues;
    facets->keep = state.m_bKeepAllValues;
    facets->all = ReadCounts(state, *facets, nullptr);
    if (bReduceLists) {
      for (const Criterion& marked : state.m_colEitherOr)
        if (IsChosen(state, marked)) facets->own.emplace_back(marked, ReadCounts(state, *facets, &marked));
    }
    return std::shared_ptr<const FacetCounts>(std::move(facets));
  });
}

const FacetCounts::Table* FacetCounts::Own(const Results& row) const {
  const Criterion criterion{row.Schema(), row.SchemaLocation()};
  for (const auto& [marked, table] : own)
    if (marked == criterion) return &table;
  return nullptr;
}

const FacetCounts::Table& FacetCounts::For(const Results& row) const {
  const Table* mine = Own(row);
  return mine ? *mine : all;
}

int32_t FacetCounts::Coded(const Results& row, const std::string& strDataValue) const {
  const auto& counts = For(row).coded;
  const auto found = counts.find({row.Schema(), row.SchemaLocation(), strDataValue});
  return found == counts.end() ? 0 : found->second;
}

int32_t FacetCounts::Numeric(const Results& row, double dblValue) const {
  const auto& counts = For(row).numeric;
  const auto found = counts.find({row.Schema(), row.SchemaLocation(), dblValue});
  return found == counts.end() ? 0 : found->second;
}

bool PlaceCountedValue(const Search::State& state, Results& row, std::shared_ptr<Info> info, int32_t count,
                       int16_t& counter) {
  const FacetCounts& facets = *state.m_oFacets;
  if (count == 0 && !facets.keep) return false;
  if (facets.shown) info->VehicleCount(count);
  row.Add(std::move(info), std::to_string(counter));
  if (counter == INT16_MAX) Raise(RuntimeError::Overflow);  // the 16-bit counter
  ++counter;
  return true;
}

void AppendListRow(Search::State& state, std::shared_ptr<Results> row, int16_t& counter) {
  if (!state.m_oFacets) {
    ResultsOf(state).Add(row);
    return;
  }
  const FacetCounts& facets = *state.m_oFacets;
  if (facets.keep) {
    // A value the user picked stays on the screen, also when no vehicle in play has it.
    for (const auto& selection : SelectionsOf(state).Items()) {
      if (!selection->IsControl_Value() || selection->ValueSelected().empty() ||
          selection->SchemaId() != row->Schema() || selection->SchemaLocation() != row->SchemaLocation())
        continue;
      bool listed = false;
      for (const auto& info : *row) listed = listed || info->DataValue() == selection->ValueSelected();
      if (listed) continue;
      std::shared_ptr<Info> info = CreateInfoObject(
          selection->ValueSelected(), Capitalize(selection->ValueSelected(), state.m_lLanguageId), false);
      if (IsInfoObjectSelected(state, *row, *info)) info->IsSelected(true);
      PlaceCountedValue(state, *row, info, 0, counter);
    }
  }
  if (row->Count() > 0) ResultsOf(state).Add(row);
}

void CountSteps(const Search::State& state, Results& row, const std::string& strCriterionValue,
                const std::vector<double>& bounds) {
  WithHandler("CountSteps", [&] {
    const FacetCounts& facets = *state.m_oFacets;
    std::vector<std::shared_ptr<Info>> steps(row.begin(), row.end());
    if (steps.empty() || steps.size() != bounds.size()) Raise(RuntimeError::Internal);
    const Criterion criterion{row.Schema(), row.SchemaLocation()};
    const bool own = facets.Own(row) != nullptr;
    RequireWholeNumber("Schema ID", row.Schema());
    RequireWholeNumber("Schema location", row.SchemaLocation());

    // Step k + 1 holds the values from the k-th ladder value up to the next; 0 those below
    // the ladder (counted without the criterion's own choices, they may lie lower).
    std::string sql;
    sql += mirel_platform::shapes::kSteps;
    for (size_t k = 0; k < steps.size(); ++k) {
      sql += "when cast(eq0.data_value as float) < ";
      sql += BoundLiteral(bounds[k]);
      sql += " then " + std::to_string(k) + " ";
    }
    sql += "else " + std::to_string(steps.size()) + " end as step, eq0.vehicle_id ";
    sql += "from equipment eq0 ";
    sql += "WHERE (eq0.schema_id = " + row.Schema() + ") AND (eq0.location = " + row.SchemaLocation() + ") ";
    if (!strCriterionValue.empty() && strCriterionValue != "*")
      sql += "AND (eq0.data_value = N'" + DoubleQuotes(strCriterionValue) + "') ";
    const std::string terms = WhereTerms(state, "eq0", facets.standardOnly, facets.reduce, own ? &criterion : nullptr);
    if (!terms.empty()) sql += "AND " + terms;
    sql += ") steps ";
    sql += "group by steps.step ";
    sql += "order by steps.step;";

    std::vector<int32_t> counts(steps.size(), 0);
    mirel_base::Connector connector;
    std::shared_ptr<Recordset> rs = connector.ExecuteQuery(sql, state.m_strSpecsDbName, state.m_strDbConn);
    for (; !rs->EndOfFile(); rs->MoveNext()) {
      const int32_t step = CLng(rs->Fields("step").Value());
      if (step >= 1 && step <= static_cast<int32_t>(steps.size()))
        counts[static_cast<size_t>(step - 1)] = CLng(rs->Fields("vehicle_count").Value());
    }
    rs->Close();
    if (facets.shown)
      for (size_t k = 0; k < steps.size(); ++k) steps[k]->VehicleCount(counts[k]);
  });
}

}  // namespace mirel_SbF
