#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "common/modMisc.h"
#include "matching/WhereClause.h"
#include "mirel_SbF/Connector.h"
#include "sql/QueryShapes.h"

namespace mirel_SbF {

std::string MatchingVehiclesSql(const Search::State& state, bool UseStandardEquipOnly,
                                bool bReduceLists, const std::string& strSortByList) {
  const bool sorting = !strSortByList.empty();
  std::string sortColumns;
  if (sorting) sortColumns = AddTablePrefixToCommaDelimitedList("v", strSortByList);

  std::string selectPart(mirel_platform::shapes::kVehicles);
  if (sorting) {
    selectPart += ", ";
    selectPart += sortColumns;
    selectPart += " ";
  }
  selectPart += "from equipment eq ";
  if (sorting) selectPart += mirel_platform::shapes::kVersionJoin;

  std::string conditionPart = CreateWhereClause(state, "eq", UseStandardEquipOnly, bReduceLists);
  if (sorting) {
    conditionPart += "order by ";
    conditionPart += sortColumns;
  }
  conditionPart += ";";
  return selectPart + conditionPart;
}

std::shared_ptr<Recordset> Search::GetMatchingVehicles(bool UseStandardEquipOnly,
                                                       bool bReduceLists,
                                                       const std::string& strSortByList) {
  return WithHandler("GetMatchingVehicles", [&] {
    RequireCleanTexts("GetMatchingVehicles", {strSortByList});
    const std::string sql =
        MatchingVehiclesSql(*m, UseStandardEquipOnly, bReduceLists, strSortByList);
    mirel_base::Connector connector;
    return connector.ExecuteQuery(sql, m->m_strSpecsDbName, m->m_strDbConn);
  });
}

int32_t Search::GetNumberOfMatchingVehicles(bool UseStandardEquipmentOnly, bool bReduceLists) {
  std::shared_ptr<Recordset> rs = GetMatchingVehicles(UseStandardEquipmentOnly, bReduceLists, "");
  const int32_t count = rs->RecordCount();
  rs->Close();
  return count;
}

}  // namespace mirel_SbF
