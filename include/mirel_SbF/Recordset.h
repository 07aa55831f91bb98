// Recordset: the rows a query returns, read forward one row at a time (the part of an
// ADO record set the library uses). Backends hand back a MemoryRecordset with all rows,
// so RecordCount is always exact.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mirel_SbF/Variant.h"

namespace mirel_SbF {

// One column of a record set. Its name is known on every row and past the last one; its
// value only on a current record.
class Field {
 public:
  Field(std::string name, Variant value) : m_name(std::move(name)), m_value(std::move(value)) {}
  // A field of a record set at its end: Value() raises ADO's "no current record" error.
  explicit Field(std::string name) : m_name(std::move(name)), m_hasValue(false) {}
  Variant Value() const;
  std::string Name() const { return m_name; }

 private:
  std::string m_name;
  Variant m_value;
  bool m_hasValue = true;
};

class Recordset {
 public:
  virtual ~Recordset();
  virtual Field Fields(std::string_view name) const = 0;  // name matched without regard to case
  virtual Field Fields(int32_t index) const = 0;          // 0-based column position
  virtual int32_t FieldCount() const = 0;
  virtual bool EndOfFile() const = 0;                     // ADO's EOF (EOF is a C macro)
  virtual void MoveNext() = 0;
  virtual int32_t RecordCount() const = 0;                // exact, never -1
  virtual void Close() = 0;
};

// All rows in memory. An unknown column name or a column position out of range raises
// Error 0x800A0CC1, reading a value with no current row 0x800A0BCD (ADO's numbers), with
// the source "mirel_base.Recordset"; so does any use after Close (0x800A0E78). Names and
// the field count stay readable at the end, as in ADO.
class MemoryRecordset : public Recordset {
 public:
  MemoryRecordset(std::vector<std::string> columnNames, std::vector<std::vector<Variant>> rows);
  // Rows shared with whoever keeps them (an engine's kept answer), read without a copy.
  // REQUIRES: `rows` is not null and every row holds one value per column name.
  struct Shared {};
  MemoryRecordset(std::vector<std::string> columnNames,
                  std::shared_ptr<const std::vector<std::vector<Variant>>> rows, Shared);

  Field Fields(std::string_view name) const override;
  Field Fields(int32_t index) const override;
  int32_t FieldCount() const override;
  bool EndOfFile() const override;
  void MoveNext() override;
  int32_t RecordCount() const override;
  void Close() override;

 private:
  void CheckOpen() const;
  void CheckCurrentRow() const;

  std::vector<std::string> m_columns;
  std::shared_ptr<const std::vector<std::vector<Variant>>> m_rows;
  size_t m_position = 0;
  bool m_closed = false;
};

}  // namespace mirel_SbF
