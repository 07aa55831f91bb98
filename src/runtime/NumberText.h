// Numbers as the library's texts and record sets hold them, beside the run time's own
// conversions.
#pragma once

#include <cstdint>
#include <string>

#include "mirel_SbF/Variant.h"

namespace mirel_SbF {

// An amount as the plain decimal text the formatters take: an optional minus, at most 15
// significant digits, a point before any decimals, never an exponent (1E+15 is
// "1000000000000000").
std::string PlainDecimalText(double value);

// A whole number of a database column as a record set holds it: Long when it fits in 32
// bits, else Double (as ADO hands a bigint to a Variant).
inline Variant WholeNumber(int64_t v) {
  if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
  return Variant(static_cast<double>(v));
}

}  // namespace mirel_SbF
