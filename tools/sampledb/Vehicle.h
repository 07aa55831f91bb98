// One vehicle of a sample database, as the loaders (the cars data set, the
// synthetic generator) produce it, and the rules that derive the coded and
// illustrative items from it. Both loaders go through these rules, so the two
// kinds of database carry the same items with the same meaning.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sampledb {

enum class Origin { US, EU, JP };

// The coded value of item 7401 and of version.origin: "US", "EU", "JP".
const char* OriginCode(Origin origin);

struct Vehicle {
  std::string makeKey;  // normalised lower-case make, e.g. "chevrolet" (see Catalog.h)
  std::string model;    // model name for display, e.g. "Chevelle Malibu"
  int year = 0;         // model year, e.g. 1970
  std::optional<Origin> origin;
  // Measured values; an unknown value gives the vehicle no row for its item.
  std::optional<int> cylinders;
  std::optional<double> displacement;  // cubic inches
  std::optional<int> horsepower;
  std::optional<int> weight;           // lbs
  std::optional<double> acceleration;  // seconds, 0-60 mph
  std::optional<double> mpg;           // miles per gallon
  bool advanced = false;               // item 106 "A"; each loader documents its rule
};

// Item 302: "(O)1971" for old vehicles (model years up to 1971), "(+)1972" for
// vehicles of the built year 1972, else the plain year ("1976").
std::string AgeMarker(int year);

// Item 7402, derived from the cylinder count because the data sets carry no
// engine layout: "R" rotary (three "cylinders" in the cars data set are Mazda
// Wankel engines), "V" for eight or more cylinders and for US sixes, "I"
// (inline) otherwise. No cylinder count, no layout.
std::optional<std::string> EngineLayout(const Vehicle& v);

// Item 7404: "1" below 2,500 lbs, "2" below 3,500 lbs, "3" otherwise (codes in the order of
// the classes, which is the order a list shows them in).
std::optional<std::string> WeightClass(const Vehicle& v);

// Item 7403 "Y", illustrative (the data sets have no equipment lists): the
// option id of the row, 0 (standard) for US vehicles from 1978, 1 (an option)
// for every other vehicle from 1975; no row before 1975. It makes a search for
// standard equipment only give a different answer from a search over options.
std::optional<int> AirConditioningOption(const Vehicle& v);

// Item 902 and version.price, in USD, illustrative (the data sets have no
// prices): 1500 + 18 x hp + 0.9 x weight + 150 x (year - 1970), rounded to the
// nearest 10. Needs the horsepower and the weight.
std::optional<std::int64_t> PriceUsd(const Vehicle& v);

// The plain invariant text of a number as equipment.data_value holds it: the
// shortest form that reads back exactly, no exponent, no thousands separator,
// "." as the decimal point ("307", "11.5").
std::string FormatNumber(double value);

}  // namespace sampledb
