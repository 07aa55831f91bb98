#include "Synthetic.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Catalog.h"

namespace sampledb {

std::uint64_t SplitMix64::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double SplitMix64::Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

int SplitMix64::Between(int lo, int hi) {
  const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
  return lo + static_cast<int>(Next() % span);
}

namespace {

// Ranges of the cars data set per cylinder count.
struct EngineRange {
  int cylinders;
  int displacementLo, displacementHi;
  int horsepowerLo, horsepowerHi;
  int weightLo, weightHi;
};
constexpr EngineRange kRanges[] = {
    {3, 70, 80, 90, 110, 2124, 2720},     {4, 68, 156, 46, 115, 1613, 3270},
    {5, 121, 183, 67, 103, 2830, 3530},   {6, 145, 262, 72, 165, 2472, 3907},
    {8, 260, 455, 90, 230, 3086, 5140},
};

const EngineRange& RangeFor(int cylinders) {
  for (const EngineRange& r : kRanges)
    if (r.cylinders == cylinders) return r;
  return kRanges[1];
}

// Cylinder counts and their weights per origin, as in the data set.
int DrawCylinders(SplitMix64& rng, const MakeInfo& make) {
  struct Weighted {
    int cylinders;
    int weight;
  };
  static constexpr Weighted kUs[] = {{4, 28}, {6, 29}, {8, 43}};
  static constexpr Weighted kEu[] = {{4, 90}, {5, 5}, {6, 5}};
  static constexpr Weighted kJp[] = {{4, 92}, {6, 8}};
  if (make.key == "mazda" && rng.Chance(0.25)) return 3;  // the Wankel rotaries
  const Weighted* first = kUs;
  const Weighted* last = std::end(kUs);
  if (make.home == Origin::EU) first = kEu, last = std::end(kEu);
  if (make.home == Origin::JP) first = kJp, last = std::end(kJp);
  int total = 0;
  for (const Weighted* w = first; w != last; ++w) total += w->weight;
  int pick = rng.Between(0, total - 1);
  for (const Weighted* w = first; w != last; ++w) {
    if (pick < w->weight) return w->cylinders;
    pick -= w->weight;
  }
  return 4;
}

// A point of [lo, hi] near `position` (0..1), scattered a little.
int Scatter(SplitMix64& rng, double position, int lo, int hi) {
  const double t = std::clamp(position + (rng.Unit() - 0.5) * 0.3, 0.0, 1.0);
  return lo + static_cast<int>(std::lround(t * (hi - lo)));
}

double OneDecimal(double x) { return std::round(x * 10) / 10; }

}  // namespace

std::vector<Vehicle> GenerateVehicles(std::uint64_t count, std::uint64_t seed) {
  const std::vector<MakeInfo>& makes = KnownMakes();
  int totalShare = 0;
  for (const MakeInfo& m : makes) totalShare += m.share;
  // About ten vehicles per model once the count is large enough.
  const int modelsPerMake =
      static_cast<int>(std::clamp<std::uint64_t>(count / (makes.size() * 10), 2, 1000));

  SplitMix64 rng(seed);
  std::vector<Vehicle> out;
  out.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    int pick = rng.Between(0, totalShare - 1);
    std::size_t m = 0;
    while (pick >= makes[m].share) pick -= makes[m++].share;
    const MakeInfo& make = makes[m];

    Vehicle v;
    v.makeKey = make.key;
    v.model = "Model " + std::to_string(101 + rng.Between(0, modelsPerMake - 1));
    v.origin = make.home;
    v.year = rng.Between(1970, 1982);
    v.cylinders = DrawCylinders(rng, make);
    const EngineRange& r = RangeFor(*v.cylinders);
    // One size position drives displacement, power and weight together.
    const double size = rng.Unit();
    v.displacement = Scatter(rng, size, r.displacementLo, r.displacementHi);
    const int hp = Scatter(rng, size, r.horsepowerLo, r.horsepowerHi);
    v.weight = Scatter(rng, size, r.weightLo, r.weightHi);
    v.acceleration = OneDecimal(std::clamp(22.0 - 0.06 * hp + (rng.Unit() - 0.5) * 3, 8.0, 24.8));
    const double mpg = 47.0 - 0.0085 * *v.weight + 0.5 * (v.year - 1970) + (rng.Unit() - 0.5) * 6;
    // Like the data set, a few vehicles lack their power or fuel economy.
    const bool hpKnown = !rng.Chance(0.015);
    const bool mpgKnown = !rng.Chance(0.02);
    if (hpKnown) v.horsepower = hp;
    if (mpgKnown) v.mpg = OneDecimal(std::clamp(mpg, 9.0, 46.6));
    // Advance models: half of the newest model year, as in the cars database.
    const bool coin = rng.Chance(0.5);
    v.advanced = v.year == 1982 && coin;
    out.push_back(std::move(v));
  }
  return out;
}

}  // namespace sampledb
