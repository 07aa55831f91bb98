#include <algorithm>

#include "runtime/ErrorHandling.h"
#include "mirel_SbF/Recordset.h"
#include "runtime/TextBasics.h"
#include "runtime/ViewRecordset.h"

namespace mirel_SbF {

namespace {
constexpr const char* kRecordsetSource = "mirel_base.Recordset";
// ADO's numbers: no current record (BOF or EOF), item not found in the collection, and
// operation not allowed on a closed object.
constexpr int32_t kAdoNoCurrentRecord = static_cast<int32_t>(0x800A0BCD);
constexpr int32_t kAdoItemNotFound = static_cast<int32_t>(0x800A0CC1);
constexpr int32_t kAdoObjectClosed = static_cast<int32_t>(0x800A0E78);

[[noreturn]] void RaiseItemNotFound(const std::string& what) {
  throw Error(kAdoItemNotFound, kRecordsetSource,
              "Item cannot be found in the collection corresponding to the requested name or ordinal: " + what);
}

}  // namespace

namespace recordset_rules {

void CheckOpen(bool closed) {
  if (closed) throw Error(kAdoObjectClosed, kRecordsetSource, "Operation is not allowed when the object is closed.");
}

void RaiseNoCurrentRecord() {
  throw Error(kAdoNoCurrentRecord, kRecordsetSource,
              "Either BOF or EOF is True, or the current record has been deleted. "
              "Requested operation requires a current record.");
}

size_t ColumnOf(const std::vector<std::string>& columns, std::string_view name) {
  for (size_t i = 0; i < columns.size(); ++i)
    if (mirel_platform::EqualsNoCase(columns[i], name)) return i;
  RaiseItemNotFound(std::string(name));
}

size_t CheckedColumn(const std::vector<std::string>& columns, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= columns.size()) RaiseItemNotFound(std::to_string(index));
  return static_cast<size_t>(index);
}

}  // namespace recordset_rules

using namespace recordset_rules;

Recordset::~Recordset() = default;

Variant Field::Value() const {
  if (!m_hasValue) RaiseNoCurrentRecord();
  return m_value;
}

MemoryRecordset::MemoryRecordset(std::vector<std::string> columnNames,
                                 std::vector<std::vector<Variant>> rows)
    : m_columns(std::move(columnNames)) {
  for (auto& row : rows) row.resize(m_columns.size());
  m_rows = std::make_shared<const std::vector<std::vector<Variant>>>(std::move(rows));
}

MemoryRecordset::MemoryRecordset(std::vector<std::string> columnNames,
                                 std::shared_ptr<const std::vector<std::vector<Variant>>> rows, Shared)
    : m_columns(std::move(columnNames)), m_rows(std::move(rows)) {}

void MemoryRecordset::CheckOpen() const { recordset_rules::CheckOpen(m_closed); }

void MemoryRecordset::CheckCurrentRow() const {
  CheckOpen();
  if (m_position >= m_rows->size()) RaiseNoCurrentRecord();
}

Field MemoryRecordset::Fields(std::string_view name) const {
  CheckOpen();
  return Fields(static_cast<int32_t>(ColumnOf(m_columns, name)));
}

Field MemoryRecordset::Fields(int32_t index) const {
  CheckOpen();
  const size_t column = CheckedColumn(m_columns, index);
  if (m_position >= m_rows->size()) return Field(m_columns[column]);
  return Field(m_columns[column], (*m_rows)[m_position][column]);
}

int32_t MemoryRecordset::FieldCount() const {
  CheckOpen();
  return static_cast<int32_t>(m_columns.size());
}

bool MemoryRecordset::EndOfFile() const {
  CheckOpen();
  return m_position >= m_rows->size();
}

void MemoryRecordset::MoveNext() {
  CheckCurrentRow();
  ++m_position;
}

int32_t MemoryRecordset::RecordCount() const {
  CheckOpen();
  return static_cast<int32_t>(m_rows->size());
}

void MemoryRecordset::Close() {
  CheckOpen();
  m_closed = true;
  m_rows = std::make_shared<const std::vector<std::vector<Variant>>>();
}

}  // namespace mirel_SbF

namespace mirel_SbF {

Field ViewRecordset::Fields(std::string_view name) const {
  CheckOpen(m_closed);
  return Fields(static_cast<int32_t>(ColumnOf(*m_columns, name)));
}

Field ViewRecordset::Fields(int32_t index) const {
  CheckOpen(m_closed);
  const size_t column = CheckedColumn(*m_columns, index);
  if (m_position >= m_rows) return Field((*m_columns)[column]);
  return Field((*m_columns)[column], m_cell(m_position, column));
}

int32_t ViewRecordset::FieldCount() const {
  CheckOpen(m_closed);
  return static_cast<int32_t>(m_columns->size());
}

bool ViewRecordset::EndOfFile() const {
  CheckOpen(m_closed);
  return m_position >= m_rows;
}

void ViewRecordset::MoveNext() {
  CheckOpen(m_closed);
  if (m_position >= m_rows) RaiseNoCurrentRecord();
  ++m_position;
}

int32_t ViewRecordset::RecordCount() const {
  CheckOpen(m_closed);
  return static_cast<int32_t>(m_rows);
}

void ViewRecordset::Close() {
  CheckOpen(m_closed);
  m_closed = true;
  m_owner.reset();
  m_cell = nullptr;
  m_rows = 0;
}

}  // namespace mirel_SbF
