// The vehicle table both hosts show: the matching vehicles with the columns asked for, codes
// by their names in the language, prices in the current currencies, sorted by the columns
// asked for (the first one descending on request), vehicles without a value in the first
// sort column last either way, and one page of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <mirel_SbF/mirel_SbF.h>

#include "Request.h"

namespace sbf_host {

// The columns of `version` a table shows unless asked for others.
inline const std::vector<std::string> kDefaultColumns = {"name", "make", "model", "model_year", "origin", "price"};

struct SortOrder {
  std::vector<std::string> columns;  // each once, all among the table's columns
  bool descending = false;           // the first one
};

// "price,name" or "-price" (the first column descending); empty sorts by the columns in
// their order. RequestError naming the columns for one the table does not show (the names
// go into the statement).
SortOrder ParseSort(const std::string& text, const std::vector<std::string>& columns);
// Back to the text ParseSort reads.
std::string SortText(const SortOrder& sort);

struct VehicleTable {
  std::vector<std::string> columns;                       // vehicle_id, then the columns shown
  std::vector<std::string> titles;                        // ... as the language names them
  std::vector<std::vector<mirel_SbF::Variant>> values;    // the page's rows as the data holds them
  std::vector<std::vector<std::string>> texts;            // ... as shown
  size_t total = 0;                                       // every matching vehicle
  size_t offset = 0;                                      // of the page's first row
  SortOrder sort;
};

// The page of vehicles from `offset` on, at most `limit` of them (all when unset).
VehicleTable ReadVehicleTable(mirel_SbF::Search& search, const Catalog& catalog, const std::vector<std::string>& columns,
                              const SortOrder& sort, bool standardOnly, bool reduce, size_t offset,
                              std::optional<size_t> limit, int32_t language);

}  // namespace sbf_host
