#include "runtime/ErrorHandling.h"
#include "common/modMisc.h"
#include "criteria/Criteria.h"
#include "mirel_SbF/Connector.h"
#include "sql/QueryShapes.h"

namespace mirel_SbF {

std::shared_ptr<Recordset> GetSbFCodedValueInfo(const Search::State& state,
                                                const std::string& strSectionName,
                                                bool bUseStandardEquipOnly, bool bReduceLists) {
  return WithHandler("GetSbFCodedValueInfo", [&] {
    std::string sql;
    sql += mirel_platform::shapes::kCodedValues;
    sql += "from equipment eq0 ";
    sql += "inner join schema_info si on (eq0.schema_id = si.schema_id) and (si.data_type <> 1) and (si.data_type <> 2) ";
    sql += "inner join ";
    sql += state.m_strProjectDbName;
    sql += "..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') ";
    sql += SectionCondition(strSectionName);
    sql += SegmentJoin(state);
    sql += "left join schema_text st on (eq0.schema_id = st.schema_id and eq0.data_value = st.data_value) and (st.language_id = ";
    sql += std::to_string(state.m_lLanguageId);
    sql += ") ";
    sql += CreateWhereClause(state, "eq0", bUseStandardEquipOnly, bReduceLists);
    sql += "order by sbf.row_id, sbf.order_id, [data_value];";
    mirel_base::Connector connector;
    return connector.ExecuteQuery(sql, state.m_strSpecsDbName, state.m_strDbConn);
  });
}

void AddSbFCodedValueInfo(Search::State& state, Recordset& rs) {
  WithHandler("AddSbFCodedValueInfo", [&] {
    const FacetCounts* facets = state.m_oFacets.get();
    const int32_t rowId = CLng(rs.Fields("row_id").Value());
    int32_t orderId = CLng(rs.Fields("order_id").Value());
    std::shared_ptr<Results> row = CreateResultsObject(state, rs, false);
    int16_t counter = 0;
    while (!rs.EndOfFile()) {
      if (CLng(rs.Fields("row_id").Value()) != rowId) break;
      const int32_t recordOrderId = CLng(rs.Fields("order_id").Value());
      const std::string dataValue = CStr(rs.Fields("data_value").Value());
      const std::string text = Capitalize(CStr(rs.Fields("full_text").Value()), state.m_lLanguageId);
      std::shared_ptr<Info> info = CreateInfoObject(dataValue, text, false);
      // A value that opens a new order group joins a new row; it is tested against that
      // row (its own criterion), not against the row of the group before.
      if (recordOrderId != orderId) {
        AppendListRow(state, row, counter);
        row = CreateResultsObject(state, rs, false);
      }
      if (IsInfoObjectSelected(state, *row, *info)) info->IsSelected(true);
      orderId = recordOrderId;
      if (facets) {
        // The value as stored, without the six blanks the query puts in front.
        const std::string stored = dataValue.compare(0, 6, "      ") == 0 ? dataValue.substr(6) : dataValue;
        PlaceCountedValue(state, *row, info, facets->Coded(*row, stored), counter);
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
