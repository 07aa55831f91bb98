#include "support/SampleData.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

namespace mirel_test {
namespace {

// The temporary folders made, removed when the program ends.
struct TempFolders {
  std::mutex mutex;
  std::vector<std::filesystem::path> paths;
  ~TempFolders() {
    std::error_code ignored;
    for (const auto& path : paths) std::filesystem::remove_all(path, ignored);
  }
};

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Db Open(const std::string& file, int flags) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  return Db(raw, &sqlite3_close);
}

// Runs `line` through the shell, appending what it writes to stdout to `out`.
int Run(const std::string& line, std::string& out) {
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return -1;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string MakeTempFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a temporary folder");
  static TempFolders folders;
  std::lock_guard<std::mutex> lock(folders.mutex);
  folders.paths.emplace_back(buffer.data());
  return buffer.data();
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  return Run(command + " 2>&1", output);
}

CommandRun RunApart(const std::string& command) {
  static const std::string errFile = MakeTempFolder("sbf-run") + "/stderr";
  CommandRun run;
  run.status = Run(command + " 2>" + ShellQuote(errFile), run.out);
  std::ifstream in(errFile);
  run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

const std::string& SampleFolder() {
  static std::string folder;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string out = MakeTempFolder("sbf-sample");
    std::string cars = std::string(MIREL_SOURCE_DIR) + "/node_modules/vega-datasets/data/cars.json";
    std::string log;
    if (RunCommand(ShellQuote(MIREL_SAMPLEDB_EXE) + " cars --cars " + ShellQuote(cars) + " --out " + ShellQuote(out),
                   log) != 0) {
      failure = "building the sample databases failed: " + log;
      return;
    }
    folder = out;
  });
  if (!failure.empty()) ADD_FAILURE() << failure;
  return folder;
}

std::string SampleConnection() {
  // The same tests run against a server loaded with the same sample: test.sh names it in
  // a file whose first line is the connection string.
  if (const char* file = std::getenv("MIREL_TEST_CONNECTION_FILE"); file && *file) {
    std::ifstream in(file);
    std::string connection;
    if (std::getline(in, connection) && !connection.empty()) return connection;
    ADD_FAILURE() << "MIREL_TEST_CONNECTION_FILE names " << file << ", which holds no connection string";
  }
  return "Provider=SQLite;Data Source=" + SampleFolder();
}

std::vector<std::vector<std::string>> RowsOf(const std::string& folder, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  const Db db = Open(folder + "/specs.db", SQLITE_OPEN_READONLY);
  const std::string attach = "attach database '" + folder + "/prj.db' as prj; ";
  auto add = [](void* out, int n, char** values, char**) {
    auto& row = static_cast<std::vector<std::vector<std::string>>*>(out)->emplace_back();
    for (int i = 0; i < n; ++i) row.emplace_back(values[i] ? values[i] : "");
    return 0;
  };
  if (sqlite3_exec(db.get(), (attach + sql).c_str(), add, &rows, nullptr) != SQLITE_OK)
    ADD_FAILURE() << folder << ": " << sqlite3_errmsg(db.get()) << " in " << sql;
  return rows;
}

std::vector<std::string> SampleColumn(const std::string& sql) {
  std::vector<std::string> column;
  for (auto& row : RowsOf(SampleFolder(), sql)) column.push_back(row.empty() ? "" : std::move(row[0]));
  return column;
}

std::vector<std::string> SampleVehicles(const std::vector<std::pair<int, std::string>>& conditions) {
  auto has = [](int schema, const std::string& condition) {
    return "exists (select 1 from equipment e where e.vehicle_id = v.vehicle_id and e.schema_id = " +
           std::to_string(schema) + " and (" + condition + "))";
  };
  std::string sql = "select v.vehicle_id from version v where " + has(106, "e.data_value <> 'A'") + " and " +
                    has(302, "substr(e.data_value, 1, 3) not in ('(O)', '(+)')");
  for (const auto& [schema, condition] : conditions) sql += " and " + has(schema, condition);
  return SampleColumn(sql + " order by v.vehicle_id");
}

int SampleCount(const std::vector<std::pair<int, std::string>>& conditions) {
  return static_cast<int>(SampleVehicles(conditions).size());
}

void ExecSql(const std::string& file, const std::string& sql) {
  const Db db = Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  char* message = nullptr;
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
    ADD_FAILURE() << file << ": " << (message ? message : sqlite3_errmsg(db.get())) << " in " << sql.substr(0, 200);
  sqlite3_free(message);
}

mirel_SbF::Search::State NewState(const std::string& connection, int32_t language) {
  mirel_SbF::Search::State state;
  state.m_colSelections = std::make_shared<mirel_SbF::Collection<mirel_SbF::SbFUserSelection>>();
  state.m_colResults = std::make_shared<mirel_SbF::Collection<mirel_SbF::Results>>();
  state.m_strDbConn = connection;
  state.m_strSpecsDbName = "specs";
  state.m_strProjectDbName = "prj";
  state.m_lLanguageId = language;
  state.m_lSegmentId = -1;
  return state;
}

}  // namespace mirel_test
