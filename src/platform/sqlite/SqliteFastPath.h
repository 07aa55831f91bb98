// SqliteFastPath: runs the library's texts on SQLite in an equivalent form that SQLite
// evaluates faster and at any depth, with the same record set as the text as written.
//
// Levels. Each nested "vehicle_id in (select distinct vehicle_id from equipment where …)"
// level is evaluated on its own: its own conditions as one small query (kept in the engine
// cache under the file's version), intersected in memory with the level below. The text
// SQLite then runs names the result as a bound set: "(select vehicle_id from mirel_vehicles
// where set_id = N)". So a text with a hundred choices is a hundred small queries, and each
// choice is read once for all the queries of a screen and the clicks after it.
//
// Facets. The list queries of the search screen read from `equipment` only the distinct
// (schema_id, location, data_value) of the rows that pass the WHERE clause (they select
// DISTINCT or take min/max over them), and the vehicle query only distinct vehicle ids. For
// texts of exactly those shapes the engine keeps, per item, which vehicles carry each value
// (its postings, loaded once per file version) and hands SQLite the few value rows present
// among the matching vehicles as the table mirel_values; SQLite still does every join,
// cast, DISTINCT and ORDER BY of the text. A vehicle query without sort columns is answered
// from the set itself.
//
// Equivalence rests on checks, not hopes: a shape is used only when the head of the text is
// the library's own, the alias of `equipment` is used nowhere but in the allowed columns,
// the WHERE clause is only the library's vehicle and standard-equipment conditions, and the
// data are of the types the substitution assumes (whole-number vehicle ids and locations,
// text values, declared column types of the same affinity). Otherwise the text runs as
// written. A differential test runs random searches both ways on random databases.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mirel_SbF/Recordset.h"
#include "platform/EngineCache.h"
#include "platform/sqlite/SqliteInternal.h"

namespace mirel_platform::sqlite_detail {

struct EvaluationContext {
  sqlite3* db = nullptr;
  Bindings* bindings = nullptr;
  EngineCache* cache = nullptr;  // null: keep nothing between queries
  std::string specsStamp;        // version of the main database's file
  // The version of the file attached under `schema` (a database named by X..t).
  std::function<std::string(const std::string& schema)> stampOf;
  Settings::Evaluation mode = Settings::Evaluation::Facets;
};

struct Evaluated {
  std::string tsql;                                // the text to run instead, or
  std::shared_ptr<const ResultRows> answer;        // the whole answer
  bool shape = false;                              // a list or vehicle query's form
};

// What to run for the T-SQL text `tsql`; nullopt when it is to run as written (no level, or
// data that do not allow an equivalent form). Binds sets in ctx.bindings.
std::optional<Evaluated> EvaluateText(EvaluationContext& ctx, const std::string& tsql);

// For tests: how many texts ran in each form since the process started.
struct EvaluationCounts {
  int64_t facets = 0;     // a list or vehicle query answered from postings
  int64_t levels = 0;     // nested levels evaluated one by one
  int64_t asWritten = 0;  // no level, or data that did not allow an equivalent form
};
EvaluationCounts EvaluationCountsForTesting();

}  // namespace mirel_platform::sqlite_detail
