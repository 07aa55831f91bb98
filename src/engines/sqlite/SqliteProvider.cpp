#include "engines/sqlite/SqliteProvider.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "engines/ConnectionString.h"
#include "engines/sqlite/SqliteFastPath.h"
#include "engines/sqlite/SqliteInternal.h"
#include "index/EngineCache.h"
#include "runtime/TextBasics.h"
#include "sql/TsqlRewrite.h"

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



// Which file a path names right now, and when that file last changed as a whole (its
// status change time, which a new file reusing a deleted file's inode does not share); a file
// replaced by another (rename over it), removed or changed in place has a different identity
// from the one a connection opened.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t changedSeconds = 0;
  int64_t changedNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
  bool Known() const { return inode != 0; }
  std::string Text() const {
    return std::to_string(device) + ":" + std::to_string(inode) + ":" + std::to_string(changedSeconds) + "." +
           std::to_string(changedNanoseconds);
  }
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
}

// The modification time of the file at `path` when it is still the file `opened` (the one a
// connection has open), as "seconds.nanoseconds"; nothing when the path names another now.
std::optional<std::string> TimeOfOpenFile(const std::string& path, const FileIdentity& opened) {
  struct stat st {};
  if (!opened.Known() || ::stat(path.c_str(), &st) != 0 ||
      FileIdentity{st.st_dev, st.st_ino, st.st_ctim.tv_sec, st.st_ctim.tv_nsec} != opened)
    return std::nullopt;
  return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
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

// The version of the database file a connection has open as `schema` (opened from `path`
// as the file `opened`), as the caches key it: which file, its size and the change counter
// SQLite writes into its header on every commit, both read through the connection's own
// handle (so the version is that of the file the connection reads, even when the path names
// another one by now; and a second handle of our own would, when closed, drop the locks the
// process holds on the file); in write-ahead-log mode also the state of the log. Nothing
// when the version cannot be told.
std::optional<std::string> StampOf(sqlite3* db, const std::string& schema, const std::string& path,
                                   const FileIdentity& opened) {
  if (!opened.Known()) return std::nullopt;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, schema.c_str(), SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods)
    return std::nullopt;
  sqlite3_int64 size = 0;
  unsigned char header[28] = {0};
  if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) return std::nullopt;
  const int rc = file->pMethods->xRead(file, header, sizeof header, 0);
  if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return std::nullopt;  // a short file reads as zeros
  std::string stamp = path + "@" + opened.Text() + ":" + std::to_string(size) + "#" +
                      std::to_string((uint32_t{header[24]} << 24) | (uint32_t{header[25]} << 16) |
                                     (uint32_t{header[26]} << 8) | header[27]);
  if (header[18] == 2) {
    // Write-ahead log: commits go to the log beside the path, which is this file's only
    // while the path still names it.
    if (IdentityOf(path) != opened) return std::nullopt;
    struct stat st {};
    const std::string log = path + "-wal";
    stamp += "+";
    stamp += ::stat(log.c_str(), &st) != 0
                 ? std::string("-")
                 : std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) +
                       "." + std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
                       std::to_string(st.st_ctim.tv_nsec);
  }
  return stamp;
}

// Everything the engine keeps for the whole process, in one place: what it keeps between
// queries, one cache per folder and limit (shared by every thread and connection string that
// names them), and what it last found of each database's companion index. Each thread's open
// connections are its own (ThreadCache below).
class SqliteProcess {
 public:
  static SqliteProcess& Get() {
    static SqliteProcess process;
    return process;
  }

  std::shared_ptr<EngineCache> CacheFor(const std::string& folder, int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<EngineCache>& cache = m_caches[std::to_string(bytes) + "|" + folder];
    if (!cache) cache = std::make_shared<EngineCache>(static_cast<size_t>(bytes));
    return cache;
  }

  void ReportCompanion(const std::string& path, bool used, const std::string& why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_companions[path] = CompanionState{used, why};
  }
  std::optional<std::pair<bool, std::string>> CompanionOf(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_companions.find(path);
    if (it == m_companions.end()) return std::nullopt;
    return std::make_pair(it->second.used, it->second.why);
  }

  EngineCache::Counts Counts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    EngineCache::Counts total;
    for (const auto& [key, cache] : m_caches) {
      const EngineCache::Counts counts = cache->GetCounts();
      total.entries += counts.entries, total.bytes += counts.bytes, total.limit += counts.limit;
      total.hits += counts.hits, total.misses += counts.misses, total.evictions += counts.evictions;
      total.stores += counts.stores;
    }
    return total;
  }

  // Forgets everything kept, as a new process would start.
  void Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_caches.clear();
    m_companions.clear();
  }

 private:
  struct CompanionState {
    bool used;
    std::string why;
  };
  std::mutex m_mutex;
  std::map<std::string, std::shared_ptr<EngineCache>> m_caches;
  std::map<std::string, CompanionState> m_companions;
};

// When the query that runs now must stop; the progress handler reads it.
struct Deadline {
  bool active = false;
  std::chrono::steady_clock::time_point at;
  bool Passed() const { return active && std::chrono::steady_clock::now() >= at; }
};

int ProgressHandler(void* deadline) { return static_cast<Deadline*>(deadline)->Passed() ? 1 : 0; }

// A read transaction open on a connection: every statement of a text reads in one, and so
// does every text of a public call that opened a ReadScope.
struct Snapshot {
  uint64_t scope = 0;   // the ReadScope that keeps it open; 0: the text that runs now
  bool stable = false;  // `stamps` name the versions read; else nothing is kept or reused
  std::map<std::string, std::string> stamps;  // schema ("main", or attached in lower case) -> version
  std::set<std::string> read;                 // the schemas the transaction has read
};

struct Connection {
  DbHandle db;
  FileIdentity mainFile;  // as opened; unknown (no inode) when the path changed meanwhile
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
  // The read transaction open on the connection, if one is.
  std::optional<Snapshot> snapshot;
};

struct ThreadCache {
  std::unordered_map<std::string, Connection> connections;  // keyed by the main file's path
  int64_t opens = 0;
  // The open ReadScope (0: none), how deep, and the file each path named when a connection
  // first read it during the scope.
  uint64_t scope = 0;
  uint64_t lastScope = 0;
  int scopeDepth = 0;
  std::unordered_map<std::string, FileIdentity> pinned;
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
  std::optional<FileIdentity> identity = IdentityOf(path);
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
  // The file SQLite opened is the one the path named before and still names after; when the
  // path changed meanwhile, which file was opened is not known, and nothing read on the
  // connection is kept (the next query opens the file anew).
  if (IdentityOf(path) != identity) identity = FileIdentity{};
  Connection conn;
  conn.db = std::move(db);
  conn.mainFile = *identity;
  sqlite_detail::RegisterModules(conn.db.get(), conn.bindings.get());
  sqlite3_progress_handler(conn.db.get(), 1000, ProgressHandler, conn.deadline.get());
  return conn;
}

// The file a path is to be read as: within a ReadScope the one read first during it, else
// the one the path names now.
std::optional<FileIdentity> ExpectedFile(const std::string& path) {
  const ThreadCache& cache = Cache();
  if (cache.scope) {
    if (auto pinned = cache.pinned.find(path); pinned != cache.pinned.end()) return pinned->second;
  }
  return IdentityOf(path);
}

// Whether the files behind a cached connection are still the ones to read.
bool StillCurrent(const Connection& conn, const std::string& path) {
  if (!conn.mainFile.Known() || ExpectedFile(path) != conn.mainFile) return false;
  for (const auto& [schema, attached] : conn.attached) {
    if (!attached.identity.Known() || ExpectedFile(attached.file) != attached.identity) return false;
  }
  return true;
}

// The connection for `path`: within a ReadScope the one that has read for it already; else
// from the cache when its files are unchanged.
Connection& Acquire(const std::string& path, bool& fresh) {
  ThreadCache& cache = Cache();
  auto& connections = cache.connections;
  auto it = connections.find(path);
  if (it != connections.end() &&
      ((cache.scope && it->second.snapshot && it->second.snapshot->scope == cache.scope) ||
       StillCurrent(it->second, path))) {
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
    // As for the main file: which file was attached is known only when the path named the
    // same one before and after.
    conn.attached.emplace(LowerAscii(name),
                          Connection::Attached{file, IdentityOf(file) == identity ? *identity : FileIdentity{}});
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

// ---- one version of the data per text, and per public call -----------------------------

// A file a text reads: the schema it is read as, the path it was opened from, the file opened.
struct FileRead {
  std::string schema;
  std::string path;
  FileIdentity identity;
};

std::vector<FileRead> FilesRead(const Connection& conn, const Location& where, const std::vector<std::string>& databases) {
  std::vector<FileRead> files{{"main", where.FileOf(where.mainName), conn.mainFile}};
  for (const std::string& name : databases) {
    const std::string schema = LowerAscii(name);
    const auto it = conn.attached.find(schema);
    if (it == conn.attached.end() ||
        std::any_of(files.begin(), files.end(), [&](const FileRead& f) { return f.schema == schema; }))
      continue;
    files.push_back({schema, it->second.file, it->second.identity});
  }
  return files;
}

// The versions of `files` as the connection reads them, or nothing when one cannot be told.
std::optional<std::map<std::string, std::string>> StampsOf(sqlite3* db, const std::vector<FileRead>& files) {
  std::map<std::string, std::string> stamps;
  for (const FileRead& f : files) {
    std::optional<std::string> stamp = StampOf(db, f.schema, f.path, f.identity);
    if (!stamp) return std::nullopt;
    stamps[f.schema] = std::move(*stamp);
  }
  return stamps;
}

void EndSnapshot(Connection& conn) {
  if (!sqlite3_get_autocommit(conn.db.get())) sqlite3_exec(conn.db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  conn.snapshot.reset();
}

// How often a read transaction is begun again when a writer committed while it began.
constexpr int kSnapshotTries = 3;

// Puts the connection in a read transaction over the files a text reads: BEGIN and a read of
// each database, so that SQLite takes each file's read lock (or, with a write-ahead log, its
// snapshot) now and every statement until the end reads that version. The versions are taken
// before and after: when they differ a writer committed in between, and the transaction
// begins again; when they never agree, or cannot be told, the text runs in its transaction
// with nothing kept. Within a ReadScope a transaction the call began already stays.
void BeginSnapshot(Connection& conn, const Location& where, const std::vector<std::string>& databases) {
  ThreadCache& cache = Cache();
  if (cache.scope && conn.snapshot && conn.snapshot->scope == cache.scope &&
      std::all_of(databases.begin(), databases.end(), [&](const std::string& name) {
        const std::string schema = LowerAscii(name);
        return (schema == "main" && name == where.mainName) || conn.snapshot->stamps.count(schema) ||
               conn.snapshot->read.count(schema);
      }))
    return;
  EndSnapshot(conn);  // ATTACH and DETACH run outside a transaction
  try {
    AttachDatabases(conn, where, databases);
    const std::vector<FileRead> files = FilesRead(conn, where, databases);
    sqlite3* db = conn.db.get();
    for (int attempt = 1;; ++attempt) {
      const auto before = StampsOf(db, files);
      Exec(db, "BEGIN", kErrUnspecified, "A read transaction cannot begin on database \"" + where.mainName + "\"");
      conn.snapshot.emplace();
      conn.snapshot->scope = cache.scope;
      for (const FileRead& f : files) {
        Exec(db, "SELECT count(*) FROM \"" + f.schema + "\".sqlite_master", kErrUnspecified,
             "The database file \"" + f.path + "\" cannot be read");
        conn.snapshot->read.insert(f.schema);
      }
      const auto after = StampsOf(db, files);
      if (before && after && *before == *after) {
        conn.snapshot->stable = true;
        conn.snapshot->stamps = *after;
        break;
      }
      if (attempt == kSnapshotTries) break;
      EndSnapshot(conn);
    }
    if (cache.scope)
      for (const FileRead& f : files)
        if (f.identity.Known()) cache.pinned.emplace(f.path, f.identity);
  } catch (...) {
    EndSnapshot(conn);
    throw;
  }
}

// The read transaction of one text: begun (or, within a ReadScope, taken over) when the text
// starts, ended when it ends unless the scope keeps it.
class SnapshotHold {
 public:
  SnapshotHold(Connection& conn, const Location& where, const std::vector<std::string>& databases) : m_conn(conn) {
    BeginSnapshot(conn, where, databases);
  }
  SnapshotHold(const SnapshotHold&) = delete;
  SnapshotHold& operator=(const SnapshotHold&) = delete;
  ~SnapshotHold() {
    if (m_conn.snapshot && m_conn.snapshot->scope == 0) EndSnapshot(m_conn);
  }
  bool Stable() const { return m_conn.snapshot && m_conn.snapshot->stable; }
  // The version of a file the text reads, by its schema; empty when it is not known.
  std::string StampOf(const std::string& schema) const {
    if (!Stable()) return std::string();
    const auto it = m_conn.snapshot->stamps.find(LowerAscii(schema));
    return it == m_conn.snapshot->stamps.end() ? std::string() : it->second;
  }

 private:
  Connection& m_conn;
};

// Runs one text on a connection: from the result cache, in an equivalent form, or as written.
std::shared_ptr<mirel_SbF::Recordset> Answer(Connection& conn, const Location& where, const std::string& strSql,
                                             const std::string& sqliteSql, const std::vector<std::string>& databases,
                                             const Settings& settings) {
  QueryScope scope(conn, settings);
  try {
    const SnapshotHold snapshot(conn, where, databases);
    if (settings.evaluation == facets::Evaluation::Plain) return RecordsetOf(Run(conn, where, sqliteSql, settings));

    // What is kept is read and kept only under the versions the text reads.
    std::shared_ptr<EngineCache> cache =
        settings.cacheBytes > 0 && snapshot.Stable() ? SqliteProcess::Get().CacheFor(where.folder, settings.cacheBytes)
                                                     : nullptr;
    const std::string specsStamp = snapshot.StampOf("main");
    // The versions the answer is read from. Each form keeps its own answers (they are the
    // same; this keeps each form testable).
    std::string answerStamp = settings.evaluation == facets::Evaluation::Levels ? "levels|" : "";
    answerStamp += where.mainName + "|" + specsStamp;
    for (const std::string& name : databases) answerStamp.append(1, '|').append(snapshot.StampOf(name));
    if (cache)
      if (auto hit = cache->Get<Kept::Answer>(answerStamp, strSql)) return hit->Open();

    sqlite_detail::CompanionSource companion;
    companion.path = where.folder + "/" + where.mainName + ".sbfidx";
    companion.stamp = specsStamp;
    companion.cache = cache.get();
    companion.fileTime = [&]() { return TimeOfOpenFile(where.FileOf(where.mainName), conn.mainFile); };
    companion.report = [&](bool used, const std::string& why) {
      SqliteProcess::Get().ReportCompanion(companion.path, used, why);
    };
    sqlite_detail::SqliteBackend backend(conn.db.get(), conn.bindings.get(), std::move(companion));
    facets::EvaluationContext ctx;
    ctx.backend = &backend;
    ctx.cache = cache.get();
    ctx.specsStamp = specsStamp;
    ctx.stampOf = [&](const std::string& schema) { return snapshot.StampOf(schema); };
    ctx.mode = settings.evaluation;
    std::shared_ptr<const facets::Answer> rows;
    try {
      if (std::optional<facets::Evaluated> evaluated = facets::EvaluateText(ctx, strSql))
        rows = evaluated->answer ? evaluated->answer
                                 : facets::RowsAnswer(std::make_shared<const ResultRows>(
                                       Run(conn, where, RewriteTsql(evaluated->tsql, Dialect::SQLite), settings)));
    } catch (const Error&) {
      // The faster form failed, on a query of its own or on its text: the text as written
      // decides, so that the host sees exactly its answer or its error in every form.
      if (scope.TimedOut()) throw;
      backend.ReleaseBindings();
    }
    if (!rows) rows = facets::RowsAnswer(std::make_shared<const ResultRows>(Run(conn, where, sqliteSql, settings)));
    if (cache) cache->Put<Kept::Answer>(answerStamp, strSql, rows, rows->Bytes());
    return rows->Open();
  } catch (const EngineError& e) {
    // The engine's own statements (the read transaction) fail with the engine's words only.
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

namespace {

// The index file of a database and the binding of the version a connection reads now (in
// the read transaction `snapshot` holds).
struct IndexFileOf {
  std::string path;
  std::optional<std::string> binding;
};
IndexFileOf IndexFileFor(Connection& conn, const Location& where) {
  return IndexFileOf{where.folder + "/" + where.mainName + ".sbfidx",
                     sqlite_detail::CompanionBinding(
                         conn.db.get(), TimeOfOpenFile(where.FileOf(where.mainName), conn.mainFile))};
}

// The next item of `items` with its postings built from equipment, for WriteCompanion.
bool NextIndexItem(sqlite_detail::SqliteBackend& backend, const std::vector<int64_t>& items, size_t& next,
                   const std::shared_ptr<const VehicleUniverse>& universe, facets::CompanionItem& item) {
  if (next == items.size()) return false;
  item.schemaId = items[next++];
  facets::PostingsBuilder builder(universe);
  backend.ScanItem(item.schemaId, [&](const facets::PostingRow& row) {
    if (!builder.Add(row.locationNull, row.location, row.value, row.number, row.vehicle, row.standard))
      throw facets::NotEquivalent{};
  });
  item.postings = builder.Finish();
  return true;
}

}  // namespace

void SqliteWriteIndexFile(const std::string& strDbName, const std::string& strDbConn) {
  const Location where = LocateDatabase(strDbName, strDbConn);
  const std::string path = where.FileOf(where.mainName);
  bool fresh = false;
  Connection& conn = Acquire(path, fresh);
  const SnapshotHold snapshot(conn, where, {});  // the whole file is written from one version
  const IndexFileOf index = IndexFileFor(conn, where);
  if (!snapshot.Stable() || !index.binding)
    Fail("The database file \"" + path + "\" changed while its index file was to be written; write it again.");
  sqlite_detail::SqliteBackend backend(conn.db.get(), conn.bindings.get());
  try {
    if (!backend.Types().facets)
      Fail("The equipment table of \"" + path + "\" does not have the column types an index file is made for.");
    std::vector<int64_t> ids = backend.VehicleIds();
    if (ids.size() >= UINT32_MAX) Fail("The database \"" + path + "\" has too many vehicles for an index file.");
    auto universe = std::make_shared<const VehicleUniverse>(std::move(ids));
    const std::optional<VehicleSet> standard =
        VehicleSet::FromIds(universe, backend.Ids("select distinct vehicle_id from equipment where option_id = 0"));
    const std::vector<int64_t> items = backend.Ids("select distinct schema_id from equipment order by schema_id");
    if (!standard) throw facets::NotEquivalent{};
    size_t next = 0;
    facets::WriteCompanion(index.path, *index.binding, *universe, *standard, [&](facets::CompanionItem& item) {
      return NextIndexItem(backend, items, next, universe, item);
    });
  } catch (const facets::NotEquivalent&) {
    Fail("The equipment rows of \"" + path + "\" are not of the types an index file is made for.");
  } catch (const std::runtime_error& e) {
    if (dynamic_cast<const Error*>(&e)) throw;
    Fail("The index file of \"" + path + "\" cannot be written: " + e.what());
  }
}

std::string SqliteCheckIndexFile(const std::string& strDbName, const std::string& strDbConn) {
  const Location where = LocateDatabase(strDbName, strDbConn);
  const std::string path = where.FileOf(where.mainName);
  bool fresh = false;
  Connection& conn = Acquire(path, fresh);
  const SnapshotHold snapshot(conn, where, {});
  const IndexFileOf index = IndexFileFor(conn, where);
  if (!snapshot.Stable() || !index.binding) return "The index file cannot be checked: the database file changed meanwhile.";
  std::string why;
  if (facets::CompanionIndex::Open(index.path, *index.binding, &why)) return std::string();
  return "The index file \"" + index.path + "\" " + (why.empty() ? std::string("does not exist") : why) +
         "; the engine builds what it needs from the database instead (write it with sbf index).";
}

void SqliteBeginReadScope() {
  ThreadCache& cache = Cache();
  if (cache.scopeDepth++ == 0) cache.scope = ++cache.lastScope;
}

void SqliteEndReadScope() {
  ThreadCache& cache = Cache();
  if (--cache.scopeDepth > 0) return;
  for (auto& [path, conn] : cache.connections)
    if (conn.snapshot && conn.snapshot->scope == cache.scope) EndSnapshot(conn);
  cache.scope = 0;
  cache.pinned.clear();
}

void SqliteCloseCachedConnections() { Cache().connections.clear(); }

int64_t SqliteCacheBytesForTesting() { return static_cast<int64_t>(SqliteProcess::Get().Counts().bytes); }

mirel_base::CacheCounts SqliteCacheCounts() {
  const EngineCache::Counts counts = SqliteProcess::Get().Counts();
  mirel_base::CacheCounts all;
  all.bytes = static_cast<int64_t>(counts.bytes);
  all.entries = static_cast<int64_t>(counts.entries);
  all.hits = counts.hits;
  all.misses = counts.misses;
  all.evictions = counts.evictions;
  all.loads = counts.stores;
  return all;
}

void SqliteDropCachesForTesting() {
  Cache().connections.clear();
  SqliteProcess::Get().Reset();
}

int64_t SqliteOpenCountForTesting() { return Cache().opens; }

sqlite3* SqliteCachedHandleForTesting(const std::string& strDbName, const std::string& strDbConn) {
  const Location where = LocateDatabase(strDbName, strDbConn);
  auto& connections = Cache().connections;
  const auto it = connections.find(where.FileOf(where.mainName));
  return it == connections.end() ? nullptr : it->second.db.get();
}

}  // namespace mirel_platform
