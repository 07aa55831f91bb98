// Reads the cars data set of the vega-datasets package (data/cars.json): an
// array of objects with the members Name, Miles_per_Gallon, Cylinders,
// Displacement, Horsepower, Weight_in_lbs, Acceleration, Year ("1970-01-01")
// and Origin ("USA", "Europe", "Japan"). A null or absent measurement leaves
// the value unknown; Name and Year are required. Anything else that does not
// fit (a wrong type, a fractional cylinder count, an unknown origin) is
// refused with a message naming the record and the member.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "Vehicle.h"

namespace sampledb {

// Vehicles in file order. Throws std::runtime_error with a message that names
// the file (and, for bad JSON, the line and column).
std::vector<Vehicle> LoadCarsFile(const std::filesystem::path& file);

// The same from a document already in memory; `sourceName` is used in messages.
std::vector<Vehicle> ParseCars(std::string_view jsonText, const std::string& sourceName);

}  // namespace sampledb
