#include "runtime/ErrorHandling.h"
#include "common/modMisc.h"
#include "criteria/Criteria.h"

namespace mirel_SbF {

std::shared_ptr<Results> CreateResultsObject(Search::State& state, const Recordset& rs,
                                             bool bMinMax) {
  return WithHandler("CreateResultsObject", [&] {
    auto row = std::make_shared<Results>();
    row->Category(CStr(rs.Fields("category").Value()));
    row->MultiSelectStyle(CLng(rs.Fields("multi_select_style").Value()));
    row->OrderId(CLng(rs.Fields("order_id").Value()));
    row->RowId(CLng(rs.Fields("row_id").Value()));
    row->Schema(CStr(rs.Fields("criterion_schema_id").Value()));
    row->SchemaLocation(CStr(rs.Fields("criterion_location").Value()));
    row->SchemaValue(CStr(rs.Fields("criterion_value").Value()));
    row->TitleText(GetTitleText(state, row->RowId()));
    row->ControlType(bMinMax ? "minmax" : "NotAMinMax");
    row->IsEitherOr(IsEitherOr(state, Criterion{row->Schema(), row->SchemaLocation()}));
    return row;
  });
}

std::shared_ptr<Info> CreateInfoObject(const std::string& strDataValue,
                                       const std::string& strFullText, bool bIsSelected) {
  return WithHandler("CreateInfoObject", [&] {
    auto info = std::make_shared<Info>();
    info->DataValue(TrimBlanks(strDataValue));
    info->FullText(strFullText);
    info->IsSelected(bIsSelected);
    return info;
  });
}

bool IsInfoObjectSelected(const Search::State& state, const Results& row, const Info& value) {
  return WithHandler("IsInfoObjectSelected", [&] {
    for (const auto& selection : SelectionsOf(state).Items()) {
      if (selection->SchemaId() != row.Schema() ||
          selection->SchemaLocation() != row.SchemaLocation())
        continue;
      if (selection->IsControl_MinMax() && selection->SchemaValue() == row.SchemaValue()) {
        if (value.DataValue() == selection->MinValue() ||
            value.DataValue() == selection->MaxValue())
          return true;
      }
      if (selection->IsControl_Value()) {
        if (selection->SchemaValue() == row.SchemaValue() ||
            selection->SchemaValue() == value.DataValue())
          return true;
      }
    }
    return false;
  });
}

}  // namespace mirel_SbF
