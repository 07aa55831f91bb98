#include "platform/sqlite/SqliteProvider.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "platform/ConnectionString.h"
#include "platform/TextBasics.h"
#include "platform/TsqlRewrite.h"

namespace mirel_platform {

namespace {

using mirel_SbF::Error;
using mirel_SbF::kErrBadSql;
using mirel_SbF::kErrUnspecified;
using mirel_base::kConnectorSource;

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

// An engine failure that carries SQLite's result code, so that a cached connection whose
// file went away can be told apart from a bad query.
class EngineError : public Error {
 public:
  EngineError(int32_t number, int code, std::string description)
      : Error(number, kConnectorSource, std::move(description)), m_code(code) {}
  int Code() const { return m_code; }

 private:
  int m_code;
};

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrUnspecified, kConnectorSource, description);
}



// Which file a path names right now; a file replaced by another (rename over it) or
// removed has a different identity from the one a connection opened.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

// A read-only "file:" URI for `path` (reserved characters percent-encoded).
std::string ReadOnlyUri(const std::string& path) {
  std::string uri = path.empty() || path.front() != '/' ? "file:" : "file://";
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", c);
      uri += buffer;
    }
  }
  return uri + "?mode=ro";
}

// Where the databases of one connection string live.
struct Location {
  std::string folder;
  std::string mainName;
  std::string FileOf(const std::string& name) const { return folder + "/" + name + ".db"; }
};

Location LocateDatabase(const std::string& strDbName, const std::string& strDbConn) {
  const ConnectionString conn = ParseConnectionString(strDbConn);
  const std::string provider = conn.Provider();
  if (LowerAscii(provider) != "sqlite")
    Fail("The SQLite engine cannot run a connection string for Provider=" + provider + ".");
  const std::optional<std::string> source = conn.Get("Data Source");
  if (!source || source->empty())
    Fail("The connection string has no \"Data Source\" (the folder that holds the database files).");
  std::string folder = *source;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!IsPlainName(strDbName))
    Fail("The database name \"" + strDbName + "\" is not a plain name (letters, digits and \"_\" only).");
  return Location{folder, strDbName};
}

struct Connection {
  DbHandle db;
  FileIdentity mainFile;
  struct Attached {
    std::string file;
    FileIdentity identity;
  };
  // Schema name (lower case) -> the file attached under it.
  std::unordered_map<std::string, Attached> attached;
};

struct ThreadCache {
  std::unordered_map<std::string, Connection> connections;  // keyed by the main file's path
  int64_t opens = 0;
};

ThreadCache& Cache() {
  thread_local ThreadCache cache;
  return cache;
}

// The primary result codes that mean "the files changed under this connection".
bool IsStaleCode(int code) {
  const int primary = code & 0xFF;
  return primary == SQLITE_CANTOPEN || primary == SQLITE_NOTADB || primary == SQLITE_IOERR ||
         primary == SQLITE_SCHEMA;
}

void Configure(sqlite3* db, const std::string& path) {
  // T-SQL reads "..." as a name only; SQLite would otherwise take an unknown "name" for a
  // string literal and hide the mistake.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, static_cast<int*>(nullptr));
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, static_cast<int*>(nullptr));
  sqlite3_busy_timeout(db, 5000);  // wait for a writer that is rebuilding the file
  // Reading the schema proves the file is a database before any query runs on it.
  char* message = nullptr;
  const int rc = sqlite3_exec(db, "PRAGMA query_only=1; SELECT count(*) FROM sqlite_master;", nullptr,
                              nullptr, &message);
  if (rc != SQLITE_OK) {
    const std::string text = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    throw EngineError(kErrUnspecified, rc, "The database file \"" + path + "\" cannot be opened: " + text);
  }
}

Connection OpenConnection(const std::string& path) {
  const std::optional<FileIdentity> identity = IdentityOf(path);
  ++Cache().opens;
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(ReadOnlyUri(path).c_str(), &raw,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK || !identity) {
    const std::string text = db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc);
    throw EngineError(kErrUnspecified, rc == SQLITE_OK ? SQLITE_CANTOPEN : rc,
                      "The database file \"" + path + "\" cannot be opened: " +
                          (identity ? text : std::string("no such file")));
  }
  sqlite3_extended_result_codes(db.get(), 0);
  Configure(db.get(), path);
  return Connection{std::move(db), *identity, {}};
}

// Whether the files behind a cached connection are still the ones it opened.
bool StillCurrent(const Connection& conn, const std::string& path) {
  if (IdentityOf(path) != conn.mainFile) return false;
  for (const auto& [schema, attached] : conn.attached) {
    if (IdentityOf(attached.file) != attached.identity) return false;
  }
  return true;
}

// The connection for `path`, from the cache when its files are unchanged.
Connection& Acquire(const std::string& path, bool& fresh) {
  auto& connections = Cache().connections;
  auto it = connections.find(path);
  if (it != connections.end() && StillCurrent(it->second, path)) {
    fresh = false;
    return it->second;
  }
  if (it != connections.end()) connections.erase(it);
  fresh = true;
  return connections.emplace(path, OpenConnection(path)).first->second;
}

void Exec(sqlite3* db, const std::string& sql, int32_t number, const std::string& context) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return;
  const std::string text = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  throw EngineError(number, rc, context + ": " + text);
}

// Attaches the databases a text names by three-part names and that the connection does
// not have yet. Each is <folder>/X.db, read-only, under the schema name X.
void AttachDatabases(Connection& conn, const Location& where, const std::vector<std::string>& names) {
  std::vector<std::string> missing;
  for (const std::string& name : names) {
    const std::string schema = LowerAscii(name);
    if (schema == "main" && name == where.mainName) continue;  // "main" already is that file
    if (schema == "main" || schema == "temp")
      Fail("The database name \"" + name + "\" of a three-part name is reserved by SQLite.");
    const auto known = conn.attached.find(schema);
    if (known == conn.attached.end()) {
      missing.push_back(name);
    } else if (known->second.file != where.FileOf(name)) {
      // Spelled in another case than before: on a case-sensitive disk another file.
      Exec(conn.db.get(), "DETACH DATABASE \"" + schema + "\"", kErrUnspecified,
           "The database \"" + schema + "\" cannot be detached");
      conn.attached.erase(known);
      missing.push_back(name);
    }
  }
  if (missing.empty()) return;

  // Make room under SQLite's limit of attached databases by dropping those this text
  // does not use.
  const size_t limit = static_cast<size_t>(sqlite3_limit(conn.db.get(), SQLITE_LIMIT_ATTACHED, -1));
  if (conn.attached.size() + missing.size() > limit) {
    for (auto it = conn.attached.begin(); it != conn.attached.end();) {
      const bool used = std::any_of(names.begin(), names.end(),
                                    [&](const std::string& n) { return LowerAscii(n) == it->first; });
      if (used) {
        ++it;
        continue;
      }
      Exec(conn.db.get(), "DETACH DATABASE \"" + it->first + "\"", kErrUnspecified,
           "The database \"" + it->first + "\" cannot be detached");
      it = conn.attached.erase(it);
    }
    if (conn.attached.size() + missing.size() > limit)
      throw Error(kErrBadSql, kConnectorSource,
                  "The SQL text names " + std::to_string(names.size()) +
                      " databases; SQLite can attach at most " + std::to_string(limit) + ".");
  }

  for (const std::string& name : missing) {
    const std::string file = where.FileOf(name);
    const std::optional<FileIdentity> identity = IdentityOf(file);
    if (!identity)
      throw EngineError(kErrUnspecified, SQLITE_CANTOPEN,
                        "The database file \"" + file + "\" (database \"" + name +
                            "\" of a three-part name) cannot be opened: no such file");
    sqlite3_stmt* raw = nullptr;
    const std::string attach = "ATTACH DATABASE ?1 AS \"" + name + "\"";
    int rc = sqlite3_prepare_v2(conn.db.get(), attach.c_str(), -1, &raw, nullptr);
    StmtHandle stmt(raw);
    if (rc == SQLITE_OK) {
      const std::string uri = ReadOnlyUri(file);
      rc = sqlite3_bind_text(stmt.get(), 1, uri.c_str(), static_cast<int>(uri.size()), SQLITE_TRANSIENT);
    }
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_DONE) {
      const std::string text = sqlite3_errmsg(conn.db.get());
      throw EngineError(kErrUnspecified, rc,
                        "The database file \"" + file + "\" (database \"" + name +
                            "\" of a three-part name) cannot be opened: " + text);
    }
    conn.attached.emplace(LowerAscii(name), Connection::Attached{file, *identity});
  }
}

[[noreturn]] void EngineFailure(sqlite3* db, int rc, const Location& where) {
  throw EngineError(kErrBadSql, rc, std::string(sqlite3_errmsg(db)) + " (query in database \"" +
                                        where.mainName + "\")");
}

mirel_SbF::Variant ValueOf(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 v = sqlite3_column_int64(stmt, column);
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        return mirel_SbF::Variant(static_cast<int32_t>(v));
      return mirel_SbF::Variant(static_cast<double>(v));
    }
    case SQLITE_FLOAT: return mirel_SbF::Variant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      const int bytes = sqlite3_column_bytes(stmt, column);
      return mirel_SbF::Variant(std::string(text ? text : "", text ? static_cast<size_t>(bytes) : 0));
    }
    case SQLITE_NULL: return mirel_SbF::Variant::Null();
    default: {
      const char* name = sqlite3_column_name(stmt, column);
      Fail("The column \"" + std::string(name ? name : "?") +
           "\" holds binary data (a BLOB), which a record set cannot return.");
    }
  }
}

std::shared_ptr<mirel_SbF::Recordset> Run(Connection& conn, const Location& where, const std::string& sql,
                                          const std::vector<std::string>& databases) {
  AttachDatabases(conn, where, databases);
  sqlite3* db = conn.db.get();
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
  StmtHandle stmt(raw);
  if (rc != SQLITE_OK) EngineFailure(db, rc, where);
  if (!stmt) throw Error(kErrBadSql, kConnectorSource, "The SQL text holds no statement.");
  // The rewrite lets through one select only; the engine must agree before anything runs.
  if (tail && std::string_view(tail).find_first_not_of(" \t\r\n\f\v") != std::string_view::npos)
    throw Error(kErrBadSql, kConnectorSource, "The SQL text holds more than one statement.");
  if (!sqlite3_stmt_readonly(stmt.get()))
    throw Error(kErrBadSql, kConnectorSource, "The SQL text would change the database; only queries run.");

  const int columns = sqlite3_column_count(stmt.get());
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(columns));
  for (int i = 0; i < columns; ++i) {
    const char* name = sqlite3_column_name(stmt.get(), i);
    if (!name) throw Error(kErrUnspecified, kConnectorSource, "SQLite ran out of memory naming a column.");
    names.emplace_back(name);
  }
  std::vector<std::vector<mirel_SbF::Variant>> rows;
  while (true) {
    const int step = sqlite3_step(stmt.get());
    if (step == SQLITE_DONE) break;
    if (step != SQLITE_ROW) EngineFailure(db, step, where);
    std::vector<mirel_SbF::Variant> row;
    row.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(ValueOf(stmt.get(), i));
    rows.push_back(std::move(row));
  }
  return std::make_shared<mirel_SbF::MemoryRecordset>(std::move(names), std::move(rows));
}

}  // namespace

std::shared_ptr<mirel_SbF::Recordset> SqliteExecuteQuery(const std::string& strSql, const std::string& strDbName,
                                                          const std::string& strDbConn) {
  const Location where = LocateDatabase(strDbName, strDbConn);
  std::vector<std::string> databases;
  const std::string sql = RewriteTsql(strSql, Dialect::SQLite, &databases);
  const std::string path = where.FileOf(where.mainName);

  bool fresh = false;
  try {
    return Run(Acquire(path, fresh), where, sql, databases);
  } catch (const EngineError& e) {
    if (!IsStaleCode(e.Code())) throw;
    // The files changed under the connection: forget it, and give a cached one a second
    // chance with a fresh connection.
    Cache().connections.erase(path);
    if (fresh) throw;
  }
  try {
    return Run(Acquire(path, fresh), where, sql, databases);
  } catch (const EngineError& e) {
    if (IsStaleCode(e.Code())) Cache().connections.erase(path);
    throw;
  }
}

void SqliteCloseCachedConnections() { Cache().connections.clear(); }

int64_t SqliteOpenCountForTesting() { return Cache().opens; }

sqlite3* SqliteCachedHandleForTesting(const std::string& strDbName, const std::string& strDbConn) {
  const Location where = LocateDatabase(strDbName, strDbConn);
  auto& connections = Cache().connections;
  const auto it = connections.find(where.FileOf(where.mainName));
  return it == connections.end() ? nullptr : it->second.db.get();
}

}  // namespace mirel_platform
