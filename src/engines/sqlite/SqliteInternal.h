// What the SQLite engine's files share: its error type, its settings, running a statement on
// a connection, and the sets a statement reads through the engine's virtual tables.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "mirel_SbF/Variant.h"
#include "engines/EngineSettings.h"
#include "index/Evaluator.h"
#include "index/Vehicles.h"

namespace mirel_platform::sqlite_detail {

// An engine failure that carries SQLite's result code, so that a cached connection whose
// file went away can be told apart from a bad query.
class EngineError : public mirel_SbF::Error {
 public:
  EngineError(int32_t number, int code, std::string description)
      : Error(number, mirel_base::kConnectorSource, std::move(description)), m_code(code) {}
  int Code() const { return m_code; }

 private:
  int m_code;
};

using Settings = EngineSettings;

using facets::ResultRows;
using facets::ValueRows;
using facets::WholeNumber;

// The sets bound to the statement that runs now, by the number the text names them with
// (vehicle sets as their ascending ids, as the virtual table hands them out).
struct Bindings {
  std::unordered_map<int64_t, std::shared_ptr<const std::vector<int64_t>>> vehicles;
  std::unordered_map<int64_t, std::shared_ptr<const ValueRows>> values;
  int64_t next = 1;
};

// Registers the virtual tables on `db`; they read `bindings`, which must outlive `db`:
//   mirel_vehicles(vehicle_id INTEGER, set_id HIDDEN)   the vehicles of a bound set
//   mirel_values(schema_id INTEGER, location INTEGER, data_value TEXT, set_id HIDDEN)
// A text names a set with "<alias>.set_id = N" (or "where set_id = N").
void RegisterModules(sqlite3* db, Bindings* bindings);

// The value of a result column as a record set holds it: whole numbers as Long when they fit
// in 32 bits (else Double), REAL as Double, TEXT as String, NULL as Null; a BLOB raises.
mirel_SbF::Variant ValueOf(sqlite3_stmt* stmt, int column);

// Runs `sql` (SQLite's dialect) on `db` and calls `row` for each result row. Errors raise
// EngineError (0x80040E14 with the engine's message, or the command timeout's message).
void ForEachRow(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& row);

}  // namespace mirel_platform::sqlite_detail
