// OdbcProvider: runs the library's queries on a database server through an ODBC driver
// (Provider=ODBC).
//
// Every entry of the connection string but Provider and the two timeouts goes to the
// driver as written, e.g.
//   Provider=ODBC;Driver={PostgreSQL Unicode};Server=db1;Port=5432;Database=specs;Uid=u;Pwd=p
//   Provider=ODBC;Driver={FreeTDS};Server=db1;Port=1433;TDS_Version=7.4;Uid=u;Pwd=p
//   Provider=ODBC;DSN=specs-replica
// "Connect Timeout" (seconds to open a connection, default 15) and "Command Timeout"
// (seconds a query may run, default 30) are ADO's names; 0 means no limit.
//
// The server's name for itself (SQLGetInfo SQL_DBMS_NAME) picks the dialect:
//   SQL Server   the T-SQL text runs unchanged; the database name selects the catalog
//   PostgreSQL   the text is rewritten to PostgreSQL; the database name selects the
//                schema (X..t reads table t of schema X); the session is read-only
// Any other server is refused. Either way the text must be one select statement of the
// constructs the library composes, so nothing that writes reaches a server.
//
// Connections are pooled per connection string and shared by all threads; each is used
// by one query at a time. A connection that fails in any way is closed rather than
// pooled again, and a query that finds its pooled connection broken (the server was
// restarted, say) runs once more on a new connection.
//
// Errors, all with the source "mirel_base.Connector", the password never shown:
//   0x80004005  bad connection string or database name, no connection (the driver's
//               message and the data source), an unknown database, a lost connection,
//               a query over its Command Timeout, a binary value in the result
//   0x80040E14  a text the rewrite refuses, or one the server cannot run
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mirel_SbF/Recordset.h"
#include "engines/EngineSettings.h"

namespace mirel_platform {

// Runs the T-SQL text `strSql` in database `strDbName` and returns all its rows: whole
// numbers as Long when they fit in 32 bits (else Double), other numbers as Double, bit as
// Boolean, everything else as String (UTF-8), NULL as Null.
std::shared_ptr<mirel_SbF::Recordset> OdbcExecuteQuery(const std::string& strSql,
                                                        const std::string& strDbName,
                                                        const std::string& strDbConn);

// Closes every idle pooled connection (e.g. before a server is taken down on purpose).
void OdbcClosePooledConnections();

// What the connector makes of a connection string: the engine settings (EngineSettings.h)
// and the text handed to the driver, the same with the password hidden (for messages).
// "Cache Seconds=N" keeps each answer for N seconds (default 0: nothing is kept, every query
// reaches the server); "Cache MB=N" bounds what is kept. A server's data may change at any
// time, so a host asks for this only where answers that old are acceptable. With answers
// kept, PostgreSQL's texts run in the faster forms of index/FacetEvaluator.h
// ("Evaluation=Levels" only the levels, "Evaluation=Plain" as written).
struct OdbcSettings : EngineSettings {
  std::string driverString;
  std::string shownString;
};
OdbcSettings OdbcSettingsOf(const std::string& strDbConn);

// The text sent to a server that calls itself `dbmsName` for the T-SQL text `strSql`.
std::string OdbcTextForServer(const std::string& strSql, const std::string& dbmsName);

// For tests and benchmarks: connections opened and closed since the start, and idle now.
struct OdbcPoolCounts {
  int64_t opened = 0;
  int64_t closed = 0;
  int64_t idle = 0;
};
OdbcPoolCounts OdbcPoolCountsForTesting();

}  // namespace mirel_platform
