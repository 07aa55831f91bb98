#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "criteria/Criteria.h"

namespace mirel_SbF {

std::string SectionCondition(const std::string& strSectionName) {
  if (strSectionName.empty()) return {};
  std::string sql;
  sql += " and (sbf.category = N'";
  sql += DoubleQuotes(strSectionName);  // a quote cannot end the literal early
  sql += "') ";
  return sql;
}

std::string SegmentJoin(const Search::State& state) {
  if (state.m_lSegmentId == -1) return {};
  std::string sql;
  sql += "inner join ";
  sql += state.m_strProjectDbName;
  sql += "..search_by_features_segmentation sbfs on (sbfs.segment_id = ";
  sql += std::to_string(state.m_lSegmentId);
  sql += ") and (sbfs.sbf_row_id = sbf.row_id) ";
  return sql;
}

int32_t DecimalsOf(const Variant& format) {
  return !format.IsNull() && CDbl(format) >= 0 ? CLng(format) : -1;
}

const Pricing& PricingOf(const Search::State& state) {
  if (!state.m_oPricing) Raise(RuntimeError::ObjectNotSet);
  return *state.m_oPricing;
}

}  // namespace mirel_SbF
