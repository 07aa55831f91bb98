#include "matching/WhereClause.h"

#include "runtime/ErrorHandling.h"
#include "sql/SqlText.h"
#include "common/modMisc.h"
#include "sql/QueryShapes.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace mirel_SbF {

std::string CreateVehicleIdInClause(const std::string& strInnerSql) {
  if (strInnerSql.empty()) return {};
  return "vehicle_id in (" + strInnerSql + ") ";
}

std::string CreateVehicleSql(const std::string& strSchemaId, const std::string& strSchemaLocation,
                             const std::string& strValueList, const std::string& strInnerSql,
                             const std::string& strOperator, const std::string& strConjunction) {
  return WithHandler("CreateVehicleSql", [&] {
    // Ids and locations go into the text unquoted: only numbers may get there.
    if (!strSchemaId.empty()) RequireWholeNumber("Schema ID", strSchemaId);
    if (!strSchemaLocation.empty()) RequireWholeNumber("Schema location", strSchemaLocation);

    std::string joiner;
    std::string sql(mirel_platform::shapes::kLevel);
    if (!strSchemaId.empty()) {
      sql += joiner;
      sql += "schema_id = ";
      sql += strSchemaId;
      sql += " ";
      joiner = "AND ";
    }
    if (!strValueList.empty()) {
      std::string values = ConvertListToSQLClause("data_value", strValueList, strOperator,
                                                  strConjunction);
      // Several entries joined by OR are one condition: parenthesised so that they do
      // not bind with the AND conditions around them.
      if (strConjunction == "OR" && strValueList.find(',') != std::string::npos)
        values = "(" + values + ")";
      sql += joiner;
      sql += values;
      joiner = "AND ";
    }
    if (!strSchemaLocation.empty()) {
      sql += joiner;
      sql += "Location = ";
      sql += strSchemaLocation;
      sql += " ";
      joiner = "AND ";
    }
    if (!strInnerSql.empty()) {
      sql += joiner;
      sql += CreateVehicleIdInClause(strInnerSql);
    }
    return sql;
  });
}

std::string CreateMinMaxVehicleSql(const std::string& strSchemaId,
                                   const std::string& strSchemaLocation, const std::string& strMin,
                                   const std::string& strMax, const std::string& strInnerSql) {
  return WithHandler("CreateVehicleSql", [&] {
    // Bounds go into the text unquoted: numbers only, "!!" meaning no bound. An empty bound
    // (a hand-made state text keeps one) is refused here too, so that no text with a bare
    // operator reaches an engine.
    if (strMin != "!!") RequireDecimalNumber("Minimum value", strMin);
    if (strMax != "!!") RequireDecimalNumber("Maximum value", strMax);

    std::string sql = CreateVehicleSql(strSchemaId, strSchemaLocation, "", "", "=", "OR");
    if (strMin != "!!") {
      sql += "AND ";
      sql += "cast(data_value as float) >= ";
      sql += strMin;
      sql += " ";
    }
    if (strMax != "!!") {
      sql += "AND ";
      sql += "cast(data_value as float) <= ";
      sql += strMax;
      sql += " ";
    }
    if (!strInnerSql.empty()) {
      sql += "AND ";
      sql += CreateVehicleIdInClause(strInnerSql);
    }
    return sql;
  });
}

std::string BuildInnerJoinFromSbFUserSelection(const Search::State& state,
                                               const std::string& strTablePrefix,
                                               bool bUseStandardEquipOnly) {
  return SelectionLevels(state, strTablePrefix, bUseStandardEquipOnly, nullptr);
}

namespace {

// A choice's level under StandardChoices: its own conditions (composed without the level
// below), "AND option_id = 0 ", then the level below, which must stay the last term.
std::string StandardLevel(const std::string& strOwnSql, const std::string& strInnerSql) {
  std::string sql = strOwnSql;
  // A level without conditions of its own ends in "where ".
  const std::string_view where = "where ";
  if (sql.size() < where.size() || sql.compare(sql.size() - where.size(), where.size(), where) != 0) sql += "AND ";
  sql += "option_id = 0 ";
  if (!strInnerSql.empty()) {
    sql += "AND ";
    sql += CreateVehicleIdInClause(strInnerSql);
  }
  return sql;
}

}  // namespace

std::string SelectionLevels(const Search::State& state, const std::string& strTablePrefix,
                            bool bUseStandardEquipOnly, const Criterion* without) {
  return WithHandler("BuildInnerJoinFromSbFUserSelection", [&] {
    // The switch reaches the choices' levels only under StandardChoices (see Search.h).
    const bool standard = bUseStandardEquipOnly && state.m_bStandardChoices;
    auto valueLevel = [&](const std::string& schema, const std::string& location, const std::string& values,
                          const std::string& inner) {
      if (!standard) return CreateVehicleSql(schema, location, values, inner, "=", "OR");
      return StandardLevel(CreateVehicleSql(schema, location, values, "", "=", "OR"), inner);
    };
    // The value a value selection puts into its level. One with neither a value nor a
    // schema value has no value of its own and stands without a value condition (it never
    // borrows an earlier one).
    auto valueOf = [](const SbFUserSelection& selection) {
      const std::string value = selection.ValueSelected();
      if (value.empty() && !selection.SchemaValue().empty()) {
        Raise(kErrSchemaValue, "Found Schema Value and Value Selected: " + selection.SchemaId() +
                                   " " + selection.SchemaValue() + " " + selection.ValueSelected());
      }
      return value;
    };
    const auto& selections = SelectionsOf(state).Items();
    std::vector<Criterion> grouped;  // either-or criteria whose level is written
    std::string sql;
    for (const auto& selection : selections) {
      const Criterion criterion{selection->SchemaId(), selection->SchemaLocation()};
      if (without && criterion == *without) continue;
      if (selection->IsControl_MinMax()) {
        sql = standard ? StandardLevel(CreateMinMaxVehicleSql(selection->SchemaId(), selection->SchemaLocation(),
                                                              selection->MinValue(), selection->MaxValue(), ""),
                                       sql)
                       : CreateMinMaxVehicleSql(selection->SchemaId(), selection->SchemaLocation(),
                                                selection->MinValue(), selection->MaxValue(), sql);
        continue;
      }
      const std::string value = valueOf(*selection);
      if (!IsEitherOr(state, criterion)) {
        sql = valueLevel(selection->SchemaId(), selection->SchemaLocation(), value, sql);
        continue;
      }
      // An either-or criterion: all its value choices make one level, where the first of
      // them stands, with their values as one list (any of them will do). A choice without
      // a value lets every value pass.
      if (std::find(grouped.begin(), grouped.end(), criterion) != grouped.end()) continue;
      grouped.push_back(criterion);
      std::string values;
      bool anyValue = false;
      for (const auto& other : selections) {
        if (!other->IsControl_Value() || Criterion{other->SchemaId(), other->SchemaLocation()} != criterion)
          continue;
        const std::string otherValue = valueOf(*other);
        anyValue = anyValue || otherValue.empty();
        values += (values.empty() ? "" : ",") + otherValue;
      }
      sql = valueLevel(selection->SchemaId(), selection->SchemaLocation(), anyValue ? std::string() : values, sql);
    }
    if (sql.empty()) return std::string();
    return strTablePrefix + "." + "vehicle_id in (" + sql + ") ";
  });
}

std::string BuildRestrictionInnerJoins(const Search::State& state) {
  return WithHandler("BuildRestrictionInnerJoins", [&] {
    std::string sql;
    if (state.m_bExcludeAdvancedVehicles) {
      sql = CreateVehicleSql("106", "", "A", "", "<>", "OR");
    }
    if (state.m_bExcludeOldVehicles || state.m_bExcludeBuiltVehicles) {
      std::string age = CreateVehicleSql("302", "", "", "", "=", "OR");
      if (state.m_bExcludeOldVehicles) {
        age += "AND ";
        age += "(LEFT(data_value, 3) <> N'(O)') ";
      }
      if (state.m_bExcludeBuiltVehicles) {
        age += "AND ";
        age += "(LEFT(data_value, 3) <> N'(+)') ";
      }
      if (!sql.empty()) {
        sql = sql + " " + "AND " + "vehicle_id in (" + age + ") ";
      } else {
        sql = age + " ";
      }
    }
    if (!state.m_strOEMInclusionList.empty()) {
      sql = CreateVehicleSql("117", "", state.m_strOEMInclusionList, sql, "=", "OR");
    }
    if (!state.m_strMakeInclusionList.empty()) {
      sql = CreateVehicleSql("111", "", state.m_strMakeInclusionList, sql, "=", "OR");
    }
    if (!state.m_strModelExclusionList.empty()) {
      sql = CreateVehicleSql("112", "", state.m_strModelExclusionList, sql, "<>", "AND");
    }
    return sql;
  });
}

std::string CreateWhereClause(const Search::State& state, const std::string& strTablePrefix,
                              bool bUseStandardEquipOnly, bool bReduceLists) {
  return WithHandler("CreateWhereClause", [&] {
    const std::string terms = WhereTerms(state, strTablePrefix, bUseStandardEquipOnly, bReduceLists, nullptr);
    return terms.empty() ? std::string() : "WHERE " + terms;
  });
}

std::string WhereTerms(const Search::State& state, const std::string& strTablePrefix,
                       bool bUseStandardEquipOnly, bool bReduceLists, const Criterion* without) {
  return WithHandler("CreateWhereClause", [&] {
    std::string joiner;
    std::string clause = BuildRestrictionInnerJoins(state);
    if (!clause.empty()) {
      clause = strTablePrefix + ".vehicle_id in (" + clause + ") ";
      joiner = "AND ";
    }
    if (bUseStandardEquipOnly) {
      clause += joiner;
      clause += strTablePrefix;
      clause += ".option_id = 0 ";
      joiner = "AND ";
    }
    if (bReduceLists) {
      std::string selections =
          SelectionLevels(state, strTablePrefix, bUseStandardEquipOnly, without);
      if (!selections.empty()) {
        clause += joiner;
        clause += selections;
        joiner = "AND ";
      }
    }
    return clause;
  });
}

}  // namespace mirel_SbF
