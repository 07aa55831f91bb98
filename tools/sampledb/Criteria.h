// Extra items made into criteria of the screen (sampledb synthetic --criteria N), so that the
// benchmarks see a screen shaped like a real one: dozens of rows per category, most of them
// lists of coded equipment values, some ranges and some lists of numbers.
//
// The rows come from a catalogue of equipment (gearbox, upholstery, heated seats, boot volume,
// doors, ...) in eight categories beyond the sample's three, with titles, headings and value
// texts in every language of the databases. The first N criteria are taken from the
// categories in turn, so that any N spreads over them; past the end of the catalogue it starts
// again, each title then numbered ("Cruise control (2)").
//
// A vehicle's values follow its size, power, price and model year, as real equipment does:
// larger and dearer cars carry more of it and more of it as standard, dimensions grow with
// weight, speed with power. Each item is missing on some vehicles, and much equipment is an
// option on some (option_id 1 to 3). A few lists (colours, trim levels) give a vehicle several
// values; every other item at most one. Everything is at location 0 and drawn from a generator
// seeded by the vehicle and the item, so the same data always gives the same rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Catalog.h"
#include "Vehicle.h"

namespace sampledb {

enum class CriterionKind {
  Coded,        // a list of coded values, each with its texts (schema_info.data_type 3)
  Range,        // multi_select_style 2 over a number (data_type 1 whole, 2 decimal)
  NumericList,  // a list of whole numbers (data_type 1)
};

struct ExtraCategory {
  const char* name;  // search_by_features.category, and the text id of its heading
  int order;         // categories.sbf_order_id, after the sample's three
  Texts heading;
};

struct ExtraCriterion {
  int schemaId = 0;
  int rowId = 0;
  const ExtraCategory* category = nullptr;
  CriterionKind kind = CriterionKind::Coded;
  int dataType = 3;
  Texts title;
  // Coded: each value's code ("1", "2", ... in the order the list shows them) and texts.
  std::vector<std::pair<std::string, Texts>> values;
  std::optional<double> increment;  // ranges: the step of the ladder
  std::optional<int> format;        // ranges and numeric lists: decimals shown
  int catalogueIndex = 0;           // the entry of the catalogue it was made from
};

// The categories the criteria are spread over, in their order.
const std::vector<ExtraCategory>& ExtraCategories();

// Criteria for the extra items firstItem, firstItem + 1, ... (`count` of them), row ids from
// 1000 up in steps of 10, each category's rows together and in the categories' order.
std::vector<ExtraCriterion> MakeExtraCriteria(int count, int firstItem);

// The equipment rows of criterion `c` for vehicle `id`: each value with its option id.
struct EquipmentValue {
  std::string value;
  int optionId = 0;
};
std::vector<EquipmentValue> CriterionValues(const ExtraCriterion& c, const Vehicle& v, std::int64_t id);

}  // namespace sampledb
