// Evaluator: runs the library's texts in an equivalent form that an engine evaluates faster
// and at any depth, with the same record set as the text as written.
//
// Levels. Each nested "vehicle_id in (select distinct vehicle_id from equipment where …)"
// level is evaluated on its own: its own conditions from the item's postings or as one small
// query, intersected with the level below. The text the engine then runs names the result as
// a bound set, "(select vehicle_id from mirel_vehicles where set_id = N)": a text with a
// hundred choices is a hundred small sets, each kept for the queries of a screen and the
// clicks after it.
//
// Shapes (Shapes.h). The list queries of the search screen read from `equipment` only the
// distinct (schema_id, location, data_value) of the rows that pass the WHERE clause; the
// counting queries how many vehicles carry each; the vehicle query only vehicle ids. For those
// texts the evaluator hands the engine the value rows present among the matching vehicles, with
// their counts, as the table mirel_values (the engine still does every join, cast, DISTINCT and
// ORDER BY of the text), answers the vehicles from the set itself (sorted: from a kept copy of
// `version` the engine sorted), and the steps of a range row whole.
//
// Postings (Postings.h) come from the companion index of the database when it has one for the
// version read (Companion.h), else from `equipment`, item by item, and are kept under the
// file's version in the engine's cache. Sets and postings are bit maps of vehicle ordinals
// (Vehicles.h), so ids may be any 64-bit integer.
//
// Equivalence rests on checks, not hopes: a shape is used only when the text is the library's
// own in every part the substitution touches and the data are of the types it assumes;
// otherwise the text runs as written. The engine's side (its own small queries, binding sets
// into its text) is a Backend.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/Answers.h"
#include "index/Companion.h"
#include "index/EngineCache.h"
#include "index/Postings.h"
#include "index/Vehicles.h"
#include "mirel_SbF/Variant.h"
#include "runtime/NumberText.h"

namespace mirel_platform::facets {

enum class Evaluation { Plain, Levels, Facets };

// Rows whose first column is a whole number, kept compactly, with that number as the engine
// holds it beside them: a record set's Double would make ids past 2^53 one.
struct KeyedTable {
  std::shared_ptr<const CompactTable> table;
  std::vector<int64_t> keys;
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

struct SchemaIds {
  std::vector<int64_t> ids;
};

// The criterion values the criteria rows of a project database name, per item: each as the
// engine casts it to a number.
struct CriterionValues {
  struct Value {
    int64_t schemaId;
    double number;
  };
  std::vector<Value> values;  // ascending by schema id
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

// One equipment row of an item, as postings are built from it.
struct PostingRow {
  bool locationNull;
  int64_t location;
  std::string_view value;
  double number;  // the value cast to a number, as the engine computes it
  int64_t vehicle;
  bool standard;  // option_id = 0
};

// What the evaluator needs of an engine. Raise NotEquivalent where the data do not allow an
// equivalent form (a vehicle id that is not a whole number, a value that is not text, …).
class Backend {
 public:
  virtual ~Backend() = default;
  // Whether `equipment` has the column types the substitutes stand in for.
  virtual EquipmentTypes Types() = 0;
  // The values of a T-SQL select of one whole-number column.
  virtual std::vector<int64_t> Ids(const std::string& tsql) = 0;
  // Every vehicle id of `equipment`, ascending, each once.
  virtual std::vector<int64_t> VehicleIds() = 0;
  // One item's equipment rows, grouped by (location, data_value) in ascending order.
  virtual void ScanItem(int64_t schemaId, const std::function<void(const PostingRow&)>& row) = 0;
  // The item ids the criteria rows of project database `project` name.
  virtual std::vector<int64_t> CriteriaItems(const std::string& project) = 0;
  // Their criterion values (NULL ones left out); nothing when the engine cannot say.
  virtual std::optional<std::vector<CriterionValues::Value>> CriteriaValues(const std::string&) { return std::nullopt; }
  // Whether version.vehicle_id is a whole-number column.
  virtual bool VersionKeyIsWhole() = 0;
  // The rows of a T-SQL select whose first column is a whole number, with each row's
  // number exactly (no table when there is no row).
  virtual KeyedTable Rows(const std::string& tsql) = 0;
  // Whether a level's own conditions may be answered from postings: the engine must read
  // number literals and cast values exactly as NumberLiteral and PostingRow::number do.
  virtual bool AnswersFromPostings() const = 0;
  virtual std::optional<Literal> NumberLiteral(const std::string& text) = 0;
  // LEFT(v, count) of a text value as the engine computes it; nothing where the engine's
  // answer is not known here (the level then runs as a query).
  virtual std::optional<std::string_view> Left(std::string_view, int64_t) const { return std::nullopt; }
  // The companion index of the main database for the version read now, if it has one.
  virtual std::shared_ptr<const CompanionIndex> Companion() { return nullptr; }
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
  std::string tsql;                      // the text to run instead, or
  std::shared_ptr<const Answer> answer;  // the whole answer
  bool shape = false;                        // a list, counting, steps or vehicle query's form
};

// What to run for the T-SQL text `tsql`; nullopt when it is to run as written (no level, or
// data that do not allow an equivalent form).
std::optional<Evaluated> EvaluateText(EvaluationContext& ctx, const std::string& tsql);

// For tests and metrics: how many texts ran in each form, and how many items' postings were
// read from a companion index or built from `equipment`, since the process started.
struct EvaluationCounts {
  int64_t facets = 0;     // a list, counting, steps or vehicle query answered from postings
  int64_t levels = 0;     // nested levels evaluated one by one
  int64_t asWritten = 0;  // no level, or data that did not allow an equivalent form
  int64_t companionItems = 0;
  int64_t builtItems = 0;
};
EvaluationCounts EvaluationCountsForTesting();

}  // namespace mirel_platform::facets

namespace mirel_platform {

template <> struct KeptType<Kept::Answer> { using type = facets::Answer; };
template <> struct KeptType<Kept::LevelSet> { using type = VehicleSet; };
template <> struct KeptType<Kept::OwnSet> { using type = VehicleSet; };
template <> struct KeptType<Kept::StandardSet> { using type = VehicleSet; };
template <> struct KeptType<Kept::Universe> { using type = VehicleUniverse; };
template <> struct KeptType<Kept::Postings> { using type = facets::Postings; };
template <> struct KeptType<Kept::EquipmentTypes> { using type = facets::EquipmentTypes; };
template <> struct KeptType<Kept::CriteriaItems> { using type = facets::SchemaIds; };
template <> struct KeptType<Kept::ItemKinds> { using type = facets::SchemaIds; };
template <> struct KeptType<Kept::CriteriaValues> { using type = facets::CriterionValues; };
template <> struct KeptType<Kept::SortedCopy> { using type = facets::KeyedTable; };

}  // namespace mirel_platform
