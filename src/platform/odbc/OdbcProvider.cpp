#include "platform/odbc/OdbcProvider.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "platform/ConnectionString.h"
#include "platform/EngineCache.h"
#include "platform/FacetEvaluator.h"
#include "platform/VehicleLevels.h"
#include "platform/TextBasics.h"
#include "platform/TsqlRewrite.h"
#include "platform/Unicode.h"

namespace mirel_platform {

namespace {

using mirel_SbF::Error;
using mirel_SbF::kErrBadSql;
using mirel_SbF::kErrUnspecified;
using mirel_base::kConnectorSource;

// At most this many idle connections are kept per connection string; more are closed
// when they come back, so that a burst of threads does not pin server sessions forever.
constexpr size_t kMaxIdlePerString = 16;

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrUnspecified, kConnectorSource, description);
}



// --- UTF-8 <-> UTF-16 (SQLWCHAR), so that texts cross every driver unchanged ----------
// Through the platform's ICU conversions: a text that is not well-formed UTF-8 is refused,
// never decoded leniently (an overlong C0 A7 must not reach a server as a quote).

using WideString = std::basic_string<SQLWCHAR>;
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a UTF-16 code unit");

// The UTF-16 form of `text`, or nothing when it is not well-formed UTF-8.
std::optional<WideString> TryWiden(std::string_view text) {
  const std::optional<std::u16string> utf16 = Utf8ToUtf16(text);
  if (!utf16) return std::nullopt;
  return WideString(utf16->begin(), utf16->end());
}

// Settings and names of the connector's own making: a failure is the connector's error.
WideString Widen(const std::string& text, const char* what) {
  std::optional<WideString> wide = TryWiden(text);
  if (!wide) Fail(std::string(what) + " is not well-formed UTF-8; it is not sent to the server.");
  return std::move(*wide);
}

std::string Narrow(const SQLWCHAR* text, size_t length) {
  return Utf16ToUtf8(std::u16string(text, text + length));
}

std::string NarrowZ(const SQLWCHAR* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return Narrow(text, n);
}

// --- Handles -------------------------------------------------------------------------

struct EnvFree {
  void operator()(SQLHENV h) const { SQLFreeHandle(SQL_HANDLE_ENV, h); }
};
struct StmtFree {
  void operator()(SQLHSTMT h) const { SQLFreeHandle(SQL_HANDLE_STMT, h); }
};
using EnvHandle = std::unique_ptr<void, EnvFree>;
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

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The driver's diagnostics of a failed call: every record's text and the first SQLSTATE.
struct Diagnostics {
  std::string state;
  std::string text;
};

Diagnostics DiagnosticsOf(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostics d;
  for (SQLSMALLINT record = 1; record <= 10; ++record) {
    SQLWCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {0};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                        static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!Succeeded(rc)) break;
    std::string text = NarrowZ(message);
    // Drivers break long messages over lines and tabs; an error description is one line.
    for (char& c : text)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
    if (d.state.empty()) d.state = NarrowZ(state);
    if (!d.text.empty()) d.text += "; ";
    d.text += text + " (SQLSTATE " + NarrowZ(state) + ")";
  }
  if (d.text.empty()) d.text = "the driver gave no reason";
  return d;
}

// SQLSTATEs that mean the connection, not the query, failed: class 08 (connection
// exception) and PostgreSQL's operator intervention 57P01..57P03 (server shutting down,
// crashed, not yet accepting connections).
bool IsConnectionState(const std::string& state) {
  return state.rfind("08", 0) == 0 || state.rfind("57P0", 0) == 0;
}

SQLHENV Environment() {
  static EnvHandle env;
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] {
    SQLHENV h = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
      failure = "The ODBC driver manager cannot be started.";
      return;
    }
    env.reset(h);
    if (!Succeeded(SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
      failure = "The ODBC driver manager refuses ODBC 3: " + DiagnosticsOf(SQL_HANDLE_ENV, h).text;
      env.reset();
    }
  });
  if (!env) Fail(failure);
  return env.get();
}

// --- Settings --------------------------------------------------------------------------

// A value the driver would read otherwise than as written: one holding a separator or a
// brace, with blanks at its ends, or opening with a quote (read as a quoted value).
bool NeedsBraces(const std::string& value) {
  constexpr std::string_view kBlanks = " \t\r\n";  // what a parser drops around a value
  return value.find_first_of(";{}=") != std::string::npos ||
         (!value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                             kBlanks.find(value.back()) != std::string_view::npos || value.front() == '"'));
}

std::string DriverValue(const std::string& value) {
  if (!NeedsBraces(value)) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

int32_t TimeoutOf(const ConnectionString& conn, const char* key, int32_t fallback) {
  const std::optional<std::string> text = conn.Get(key);
  if (!text) return fallback;
  int32_t value = -1;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (text->empty() || ec != std::errc() || end != text->data() + text->size() || value < 0 || value > 86400)
    Fail("The connection string's \"" + std::string(key) + "\" is \"" + *text +
         "\"; it must be a whole number of seconds from 0 (no limit) to 86400.");
  return value;
}

enum class ServerKind { SqlServer, PostgreSQL };

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

// --- Pool ------------------------------------------------------------------------------

struct Connection {
  explicit Connection(SQLHDBC h) : dbc(h) {}
  DbcHandle dbc;
  ServerKind kind = ServerKind::SqlServer;
  std::string dbms;
  std::string selected;  // the catalog or schema now selected
};

struct Pool {
  std::mutex mutex;
  std::unordered_map<std::string, std::vector<std::unique_ptr<Connection>>> idle;
  std::atomic<int64_t> opened{0};
  std::atomic<int64_t> closed{0};
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

void Close(std::unique_ptr<Connection> conn) {
  if (!conn) return;
  conn.reset();
  ++ThePool().closed;
}

// Runs a session statement (settings, checks); a failure is `what` with the driver's words.
StmtHandle ExecuteSessionStatement(Connection& conn, const std::string& sql, const std::string& what) {
  SQLHSTMT raw = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc.get(), &raw)))
    Fail(what + ": " + DiagnosticsOf(SQL_HANDLE_DBC, conn.dbc.get()).text);
  StmtHandle stmt(raw);
  WideString text = Widen(sql, "A session statement");
  if (!Succeeded(SQLExecDirectW(raw, text.data(), static_cast<SQLINTEGER>(text.size()))))
    Fail(what + ": " + DiagnosticsOf(SQL_HANDLE_STMT, raw).text);
  return stmt;
}

// Runs a statement that returns nothing the connector needs (session settings).
void ExecOnly(Connection& conn, const std::string& sql, const std::string& what) {
  ExecuteSessionStatement(conn, sql, what);
}

// The first column of the first row of a statement's result, as text ("" for no row).
std::string QueryText(Connection& conn, const std::string& sql, const std::string& what) {
  StmtHandle stmt = ExecuteSessionStatement(conn, sql, what);
  SQLHSTMT raw = stmt.get();
  const SQLRETURN fetched = SQLFetch(raw);
  if (fetched == SQL_NO_DATA) return {};
  SQLWCHAR value[256] = {0};
  SQLLEN indicator = 0;
  if (!Succeeded(fetched) || !Succeeded(SQLGetData(raw, 1, SQL_C_WCHAR, value, sizeof value, &indicator)))
    Fail(what + ": " + DiagnosticsOf(SQL_HANDLE_STMT, raw).text);
  return indicator == SQL_NULL_DATA ? std::string() : NarrowZ(value);
}

std::unique_ptr<Connection> Open(const OdbcSettings& settings) {
  SQLHDBC raw = SQL_NULL_HDBC;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &raw)))
    Fail("No ODBC connection can be made: " + DiagnosticsOf(SQL_HANDLE_ENV, Environment()).text);
  auto conn = std::make_unique<Connection>(raw);
  const auto seconds = static_cast<SQLULEN>(settings.connectTimeout);
  SQLSetConnectAttrW(raw, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
  SQLSetConnectAttrW(raw, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);

  WideString in = Widen(settings.driverString, "The connection string");
  SQLWCHAR out[1024];
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc = SQLDriverConnectW(raw, nullptr, in.data(), static_cast<SQLSMALLINT>(in.size()), out,
                                         static_cast<SQLSMALLINT>(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc))
    Fail("Cannot connect to the ODBC data source \"" + settings.shownString +
         "\": " + DiagnosticsOf(SQL_HANDLE_DBC, raw).text);
  conn->dbc.MarkConnected();

  SQLWCHAR name[256] = {0};
  SQLSMALLINT nameLength = 0;
  if (!Succeeded(SQLGetInfoW(raw, SQL_DBMS_NAME, name, sizeof name, &nameLength)))
    Fail("The ODBC data source \"" + settings.shownString + "\" does not name its server: " +
         DiagnosticsOf(SQL_HANDLE_DBC, raw).text);
  conn->dbms = NarrowZ(name);
  const std::optional<ServerKind> kind = KindOf(conn->dbms);
  if (!kind)
    Fail("The ODBC data source \"" + settings.shownString + "\" is a " + conn->dbms +
         " server; the connector speaks to SQL Server and PostgreSQL only.");
  conn->kind = *kind;
  if (conn->kind == ServerKind::PostgreSQL) {
    // Read-only on our side too, whatever the role may do; and the server cancels a query
    // over the command timeout (the driver's own query timeout is not relied on).
    ExecOnly(*conn, "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY",
             "The PostgreSQL session cannot be made read-only");
    ExecOnly(*conn, "SET statement_timeout = " + std::to_string(int64_t{settings.commandTimeout} * 1000),
             "The PostgreSQL session's statement timeout cannot be set");
    // Literals are quoted for standard strings, where a backslash is an ordinary
    // character. With the setting off (server, database or role default) a backslash
    // before a quote would end a literal early, so the session turns it on and runs
    // nothing unless the server confirms it.
    ExecOnly(*conn, "SET standard_conforming_strings = on",
             "The PostgreSQL session cannot be given standard_conforming_strings = on");
    const std::string standard = QueryText(*conn, "SHOW standard_conforming_strings",
                                           "The PostgreSQL session's standard_conforming_strings cannot be read");
    if (standard != "on")
      Fail("The PostgreSQL session on the ODBC data source \"" + settings.shownString +
           "\" keeps standard_conforming_strings = \"" + standard +
           "\"; queries are not run without standard strings (backslashes in values would change them).");
  }
  ++ThePool().opened;
  return conn;
}

// Takes a connection from the pool and gives it back when the query succeeded; one that
// failed is closed, because its state is unknown.
class Lease {
 public:
  Lease(std::string key, const OdbcSettings& settings, bool allowPooled) : m_key(std::move(key)) {
    if (allowPooled) {
      Pool& pool = ThePool();
      std::lock_guard<std::mutex> lock(pool.mutex);
      auto it = pool.idle.find(m_key);
      if (it != pool.idle.end() && !it->second.empty()) {
        m_conn = std::move(it->second.back());
        it->second.pop_back();
        m_pooled = true;
      }
    }
    if (!m_conn) m_conn = Open(settings);
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  ~Lease() {
    if (!m_keep) {
      Close(std::move(m_conn));
      return;
    }
    Pool& pool = ThePool();
    std::unique_ptr<Connection> extra;
    {
      std::lock_guard<std::mutex> lock(pool.mutex);
      auto& idle = pool.idle[m_key];
      if (idle.size() < kMaxIdlePerString) idle.push_back(std::move(m_conn));
      else extra = std::move(m_conn);
    }
    Close(std::move(extra));
  }
  Connection& operator*() const { return *m_conn; }
  bool Pooled() const { return m_pooled; }
  void Keep() { m_keep = true; }

 private:
  std::string m_key;
  std::unique_ptr<Connection> m_conn;
  bool m_pooled = false;
  bool m_keep = false;
};

// A failure on a connection that may have been lost; the caller decides whether to
// run the query again on a new one.
class ConnectionLost : public Error {
 public:
  using Error::Error;
};

bool IsDead(SQLHDBC dbc) {
  SQLUINTEGER dead = SQL_CD_FALSE;
  return Succeeded(SQLGetConnectAttrW(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE;
}

[[noreturn]] void StatementFailure(Connection& conn, SQLHSTMT stmt, const OdbcSettings& settings,
                                   const std::string& dbName, int32_t timeout) {
  const Diagnostics d = DiagnosticsOf(SQL_HANDLE_STMT, stmt);
  // 57014 is PostgreSQL's "canceled by statement timeout"; HYT00 the driver's own.
  if (d.state == "HYT00" || d.state == "57014")
    Fail("The query in database \"" + dbName + "\" ran longer than the command timeout of " +
         std::to_string(timeout) + " s and was cancelled: " + d.text);
  if (IsConnectionState(d.state) || IsDead(conn.dbc.get()))
    throw ConnectionLost(kErrUnspecified, kConnectorSource,
                         "The connection to the ODBC data source \"" + settings.shownString +
                             "\" was lost: " + d.text);
  throw Error(kErrBadSql, kConnectorSource, d.text + " (query in database \"" + dbName + "\" on " + conn.dbms + ")");
}

// Makes `dbName` the connection's catalog (SQL Server) or schema (PostgreSQL).
void Select(Connection& conn, const OdbcSettings& settings, const std::string& dbName) {
  const std::string wanted = conn.kind == ServerKind::PostgreSQL ? LowerAscii(dbName) : dbName;
  if (conn.selected == wanted) return;
  if (conn.kind == ServerKind::SqlServer) {
    WideString name = Widen(wanted, "The database name");
    if (!Succeeded(SQLSetConnectAttrW(conn.dbc.get(), SQL_ATTR_CURRENT_CATALOG, name.data(),
                                      static_cast<SQLINTEGER>(name.size() * sizeof(SQLWCHAR))))) {
      const Diagnostics d = DiagnosticsOf(SQL_HANDLE_DBC, conn.dbc.get());
      if (IsConnectionState(d.state) || IsDead(conn.dbc.get()))
        throw ConnectionLost(kErrUnspecified, kConnectorSource,
                             "The connection to the ODBC data source \"" + settings.shownString +
                                 "\" was lost: " + d.text);
      Fail("The database \"" + dbName + "\" cannot be selected on the ODBC data source \"" +
           settings.shownString + "\": " + d.text);
    }
  } else {
    SQLHSTMT raw = SQL_NULL_HSTMT;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc.get(), &raw)))
      Fail("No statement can be made: " + DiagnosticsOf(SQL_HANDLE_DBC, conn.dbc.get()).text);
    StmtHandle stmt(raw);
    // A schema that does not exist would only show as "relation does not exist" later.
    WideString probe = Widen("SELECT count(*) FROM pg_namespace WHERE nspname = '" + wanted + "'", "The database name");
    if (!Succeeded(SQLExecDirectW(raw, probe.data(), static_cast<SQLINTEGER>(probe.size()))))
      StatementFailure(conn, raw, settings, dbName, 0);
    SQLBIGINT found = 0;
    SQLLEN indicator = 0;
    if (!Succeeded(SQLFetch(raw)) || !Succeeded(SQLGetData(raw, 1, SQL_C_SBIGINT, &found, 0, &indicator)))
      StatementFailure(conn, raw, settings, dbName, 0);
    if (found == 0)
      Fail("The database \"" + dbName + "\" does not exist on the ODBC data source \"" + settings.shownString +
           "\" (PostgreSQL has no schema \"" + wanted + "\").");
    SQLCloseCursor(raw);
    WideString set = Widen("SET search_path TO \"" + wanted + "\"", "The database name");
    if (!Succeeded(SQLExecDirectW(raw, set.data(), static_cast<SQLINTEGER>(set.size()))))
      StatementFailure(conn, raw, settings, dbName, 0);
  }
  conn.selected = wanted;
}

bool IsWholeType(SQLSMALLINT type) {
  return type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT;
}
bool IsFloatType(SQLSMALLINT type) {
  return type == SQL_REAL || type == SQL_FLOAT || type == SQL_DOUBLE || type == SQL_NUMERIC || type == SQL_DECIMAL;
}
bool IsBinaryType(SQLSMALLINT type) {
  return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

struct ColumnInfo {
  std::string name;
  SQLSMALLINT type = 0;
  SQLSMALLINT scale = 0;
};

mirel_SbF::Variant WholeValue(int64_t v) {
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return mirel_SbF::Variant(static_cast<int32_t>(v));
  return mirel_SbF::Variant(static_cast<double>(v));
}

// Reads one column of the current row; returns false when the driver failed. A whole
// number of a whole-number column also goes to `exact` when asked for, as the server sent it.
bool ReadValue(SQLHSTMT stmt, SQLUSMALLINT column, const ColumnInfo& info, mirel_SbF::Variant& value,
               std::optional<int64_t>* exact = nullptr) {
  SQLLEN indicator = 0;
  if (info.type == SQL_BIT) {
    unsigned char bit = 0;
    if (!Succeeded(SQLGetData(stmt, column, SQL_C_BIT, &bit, sizeof bit, &indicator))) return false;
    value = indicator == SQL_NULL_DATA ? mirel_SbF::Variant::Null() : mirel_SbF::Variant(bit != 0);
    return true;
  }
  if (IsWholeType(info.type) || ((info.type == SQL_NUMERIC || info.type == SQL_DECIMAL) && info.scale == 0)) {
    // A numeric without decimals (PostgreSQL's sum of whole numbers) reads as a whole
    // number when it is one.
    double d = 0;
    if (info.type != SQL_NUMERIC && info.type != SQL_DECIMAL) {
      SQLBIGINT v = 0;
      if (!Succeeded(SQLGetData(stmt, column, SQL_C_SBIGINT, &v, sizeof v, &indicator))) return false;
      value = indicator == SQL_NULL_DATA ? mirel_SbF::Variant::Null() : WholeValue(v);
      if (exact && indicator != SQL_NULL_DATA) *exact = static_cast<int64_t>(v);
      return true;
    }
    if (!Succeeded(SQLGetData(stmt, column, SQL_C_DOUBLE, &d, sizeof d, &indicator))) return false;
    if (indicator == SQL_NULL_DATA) value = mirel_SbF::Variant::Null();
    else if (d >= -9.2e18 && d <= 9.2e18 && d == static_cast<double>(static_cast<int64_t>(d)))
      value = WholeValue(static_cast<int64_t>(d));
    else value = mirel_SbF::Variant(d);
    return true;
  }
  if (IsFloatType(info.type)) {
    double d = 0;
    if (!Succeeded(SQLGetData(stmt, column, SQL_C_DOUBLE, &d, sizeof d, &indicator))) return false;
    value = indicator == SQL_NULL_DATA ? mirel_SbF::Variant::Null() : mirel_SbF::Variant(d);
    return true;
  }
  if (IsBinaryType(info.type))
    Fail("The column \"" + info.name + "\" holds binary data, which a record set cannot return.");

  // Text (and anything else, as its text), read in pieces of any length.
  WideString text;
  SQLWCHAR buffer[2048];
  while (true) {
    const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) return false;
    if (indicator == SQL_NULL_DATA) {
      value = mirel_SbF::Variant::Null();
      return true;
    }
    const size_t room = std::size(buffer) - 1;
    const size_t got = (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(SQLWCHAR) > room)
                           ? room
                           : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
    text.append(buffer, got);
    if (rc == SQL_SUCCESS) break;
  }
  value = mirel_SbF::Variant(Narrow(text.data(), text.size()));
  return true;
}

// A result: its column names and rows, and about how many bytes they take.
using Rows = facets::ResultRows;

// The whole numbers of a result's whole-number columns as the server sent them, beside the
// record set's values (where a Double would make numbers past 2^53 one): per row, per column,
// the number, or nothing for NULL and for other columns.
using ExactWholes = std::vector<std::vector<std::optional<int64_t>>>;

Rows Run(Connection& conn, const OdbcSettings& settings, const std::string& dbName, const std::string& sql,
         bool inServerDialect = false, ExactWholes* exact = nullptr) {
  Select(conn, settings, dbName);
  SQLHSTMT raw = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc.get(), &raw))) {
    const Diagnostics d = DiagnosticsOf(SQL_HANDLE_DBC, conn.dbc.get());
    throw ConnectionLost(kErrUnspecified, kConnectorSource,
                         "No statement can be made on the ODBC data source \"" + settings.shownString + "\": " + d.text);
  }
  StmtHandle stmt(raw);
  if (conn.kind == ServerKind::SqlServer)
    SQLSetStmtAttrW(raw, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(settings.commandTimeout)), 0);

  const std::string text = inServerDialect ? sql : TextFor(sql, conn.kind);
  std::optional<WideString> wide = TryWiden(text);
  if (!wide)
    throw Error(kErrBadSql, kConnectorSource, "The SQL text is not well-formed UTF-8; it is not sent to the server.");
  const SQLRETURN rc = SQLExecDirectW(raw, wide->data(), static_cast<SQLINTEGER>(wide->size()));
  if (!Succeeded(rc) && rc != SQL_NO_DATA) StatementFailure(conn, raw, settings, dbName, settings.commandTimeout);

  SQLSMALLINT columns = 0;
  if (!Succeeded(SQLNumResultCols(raw, &columns))) StatementFailure(conn, raw, settings, dbName, settings.commandTimeout);
  if (columns <= 0) throw Error(kErrBadSql, kConnectorSource, "The SQL text returned no rows to read.");
  std::vector<ColumnInfo> info(static_cast<size_t>(columns));
  std::vector<std::string> names;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
    SQLWCHAR name[256] = {0};
    SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = 0;
    SQLULEN size = 0;
    if (!Succeeded(SQLDescribeColW(raw, i, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength, &type, &size,
                                   &scale, &nullable)))
      StatementFailure(conn, raw, settings, dbName, settings.commandTimeout);
    info[i - 1] = {NarrowZ(name), type, scale};
    names.push_back(info[i - 1].name);
  }

  std::vector<std::vector<mirel_SbF::Variant>> rows;
  while (true) {
    const SQLRETURN fetched = SQLFetch(raw);
    if (fetched == SQL_NO_DATA) break;
    if (!Succeeded(fetched)) StatementFailure(conn, raw, settings, dbName, settings.commandTimeout);
    std::vector<mirel_SbF::Variant> row(static_cast<size_t>(columns));
    if (exact) exact->emplace_back(static_cast<size_t>(columns));
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i)
      if (!ReadValue(raw, i, info[i - 1], row[i - 1], exact ? &exact->back()[i - 1] : nullptr))
        StatementFailure(conn, raw, settings, dbName, settings.commandTimeout);
    rows.push_back(std::move(row));
  }
  Rows result;
  for (const auto& row : rows) {
    result.bytes += sizeof(row) + row.size() * sizeof(mirel_SbF::Variant);
    for (const auto& v : row)
      if (v.Type() == mirel_SbF::VariantType::String) result.bytes += v.AsString().size();
  }
  result.names = std::move(names);
  result.rows = std::move(rows);
  return result;
}

}  // namespace

OdbcSettings OdbcSettingsOf(const std::string& strDbConn) {
  const ConnectionString conn = ParseConnectionString(strDbConn);
  if (LowerAscii(conn.Provider()) != "odbc")
    Fail("The ODBC connector cannot run a connection string for Provider=" + conn.Provider() + ".");
  OdbcSettings settings;
  settings.connectTimeout = TimeoutOf(conn, "Connect Timeout", settings.connectTimeout);
  settings.commandTimeout = TimeoutOf(conn, "Command Timeout", settings.commandTimeout);
  settings.cacheSeconds =
      static_cast<int32_t>(WholeNumberSetting(conn, "Cache Seconds", settings.cacheSeconds, 86400, "seconds"));
  settings.cacheBytes = WholeNumberSetting(conn, "Cache MB", settings.cacheBytes >> 20, 1 << 20, "megabytes") << 20;
  if (const std::optional<std::string> mode = conn.Get("Evaluation")) {
    if (EqualsNoCase(*mode, "Plain")) settings.evaluation = facets::Evaluation::Plain;
    else if (EqualsNoCase(*mode, "Levels")) settings.evaluation = facets::Evaluation::Levels;
    else if (!EqualsNoCase(*mode, "Facets"))
      Fail("The connection string's \"Evaluation\" is \"" + *mode + "\"; it must be Facets, Levels or Plain.");
  }
  bool namesSource = false;
  for (const auto& [key, value] : conn.Pairs()) {
    const std::string lower = LowerAscii(key);
    if (lower == "provider" || lower == "connect timeout" || lower == "command timeout" || lower == "cache seconds" ||
        lower == "cache mb" || lower == "evaluation")
      continue;
    if (lower == "driver" || lower == "dsn" || lower == "filedsn") namesSource = namesSource || !value.empty();
    const std::string entry = key + "=" + DriverValue(value) + ";";
    settings.driverString += entry;
    settings.shownString += (lower == "pwd" || lower == "password") ? key + "=***;" : entry;
  }
  if (!settings.shownString.empty()) settings.shownString.pop_back();  // the last ";"
  if (!namesSource)
    Fail("The connection string for Provider=ODBC names no Driver or DSN (e.g. \"Driver={PostgreSQL Unicode}\").");
  return settings;
}

std::string OdbcTextForServer(const std::string& strSql, const std::string& dbmsName) {
  const std::optional<ServerKind> kind = KindOf(dbmsName);
  if (!kind) Fail("The connector speaks to SQL Server and PostgreSQL only, not to " + dbmsName + ".");
  return TextFor(strSql, *kind);
}

namespace {

// ---- the faster forms on PostgreSQL (under "Cache Seconds" only) ---------------------------

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
  facets::Postings LoadPostings(int64_t schemaId) override {
    facets::Postings postings;
    const ExactRows result = QueryExact("select vehicle_id, location, data_value, option_id from equipment where schema_id = " +
                                        std::to_string(schemaId) + " order by location, data_value, vehicle_id");
    for (size_t r = 0; r < result.rows.rows.size(); ++r) {
      const auto& row = result.rows.rows[r];
      if (row[2].Type() != mirel_SbF::VariantType::String) throw facets::NotEquivalent{};
      const bool locationNull = row[1].IsNull();
      const bool standard = row[3].Type() == mirel_SbF::VariantType::Long && row[3].AsLong() == 0;
      postings.Add(locationNull, locationNull ? 0 : WholeOf(result, r, 1), row[2].AsString(), 0, WholeOf(result, r, 0),
                   standard);
    }
    postings.Shrink();
    return postings;
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
  facets::KeyedRows Rows(const std::string& tsql) override {
    ExactRows result = QueryExact(tsql);
    facets::KeyedRows rows;
    for (size_t r = 0; r < result.rows.rows.size(); ++r) rows.keys.push_back(WholeOf(result, r, 0));
    static_cast<facets::ResultRows&>(rows) = std::move(result.rows);
    if (rows.rows.empty()) rows.names.clear();  // the names only come with a row, as on SQLite
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
    for (size_t k = 0; k < it->second->Ids().size(); ++k) {
      if (k) out += ',';
      out += std::to_string(it->second->Ids()[k]);
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
    if (evaluated->answer) return *evaluated->answer;
    return Run(conn, settings, dbName, backend.Text(evaluated->tsql), true);
  } catch (const ConnectionLost&) {
    throw;
  } catch (const facets::NotEquivalent&) {
    return std::nullopt;
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace

namespace {

// An answer kept under "Cache Seconds", with the time it stops being given out.
struct KeptAnswer {
  std::chrono::steady_clock::time_point until;
  Rows rows;
};

EngineCache& AnswerCache(int64_t bytes) {
  static std::mutex mutex;
  static std::unordered_map<int64_t, std::unique_ptr<EngineCache>> caches;
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<EngineCache>& cache = caches[bytes];
  if (!cache) cache = std::make_unique<EngineCache>(static_cast<size_t>(bytes));
  return *cache;
}

std::shared_ptr<mirel_SbF::Recordset> RecordsetOf(Rows rows) {
  return std::make_shared<mirel_SbF::MemoryRecordset>(std::move(rows.names), std::move(rows.rows));
}

Rows Query(const std::string& strSql, const std::string& strDbName, const OdbcSettings& settings,
           EngineCache* cache) {
  const std::string key = std::to_string(settings.connectTimeout) + "/" + std::to_string(settings.commandTimeout) +
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
  if (auto kept = cache.Get<KeptAnswer>(key); kept && kept->until > now) return shared(kept);
  auto answer = std::make_shared<KeptAnswer>();
  answer->rows = Query(strSql, strDbName, settings, &cache);
  answer->until = now + std::chrono::seconds(settings.cacheSeconds);
  const size_t bytes = answer->rows.bytes;
  std::shared_ptr<const KeptAnswer> kept = answer;
  cache.Put<KeptAnswer>(key, kept, bytes);
  return shared(kept);
}

void OdbcClosePooledConnections() {
  Pool& pool = ThePool();
  std::unordered_map<std::string, std::vector<std::unique_ptr<Connection>>> idle;
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    idle.swap(pool.idle);
  }
  for (auto& [key, conns] : idle)
    for (auto& conn : conns) Close(std::move(conn));
}

OdbcPoolCounts OdbcPoolCountsForTesting() {
  Pool& pool = ThePool();
  OdbcPoolCounts counts{pool.opened.load(), pool.closed.load(), 0};
  std::lock_guard<std::mutex> lock(pool.mutex);
  for (const auto& [key, conns] : pool.idle) counts.idle += static_cast<int64_t>(conns.size());
  return counts;
}

}  // namespace mirel_platform
