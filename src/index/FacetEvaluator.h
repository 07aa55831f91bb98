// FacetEvaluator: runs the library's texts in an equivalent form that an engine evaluates
// faster and at any depth, with the same record set as the text as written.
//
// Levels. Each nested "vehicle_id in (select distinct vehicle_id from equipment where …)"
// level is evaluated on its own: its own conditions as one small query, or from the item's
// postings (kept in the engine cache under the file's version), intersected in memory with the
// level below. The text the engine then runs names the result as a bound set: "(select
// vehicle_id from mirel_vehicles where set_id = N)". So a text with a hundred choices is a
// hundred small queries, and each choice is read once for all the queries of a screen and the
// clicks after it.
//
// Counts. The counting queries (vehicles per value, per number, per step of a range) are
// answered from the same postings: the per-value counts as the column vehicle_count of
// mirel_values, the steps of a range whole.
//
// Facets. The list queries of the search screen read from `equipment` only the distinct
// (schema_id, location, data_value) of the rows that pass the WHERE clause (they select
// DISTINCT or take min/max over them), and the vehicle query only distinct vehicle ids. For
// texts of exactly those shapes the evaluator keeps, per item, which vehicles carry each value
// (its postings, loaded once per file version) and hands the engine the few value rows present
// among the matching vehicles as the table mirel_values; the engine still does every join,
// cast, DISTINCT and ORDER BY of the text. A vehicle query without sort columns is answered from
// the set itself, one with sort columns from a kept copy of `version` sorted by the engine.
//
// Equivalence rests on checks, not hopes: a shape is used only when the head of the text is
// the library's own, the alias of `equipment` is used nowhere but in the allowed columns, the
// WHERE clause is only the library's vehicle and standard-equipment conditions, and the data are
// of the types the substitution assumes; otherwise the text runs as written. The engine's side
// (running its own small queries, binding sets for its text) is a Backend.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mirel_SbF/Variant.h"
#include "runtime/NumberText.h"
#include "index/EngineCache.h"
#include "index/VehicleSet.h"

namespace mirel_platform::facets {

enum class Evaluation { Plain, Levels, Facets };

// A result: its column names and rows, and about how many bytes they take.
struct ResultRows {
  std::vector<std::string> names;
  std::vector<std::vector<mirel_SbF::Variant>> rows;
  size_t bytes = 0;
};

// Rows whose first column is a whole number, with that number as the engine holds it: a
// record set's Double would make ids past 2^53 one.
struct KeyedRows : ResultRows {
  std::vector<int64_t> keys;  // the first column of each row
};

using mirel_SbF::WholeNumber;

// The distinct (schema_id, location, data_value) of the equipment rows a statement may see,
// and for the counting queries how many of its vehicles the value leads to.
struct ValueRow {
  int64_t schemaId;
  int64_t location;
  std::string dataValue;
  int64_t vehicleCount = 0;
};
using ValueRows = std::vector<ValueRow>;

// Whether `equipment` has the column types the virtual tables declare: levels need the
// vehicle id, facets every column they stand in for.
struct EquipmentTypes {
  bool levels = false;
  bool facets = false;
};

// One item's postings: for each (location, value) of the item, the vehicles that carry it
// on any row and on a standard row (option_id = 0).
struct Postings {
  struct Entry {
    bool locationNull;  // such rows join no criterion row but belong to a level without location
    int64_t location;
    std::string value;
    double number;      // the value cast to a number, as the engine computes it
    std::vector<int64_t> all;
    std::vector<int64_t> standard;
  };
  std::vector<Entry> entries;  // ascending by (location, value)

  // Adds one row; rows of one value come together and their vehicles ascending.
  void Add(bool locationNull, int64_t location, std::string_view value, double number, int64_t vehicle, bool standard) {
    if (entries.empty() || entries.back().locationNull != locationNull || entries.back().location != location ||
        entries.back().value != value)
      entries.push_back(Entry{locationNull, location, std::string(value), number, {}, {}});
    Entry& entry = entries.back();
    if (entry.all.empty() || entry.all.back() != vehicle) entry.all.push_back(vehicle);
    if (standard && (entry.standard.empty() || entry.standard.back() != vehicle)) entry.standard.push_back(vehicle);
  }
  void Shrink() {
    for (Entry& entry : entries) {
      entry.all.shrink_to_fit();
      entry.standard.shrink_to_fit();
    }
  }
  size_t Bytes() const {
    size_t bytes = sizeof(*this);
    for (const Entry& e : entries)
      bytes += sizeof(Entry) + e.value.capacity() + (e.all.capacity() + e.standard.capacity()) * sizeof(int64_t);
    return bytes;
  }
};

struct SchemaIds {
  std::vector<int64_t> ids;
};


// A number literal of a text as the engine reads it.
struct Literal {
  bool integer;
  int64_t whole;
  double real;
};

// Raised while preparing an equivalent form when the data do not allow one; the text then
// runs as written.
struct NotEquivalent {};

// What the evaluator needs of an engine. Raise NotEquivalent where the data do not allow an
// equivalent form (a vehicle id that is not a whole number, a value that is not text, …).
class Backend {
 public:
  virtual ~Backend() = default;
  // Whether `equipment` has the column types the substitutes stand in for.
  virtual EquipmentTypes Types() = 0;
  // The values of a T-SQL select of one whole-number column.
  virtual std::vector<int64_t> Ids(const std::string& tsql) = 0;
  // One item's postings, each entry's vehicles ascending.
  virtual Postings LoadPostings(int64_t schemaId) = 0;
  // The item ids the criteria rows of project database `project` name.
  virtual std::vector<int64_t> CriteriaItems(const std::string& project) = 0;
  // Whether version.vehicle_id is a whole-number column.
  virtual bool VersionKeyIsWhole() = 0;
  // The rows of a T-SQL select whose first column is a whole number, with each row's
  // number exactly (names empty when there is no row).
  virtual KeyedRows Rows(const std::string& tsql) = 0;
  // Whether a level's own conditions may be answered from postings: the engine must read
  // number literals and cast values exactly as NumberLiteral and Postings::Entry::number do.
  virtual bool AnswersFromPostings() const = 0;
  virtual std::optional<Literal> NumberLiteral(const std::string& text) = 0;
  // Binds a set for the text that runs next; the number names it there.
  virtual int64_t Bind(std::shared_ptr<const VehicleSet> set) = 0;
  virtual int64_t Bind(std::shared_ptr<const ValueRows> rows) = 0;
  virtual void ReleaseBindings() = 0;
};

struct EvaluationContext {
  Backend* backend = nullptr;
  EngineCache* cache = nullptr;  // null: keep nothing between queries
  std::string specsStamp;        // version of the main database
  // The version of database `schema` named by X..t (empty when it is not known).
  std::function<std::string(const std::string& schema)> stampOf;
  Evaluation mode = Evaluation::Facets;
};

struct Evaluated {
  std::string tsql;                          // the text to run instead, or
  std::shared_ptr<const ResultRows> answer;  // the whole answer
  bool shape = false;                        // a list or vehicle query's form
};

// What to run for the T-SQL text `tsql`; nullopt when it is to run as written (no level, or
// data that do not allow an equivalent form).
std::optional<Evaluated> EvaluateText(EvaluationContext& ctx, const std::string& tsql);

// For tests: how many texts ran in each form since the process started.
struct EvaluationCounts {
  int64_t facets = 0;     // a list or vehicle query answered from postings
  int64_t levels = 0;     // nested levels evaluated one by one
  int64_t asWritten = 0;  // no level, or data that did not allow an equivalent form
};
EvaluationCounts EvaluationCountsForTesting();

}  // namespace mirel_platform::facets
