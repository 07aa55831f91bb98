// Answers: what the evaluator gives whole instead of a text to run, kept and shared by every
// request that asks the same text of the same version; each request reads it through a record
// set of its own, without a copy of its rows.
//
//   RowsAnswer    rows as the engine returned them
//   VehicleIds    the vehicles of a set, one column "vehicle_id"
//   TableAnswer   some rows of a kept table, by their places in it (the sorted copy of
//                 `version` filtered by the matching vehicles)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mirel_SbF/Recordset.h"
#include "mirel_SbF/Variant.h"

namespace mirel_platform::facets {

// A result: its column names and rows, and about how many bytes they take.
struct ResultRows {
  std::vector<std::string> names;
  std::vector<std::vector<mirel_SbF::Variant>> rows;
  size_t bytes = 0;
};

// A table kept compactly, column by column: each value a type and a number or a place in
// one text buffer (16 bytes and its text, where a Variant in a row takes 40 and a row its own
// allocation). A column whose values repeat (makes, models, years, often names) keeps each
// distinct value once and four bytes a row naming it; one whose values mostly differ (the
// vehicle ids) keeps every row's value, eight bytes a row where all are whole numbers or all
// fractional ones.
class CompactTable {
 public:
  explicit CompactTable(std::vector<std::string> names);
  void AddRow(const std::vector<mirel_SbF::Variant>& row);
  // Done adding: drops what adding needed.
  void Shrink();

  size_t Rows() const { return m_rows; }
  const std::shared_ptr<const std::vector<std::string>>& Names() const { return m_names; }
  mirel_SbF::Variant Cell(size_t row, size_t column) const;
  size_t Bytes() const;

 private:
  struct Value {
    uint8_t type;     // mirel_SbF::VariantType
    uint32_t length;  // of a text
    union {
      int64_t whole;
      double real;
      uint64_t offset;  // of a text in m_texts
    };
  };
  struct Column {
    std::vector<Value> values;                       // the distinct values, or every row's when plain
    std::vector<uint32_t> refs;                      // each row's place in values (not plain)
    std::unordered_map<std::string, uint32_t> seen;  // while adding: a value's place by its bytes
    bool plain = false;
    // Plain columns of one type only: each row's number (a Double's bits for reals).
    enum class Numbers : uint8_t { None, Wholes, Reals } numbers = Numbers::None;
    std::vector<int64_t> rowNumbers;
  };
  void MakePlain(Column& column);

  std::shared_ptr<const std::vector<std::string>> m_names;
  std::vector<Column> m_columns;
  std::string m_texts;
  size_t m_rows = 0;
};

class Answer {
 public:
  virtual ~Answer() = default;
  // A record set of its own over the answer, on its first row.
  virtual std::shared_ptr<mirel_SbF::Recordset> Open() const = 0;
  // The answer's rows, copied (for an engine that hands on rows).
  virtual ResultRows Materialize() const = 0;
  virtual size_t Bytes() const = 0;
};

std::shared_ptr<const Answer> RowsAnswer(std::shared_ptr<const ResultRows> rows);
std::shared_ptr<const Answer> VehicleIdsAnswer(std::vector<int64_t> ids);
std::shared_ptr<const Answer> TableAnswer(std::shared_ptr<const CompactTable> table, std::vector<uint32_t> rows);

}  // namespace mirel_platform::facets
