// Synthetic vehicles for benchmarks: any number, drawn from a fixed-seed
// generator so that the same count and seed always give the same database, on
// every platform and standard library (no std:: distributions, whose output
// differs between implementations).
//
// Values follow the cars data set: makes in the proportions of the data set,
// each with its home origin; cylinder counts weighted by origin; displacement,
// horsepower and weight in the ranges the data set has for that cylinder
// count; acceleration and fuel economy that follow power, weight and year;
// model years 1970 to 1982. Models are named "Model 101", "Model 102", ...,
// more of them per make as the count grows, so that model lists scale too.
#pragma once

#include <cstdint>
#include <vector>

#include "Vehicle.h"

namespace sampledb {

// splitmix64: small, fast and the same everywhere.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  double Unit();                  // uniform in [0, 1)
  int Between(int lo, int hi);    // uniform in [lo, hi]
  bool Chance(double p) { return Unit() < p; }

 private:
  std::uint64_t state_;
};

std::vector<Vehicle> GenerateVehicles(std::uint64_t count, std::uint64_t seed);

}  // namespace sampledb
