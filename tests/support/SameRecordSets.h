// Comparing the record sets one text gives in two forms of evaluation: row by row and in
// order where the text orders them; as sets where it leaves the order open (no ORDER BY); a
// vehicle list sorted by its columns as sets with the sort columns in the same order (vehicles
// with equal sort values may come either way).
#pragma once

#include <string>
#include <vector>

#include "mirel_SbF/Recordset.h"

namespace mirel_test {

struct Table {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;  // each value printed with its type
};

// Reads all rows (the names when there is a row to read them from).
Table ReadTable(mirel_SbF::Recordset& rs);

// Empty when `fast` is the record set `plain` is for the text `sql`, else what differs.
std::string DifferenceOf(const std::string& sql, const Table& plain, const Table& fast);

}  // namespace mirel_test
