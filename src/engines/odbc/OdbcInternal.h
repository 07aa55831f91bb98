// What the ODBC connector's files share: UTF-16 texts (Text16.cpp), handles and sessions
// (Session.cpp), the driver string (DriverString.cpp), the pool (Pool.cpp), statements and
// their columns (Statement.cpp) and the PostgreSQL side of the index layer (PgBackend.cpp);
// OdbcProvider.cpp runs a query through them and keeps answers under "Cache Seconds".
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engines/odbc/OdbcProvider.h"
#include "index/EngineCache.h"
#include "index/Evaluator.h"
#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"

namespace mirel_platform::odbc_detail {

using mirel_SbF::Error;
using mirel_SbF::kErrBadSql;
using mirel_SbF::kErrUnspecified;
using mirel_base::kConnectorSource;

[[noreturn]] inline void Fail(const std::string& description) {
  throw Error(kErrUnspecified, kConnectorSource, description);
}

// ---- UTF-8 <-> UTF-16 (SQLWCHAR), so that texts cross every driver unchanged ----------
// Through ICU: a text that is not well-formed UTF-8 is refused, never decoded leniently
// (an overlong C0 A7 must not reach a server as a quote).

using WideString = std::basic_string<SQLWCHAR>;
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a UTF-16 code unit");

// The UTF-16 form of `text`, or nothing when it is not well-formed UTF-8.
std::optional<WideString> TryWiden(std::string_view text);
// Settings and names of the connector's own making: a failure is the connector's error.
WideString Widen(const std::string& text, const char* what);
std::string Narrow(const SQLWCHAR* text, size_t length);
std::string NarrowZ(const SQLWCHAR* text);

// ---- handles ------------------------------------------------------------------------

struct StmtFree {
  void operator()(SQLHSTMT h) const { SQLFreeHandle(SQL_HANDLE_STMT, h); }
};
using StmtHandle = std::unique_ptr<void, StmtFree>;

// A connection handle; disconnects (when connected) before it is freed.
class DbcHandle {
 public:
  explicit DbcHandle(SQLHDBC h) : m_h(h) {}
  DbcHandle(const DbcHandle&) = delete;
  DbcHandle& operator=(const DbcHandle&) = delete;
  ~DbcHandle() {
    if (m_connected) SQLDisconnect(m_h);
    SQLFreeHandle(SQL_HANDLE_DBC, m_h);
  }
  SQLHDBC get() const { return m_h; }
  void MarkConnected() { m_connected = true; }

 private:
  SQLHDBC m_h;
  bool m_connected = false;
};

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The driver's diagnostics of a failed call: every record's text and the first SQLSTATE.
struct Diagnostics {
  std::string state;
  std::string text;
};
Diagnostics DiagnosticsOf(SQLSMALLINT type, SQLHANDLE handle);

// SQLSTATEs that mean the connection, not the query, failed.
bool IsConnectionState(const std::string& state);

// The process's ODBC environment (ODBC 3), made on first use (Pool.cpp, with everything
// else the connector keeps for the process).
SQLHENV Environment();
// Counts a connection opened (OdbcPoolCountsForTesting).
void CountOpened();
// The answers kept under "Cache Seconds" for a byte limit.
EngineCache& AnswerCache(int64_t bytes);

// ---- servers and connections ------------------------------------------------------------

enum class ServerKind { SqlServer, PostgreSQL };
std::optional<ServerKind> KindOf(const std::string& dbmsName);
// The text a server of `kind` runs for the library's T-SQL text.
std::string TextFor(const std::string& sql, ServerKind kind);

struct Connection {
  explicit Connection(SQLHDBC h) : dbc(h) {}
  DbcHandle dbc;
  ServerKind kind = ServerKind::SqlServer;
  std::string dbms;
  std::string selected;  // the catalog or schema now selected
};

// A failure on a connection that may have been lost; the caller decides whether to run
// the query again on a new one.
class ConnectionLost : public Error {
 public:
  using Error::Error;
};

bool IsDead(SQLHDBC dbc);

// Opens a connection and sets up its session (read-only, timeouts, standard strings on
// PostgreSQL).
std::unique_ptr<Connection> Open(const OdbcSettings& settings);

// A value as the driver string writes it (in braces when the driver would read it
// otherwise).
std::string DriverValue(const std::string& value);

// Takes a connection from the pool and gives it back when the query succeeded; one that
// failed is closed, because its state is unknown.
class Lease {
 public:
  Lease(std::string key, const OdbcSettings& settings, bool allowPooled);
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  ~Lease();
  Connection& operator*() const { return *m_conn; }
  bool Pooled() const { return m_pooled; }
  void Keep() { m_keep = true; }

 private:
  std::string m_key;
  std::unique_ptr<Connection> m_conn;
  bool m_pooled = false;
  bool m_keep = false;
};

// ---- statements ---------------------------------------------------------------------------

// A result: its column names and rows, and about how many bytes they take.
using Rows = facets::ResultRows;

// The whole numbers of a result's whole-number columns as the server sent them, beside the
// record set's values (where a Double would make numbers past 2^53 one): per row, per column,
// the number, or nothing for NULL and for other columns.
using ExactWholes = std::vector<std::vector<std::optional<int64_t>>>;

// Runs the T-SQL text `sql` (or, with `inServerDialect`, a text already in the server's
// dialect) in database `dbName` and reads every row; `exact`, when given, receives the
// whole numbers as sent.
Rows Run(Connection& conn, const OdbcSettings& settings, const std::string& dbName, const std::string& sql,
         bool inServerDialect = false, ExactWholes* exact = nullptr);

// The answer in an equivalent form on a PostgreSQL connection, or nothing when the text is
// to run as written (PgBackend.cpp).
std::optional<Rows> FacetAnswer(Connection& conn, const OdbcSettings& settings, const std::string& dbName,
                                const std::string& tsql, EngineCache& cache);

}  // namespace mirel_platform::odbc_detail
