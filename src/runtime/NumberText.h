// Texts of numbers that are not the run time's own conversions.
#pragma once

#include <string>

namespace mirel_SbF {

// An amount as the plain decimal text the formatters take: an optional minus, at most 15
// significant digits, a point before any decimals, never an exponent (1E+15 is
// "1000000000000000").
std::string PlainDecimalText(double value);

}  // namespace mirel_SbF
