#include "Sqlite.h"

#include <stdexcept>

namespace sampledb {

Database Database::Create(const std::filesystem::path& file) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE,
                                 nullptr);
  Database db(raw);  // owns the handle even when the open failed
  if (rc != SQLITE_OK) {
    throw std::runtime_error("cannot create the database '" + file.string() + "': " +
                             (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  return db;
}

void Database::Exec(const std::string& sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    throw std::runtime_error("database error: " + text + " (in: " + sql.substr(0, 80) + ")");
  }
}

Statement Database::Prepare(const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &raw,
                                    nullptr);
  Statement s(db_.get(), raw);
  if (rc != SQLITE_OK) {
    throw std::runtime_error(std::string("database error: ") + sqlite3_errmsg(db_.get()) +
                             " (in: " + sql.substr(0, 80) + ")");
  }
  return s;
}

void Database::Close() {
  sqlite3* db = db_.release();
  if (db == nullptr) return;
  const int rc = sqlite3_close(db);
  if (rc != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    throw std::runtime_error("cannot close a database: " + message);
  }
}

void Statement::Check(int rc, const char* what) {
  if (rc != SQLITE_OK)
    throw std::runtime_error(std::string("database error while ") + what + ": " +
                             sqlite3_errmsg(db_));
}

Statement& Statement::Bind(int index, std::int64_t value) {
  Check(sqlite3_bind_int64(stmt_.get(), index, value), "binding a value");
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  Check(sqlite3_bind_double(stmt_.get(), index, value), "binding a value");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  Check(sqlite3_bind_text(stmt_.get(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT),
        "binding a value");
  return *this;
}

Statement& Statement::BindNull(int index) {
  Check(sqlite3_bind_null(stmt_.get(), index), "binding a value");
  return *this;
}

void Statement::Run() {
  const int rc = sqlite3_step(stmt_.get());
  if (rc != SQLITE_DONE) {
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_.get());
    throw std::runtime_error("database error while writing: " + message);
  }
  sqlite3_reset(stmt_.get());
  sqlite3_clear_bindings(stmt_.get());
}

}  // namespace sampledb
