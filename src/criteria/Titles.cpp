#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "common/modMisc.h"
#include "criteria/Criteria.h"
#include "mirel_SbF/Connector.h"

namespace mirel_SbF {

void InitSbFTitleText(Search::State& state, const std::string& strSectionName) {
  std::string sql;
  sql += "select sbft.sbf_row_id, sbft.search_by_Features_text ";
  sql += "from search_by_features_text sbft  ";
  sql += "inner join search_by_features sbf on (sbf.row_id=sbft.sbf_row_id) and (sbf.order_id = 1) ";
  if (!strSectionName.empty()) {
    // The section name is a literal: its quotes are doubled so it cannot end early.
    sql += "and (sbf.category=N'";
    sql += DoubleQuotes(strSectionName);
    sql += "') ";
  }
  sql += "Where (language_id = ";
  sql += std::to_string(state.m_lLanguageId);
  sql += ") ";
  sql += "order by sbf_row_id";
  mirel_base::Connector connector;
  // The earlier titles stay in place when the query fails.
  state.m_rsTitleText = connector.ExecuteQuery(sql, state.m_strProjectDbName, state.m_strDbConn);
}

std::string GetTitleText(Search::State& state, int32_t lRowId) {
  return WithHandler("GetTitleText", [&] {
    Recordset* rs = state.m_rsTitleText.get();
    if (!rs) Raise(RuntimeError::ObjectNotSet);
    while (!rs->EndOfFile() && CLng(rs->Fields("sbf_row_id").Value()) != lRowId) rs->MoveNext();
    if (rs->EndOfFile()) Raise(kErrObject, "Unable to locate matching row_id");
    return Capitalize(CStr(rs->Fields("search_by_features_text").Value()), state.m_lLanguageId);
  });
}

}  // namespace mirel_SbF
