// Connector: runs one SQL text in a named database and returns all its rows.
//
// The connection string is a list of Key=Value pairs separated by ";"; keys compare
// without regard to case. "Provider" picks the engine:
//   Provider=SQLite;Data Source=<folder>   (the default) database X is <folder>/X.db
//   Provider=ODBC;Driver=…;Server=…        a SQL Server or PostgreSQL server; the rest of
//                                          the string goes to the ODBC driver
//   a name given to RegisterProvider        the host's own engine or test double
// Errors of the engine reach the caller as Error with the connector's own source.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mirel_SbF/Recordset.h"

namespace mirel_base {

inline constexpr const char* kConnectorSource = "mirel_base.Connector";

class Connector {
 public:
  std::shared_ptr<mirel_SbF::Recordset> ExecuteQuery(const std::string& strSql,
                                                     const std::string& strDbName,
                                                     const std::string& strDbConn);
};

using QueryRunner = std::function<std::shared_ptr<mirel_SbF::Recordset>(
    const std::string& strSql, const std::string& strDbName, const std::string& strDbConn)>;

// Makes Provider=<name> run queries through `run` (replacing an earlier registration of
// the same name, compared without regard to case). Thread-safe.
void RegisterProvider(const std::string& name, QueryRunner run);

// The index file of a database (the embedded SQLite engine: <folder>/<name>.sbfidx beside
// <name>.db): every item's postings and the vehicles, which the engine reads item by item
// instead of building them from the equipment table in every new process. It belongs to the
// version of the database file it was written from; for any other version (the file changed
// or replaced, a copy with another time), or when it is damaged, the engine does not use it
// and builds what it needs from the database, with the same answers, only slower.
//   WriteIndexFile  writes it for the database as it is now (a file beside it, renamed over
//                   the old one when complete). Raises Error 0x80004005 (source
//                   "mirel_base.Connector") when it cannot.
//   CheckIndexFile  "" when the engine would use the index file now; else why not, in words
//                   for an operator.
void WriteIndexFile(const std::string& strDbName, const std::string& strDbConn);
std::string CheckIndexFile(const std::string& strDbName, const std::string& strDbConn);

// The version of the data the databases `strDbNames` of `strDbConn` hold now: a text that
// changes whenever one of their files is replaced, renamed over or written, for a host that
// tags its answers with it (an HTTP ETag). The embedded engine's files only: empty for
// database servers and other providers, whose version cannot be told this way. Reads the
// files' metadata, never their contents; a missing file is part of the version too.
std::string DataVersion(const std::string& strDbConn, const std::vector<std::string>& strDbNames);

// What the embedded engine keeps between queries (Cache MB), over every data folder of the
// process, for a host's metrics: bytes and entries held now; since the process started,
// lookups that found an entry (hits) or none (misses), entries stored (loads) and entries
// dropped to make room (evictions). Read-only.
struct CacheCounts {
  int64_t bytes = 0, entries = 0, hits = 0, misses = 0, evictions = 0, loads = 0;
};
CacheCounts EngineCacheCounts();

// One version of the data for every query the calling thread runs while the scope lives.
// The embedded engine then keeps each connection that has read in its read transaction, so
// a file published anew meanwhile (renamed over the old one) is read as the file the scope
// read first. DoSearch opens one for its texts; a host opens one around several calls that
// must agree (a page's screen, count and vehicle list). Scopes nest; the outermost ends the
// transactions. Keep one short: it holds a reader's snapshot of the files. The database
// servers run each text on its own, as before.
class ReadScope {
 public:
  ReadScope();
  ~ReadScope();
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;
};

}  // namespace mirel_base
