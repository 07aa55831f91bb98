// Turns the sample databases into a script that loads them into PostgreSQL.
//
// Each database X (X.db in the folder) becomes schema X: its tables with their columns
// (INTEGER as bigint, REAL as double precision, anything else as text; NOT NULL and
// primary keys kept), every row through COPY, and the same indexes. The script drops and
// recreates the schemas, so it replaces an earlier load; run it in one transaction
// (psql -1) and a failed load leaves the earlier one in place. Identifiers are written in
// lower case, which is how PostgreSQL folds the library's unquoted names.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace sampledb {

struct PgScriptOptions {
  std::filesystem::path folder;        // holds <name>.db for every name in `databases`
  std::vector<std::string> databases;  // plain names, e.g. {"specs", "prj"}
  std::string readerRole;              // granted USAGE and SELECT when not empty
};

// Writes the script to `out`. Throws std::runtime_error naming the file or table that
// could not be read.
void WritePgScript(const PgScriptOptions& options, std::ostream& out);

}  // namespace sampledb
