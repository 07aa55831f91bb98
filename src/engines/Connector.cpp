#include "mirel_SbF/Connector.h"

#include <map>
#include <mutex>

#include <sys/stat.h>

#include "runtime/ErrorHandling.h"
#include "engines/ConnectionString.h"
#include "runtime/TextBasics.h"
#include "engines/sqlite/SqliteProvider.h"
#ifdef MIREL_HAVE_ODBC
#include "engines/odbc/OdbcProvider.h"
#endif

namespace mirel_base {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, QueryRunner> runners;  // keyed by the lower-case provider name
};

Registry& Providers() {
  static Registry registry;
  return registry;
}

QueryRunner FindRunner(const std::string& provider) {
  Registry& registry = Providers();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.runners.find(mirel_platform::LowerAscii(provider));
  return found == registry.runners.end() ? QueryRunner() : found->second;
}

}  // namespace

void RegisterProvider(const std::string& name, QueryRunner run) {
  Registry& registry = Providers();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.runners[mirel_platform::LowerAscii(name)] = std::move(run);
}

std::shared_ptr<mirel_SbF::Recordset> Connector::ExecuteQuery(const std::string& strSql,
                                                              const std::string& strDbName,
                                                              const std::string& strDbConn) {
  const std::string provider = mirel_platform::ParseConnectionString(strDbConn).Provider();
  // A registered provider wins, so that a host can also replace a built-in engine.
  if (QueryRunner run = FindRunner(provider)) {
    try {
      std::shared_ptr<mirel_SbF::Recordset> rs = run(strSql, strDbName, strDbConn);
      if (!rs) throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, kConnectorSource,
                                      "Provider " + provider + " returned no record set");
      return rs;
    } catch (const mirel_SbF::Error&) {
      throw;
    } catch (const std::exception& e) {
      throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, kConnectorSource,
                             "Provider " + provider + " failed: " + e.what());
    }
  }
  if (mirel_platform::EqualsNoCase(provider, "SQLite"))
    return mirel_platform::SqliteExecuteQuery(strSql, strDbName, strDbConn);
  if (mirel_platform::EqualsNoCase(provider, "ODBC")) {
#ifdef MIREL_HAVE_ODBC
    return mirel_platform::OdbcExecuteQuery(strSql, strDbName, strDbConn);
#else
    throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, kConnectorSource,
                           "Provider ODBC is not built into this library (built without unixODBC)");
#endif
  }
  throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, kConnectorSource,
                         "Provider cannot be found: " + provider);
}

namespace {

// Index files are the embedded engine's: a server keeps its own indexes.
void RequireSqlite(const std::string& strDbConn) {
  const std::string provider = mirel_platform::ParseConnectionString(strDbConn).Provider();
  if (!mirel_platform::EqualsNoCase(provider, "SQLite"))
    throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, kConnectorSource,
                           "Index files are for the embedded SQLite engine; Provider=" + provider + " has none.");
}

}  // namespace

void WriteIndexFile(const std::string& strDbName, const std::string& strDbConn) {
  RequireSqlite(strDbConn);
  mirel_platform::SqliteWriteIndexFile(strDbName, strDbConn);
}

std::string CheckIndexFile(const std::string& strDbName, const std::string& strDbConn) {
  RequireSqlite(strDbConn);
  return mirel_platform::SqliteCheckIndexFile(strDbName, strDbConn);
}

std::string DataVersion(const std::string& strDbConn, const std::vector<std::string>& strDbNames) {
  const mirel_platform::ConnectionString conn = mirel_platform::ParseConnectionString(strDbConn);
  if (FindRunner(conn.Provider()) || !mirel_platform::EqualsNoCase(conn.Provider(), "SQLite")) return "";
  std::string folder = conn.Get("Data Source").value_or("");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // Which file each path names and when it last changed; a write-ahead log beside it too.
  std::string version;
  auto add = [&](const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      version += "-;";
      return;
    }
    for (long long part : {static_cast<long long>(st.st_dev), static_cast<long long>(st.st_ino),
                           static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                           static_cast<long long>(st.st_mtim.tv_nsec), static_cast<long long>(st.st_ctim.tv_sec),
                           static_cast<long long>(st.st_ctim.tv_nsec)})
      version += std::to_string(part) + ".";
    version += ";";
  };
  for (const std::string& name : strDbNames) {
    add(folder + "/" + name + ".db");
    add(folder + "/" + name + ".db-wal");
  }
  return version;
}

CacheCounts EngineCacheCounts() { return mirel_platform::SqliteCacheCounts(); }

ReadScope::ReadScope() { mirel_platform::SqliteBeginReadScope(); }

ReadScope::~ReadScope() { mirel_platform::SqliteEndReadScope(); }

}  // namespace mirel_base
