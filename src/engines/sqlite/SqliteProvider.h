// SqliteProvider: runs the library's queries on SQLite database files (Provider=SQLite,
// also when the connection string names no provider).
//
// "Data Source=<folder>" is required; database X is the file <folder>/X.db and a
// three-part name X..t in a text reads table t of <folder>/X.db, attached for the query.
// Files are opened read-only. Each thread keeps its open connections (and what they have
// attached) for the next query, so only the first query on a file pays for opening it; a
// connection whose file was replaced or removed is reopened. Every text runs in one read
// transaction, so all its statements read one version of each file; within a ReadScope
// (mirel_base::ReadScope, Connector.h) all the texts of a call do.
//
// Errors, all with the source "mirel_base.Connector":
//   0x80004005  bad connection string, bad database name, a file that cannot be opened
//               or is no database, a BLOB value in the result
//   0x80040E14  a text the T-SQL rewrite refuses, or one the engine cannot prepare or
//               run (the description is the engine's message)
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Recordset.h"

struct sqlite3;

namespace mirel_platform {

// Runs the T-SQL text `strSql` in database `strDbName` and returns all its rows: INTEGER
// as Long when it fits in 32 bits (else Double), REAL as Double, TEXT as String, NULL as
// Null.
std::shared_ptr<mirel_SbF::Recordset> SqliteExecuteQuery(const std::string& strSql,
                                                          const std::string& strDbName,
                                                          const std::string& strDbConn);

// The index file of database `strDbName` (mirel_base::WriteIndexFile, CheckIndexFile).
void SqliteWriteIndexFile(const std::string& strDbName, const std::string& strDbConn);
std::string SqliteCheckIndexFile(const std::string& strDbName, const std::string& strDbConn);

// The calling thread's mirel_base::ReadScope begins and ends (they nest).
void SqliteBeginReadScope();
void SqliteEndReadScope();

// Closes the calling thread's cached connections (e.g. before a database file is rebuilt
// in place).
void SqliteCloseCachedConnections();

// Forgets everything the engine keeps between queries (sets, postings, results), as a new
// process would start: for benchmarks of a cold start.
void SqliteDropCachesForTesting();

// What the engine keeps now and has counted since the process started, over all its
// caches (mirel_base::EngineCacheCounts).
mirel_base::CacheCounts SqliteCacheCounts();

// For benchmarks: the bytes the engine keeps now, over all its caches.
int64_t SqliteCacheBytesForTesting();

// For tests: how many database connections the calling thread has opened so far, and the
// calling thread's cached connection to database `strDbName` (nullptr if none).
int64_t SqliteOpenCountForTesting();
sqlite3* SqliteCachedHandleForTesting(const std::string& strDbName, const std::string& strDbConn);

}  // namespace mirel_platform
