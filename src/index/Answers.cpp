#include "index/Answers.h"

#include <algorithm>
#include <bit>

#include "runtime/NumberText.h"
#include "runtime/ViewRecordset.h"

namespace mirel_platform::facets {

namespace {

using mirel_SbF::Variant;
using mirel_SbF::VariantType;

class Rows final : public Answer {
 public:
  explicit Rows(std::shared_ptr<const ResultRows> rows) : m_rows(std::move(rows)) {}
  std::shared_ptr<mirel_SbF::Recordset> Open() const override {
    return std::make_shared<mirel_SbF::MemoryRecordset>(
        m_rows->names, std::shared_ptr<const std::vector<std::vector<Variant>>>(m_rows, &m_rows->rows),
        mirel_SbF::MemoryRecordset::Shared{});
  }
  ResultRows Materialize() const override { return *m_rows; }
  size_t Bytes() const override { return m_rows->bytes; }

 private:
  std::shared_ptr<const ResultRows> m_rows;
};

class Ids final : public Answer, public std::enable_shared_from_this<Ids> {
 public:
  explicit Ids(std::vector<int64_t> ids)
      : m_ids(std::move(ids)), m_names(std::make_shared<const std::vector<std::string>>(1, "vehicle_id")) {}
  std::shared_ptr<mirel_SbF::Recordset> Open() const override {
    const std::vector<int64_t>* ids = &m_ids;
    return std::make_shared<mirel_SbF::ViewRecordset>(
        m_names, m_ids.size(), [ids](size_t row, size_t) { return mirel_SbF::WholeNumber((*ids)[row]); },
        shared_from_this());
  }
  ResultRows Materialize() const override {
    ResultRows rows;
    rows.names = *m_names;
    rows.rows.reserve(m_ids.size());
    for (int64_t id : m_ids) rows.rows.emplace_back(1, mirel_SbF::WholeNumber(id));
    return rows;
  }
  size_t Bytes() const override { return sizeof(*this) + m_ids.capacity() * sizeof(int64_t); }

 private:
  std::vector<int64_t> m_ids;
  std::shared_ptr<const std::vector<std::string>> m_names;
};

class Table final : public Answer, public std::enable_shared_from_this<Table> {
 public:
  Table(std::shared_ptr<const CompactTable> table, std::vector<uint32_t> rows)
      : m_table(std::move(table)), m_rows(std::move(rows)) {}
  std::shared_ptr<mirel_SbF::Recordset> Open() const override {
    const CompactTable* table = m_table.get();
    const std::vector<uint32_t>* rows = &m_rows;
    return std::make_shared<mirel_SbF::ViewRecordset>(
        m_table->Names(), m_rows.size(),
        [table, rows](size_t row, size_t column) { return table->Cell((*rows)[row], column); }, shared_from_this());
  }
  ResultRows Materialize() const override {
    ResultRows rows;
    rows.names = *m_table->Names();
    for (uint32_t row : m_rows) {
      std::vector<Variant> values;
      for (size_t c = 0; c < rows.names.size(); ++c) values.push_back(m_table->Cell(row, c));
      rows.rows.push_back(std::move(values));
    }
    return rows;
  }
  // The picks; the table is kept (and counted) on its own.
  size_t Bytes() const override { return sizeof(*this) + m_rows.capacity() * sizeof(uint32_t); }

 private:
  std::shared_ptr<const CompactTable> m_table;
  std::vector<uint32_t> m_rows;
};

}  // namespace

CompactTable::CompactTable(std::vector<std::string> names)
    : m_names(std::make_shared<const std::vector<std::string>>(std::move(names))), m_columns(m_names->size()) {}

void CompactTable::AddRow(const std::vector<Variant>& row) {
  for (size_t c = 0; c < m_columns.size(); ++c) {
    Column& column = m_columns[c];
    static const Variant kMissing;
    const Variant& value = c < row.size() ? row[c] : kMissing;
    const bool text = value.Type() == VariantType::String;
    Value cell{};
    cell.type = static_cast<uint8_t>(value.Type());
    switch (value.Type()) {
      case VariantType::Boolean: cell.whole = value.AsBoolean(); break;
      case VariantType::Long: cell.whole = value.AsLong(); break;
      case VariantType::Double: cell.real = value.AsDouble(); break;
      default: break;
    }
    std::string key;  // the value's bytes, to find it again while the column looks values up
    if (!column.plain) {
      key.assign(1, static_cast<char>(cell.type));
      if (text) key += value.AsString();
      else key.append(reinterpret_cast<const char*>(&cell.whole), sizeof(cell.whole));
      if (const auto it = column.seen.find(key); it != column.seen.end()) {
        column.refs.push_back(it->second);
        continue;
      }
    }
    if (text) {
      cell.offset = m_texts.size();
      cell.length = static_cast<uint32_t>(value.AsString().size());
      m_texts += value.AsString();
    }
    if (!column.plain) {
      column.seen.emplace(std::move(key), static_cast<uint32_t>(column.values.size()));
      column.refs.push_back(static_cast<uint32_t>(column.values.size()));
    }
    column.values.push_back(cell);
    // Values that mostly differ are not worth looking up: the column keeps them row by row.
    if (!column.plain && column.seen.size() > 4096 && column.seen.size() * 2 > m_rows + 1) MakePlain(column);
  }
  ++m_rows;
}

void CompactTable::MakePlain(Column& column) {
  std::vector<Value> values;
  values.reserve(column.refs.size());
  for (uint32_t ref : column.refs) values.push_back(column.values[ref]);
  column.values = std::move(values);
  column.refs = {};
  column.seen = {};
  column.plain = true;
}

void CompactTable::Shrink() {
  for (Column& column : m_columns) {
    if (!column.plain && column.values.size() * 2 > m_rows && m_rows > 0) MakePlain(column);
    // A plain column of whole numbers only, or of fractional ones only: eight bytes a row.
    const auto allOf = [&](VariantType type) {
      return std::all_of(column.values.begin(), column.values.end(),
                         [&](const Value& v) { return static_cast<VariantType>(v.type) == type; });
    };
    if (column.plain && !column.values.empty() && (allOf(VariantType::Long) || allOf(VariantType::Double))) {
      column.numbers = allOf(VariantType::Long) ? Column::Numbers::Wholes : Column::Numbers::Reals;
      column.rowNumbers.reserve(column.values.size());
      for (const Value& v : column.values)
        column.rowNumbers.push_back(column.numbers == Column::Numbers::Wholes ? v.whole : std::bit_cast<int64_t>(v.real));
      column.values = {};
    }
    column.seen = {};
    column.values.shrink_to_fit();
    column.refs.shrink_to_fit();
  }
  m_texts.shrink_to_fit();
}

Variant CompactTable::Cell(size_t row, size_t column) const {
  const Column& c = m_columns[column];
  if (c.numbers == Column::Numbers::Wholes) return Variant(static_cast<int32_t>(c.rowNumbers[row]));
  if (c.numbers == Column::Numbers::Reals) return Variant(std::bit_cast<double>(c.rowNumbers[row]));
  const Value& cell = c.values[c.plain ? row : c.refs[row]];
  switch (static_cast<VariantType>(cell.type)) {
    case VariantType::Null: return Variant::Null();
    case VariantType::Boolean: return Variant(cell.whole != 0);
    case VariantType::Long: return Variant(static_cast<int32_t>(cell.whole));
    case VariantType::Double: return Variant(cell.real);
    case VariantType::String: return Variant(m_texts.substr(cell.offset, cell.length));
    default: return Variant();
  }
}

size_t CompactTable::Bytes() const {
  size_t bytes = sizeof(*this) + m_columns.capacity() * sizeof(Column) + m_texts.capacity();
  for (const Column& c : m_columns)
    bytes += c.values.capacity() * sizeof(Value) + c.refs.capacity() * sizeof(uint32_t) +
             c.rowNumbers.capacity() * sizeof(int64_t);
  return bytes;
}

std::shared_ptr<const Answer> RowsAnswer(std::shared_ptr<const ResultRows> rows) {
  return std::make_shared<const Rows>(std::move(rows));
}

std::shared_ptr<const Answer> VehicleIdsAnswer(std::vector<int64_t> ids) {
  return std::make_shared<const Ids>(std::move(ids));
}

std::shared_ptr<const Answer> TableAnswer(std::shared_ptr<const CompactTable> table, std::vector<uint32_t> rows) {
  return std::make_shared<const Table>(std::move(table), std::move(rows));
}

}  // namespace mirel_platform::facets
