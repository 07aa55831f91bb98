#include <cmath>
#include <vector>

#include "runtime/ErrorHandling.h"
#include "criteria/Criteria.h"
#include "mirel_SbF/Connector.h"
#include "sql/QueryShapes.h"

namespace mirel_SbF {
namespace {

// Value counters are 16-bit, as in the original: a 32768th value overflows.
int16_t Next(int16_t counter) {
  if (counter == INT16_MAX) Raise(RuntimeError::Overflow);
  return static_cast<int16_t>(counter + 1);
}

void CreateAndAddMinMaxInfoObject(const Search::State& state, const std::string& strFullText,
                                  const std::string& strDataValue, const std::string& strKey,
                                  Results& row) {
  WithHandler("CreateAndAddMinMaxInfoObject", [&] {
    std::shared_ptr<Info> info = CreateInfoObject(strDataValue, strFullText, false);
    info->IsSelected(IsInfoObjectSelected(state, row, *info));
    row.Add(info, strKey);
  });
}

}  // namespace

std::shared_ptr<Recordset> GetSbFMinMaxInfo(const Search::State& state,
                                            const std::string& strSectionName,
                                            bool bUseStandardEquipOnly, bool bReduceLists) {
  return WithHandler("GetSbFMinMaxInfo", [&] {
    std::string sql;
    sql += mirel_platform::shapes::kRanges;
    sql += "from equipment eq0 ";
    sql += "inner join ";
    sql += state.m_strProjectDbName;
    sql += "..search_by_features sbf on (eq0.schema_id = sbf.criterion_schema_id) and (eq0.location = sbf.criterion_location) and (sbf.criterion_value = eq0.data_value or sbf.criterion_value=N'' or sbf.criterion_value=N'*') ";
    sql += "and (sbf.multi_select_style = 2) ";
    sql += SectionCondition(strSectionName);
    sql += SegmentJoin(state);
    sql += "inner join schema_info si on (eq0.schema_id = si.schema_id and (si.data_type = 1 or si.data_type = 2)) ";
    sql += CreateWhereClause(state, "eq0", bUseStandardEquipOnly, bReduceLists);
    sql += " group by sbf.row_id , sbf.order_id, ";
    sql += "sbf.criterion_schema_id, sbf.criterion_value, sbf.criterion_location, ";
    sql += " sbf.Category, sbf.multi_select_style, sbf.criterion_increment, sbf.criterion_format ";
    sql += "order by \"Row_Id\", \"Order_Id\"; ";
    mirel_base::Connector connector;
    return connector.ExecuteQuery(sql, state.m_strSpecsDbName, state.m_strDbConn);
  });
}

double AdjustMinMaxStep(double dblStep, double dblMinimum) {
  return WithHandler("AdjustMinMaxStep", [&] {
    // A step of 0 (or below) would never grow: refused rather than looping for ever.
    if (!(dblStep > 0)) Raise(kErrObject, "The increment of a range must be positive: " + DoubleToText(dblStep));
    const double divisor = dblMinimum == 0 ? 1.0 : dblMinimum;
    double step = dblStep;
    while (step / divisor <= 0.01) {
      step *= 10;
      if (std::isinf(step)) Raise(RuntimeError::Overflow);  // a negative minimum
    }
    const double base = step;
    while (step / divisor < 0.05) step += base;
    return step;
  });
}

double ComputeStepValue(double dblValue, double dblStep) {
  return WithHandler("ComputeStepValue", [&] {
    const double next = (std::floor(dblValue / (dblStep * 10)) - 1) * dblStep;
    return next <= 0 ? dblStep : next;
  });
}

std::string FormatSbFValue(const Search::State& state, double dblValue, bool bIsPricing,
                           const std::string& strCurrencyCode, int32_t lDecimals) {
  if (bIsPricing) return PricingOf(state).FormatAllPrices(dblValue, strCurrencyCode, state.m_lLanguageId);
  return PricingOf(state).FormatNumber(DoubleToText(dblValue), lDecimals, state.m_lLanguageId);
}

std::string DetermineFromCurrencyType(const Search::State& state, int32_t lSchemaId) {
  return WithHandler("DetermineFromCurrencyType", [&] {
    if (lSchemaId > 100000) return std::string("EUR");
    mirel_base::Connector connector;
    std::shared_ptr<Recordset> rs = connector.ExecuteQuery(
        "select distinct v.id_901 from version v where (v.id_901 <> '');", state.m_strSpecsDbName,
        state.m_strDbConn);
    return CStr(rs->Fields("id_901").Value());
  });
}

void AddSbFMinMaxInfo(Search::State& state, Recordset& rs) {
  WithHandler("AddSbFMinMaxInfo", [&] {
    std::shared_ptr<Results> row = CreateResultsObject(state, rs, true);
    const bool pricing = PricingOf(state).IsPricingField(CLng(Variant(row->Schema())));
    double step = CDbl(rs.Fields("criterion_increment").Value());
    double minimum = CDbl(rs.Fields("Minimum").Value());
    double maximum = CDbl(rs.Fields("Maximum").Value());
    const int32_t decimals = DecimalsOf(rs.Fields("criterion_format").Value());
    std::string target, source;
    if (pricing) {
      source = DetermineFromCurrencyType(state, CLng(Variant(row->Schema())));
      target = PricingOf(state).GetPrimaryCurrencyCode();
      minimum = PricingOf(state).ConvertPrice(minimum, source, target);
      maximum = PricingOf(state).ConvertPrice(maximum, source, target);
    }
    // The ladder's values, for counting per step.
    std::vector<double> ladder;
    int16_t counter = 0;
    if (minimum < maximum) {
      step = AdjustMinMaxStep(step, minimum);
      minimum = std::floor(minimum / step) * step;
      double value = minimum;
      while (value <= maximum) {
        const std::string text = FormatSbFValue(state, value, pricing, target, decimals);
        const std::string key = std::to_string(counter);
        counter = Next(counter);
        CreateAndAddMinMaxInfoObject(state, text, DoubleToText(value), key, *row);
        ladder.push_back(value);
        step = ComputeStepValue(value, step);
        value += step;
      }
      // The ladder always reaches the maximum: a closing value past it, whose key skips
      // one number (as the original numbered it).
      if (value - step != maximum) {
        counter = Next(counter);
        const std::string text = FormatSbFValue(state, value, pricing, target, decimals);
        CreateAndAddMinMaxInfoObject(state, text, DoubleToText(value), std::to_string(counter), *row);
        ladder.push_back(value);
      }
    } else {
      const std::string text = FormatSbFValue(state, minimum, pricing, target, decimals);
      CreateAndAddMinMaxInfoObject(state, text, DoubleToText(minimum), "0", *row);
      ladder.push_back(minimum);
    }
    if (state.m_oFacets) {
      // The steps as the data hold them: a price's in the currency it is stored in.
      if (pricing && source != target)
        for (double& bound : ladder) bound = PricingOf(state).ConvertPrice(bound, target, source);
      CountSteps(state, *row, CStr(rs.Fields("criterion_value").Value()), ladder);
    }
    ResultsOf(state).Add(row);
    rs.MoveNext();
  });
}

}  // namespace mirel_SbF
