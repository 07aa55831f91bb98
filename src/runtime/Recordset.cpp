#include <algorithm>

#include "runtime/ErrorHandling.h"
#include "mirel_SbF/Recordset.h"
#include "runtime/TextBasics.h"

namespace mirel_SbF {

namespace {
constexpr const char* kRecordsetSource = "mirel_base.Recordset";
// ADO's numbers: no current record (BOF or EOF), item not found in the collection, and
// operation not allowed on a closed object.
constexpr int32_t kAdoNoCurrentRecord = static_cast<int32_t>(0x800A0BCD);
constexpr int32_t kAdoItemNotFound = static_cast<int32_t>(0x800A0CC1);
constexpr int32_t kAdoObjectClosed = static_cast<int32_t>(0x800A0E78);

[[noreturn]] void RaiseNoCurrentRecord() {
  throw Error(kAdoNoCurrentRecord, kRecordsetSource,
              "Either BOF or EOF is True, or the current record has been deleted. "
              "Requested operation requires a current record.");
}

}  // namespace

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

void MemoryRecordset::CheckOpen() const {
  if (m_closed) throw Error(kAdoObjectClosed, kRecordsetSource, "Operation is not allowed when the object is closed.");
}

void MemoryRecordset::CheckCurrentRow() const {
  CheckOpen();
  if (m_position >= m_rows->size()) RaiseNoCurrentRecord();
}

Field MemoryRecordset::Fields(std::string_view name) const {
  CheckOpen();
  for (size_t i = 0; i < m_columns.size(); ++i) {
    if (mirel_platform::EqualsNoCase(m_columns[i], name)) return Fields(static_cast<int32_t>(i));
  }
  throw Error(kAdoItemNotFound, kRecordsetSource,
              "Item cannot be found in the collection corresponding to the requested name or "
              "ordinal: " + std::string(name));
}

Field MemoryRecordset::Fields(int32_t index) const {
  CheckOpen();
  if (index < 0 || static_cast<size_t>(index) >= m_columns.size())
    throw Error(kAdoItemNotFound, kRecordsetSource,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal: " + std::to_string(index));
  const std::string& name = m_columns[static_cast<size_t>(index)];
  if (m_position >= m_rows->size()) return Field(name);
  return Field(name, (*m_rows)[m_position][static_cast<size_t>(index)]);
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
