#include "engines/sqlite/SqliteProvider.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "engines/ConnectionString.h"
#include "index/EngineCache.h"
#include "runtime/TextBasics.h"
#include "sql/TsqlRewrite.h"
#include "engines/sqlite/SqliteFastPath.h"
#include "engines/sqlite/SqliteInternal.h"

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

using sqlite_detail::Bindings;
using sqlite_detail::EngineError;
using sqlite_detail::ResultRows;
using sqlite_detail::Settings;

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

Settings SettingsOf(const std::string& strDbConn) { return EngineSettingsOf(ParseConnectionString(strDbConn)); }

// The version of a database file as the caches key it: which file, its size and time, the
// change counter SQLite writes into its header on every commit, and the same of its
// write-ahead log when there is one. A file changed in any way gets another version.
std::string FileStamp(const std::string& path) {
  auto statOf = [](const std::string& p) -> std::string {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return "-";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  };
  std::string stamp = path + "@" + statOf(path);
  unsigned char header[28] = {0};
  std::ifstream file(path, std::ios::binary);
  if (file.read(reinterpret_cast<char*>(header), sizeof header)) {
    stamp += '#';
    stamp += std::to_string((uint32_t{header[24]} << 24) | (uint32_t{header[25]} << 16) | (uint32_t{header[26]} << 8) |
                            header[27]);
  }
  stamp += '+';
  stamp += statOf(path + "-wal");
  return stamp;
}

// One cache per folder and limit, shared by every thread and connection string that names
// them.
struct Caches {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<EngineCache>> byFolder;
};
Caches& AllCaches() {
  static Caches caches;
  return caches;
}

std::shared_ptr<EngineCache> CacheFor(const std::string& folder, int64_t bytes) {
  Caches& caches = AllCaches();
  std::lock_guard<std::mutex> lock(caches.mutex);
  std::shared_ptr<EngineCache>& cache = caches.byFolder[std::to_string(bytes) + "|" + folder];
  if (!cache) cache = std::make_shared<EngineCache>(static_cast<size_t>(bytes));
  return cache;
}

// When the query that runs now must stop; the progress handler reads it.
struct Deadline {
  bool active = false;
  std::chrono::steady_clock::time_point at;
  bool Passed() const { return active && std::chrono::steady_clock::now() >= at; }
};

int ProgressHandler(void* deadline) { return static_cast<Deadline*>(deadline)->Passed() ? 1 : 0; }

struct Connection {
  DbHandle db;
  FileIdentity mainFile;
  // Owned apart from the connection object so that their addresses, which SQLite keeps,
  // survive moves of the connection.
  std::unique_ptr<Bindings> bindings = std::make_unique<Bindings>();
  std::unique_ptr<Deadline> deadline = std::make_unique<Deadline>();
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
         primary == SQLITE_SCHEMA || primary == SQLITE_CORRUPT;
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
  // cell_size_check makes a damaged page an SQLITE_CORRUPT error rather than a walk that
  // may never end.
  const int rc = sqlite3_exec(db, "PRAGMA query_only=1; PRAGMA cell_size_check=ON; SELECT count(*) FROM sqlite_master;", nullptr,
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
  Connection conn;
  conn.db = std::move(db);
  conn.mainFile = *identity;
  sqlite_detail::RegisterModules(conn.db.get(), conn.bindings.get());
  sqlite3_progress_handler(conn.db.get(), 1000, ProgressHandler, conn.deadline.get());
  return conn;
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
  std::string text = sqlite3_errmsg(db);
  // A damaged file is named, so that whoever keeps it knows which one to replace.
  if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB)
    text += " (database file \"" + where.FileOf(where.mainName) + "\" or a file it reads through a three-part name)";
  throw EngineError(kErrBadSql, rc, text + " (query in database \"" + where.mainName + "\")");
}

// Prepares the one statement of `sql`, refusing a second one and anything that writes.
StmtHandle Prepare(sqlite3* db, const std::string& sql, const Location* where) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
  StmtHandle stmt(raw);
  if (rc != SQLITE_OK) {
    if (where) EngineFailure(db, rc, *where);
    throw EngineError(kErrBadSql, rc, sqlite3_errmsg(db));
  }
  if (!stmt) throw Error(kErrBadSql, kConnectorSource, "The SQL text holds no statement.");
  // The rewrite lets through one select only; the engine must agree before anything runs.
  if (tail && std::string_view(tail).find_first_not_of(" \t\r\n\f\v") != std::string_view::npos)
    throw Error(kErrBadSql, kConnectorSource, "The SQL text holds more than one statement.");
  if (!sqlite3_stmt_readonly(stmt.get()))
    throw Error(kErrBadSql, kConnectorSource, "The SQL text would change the database; only queries run.");
  return stmt;
}

ResultRows Run(Connection& conn, const Location& where, const std::string& sql, const Settings& settings) {
  sqlite3* db = conn.db.get();
  StmtHandle stmt = Prepare(db, sql, &where);
  const int columns = sqlite3_column_count(stmt.get());
  ResultRows result;
  result.names.reserve(static_cast<size_t>(columns));
  for (int i = 0; i < columns; ++i) {
    const char* name = sqlite3_column_name(stmt.get(), i);
    if (!name) throw Error(kErrUnspecified, kConnectorSource, "SQLite ran out of memory naming a column.");
    result.names.emplace_back(name);
  }
  while (true) {
    const int step = sqlite3_step(stmt.get());
    if (step == SQLITE_DONE) break;
    if (step != SQLITE_ROW) EngineFailure(db, step, where);
    std::vector<mirel_SbF::Variant> row;
    row.reserve(static_cast<size_t>(columns));
    result.bytes += sizeof(row) + static_cast<size_t>(columns) * sizeof(mirel_SbF::Variant);
    for (int i = 0; i < columns; ++i) {
      row.push_back(sqlite_detail::ValueOf(stmt.get(), i));
      if (sqlite3_column_type(stmt.get(), i) == SQLITE_TEXT)
        result.bytes += static_cast<size_t>(sqlite3_column_bytes(stmt.get(), i));
    }
    // A result is held in memory whole: one that grows past the limit (a runaway join, or a
    // damaged index that leads a scan in circles) stops here rather than taking the host.
    if (static_cast<int64_t>(result.bytes) > settings.maxResultBytes)
      Fail("The result of the query in database \"" + where.mainName + "\" is larger than " +
           std::to_string(settings.maxResultBytes >> 20) + " MB (the connection string's \"Max Result MB\").");
    result.rows.push_back(std::move(row));
  }
  return result;
}

std::shared_ptr<mirel_SbF::Recordset> RecordsetOf(ResultRows rows) {
  return std::make_shared<mirel_SbF::MemoryRecordset>(std::move(rows.names), std::move(rows.rows));
}

// A record set over a kept answer's rows, without copying them.
std::shared_ptr<mirel_SbF::Recordset> RecordsetOf(const std::shared_ptr<const ResultRows>& rows) {
  return std::make_shared<mirel_SbF::MemoryRecordset>(
      rows->names, std::shared_ptr<const std::vector<std::vector<mirel_SbF::Variant>>>(rows, &rows->rows),
      mirel_SbF::MemoryRecordset::Shared{});
}

// Sets the query's deadline for the time it runs and releases what it bound.
class QueryScope {
 public:
  QueryScope(Connection& conn, const Settings& settings) : m_conn(conn) {
    if (settings.commandTimeoutSeconds > 0) {
      m_conn.deadline->active = true;
      m_conn.deadline->at = std::chrono::steady_clock::now() + std::chrono::seconds(settings.commandTimeoutSeconds);
    }
  }
  QueryScope(const QueryScope&) = delete;
  QueryScope& operator=(const QueryScope&) = delete;
  ~QueryScope() {
    m_conn.deadline->active = false;
    m_conn.bindings->vehicles.clear();
    m_conn.bindings->values.clear();
  }
  bool TimedOut() const { return m_conn.deadline->Passed(); }

 private:
  Connection& m_conn;
};

// Runs one text on a connection: from the result cache, in an equivalent form, or as written.
std::shared_ptr<mirel_SbF::Recordset> Answer(Connection& conn, const Location& where, const std::string& strSql,
                                             const std::string& sqliteSql, const std::vector<std::string>& databases,
                                             const Settings& settings) {
  AttachDatabases(conn, where, databases);
  QueryScope scope(conn, settings);
  try {
    if (settings.evaluation == facets::Evaluation::Plain) return RecordsetOf(Run(conn, where, sqliteSql, settings));

    std::shared_ptr<EngineCache> cache =
        settings.cacheBytes > 0 ? CacheFor(where.folder, settings.cacheBytes) : nullptr;
    const std::string specsStamp = FileStamp(where.FileOf(where.mainName));
    std::map<std::string, std::string> attachedStamps;
    auto stampOf = [&](const std::string& schema) -> std::string {
      const std::string key = LowerAscii(schema);
      auto it = attachedStamps.find(key);
      if (it != attachedStamps.end()) return it->second;
      const auto attached = conn.attached.find(key);
      return attachedStamps[key] = attached == conn.attached.end() ? "-" : FileStamp(attached->second.file);
    };
    std::string resultKey;
    if (cache) {
      // Each form keeps its own answers (they are the same; this keeps each form testable).
      resultKey = settings.evaluation == facets::Evaluation::Levels ? "R|levels|" : "R|";
      resultKey += where.mainName;
      resultKey += '|';
      resultKey += specsStamp;
      for (const std::string& name : databases) {
        resultKey += '|';
        resultKey += stampOf(name);
      }
      resultKey += '|';
      resultKey += strSql;
      if (auto hit = cache->Get<ResultRows>(resultKey)) return RecordsetOf(hit);
    }

    sqlite_detail::SqliteBackend backend(conn.db.get(), conn.bindings.get());
    facets::EvaluationContext ctx;
    ctx.backend = &backend;
    ctx.cache = cache.get();
    ctx.specsStamp = specsStamp;
    ctx.stampOf = stampOf;
    ctx.mode = settings.evaluation;
    std::shared_ptr<const ResultRows> rows;
    if (std::optional<facets::Evaluated> evaluated = facets::EvaluateText(ctx, strSql)) {
      rows = evaluated->answer ? evaluated->answer
                               : std::make_shared<const ResultRows>(
                                     Run(conn, where, RewriteTsql(evaluated->tsql, Dialect::SQLite), settings));
    } else {
      rows = std::make_shared<const ResultRows>(Run(conn, where, sqliteSql, settings));
    }
    if (cache) cache->Put<ResultRows>(resultKey, rows, rows->bytes);
    return RecordsetOf(rows);
  } catch (const EngineError& e) {
    // The engine's own queries (sets, postings) fail with the engine's words only.
    const int primary = e.Code() & 0xFF;
    if ((primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) && e.Description().find(".db\"") == std::string::npos)
      throw EngineError(e.Number(), e.Code(),
                        e.Description() + " (database file \"" + where.FileOf(where.mainName) +
                            "\" or a file it reads through a three-part name; query in database \"" +
                            where.mainName + "\")");
    if ((e.Code() & 0xFF) == SQLITE_INTERRUPT && scope.TimedOut())
      throw EngineError(kErrUnspecified, e.Code(),
                        "The query in database \"" + where.mainName + "\" ran longer than the command timeout of " +
                            std::to_string(settings.commandTimeoutSeconds) +
                            " s and was cancelled (the connection string's \"Command Timeout\").");
    throw;
  }
}

}  // namespace

namespace sqlite_detail {

mirel_SbF::Variant ValueOf(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER: return WholeNumber(sqlite3_column_int64(stmt, column));
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

void ForEachRow(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
  StmtHandle stmt = Prepare(db, sql, nullptr);
  while (true) {
    const int step = sqlite3_step(stmt.get());
    if (step == SQLITE_DONE) return;
    if (step != SQLITE_ROW) throw EngineError(kErrBadSql, step, sqlite3_errmsg(db));
    row(stmt.get());
  }
}

}  // namespace sqlite_detail

std::shared_ptr<mirel_SbF::Recordset> SqliteExecuteQuery(const std::string& strSql, const std::string& strDbName,
                                                          const std::string& strDbConn) {
  const Settings settings = SettingsOf(strDbConn);
  const Location where = LocateDatabase(strDbName, strDbConn);
  std::vector<std::string> databases;
  const std::string sql = RewriteTsql(strSql, Dialect::SQLite, &databases);
  const std::string path = where.FileOf(where.mainName);

  bool fresh = false;
  try {
    return Answer(Acquire(path, fresh), where, strSql, sql, databases, settings);
  } catch (const EngineError& e) {
    if (!IsStaleCode(e.Code())) throw;
    // The files changed under the connection: forget it, and give a cached one a second
    // chance with a fresh connection.
    Cache().connections.erase(path);
    if (fresh) throw;
  }
  try {
    return Answer(Acquire(path, fresh), where, strSql, sql, databases, settings);
  } catch (const EngineError& e) {
    if (IsStaleCode(e.Code())) Cache().connections.erase(path);
    throw;
  }
}

void SqliteCloseCachedConnections() { Cache().connections.clear(); }

int64_t SqliteCacheBytesForTesting() {
  Caches& caches = AllCaches();
  std::lock_guard<std::mutex> lock(caches.mutex);
  int64_t bytes = 0;
  for (const auto& [key, cache] : caches.byFolder) bytes += static_cast<int64_t>(cache->CountsForTesting().bytes);
  return bytes;
}

void SqliteDropCachesForTesting() {
  Cache().connections.clear();
  Caches& caches = AllCaches();
  std::lock_guard<std::mutex> lock(caches.mutex);
  caches.byFolder.clear();
}

int64_t SqliteOpenCountForTesting() { return Cache().opens; }

sqlite3* SqliteCachedHandleForTesting(const std::string& strDbName, const std::string& strDbConn) {
  const Location where = LocateDatabase(strDbName, strDbConn);
  auto& connections = Cache().connections;
  const auto it = connections.find(where.FileOf(where.mainName));
  return it == connections.end() ? nullptr : it->second.db.get();
}

}  // namespace mirel_platform
