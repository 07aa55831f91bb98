// Shapes: which of the library's query shapes (sql/QueryShapes.h) a text has, read from its
// tokens alone, with the parts the evaluator needs to answer it. Nothing here asks an engine:
// a text is recognised or not by what it says.
//
// A text is of a shape only when it can be answered without `equipment` itself: its head is
// the library's own, the alias of `equipment` stands only for the columns the substitute
// carries, the table is read once, and its WHERE clause holds only the library's vehicle
// levels and the standard-equipment condition. Numbers stay as written: the engine decides
// what they are (Backend::NumberLiteral).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/VehicleLevels.h"
#include "sql/Lexer.h"

namespace mirel_platform::facets {

enum class ShapeKind {
  CodedValues,     // the coded-value list
  Ranges,          // the range rows' minimum and maximum
  NumericValues,   // the numeric lists
  CodedCounts,     // vehicles per value of the coded rows
  NumericCounts,   // vehicles per number of the numeric lists
  Vehicles,        // the matching vehicles, no sort columns
  SortedVehicles,  // the matching vehicles with sort columns of `version`
  OtherVehicles,   // the matching vehicles with columns but not the version join
  Steps,           // vehicles per step of a range row's ladder
};
const char* NameOf(ShapeKind kind);

// A number as a text writes it: an optional minus and the number.
std::optional<std::string> NumberTextAt(std::string_view sql, const SqlTokens& t, size_t& i, size_t end);

struct Shape {
  explicit Shape(ShapeKind k) : kind(k) {}
  ShapeKind kind;
  // Lists, counts and vehicles: "from equipment <alias>" at tokens from .. from + 2, the
  // WHERE clause from `where` (== tail when there is none) to `tail`.
  std::string alias;
  size_t from = 0;
  size_t where = 0;
  size_t tail = 0;
  bool hasWhere = false;
  std::vector<LevelRange> levels;  // the vehicle levels of the WHERE clause
  bool standardOnly = false;       // "<alias>.option_id = 0"
  std::string project;             // lists and counts: the X of "X..search_by_features"
  // Steps: "case when cast(eq0.data_value as float) < <bound> then k …" over one item.
  std::vector<std::string> bounds;
  std::string schema, location;
  std::optional<std::string> value;

  bool Counting() const { return kind == ShapeKind::CodedCounts || kind == ShapeKind::NumericCounts; }
  bool Lists() const { return kind <= ShapeKind::NumericCounts; }
};

// The shape of `sql` (its tokens `t`), or nothing.
std::optional<Shape> RecognizeShape(std::string_view sql, const SqlTokens& t);

// The own conditions of a level, "schema_id = N [AND (data_value = N'v')] [AND Location = L]
// [AND cast(data_value as float) >= X] …" and the other forms of a choice or a host filter
// ("(LEFT(data_value, 3) <> N'(O)')", the old models), when they take only such forms.
struct OwnConditions {
  struct ValueTest {
    bool equal;  // = (any of `values`) or <> (none of them)
    std::vector<std::string> values;
    std::optional<std::string> left;  // the count of LEFT(data_value, count), as written
  };
  struct Bound {
    bool atLeast;
    std::string number;
  };
  std::string schema;
  std::optional<std::string> location;
  std::vector<ValueTest> valueTests;
  std::vector<Bound> bounds;
  bool standard = false;  // "option_id = 0": the vehicles that carry it as standard
};
std::optional<OwnConditions> ReadOwnConditions(std::string_view sql, const SqlTokens& t, size_t begin, size_t end);

// The text of the N'…' or '…' literal at token i.
std::string StringAt(std::string_view sql, const SqlTokens& t, size_t i);

}  // namespace mirel_platform::facets
