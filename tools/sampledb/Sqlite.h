// Thin RAII wrappers over the sqlite3 C API for writing the sample databases.
// Every failure throws std::runtime_error with the engine's message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <sqlite3.h>

namespace sampledb {

class Statement;

class Database {
 public:
  // Creates `file`, which must not exist yet, for writing.
  static Database Create(const std::filesystem::path& file);

  void Exec(const std::string& sql);
  Statement Prepare(const std::string& sql);
  // Closes the connection, reporting a failure (the destructor cannot).
  void Close();

  sqlite3* Handle() const { return db_.get(); }

 private:
  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  explicit Database(sqlite3* db) : db_(db) {}
  std::unique_ptr<sqlite3, Closer> db_;
};

// A prepared statement that is bound, stepped to completion and reset per row.
class Statement {
 public:
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, int value) { return Bind(index, std::int64_t{value}); }
  Statement& Bind(int index, double value);
  Statement& Bind(int index, std::string_view text);  // copied by the engine
  Statement& BindNull(int index);
  Statement& Bind(int index, const std::optional<double>& value) {
    return value ? Bind(index, *value) : BindNull(index);
  }
  // Runs the statement, which returns no rows, and makes it ready for the next.
  void Run();

 private:
  friend class Database;
  struct Finalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
  };
  Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  void Check(int rc, const char* what);
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

}  // namespace sampledb
