#include "runtime/ErrorHandling.h"
#include "criteria/Criteria.h"
#include "mirel_SbF/Connector.h"
#include "sql/QueryShapes.h"

namespace mirel_SbF {

std::shared_ptr<Recordset> GetNumericListInfo(const Search::State& state,
                                              const std::string& strSectionName,
                                              bool bUseStandardEquipOnly, bool bReduceLists) {
  return WithHandler("GetNumericListInfo", [&] {
    std::string sql;
    sql += mirel_platform::shapes::kNumericValues;
    sql += "from equipment eq0 ";
    sql += "inner join ";
    sql += state.m_strProjectDbName;
    sql += "..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') and (sbf.multi_select_style <> 2) ";
    sql += SectionCondition(strSectionName);
    sql += SegmentJoin(state);
    sql += "inner join schema_info si on (eq0.schema_id = si.schema_id and (si.data_type = 1 or si.data_type = 2)) ";
    sql += CreateWhereClause(state, "eq0", bUseStandardEquipOnly, bReduceLists);
    sql += "order by sbf.row_id, sbf.order_id, \"fdata_value\"; ";
    mirel_base::Connector connector;
    return connector.ExecuteQuery(sql, state.m_strSpecsDbName, state.m_strDbConn);
  });
}

void AddSbFNumericListInfo(Search::State& state, Recordset& rs) {
  WithHandler("AddSbFNumericListInfo", [&] {
    const int32_t rowId = CLng(rs.Fields("row_id").Value());
    int32_t orderId = CLng(rs.Fields("order_id").Value());
    std::shared_ptr<Results> row = CreateResultsObject(state, rs, false);
    const Pricing& pricing = PricingOf(state);
    // Price flag, currencies and decimals once per criterion row, for all its sub-rows.
    const bool price = pricing.IsPricingField(CLng(Variant(row->Schema())));
    std::string source, primary;
    if (price) {
      source = DetermineFromCurrencyType(state, CLng(Variant(row->Schema())));
      primary = pricing.GetPrimaryCurrencyCode();
    }
    const int32_t decimals = DecimalsOf(rs.Fields("criterion_format").Value());

    const FacetCounts* facets = state.m_oFacets.get();
    int16_t counter = 0;
    while (!rs.EndOfFile()) {
      if (CLng(rs.Fields("row_id").Value()) != rowId) break;
      const int32_t recordOrderId = CLng(rs.Fields("order_id").Value());
      const double number = CDbl(rs.Fields("fdata_value").Value());
      const double shown = price ? pricing.ConvertPrice(number, source, primary) : number;
      const std::string text = FormatSbFValue(state, shown, price, primary, decimals);
      std::shared_ptr<Info> info = CreateInfoObject(DoubleToText(number), text, false);
      // A value that opens a new sub-row is tested against that sub-row (its criterion).
      if (recordOrderId != orderId) {
        AppendListRow(state, row, counter);
        row = CreateResultsObject(state, rs, false);
      }
      if (IsInfoObjectSelected(state, *row, *info)) info->IsSelected(true);
      orderId = recordOrderId;
      if (facets) {
        PlaceCountedValue(state, *row, info, facets->Numeric(*row, number), counter);
        rs.MoveNext();
        continue;
      }
      row->Add(info, std::to_string(counter));
      rs.MoveNext();
      if (counter == INT16_MAX) Raise(RuntimeError::Overflow);  // the 16-bit counter
      ++counter;
    }
    AppendListRow(state, row, counter);
  });
}

}  // namespace mirel_SbF
