#include <mutex>
#include <unordered_map>
#include <vector>

#include "engines/odbc/OdbcInternal.h"

namespace mirel_platform::odbc_detail {

namespace {

// At most this many idle connections are kept per connection string; more are closed
// when they come back, so that a burst of threads does not pin server sessions forever.
constexpr size_t kMaxIdlePerString = 16;

struct EnvFree {
  void operator()(SQLHENV h) const { SQLFreeHandle(SQL_HANDLE_ENV, h); }
};
using EnvHandle = std::unique_ptr<void, EnvFree>;

}  // namespace

// Everything the connector keeps for the whole process, in one place: the ODBC
// environment, the idle connections per driver string, and the answers kept under "Cache
// Seconds" per byte limit. Shared by all threads.
class OdbcProcess {
 public:
  static OdbcProcess& Get() {
    static OdbcProcess process;
    return process;
  }

  SQLHENV Environment() {
    std::call_once(m_envOnce, [this] {
      SQLHENV h = SQL_NULL_HENV;
      if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
        m_envFailure = "The ODBC driver manager cannot be started.";
        return;
      }
      m_env.reset(h);
      if (!Succeeded(SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        m_envFailure = "The ODBC driver manager refuses ODBC 3: " + DiagnosticsOf(SQL_HANDLE_ENV, h).text;
        m_env.reset();
      }
    });
    if (!m_env) Fail(m_envFailure);
    return m_env.get();
  }

  std::unique_ptr<Connection> TakeIdle(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_idle.find(key);
    if (it == m_idle.end() || it->second.empty()) return nullptr;
    std::unique_ptr<Connection> conn = std::move(it->second.back());
    it->second.pop_back();
    return conn;
  }

  void GiveBack(const std::string& key, std::unique_ptr<Connection> conn) {
    std::unique_ptr<Connection> extra;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto& idle = m_idle[key];
      if (idle.size() < kMaxIdlePerString) idle.push_back(std::move(conn));
      else extra = std::move(conn);
    }
    Close(std::move(extra));
  }

  void Opened() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.opened;
  }

  void Close(std::unique_ptr<Connection> conn) {
    if (!conn) return;
    conn.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.closed;
  }

  void CloseIdle() {
    std::unordered_map<std::string, std::vector<std::unique_ptr<Connection>>> idle;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      idle.swap(m_idle);
    }
    for (auto& [key, conns] : idle)
      for (auto& conn : conns) Close(std::move(conn));
  }

  EngineCache& Answers(int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::unique_ptr<EngineCache>& cache = m_answers[bytes];
    if (!cache) cache = std::make_unique<EngineCache>(static_cast<size_t>(bytes));
    return *cache;
  }

  OdbcPoolCounts Counts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    OdbcPoolCounts counts = m_counts;
    counts.idle = 0;
    for (const auto& [key, conns] : m_idle) counts.idle += static_cast<int64_t>(conns.size());
    return counts;
  }

 private:
  std::once_flag m_envOnce;
  EnvHandle m_env;
  std::string m_envFailure;
  std::mutex m_mutex;
  std::unordered_map<std::string, std::vector<std::unique_ptr<Connection>>> m_idle;
  OdbcPoolCounts m_counts;
  std::unordered_map<int64_t, std::unique_ptr<EngineCache>> m_answers;
};

SQLHENV Environment() { return OdbcProcess::Get().Environment(); }

void CountOpened() { OdbcProcess::Get().Opened(); }

EngineCache& AnswerCache(int64_t bytes) { return OdbcProcess::Get().Answers(bytes); }

Lease::Lease(std::string key, const OdbcSettings& settings, bool allowPooled) : m_key(std::move(key)) {
  if (allowPooled) {
    m_conn = OdbcProcess::Get().TakeIdle(m_key);
    m_pooled = m_conn != nullptr;
  }
  if (!m_conn) m_conn = Open(settings);
}

Lease::~Lease() {
  if (m_keep) OdbcProcess::Get().GiveBack(m_key, std::move(m_conn));
  else OdbcProcess::Get().Close(std::move(m_conn));
}

}  // namespace mirel_platform::odbc_detail

namespace mirel_platform {

void OdbcClosePooledConnections() { odbc_detail::OdbcProcess::Get().CloseIdle(); }

OdbcPoolCounts OdbcPoolCountsForTesting() { return odbc_detail::OdbcProcess::Get().Counts(); }

}  // namespace mirel_platform
