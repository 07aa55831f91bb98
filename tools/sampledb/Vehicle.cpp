#include "Vehicle.h"

#include <charconv>
#include <stdexcept>
#include <system_error>

namespace sampledb {

const char* OriginCode(Origin origin) {
  switch (origin) {
    case Origin::US: return "US";
    case Origin::EU: return "EU";
    case Origin::JP: return "JP";
  }
  return "";
}

std::string AgeMarker(int year) {
  const std::string y = std::to_string(year);
  if (year <= 1971) return "(O)" + y;
  if (year == 1972) return "(+)" + y;
  return y;
}

std::optional<std::string> EngineLayout(const Vehicle& v) {
  if (!v.cylinders) return std::nullopt;
  const int c = *v.cylinders;
  if (c == 3) return "R";
  if (c >= 8) return "V";
  if (c == 6 && v.origin == Origin::US) return "V";
  return "I";
}

std::optional<std::string> WeightClass(const Vehicle& v) {
  if (!v.weight) return std::nullopt;
  if (*v.weight < 2500) return "1";
  if (*v.weight < 3500) return "2";
  return "3";
}

std::optional<int> AirConditioningOption(const Vehicle& v) {
  if (v.origin == Origin::US && v.year >= 1978) return 0;
  if (v.year >= 1975) return 1;
  return std::nullopt;
}

std::optional<std::int64_t> PriceUsd(const Vehicle& v) {
  if (!v.horsepower || !v.weight) return std::nullopt;
  // In tenths of a dollar, so that 0.9 x weight stays exact.
  const std::int64_t tenths = 15000 + 180 * std::int64_t{*v.horsepower} +
                              9 * std::int64_t{*v.weight} + 1500 * std::int64_t{v.year - 1970};
  // Round half up to a multiple of 100 tenths (10 dollars); the sum is positive
  // for every vehicle the loaders accept.
  return (tenths + 50) / 100 * 10;
}

std::string FormatNumber(double value) {
  if (value == 0) return "0";  // also folds -0
  char buf[400];  // fixed notation of the largest double needs 309 digits
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (ec != std::errc()) throw std::runtime_error("cannot format a number");
  return std::string(buf, end);
}

}  // namespace sampledb
