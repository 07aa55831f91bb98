// Sessions on a server: the driver's diagnostics, opening a connection and setting up its
// session, and telling a dead connection.
#include "engines/odbc/OdbcInternal.h"

#include "runtime/TextBasics.h"

namespace mirel_platform::odbc_detail {

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

namespace {

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

}  // namespace

std::unique_ptr<Connection> Open(const OdbcSettings& settings) {
  SQLHDBC raw = SQL_NULL_HDBC;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &raw)))
    Fail("No ODBC connection can be made: " + DiagnosticsOf(SQL_HANDLE_ENV, Environment()).text);
  auto conn = std::make_unique<Connection>(raw);
  const auto seconds = static_cast<SQLULEN>(settings.connectTimeoutSeconds);
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
    ExecOnly(*conn, "SET statement_timeout = " + std::to_string(int64_t{settings.commandTimeoutSeconds} * 1000),
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
  CountOpened();
  return conn;
}

// Takes a connection from the pool and gives it back when the query succeeded; one that

bool IsDead(SQLHDBC dbc) {
  SQLUINTEGER dead = SQL_CD_FALSE;
  return Succeeded(SQLGetConnectAttrW(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE;
}

}  // namespace mirel_platform::odbc_detail
