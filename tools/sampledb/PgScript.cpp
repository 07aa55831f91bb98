#include "PgScript.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace sampledb {
namespace {

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

bool IsPlainName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (!std::isalnum(c) && c != '_') return false;
  return true;
}

// A name as PostgreSQL folds an unquoted one, quoted so that no word of its is reserved.
std::string Name(const std::string& name) {
  std::string out = "\"";
  for (unsigned char c : name) {
    if (c == '"') out += '"';
    out += static_cast<char>(std::tolower(c));
  }
  return out + "\"";
}

Stmt Prepare(sqlite3* db, const std::string& sql, const std::string& file) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot read " + file + ": " + sqlite3_errmsg(db));
  return Stmt(raw);
}

std::string Text(sqlite3_stmt* s, int column) {
  const unsigned char* text = sqlite3_column_text(s, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

std::string PgType(std::string declared) {
  for (char& c : declared) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (declared.find("INT") != std::string::npos) return "bigint";
  if (declared.find("REAL") != std::string::npos || declared.find("FLOA") != std::string::npos ||
      declared.find("DOUB") != std::string::npos)
    return "double precision";
  return "text";
}

// One value in COPY's text format.
void CopyValue(std::ostream& out, sqlite3_stmt* s, int column) {
  switch (sqlite3_column_type(s, column)) {
    case SQLITE_NULL: out << "\\N"; return;
    case SQLITE_FLOAT: {
      // The shortest text that reads back as the same double.
      const double value = sqlite3_column_double(s, column);
      char buffer[32];
      for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        if (std::strtod(buffer, nullptr) == value) break;
      }
      out << buffer;
      return;
    }
    default:
      for (char c : Text(s, column)) {
        switch (c) {
          case '\\': out << "\\\\"; break;
          case '\t': out << "\\t"; break;
          case '\n': out << "\\n"; break;
          case '\r': out << "\\r"; break;
          default: out << c;
        }
      }
  }
}

struct Column {
  std::string name, type;
  bool notNull = false;
  int primaryKey = 0;
};

void WriteTable(std::ostream& out, sqlite3* db, const std::string& file, const std::string& schema,
                const std::string& table) {
  std::vector<Column> columns;
  {
    Stmt info = Prepare(db, "SELECT name, type, \"notnull\", pk FROM pragma_table_info(?1)", file);
    sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(info.get()) == SQLITE_ROW)
      columns.push_back({Text(info.get(), 0), PgType(Text(info.get(), 1)), sqlite3_column_int(info.get(), 2) != 0,
                         sqlite3_column_int(info.get(), 3)});
  }
  if (columns.empty()) throw std::runtime_error("cannot read the columns of table " + table + " in " + file);

  const std::string qualified = Name(schema) + "." + Name(table);
  std::string list, keys;
  out << "CREATE TABLE " << qualified << " (";
  for (size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    out << (i ? ", " : "") << Name(c.name) << " " << c.type << (c.notNull ? " NOT NULL" : "");
    list.append(i ? ", " : "").append(Name(c.name));
    if (c.primaryKey) keys.append(keys.empty() ? "" : ", ").append(Name(c.name));
  }
  if (!keys.empty()) out << ", PRIMARY KEY (" << keys << ")";
  out << ");\n";

  // FREEZE (the table was created in this transaction: load with psql -1) writes the rows
  // as visible to all and marks the pages so, which is what lets the covering indexes answer
  // the library's queries by index-only scans without a VACUUM first.
  out << "COPY " << qualified << " (" << list << ") FROM stdin WITH (FREEZE);\n";
  std::string select = "SELECT ";
  for (size_t i = 0; i < columns.size(); ++i)
    select.append(i ? ", \"" : "\"").append(columns[i].name).append("\"");
  select += " FROM \"" + table + "\"";
  Stmt rows = Prepare(db, select, file);
  int rc;
  while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
      if (i) out << '\t';
      CopyValue(out, rows.get(), i);
    }
    out << '\n';
  }
  if (rc != SQLITE_DONE) throw std::runtime_error("cannot read table " + table + " in " + file + ": " + sqlite3_errmsg(db));
  out << "\\.\n";

  // The same indexes, so that the server's planner has what SQLite's had.
  Stmt indexes = Prepare(db, "SELECT name, \"unique\" FROM pragma_index_list(?1) WHERE origin = 'c'", file);
  sqlite3_bind_text(indexes.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(indexes.get()) == SQLITE_ROW) {
    const std::string index = Text(indexes.get(), 0);
    Stmt parts = Prepare(db, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno", file);
    sqlite3_bind_text(parts.get(), 1, index.c_str(), -1, SQLITE_TRANSIENT);
    std::string on;
    while (sqlite3_step(parts.get()) == SQLITE_ROW) on.append(on.empty() ? "" : ", ").append(Name(Text(parts.get(), 0)));
    out << "CREATE " << (sqlite3_column_int(indexes.get(), 1) ? "UNIQUE " : "") << "INDEX " << Name(index) << " ON "
        << qualified << " (" << on << ");\n";
  }
}

void WriteDatabase(std::ostream& out, const PgScriptOptions& options, const std::string& name) {
  if (!IsPlainName(name)) throw std::runtime_error("the database name '" + name + "' is not a plain name");
  const std::string file = (options.folder / (name + ".db")).string();
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK)
    throw std::runtime_error("cannot open " + file + ": " + (db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc)));

  std::vector<std::string> tables;
  Stmt list = Prepare(db.get(), "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name", file);
  while (sqlite3_step(list.get()) == SQLITE_ROW) tables.push_back(Text(list.get(), 0));
  if (tables.empty()) throw std::runtime_error(file + " holds no tables");

  out << "DROP SCHEMA IF EXISTS " << Name(name) << " CASCADE;\n";
  out << "CREATE SCHEMA " << Name(name) << ";\n";
  for (const std::string& table : tables) WriteTable(out, db.get(), file, name, table);
  if (!options.readerRole.empty()) {
    out << "GRANT USAGE ON SCHEMA " << Name(name) << " TO " << Name(options.readerRole) << ";\n";
    out << "GRANT SELECT ON ALL TABLES IN SCHEMA " << Name(name) << " TO " << Name(options.readerRole) << ";\n";
  }
  for (const std::string& table : tables) out << "ANALYZE " << Name(name) << "." << Name(table) << ";\n";
}

}  // namespace

void WritePgScript(const PgScriptOptions& options, std::ostream& out) {
  if (options.databases.empty()) throw std::runtime_error("no database to write");
  if (!options.readerRole.empty() && !IsPlainName(options.readerRole))
    throw std::runtime_error("the role name '" + options.readerRole + "' is not a plain name");
  out << "SET client_encoding = 'UTF8';\n";
  out << "SET client_min_messages = warning;\n";
  for (const std::string& name : options.databases) WriteDatabase(out, options, name);
  if (!out) throw std::runtime_error("cannot write the script");
}

}  // namespace sampledb
