// ViewRecordset: a record set over rows that live elsewhere (an engine's kept table, a set of
// vehicles), read one value at a time through `cell`, with the cursor and the errors of
// MemoryRecordset. `owner` keeps what `cell` reads alive as long as the record set is.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mirel_SbF/Recordset.h"

namespace mirel_SbF {

class ViewRecordset : public Recordset {
 public:
  using Cell = std::function<Variant(size_t row, size_t column)>;
  ViewRecordset(std::shared_ptr<const std::vector<std::string>> columnNames, size_t rows, Cell cell,
                std::shared_ptr<const void> owner)
      : m_columns(std::move(columnNames)), m_rows(rows), m_cell(std::move(cell)), m_owner(std::move(owner)) {}

  Field Fields(std::string_view name) const override;
  Field Fields(int32_t index) const override;
  int32_t FieldCount() const override;
  bool EndOfFile() const override;
  void MoveNext() override;
  int32_t RecordCount() const override;
  void Close() override;

 private:
  std::shared_ptr<const std::vector<std::string>> m_columns;
  size_t m_rows;
  Cell m_cell;
  std::shared_ptr<const void> m_owner;
  size_t m_position = 0;
  bool m_closed = false;
};

// The rules every record set of the library follows, for MemoryRecordset and ViewRecordset:
// ADO's errors (source "mirel_base.Recordset") for a closed record set, no current record and
// an unknown column, and the column a name finds (without regard to case).
namespace recordset_rules {
void CheckOpen(bool closed);
[[noreturn]] void RaiseNoCurrentRecord();
// The position of the column `name`, or ADO's "item not found".
size_t ColumnOf(const std::vector<std::string>& columns, std::string_view name);
// `index` as a column position, or ADO's "item not found".
size_t CheckedColumn(const std::vector<std::string>& columns, int32_t index);
}  // namespace recordset_rules

}  // namespace mirel_SbF
