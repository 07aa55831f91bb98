// The PostgreSQL side of the index layer: the evaluator's own queries on a leased connection,
// and bound sets written into the text as arrays and VALUES lists (under "Cache Seconds" only).
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <unordered_map>

#include "engines/odbc/OdbcInternal.h"
#include "index/VehicleLevels.h"
#include "runtime/TextBasics.h"
#include "sql/TsqlRewrite.h"

namespace mirel_platform::odbc_detail {

namespace {

bool IsWholeType(const std::string& type) { return type == "bigint" || type == "integer" || type == "smallint"; }

// A result with its whole numbers as the server sent them.
struct ExactRows {
  Rows rows;
  ExactWholes wholes;
};

// The whole number in row `r`, column `c`: as the server sent it from a whole-number column;
// else a Long, or a Double that is a whole number below 2^53 (exact); else NotEquivalent.
int64_t WholeOf(const ExactRows& result, size_t r, size_t c) {
  if (const std::optional<int64_t>& exact = result.wholes[r][c]) return *exact;
  const mirel_SbF::Variant& v = result.rows.rows[r][c];
  if (v.Type() == mirel_SbF::VariantType::Long) return v.AsLong();
  constexpr double kExact = 9007199254740992.0;  // 2^53: every whole number below is exact
  if (v.Type() == mirel_SbF::VariantType::Double && std::fabs(v.AsDouble()) < kExact &&
      v.AsDouble() == std::trunc(v.AsDouble()))
    return static_cast<int64_t>(v.AsDouble());
  throw facets::NotEquivalent{};
}

// The whole numbers of a list the server wrote ("12,-3,9007199254740993"), exactly.
std::vector<int64_t> IdsOfList(const mirel_SbF::Variant& list) {
  if (list.Type() != mirel_SbF::VariantType::String) throw facets::NotEquivalent{};
  const std::string& text = list.AsString();
  std::vector<int64_t> ids;
  for (const char* at = text.data(); at < text.data() + text.size();) {
    int64_t id = 0;
    const auto [end, ec] = std::from_chars(at, text.data() + text.size(), id);
    if (ec != std::errc() || (end < text.data() + text.size() && *end != ',')) throw facets::NotEquivalent{};
    ids.push_back(id);
    at = end + 1;
  }
  return ids;
}

// The evaluator's engine on one leased PostgreSQL connection: its own queries run as T-SQL
// through the rewrite like the library's; numbers are left to the server (a level's own
// conditions always run there), and bound sets become arrays and VALUES lists in the text.
class PgBackend : public facets::Backend {
 public:
  PgBackend(Connection& conn, const OdbcSettings& settings, const std::string& dbName)
      : m_conn(conn), m_settings(settings), m_db(dbName) {}

  facets::EquipmentTypes Types() override {
    std::map<std::string, std::pair<std::string, bool>> columns;  // name -> (type, default collation)
    for (const auto& row : Query("select column_name, data_type, collation_name from information_schema.columns "
                                 "where table_schema = N'" + LowerAscii(m_db) + "' and table_name = N'equipment'").rows) {
      if (row[0].Type() != mirel_SbF::VariantType::String || row[1].Type() != mirel_SbF::VariantType::String) continue;
      columns[row[0].AsString()] = {row[1].AsString(), row[2].IsNull()};
    }
    auto whole = [&](const char* c) { return columns.count(c) && IsWholeType(columns[c].first); };
    facets::EquipmentTypes types;
    types.levels = whole("vehicle_id");
    types.facets = types.levels && whole("schema_id") && whole("location") && whole("option_id") &&
                   columns.count("data_value") && columns["data_value"].first == "text" && columns["data_value"].second;
    return types;
  }
  std::vector<int64_t> Ids(const std::string& tsql) override {
    const ExactRows result = QueryExact(tsql);
    std::vector<int64_t> ids;
    for (size_t r = 0; r < result.rows.rows.size(); ++r) ids.push_back(WholeOf(result, r, 0));
    return ids;
  }
  // The vehicles and postings come aggregated by the server, one row for all the vehicles
  // and one per value, rather than one row per equipment row through the driver.
  std::vector<int64_t> VehicleIds() override {
    const facets::ResultRows rows = Run(m_conn, m_settings, m_db,
                                        "select string_agg(vehicle_id::text, ',' order by vehicle_id) from (select "
                                        "distinct vehicle_id from equipment) vehicles",
                                        true);
    if (rows.rows.size() != 1) throw facets::NotEquivalent{};
    return rows.rows[0][0].IsNull() ? std::vector<int64_t>() : IdsOfList(rows.rows[0][0]);
  }
  void ScanItem(int64_t schemaId, const std::function<void(const facets::PostingRow&)>& row) override {
    const facets::ResultRows rows =
        Run(m_conn, m_settings, m_db,
            "select location::text, data_value, string_agg(vehicle_id::text, ','), string_agg(case when option_id = 0 "
            "then vehicle_id::text end, ',') from equipment where schema_id = " +
                std::to_string(schemaId) + " group by location, data_value order by location, data_value",
            true);
    for (const auto& values : rows.rows) {
      if (values[1].Type() != mirel_SbF::VariantType::String) throw facets::NotEquivalent{};
      const bool locationNull = values[0].IsNull();
      const int64_t location = locationNull ? 0 : IdsOfList(values[0]).at(0);
      const std::vector<int64_t> all = IdsOfList(values[2]);
      const std::vector<int64_t> standard = values[3].IsNull() ? std::vector<int64_t>() : IdsOfList(values[3]);
      for (int64_t vehicle : all)
        row(facets::PostingRow{locationNull, location, values[1].AsString(), 0, vehicle, false});
      for (int64_t vehicle : standard)
        row(facets::PostingRow{locationNull, location, values[1].AsString(), 0, vehicle, true});
    }
  }
  std::vector<int64_t> CriteriaItems(const std::string& project) override {
    const ExactRows result = QueryExact("select distinct criterion_schema_id from " + project + "..search_by_features");
    std::vector<int64_t> ids;
    for (size_t r = 0; r < result.rows.rows.size(); ++r)
      if (!result.rows.rows[r][0].IsNull()) ids.push_back(WholeOf(result, r, 0));
    return ids;
  }
  bool VersionKeyIsWhole() override {
    const facets::ResultRows rows = Query("select data_type from information_schema.columns where table_schema = N'" +
                            LowerAscii(m_db) + "' and table_name = N'version' and column_name = N'vehicle_id'");
    return rows.rows.size() == 1 && rows.rows[0][0].Type() == mirel_SbF::VariantType::String &&
           IsWholeType(rows.rows[0][0].AsString());
  }
  facets::KeyedTable Rows(const std::string& tsql) override {
    const ExactRows result = QueryExact(tsql);
    facets::KeyedTable rows;
    if (result.rows.rows.empty()) return rows;  // the names only come with a row, as on SQLite
    auto table = std::make_shared<facets::CompactTable>(result.rows.names);
    for (size_t r = 0; r < result.rows.rows.size(); ++r) {
      rows.keys.push_back(WholeOf(result, r, 0));
      table->AddRow(result.rows.rows[r]);
    }
    table->Shrink();
    rows.table = std::move(table);
    return rows;
  }
  bool AnswersFromPostings() const override { return false; }
  std::optional<facets::Literal> NumberLiteral(const std::string&) override { return std::nullopt; }
  int64_t Bind(std::shared_ptr<const VehicleSet> set) override {
    m_vehicles.emplace(m_next, std::move(set));
    return m_next++;
  }
  int64_t Bind(std::shared_ptr<const facets::ValueRows> rows) override {
    m_values.emplace(m_next, std::move(rows));
    return m_next++;
  }
  void ReleaseBindings() override {
    m_vehicles.clear();
    m_values.clear();
  }

  // The PostgreSQL text of a T-SQL text that names bound sets: each "(select vehicle_id from
  // mirel_vehicles where set_id = N)" an array of the vehicles, "mirel_values <alias>" with
  // its "WHERE <alias>.set_id = N" a VALUES list, "mirel_vehicles <alias>" likewise.
  std::string Text(const std::string& tsql) const {
    const std::string pg = RewriteTsql(tsql, Dialect::PostgreSQL);
    const std::optional<SqlTokens> t = TokenizeSql(pg);
    if (!t) throw facets::NotEquivalent{};
    auto word = [&](size_t i, std::string_view w) {
      return i < t->tokens.size() && t->tokens[i].kind == SqlToken::Kind::Word && t->tokens[i].lower == w;
    };
    auto symbol = [&](size_t i, std::string_view c) {
      return i < t->tokens.size() && t->tokens[i].kind == SqlToken::Kind::Symbol && t->tokens[i].lower == c;
    };
    auto number = [&](size_t i) -> int64_t {
      if (i >= t->tokens.size() || t->tokens[i].kind != SqlToken::Kind::Number) throw facets::NotEquivalent{};
      return std::stoll(pg.substr(t->tokens[i].begin, t->tokens[i].end - t->tokens[i].begin));
    };
    std::string out;
    size_t pos = 0;
    for (size_t i = 0; i < t->tokens.size(); ++i) {
      const size_t at = t->tokens[i].begin;
      if (symbol(i, "(") && word(i + 1, "select") && word(i + 2, "vehicle_id") && word(i + 3, "from") &&
          word(i + 4, "mirel_vehicles") && word(i + 5, "where") && word(i + 6, "set_id") && symbol(i + 7, "=") &&
          symbol(i + 9, ")")) {
        out.append(pg, pos, at - pos);
        out += "(select unnest(" + ArrayOf(number(i + 8)) + ") as vehicle_id)";
        pos = t->tokens[i + 9].end;
        i += 9;
      } else if ((word(i, "mirel_values") || word(i, "mirel_vehicles")) && i + 1 < t->tokens.size() &&
                 t->tokens[i + 1].kind == SqlToken::Kind::Word) {
        // "mirel_values eq0 … WHERE eq0.set_id = N": the set's number comes after the joins.
        const std::string& alias = t->tokens[i + 1].lower;
        size_t w = i + 2;
        while (w < t->tokens.size() && !(word(w, "where") && word(w + 1, alias) && symbol(w + 2, ".") &&
                                         word(w + 3, "set_id") && symbol(w + 4, "=")))
          ++w;
        if (w >= t->tokens.size()) throw facets::NotEquivalent{};
        const int64_t id = number(w + 5);
        out.append(pg, pos, at - pos);
        out += word(i, "mirel_values") ? ValuesOf(id, alias) : "(select unnest(" + ArrayOf(id) + ") as vehicle_id) " + alias;
        out.append(pg, t->tokens[i + 1].end, t->tokens[w].begin - t->tokens[i + 1].end);
        pos = t->tokens[w + 5].end;
        i = w + 5;
      }
    }
    out.append(pg, pos, std::string::npos);
    return out;
  }

 private:
  facets::ResultRows Query(const std::string& tsql) { return Run(m_conn, m_settings, m_db, tsql); }
  ExactRows QueryExact(const std::string& tsql) {
    ExactRows result;
    result.rows = Run(m_conn, m_settings, m_db, tsql, false, &result.wholes);
    return result;
  }

  std::string ArrayOf(int64_t id) const {
    const auto it = m_vehicles.find(id);
    if (it == m_vehicles.end()) throw facets::NotEquivalent{};
    std::string out = "'{";
    const std::vector<int64_t> ids = it->second->Ids();
    for (size_t k = 0; k < ids.size(); ++k) {
      if (k) out += ',';
      out += std::to_string(ids[k]);
    }
    return out + "}'::bigint[]";
  }

  std::string ValuesOf(int64_t id, const std::string& alias) const {
    const auto it = m_values.find(id);
    if (it == m_values.end()) throw facets::NotEquivalent{};
    const std::string columns = " as " + alias + "(schema_id, location, data_value, vehicle_count)";
    if (it->second->empty()) return "(select null::bigint, null::bigint, null::text, null::bigint where false)" + columns;
    std::string out = "(values ";
    bool first = true;
    for (const facets::ValueRow& row : *it->second) {
      out += first ? "(" : ", (";
      out += std::to_string(row.schemaId) + "::bigint, " + std::to_string(row.location) + "::bigint, '";
      for (char c : row.dataValue) {
        out += c;
        if (c == '\'') out += '\'';  // standard_conforming_strings is on in every session
      }
      out += "'::text, " + std::to_string(row.vehicleCount) + "::bigint)";
      first = false;
    }
    return out + ")" + columns;
  }

  Connection& m_conn;
  const OdbcSettings& m_settings;
  std::string m_db;
  std::unordered_map<int64_t, std::shared_ptr<const VehicleSet>> m_vehicles;
  std::unordered_map<int64_t, std::shared_ptr<const facets::ValueRows>> m_values;
  int64_t m_next = 1;
};

}  // namespace

// The answer in an equivalent form on a PostgreSQL connection, or nothing when the text is
// to run as written. Any failure of the faster form falls back to the text as written, so
// that the host sees exactly that text's answer or error.
std::optional<Rows> FacetAnswer(Connection& conn, const OdbcSettings& settings, const std::string& dbName,
                                const std::string& tsql, EngineCache& cache) {
  if (conn.kind != ServerKind::PostgreSQL || settings.evaluation == facets::Evaluation::Plain) return std::nullopt;
  PgBackend backend(conn, settings, dbName);
  // What the evaluator keeps is kept for the same time as the answers: its keys name the
  // current window of "Cache Seconds".
  const auto window = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::steady_clock::now().time_since_epoch()).count() / settings.cacheSeconds;
  const std::string stamp = "pg|" + std::to_string(window) + "|" + settings.driverString;
  facets::EvaluationContext ctx;
  ctx.backend = &backend;
  ctx.cache = &cache;
  ctx.specsStamp = stamp + "|" + LowerAscii(dbName);
  ctx.stampOf = [&](const std::string& schema) { return stamp + "|" + LowerAscii(schema); };
  ctx.mode = settings.evaluation;
  try {
    std::optional<facets::Evaluated> evaluated = facets::EvaluateText(ctx, tsql);
    if (!evaluated) return std::nullopt;
    if (evaluated->answer) return evaluated->answer->Materialize();
    return Run(conn, settings, dbName, backend.Text(evaluated->tsql), true);
  } catch (const ConnectionLost&) {
    throw;
  } catch (const facets::NotEquivalent&) {
    return std::nullopt;
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace mirel_platform::odbc_detail
