#include "engines/odbc/OdbcProvider.h"

#include <chrono>
#include <optional>
#include <utility>

#include "engines/odbc/OdbcInternal.h"
#include "index/EngineCache.h"
#include "runtime/TextBasics.h"
#include "sql/TsqlRewrite.h"

namespace mirel_platform::odbc_detail {

std::optional<ServerKind> KindOf(const std::string& dbmsName) {
  const std::string lower = LowerAscii(dbmsName);
  if (lower.find("postgresql") != std::string::npos) return ServerKind::PostgreSQL;
  if (lower.find("sql server") != std::string::npos) return ServerKind::SqlServer;
  return std::nullopt;
}

std::string TextFor(const std::string& sql, ServerKind kind) {
  std::string rewritten = RewriteTsql(sql, Dialect::PostgreSQL);
  // SQL Server runs the library's own text; the rewrite above only proved that it is a
  // single select of the constructs the library composes.
  return kind == ServerKind::PostgreSQL ? rewritten : sql;
}

}  // namespace mirel_platform::odbc_detail

namespace mirel_platform {

using namespace odbc_detail;

namespace {

// An answer kept under "Cache Seconds", with the time it stops being given out.
struct KeptAnswer {
  std::chrono::steady_clock::time_point until;
  Rows rows;
};

std::shared_ptr<mirel_SbF::Recordset> RecordsetOf(Rows rows) {
  return std::make_shared<mirel_SbF::MemoryRecordset>(std::move(rows.names), std::move(rows.rows));
}

Rows Query(const std::string& strSql, const std::string& strDbName, const OdbcSettings& settings,
           EngineCache* cache) {
  const std::string key = std::to_string(settings.connectTimeoutSeconds) + "/" + std::to_string(settings.commandTimeoutSeconds) +
                          "/" + settings.driverString;
  try {
    Lease lease(key, settings, true);
    Rows rows;
    try {
      std::optional<Rows> fast = cache ? FacetAnswer(*lease, settings, strDbName, strSql, *cache) : std::nullopt;
      rows = fast ? std::move(*fast) : Run(*lease, settings, strDbName, strSql);
    } catch (const ConnectionLost&) {
      if (!lease.Pooled()) throw;
      // A pooled connection may have died while it waited (the server restarted): the
      // query only reads, so it runs once more on a new connection.
      Lease fresh(key, settings, false);
      rows = Run(*fresh, settings, strDbName, strSql);
      fresh.Keep();
      return rows;
    }
    lease.Keep();
    return rows;
  } catch (const ConnectionLost& lost) {
    throw Error(lost.Number(), lost.Source(), lost.Description());
  }
}

}  // namespace

template <> struct KeptType<Kept::ServerAnswer> { using type = KeptAnswer; };

std::shared_ptr<mirel_SbF::Recordset> OdbcExecuteQuery(const std::string& strSql, const std::string& strDbName,
                                                        const std::string& strDbConn) {
  const OdbcSettings settings = OdbcSettingsOf(strDbConn);
  if (!IsPlainName(strDbName))
    Fail("The database name \"" + strDbName + "\" is not a plain name (letters, digits and \"_\" only).");
  RewriteTsql(strSql, Dialect::PostgreSQL);  // refuse a text before any connection is made
  if (settings.cacheSeconds == 0 || settings.cacheBytes == 0)
    return RecordsetOf(Query(strSql, strDbName, settings, nullptr));

  EngineCache& cache = AnswerCache(settings.cacheBytes);
  // Each form keeps its own answers (they are the same; this keeps each form testable).
  const std::string key = std::to_string(static_cast<int>(settings.evaluation)) + "|" + settings.driverString + "|" +
                          strDbName + "|" + strSql;
  const auto now = std::chrono::steady_clock::now();
  // A kept answer's rows are shared with the record set, not copied.
  auto shared = [](const std::shared_ptr<const KeptAnswer>& kept) {
    return std::make_shared<mirel_SbF::MemoryRecordset>(
        kept->rows.names,
        std::shared_ptr<const std::vector<std::vector<mirel_SbF::Variant>>>(kept, &kept->rows.rows),
        mirel_SbF::MemoryRecordset::Shared{});
  };
  if (auto kept = cache.Get<Kept::ServerAnswer>("", key); kept && kept->until > now) return shared(kept);
  auto answer = std::make_shared<KeptAnswer>();
  answer->rows = Query(strSql, strDbName, settings, &cache);
  answer->until = now + std::chrono::seconds(settings.cacheSeconds);
  const size_t bytes = answer->rows.bytes;
  std::shared_ptr<const KeptAnswer> kept = answer;
  cache.Put<Kept::ServerAnswer>("", key, kept, bytes);
  return shared(kept);
}

std::string OdbcTextForServer(const std::string& strSql, const std::string& dbmsName) {
  const std::optional<ServerKind> kind = KindOf(dbmsName);
  if (!kind) Fail("The connector speaks to SQL Server and PostgreSQL only, not to " + dbmsName + ".");
  return TextFor(strSql, *kind);
}

}  // namespace mirel_platform
