// Writes the two sample databases.
//
// specs.db holds the vehicles: `version` (one row per vehicle), `equipment`
// (one row per vehicle and item, every value as plain text), `schema_info`
// (the data type of each item) and `schema_text` (the names of coded values
// per language). prj.db holds the search screen: its criteria rows
// (`search_by_features`), their titles, segments and sections, the section
// headings and the currency table. Both are written in one transaction each,
// with prepared statements, and indexed after the inserts.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "Criteria.h"
#include "Vehicle.h"

namespace sampledb {

// Item (schema) ids of the vehicle database.
namespace item {
inline constexpr int kAdvanced = 106;      // coded: "A" advance model, "N" otherwise
inline constexpr int kAge = 302;           // coded: "(O)1970", "(+)1972", "1976"
inline constexpr int kMake = 111;          // coded: make number
inline constexpr int kModel = 112;         // coded: model number
inline constexpr int kMakerGroup = 117;    // coded: maker group number
inline constexpr int kOrigin = 7401;       // coded: "US", "EU", "JP"
inline constexpr int kLayout = 7402;       // coded: "I", "V", "R"
inline constexpr int kAirCon = 7403;       // coded: "Y"
inline constexpr int kWeightClass = 7404;  // coded: "1" light, "2" medium, "3" heavy
inline constexpr int kCylinders = 1101;    // whole number
inline constexpr int kModelYear = 1102;    // whole number
inline constexpr int kDisplacement = 1103; // decimal, cubic inches
inline constexpr int kHorsepower = 135;    // whole number
inline constexpr int kWeight = 1104;       // whole number, lbs
inline constexpr int kAcceleration = 1105; // decimal, seconds 0-60 mph
inline constexpr int kFuelEconomy = 1106;  // decimal, miles per gallon
inline constexpr int kPrice = 902;         // decimal, USD
}  // namespace item

struct SpecsSummary {
  std::size_t vehicles = 0;
  std::size_t equipmentRows = 0;
  std::size_t makes = 0;
  std::size_t models = 0;
};

// Items 20001, 20002, ... that belong to no criterion of the screen: the bulk of a real
// specifications database, where each vehicle carries hundreds of items. Each vehicle gets
// one row of each, a coded value from a small set that differs per item, about a third of
// them optional equipment (option_id 1 to 3).
inline constexpr int kFirstExtraItem = 20001;

// REQUIRES: `file` does not exist; `vehicles` is not empty. Vehicle ids are
// 1, 2, ... in the order given. `extraItems` rows per vehicle of the items above, of which
// the first criteria.size() are the criteria given (MakeExtraCriteria from kFirstExtraItem),
// with the values and texts of their kind instead.
// REQUIRES: criteria.size() <= extraItems.
SpecsSummary WriteSpecsDatabase(const std::filesystem::path& file,
                                const std::vector<Vehicle>& vehicles, int extraItems = 0,
                                const std::vector<ExtraCriterion>& criteria = {});

// REQUIRES: `file` does not exist. The screen is the same for every vehicle set: the sample's
// rows, and the rows, titles and categories of `criteria` after them.
void WriteProjectDatabase(const std::filesystem::path& file, const std::vector<ExtraCriterion>& criteria = {});

}  // namespace sampledb
