// Random pairs of databases of the library's schema, for tests that compare the library's
// answers with an evaluation of their own.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace mirel_test {

// One random pair of databases of the library's schema (specs.db and prj.db in `dir`): a
// few dozen vehicles with filter items, coded and numeric items (multi-valued, at two
// locations, standard or optional, some vehicles with optional rows only), value texts
// with quotes, blanks and non-ASCII letters, numbers the cast reads oddly, and a screen of
// criteria rows of every kind, in two sections and a segment.
struct RandomDatabases {
  // How the vehicle ids lie: close together from a small number, or past 32 bits, or past
  // 2^53 (where a Double makes neighbours one); scattered over the whole 64-bit range with
  // both its ends and zero; a close run about zero with both ends of the range beside it.
  enum class Ids { Small, Past32Bits, Past53Bits, Scattered, RunAndEnds };
  static constexpr int kIdShapes = 5;

  std::vector<std::string> codedValues = {"EU", "US", "JP", "O'Brien", "x y", "\xC3\xA9t\xC3\xA9", "*", ""};
  std::vector<std::string> numberValues = {"12", "12.0", "1.5", "100", "250", "7", "abc", "", "1e3", "0", "7 ", "1E3", "ABC"};

  RandomDatabases(std::mt19937& rng, const std::string& dir, Ids ids);
};

}  // namespace mirel_test
