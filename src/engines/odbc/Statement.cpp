// Running a statement: selecting the database, reading every column of every row into
// Variants, and telling a failed query from a lost connection or a timeout.
#include "engines/odbc/OdbcInternal.h"

#include "runtime/NumberText.h"
#include "runtime/TextBasics.h"

namespace mirel_platform::odbc_detail {

namespace {

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

// Reads one column of the current row; returns false when the driver failed. A whole
// number of a whole-number column also goes to `exact` when asked for, as the server sent it.
bool ReadValue(SQLHSTMT stmt, SQLUSMALLINT column, const ColumnInfo& info, mirel_SbF::Variant& value,
               std::optional<int64_t>* exact) {
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
      value = indicator == SQL_NULL_DATA ? mirel_SbF::Variant::Null() : mirel_SbF::WholeNumber(v);
      if (exact && indicator != SQL_NULL_DATA) *exact = static_cast<int64_t>(v);
      return true;
    }
    if (!Succeeded(SQLGetData(stmt, column, SQL_C_DOUBLE, &d, sizeof d, &indicator))) return false;
    if (indicator == SQL_NULL_DATA) value = mirel_SbF::Variant::Null();
    else if (d >= -9.2e18 && d <= 9.2e18 && d == static_cast<double>(static_cast<int64_t>(d)))
      value = mirel_SbF::WholeNumber(static_cast<int64_t>(d));
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

}  // namespace

Rows Run(Connection& conn, const OdbcSettings& settings, const std::string& dbName, const std::string& sql,
         bool inServerDialect, ExactWholes* exact) {
  Select(conn, settings, dbName);
  SQLHSTMT raw = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, conn.dbc.get(), &raw))) {
    const Diagnostics d = DiagnosticsOf(SQL_HANDLE_DBC, conn.dbc.get());
    throw ConnectionLost(kErrUnspecified, kConnectorSource,
                         "No statement can be made on the ODBC data source \"" + settings.shownString + "\": " + d.text);
  }
  StmtHandle stmt(raw);
  if (conn.kind == ServerKind::SqlServer)
    SQLSetStmtAttrW(raw, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(settings.commandTimeoutSeconds)), 0);

  const std::string text = inServerDialect ? sql : TextFor(sql, conn.kind);
  std::optional<WideString> wide = TryWiden(text);
  if (!wide)
    throw Error(kErrBadSql, kConnectorSource, "The SQL text is not well-formed UTF-8; it is not sent to the server.");
  const SQLRETURN rc = SQLExecDirectW(raw, wide->data(), static_cast<SQLINTEGER>(wide->size()));
  if (!Succeeded(rc) && rc != SQL_NO_DATA) StatementFailure(conn, raw, settings, dbName, settings.commandTimeoutSeconds);

  SQLSMALLINT columns = 0;
  if (!Succeeded(SQLNumResultCols(raw, &columns))) StatementFailure(conn, raw, settings, dbName, settings.commandTimeoutSeconds);
  if (columns <= 0) throw Error(kErrBadSql, kConnectorSource, "The SQL text returned no rows to read.");
  std::vector<ColumnInfo> info(static_cast<size_t>(columns));
  std::vector<std::string> names;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
    SQLWCHAR name[256] = {0};
    SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = 0;
    SQLULEN size = 0;
    if (!Succeeded(SQLDescribeColW(raw, i, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength, &type, &size,
                                   &scale, &nullable)))
      StatementFailure(conn, raw, settings, dbName, settings.commandTimeoutSeconds);
    info[i - 1] = {NarrowZ(name), type, scale};
    names.push_back(info[i - 1].name);
  }

  std::vector<std::vector<mirel_SbF::Variant>> rows;
  while (true) {
    const SQLRETURN fetched = SQLFetch(raw);
    if (fetched == SQL_NO_DATA) break;
    if (!Succeeded(fetched)) StatementFailure(conn, raw, settings, dbName, settings.commandTimeoutSeconds);
    std::vector<mirel_SbF::Variant> row(static_cast<size_t>(columns));
    if (exact) exact->emplace_back(static_cast<size_t>(columns));
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i)
      if (!ReadValue(raw, i, info[i - 1], row[i - 1], exact ? &exact->back()[i - 1] : nullptr))
        StatementFailure(conn, raw, settings, dbName, settings.commandTimeoutSeconds);
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

}  // namespace mirel_platform::odbc_detail
