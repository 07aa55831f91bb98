// The WHERE clause that limits equipment rows to the vehicles passing the host's filters
// and the user's selections: one nested "select distinct vehicle_id" level per filter
// and per selection. Text only; nothing here runs a query.
#pragma once

#include <string>

#include "search/SearchImpl.h"

namespace mirel_SbF {

std::string CreateWhereClause(const Search::State& state, const std::string& strTablePrefix,
                              bool bUseStandardEquipOnly, bool bReduceLists);
// The clause's conditions without the leading "WHERE ", and without the choices of
// `without` (an either-or criterion whose own counts are taken), when given.
std::string WhereTerms(const Search::State& state, const std::string& strTablePrefix,
                       bool bUseStandardEquipOnly, bool bReduceLists, const Criterion* without);
std::string BuildRestrictionInnerJoins(const Search::State& state);
std::string BuildInnerJoinFromSbFUserSelection(const Search::State& state,
                                               const std::string& strTablePrefix,
                                               bool bUseStandardEquipOnly);
// The selections' levels: each choice narrows, except the value choices of an either-or
// criterion, which make one level together; `without`'s choices are left out.
std::string SelectionLevels(const Search::State& state, const std::string& strTablePrefix,
                            bool bUseStandardEquipOnly, const Criterion* without);
std::string CreateVehicleSql(const std::string& strSchemaId, const std::string& strSchemaLocation,
                             const std::string& strValueList, const std::string& strInnerSql,
                             const std::string& strOperator, const std::string& strConjunction);
std::string CreateMinMaxVehicleSql(const std::string& strSchemaId,
                                   const std::string& strSchemaLocation, const std::string& strMin,
                                   const std::string& strMax, const std::string& strInnerSql);
std::string CreateVehicleIdInClause(const std::string& strInnerSql);

// The query text of GetMatchingVehicles, composed without running it.
std::string MatchingVehiclesSql(const Search::State& state, bool UseStandardEquipOnly,
                                bool bReduceLists, const std::string& strSortByList);

}  // namespace mirel_SbF
