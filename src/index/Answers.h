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

// A table kept compactly: each value a type and a number or a place in one text buffer
// (16 bytes and its text, where a Variant in a row takes 40 and a row its own allocation).
class CompactTable {
 public:
  explicit CompactTable(std::vector<std::string> names);
  void AddRow(const std::vector<mirel_SbF::Variant>& row);
  void Shrink();

  size_t Rows() const { return m_names->empty() ? 0 : m_cells.size() / m_names->size(); }
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
  std::shared_ptr<const std::vector<std::string>> m_names;
  std::vector<Value> m_cells;  // row by row
  std::string m_texts;
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
