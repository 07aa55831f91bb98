// The run time's conversions: rounding, ranges, texts and their errors.
#include "mirel_SbF/Variant.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"

namespace mirel_SbF {
namespace {

// Runs `convert` and returns the error number it raised, 0 when none.
template <class F>
int32_t ErrorOf(F convert) {
  try {
    convert();
    return 0;
  } catch (const Error& e) {
    EXPECT_EQ(e.Source(), "mirel_SbF");
    return e.Number();
  }
}

TEST(CInt, RoundsHalfToEvenAndChecksRange) {
  struct Case { Variant in; int16_t out; int32_t error; } cases[] = {
      {Variant(2.5), 2, 0},  {Variant(3.5), 4, 0},  {Variant(2.6), 3, 0},  {Variant(" 7 "), 7, 0},
      {Variant("2.5"), 2, 0},  {Variant(true), -1, 0},  {Variant(), 0, 0},  {Variant(32767.5), 0, 6},
      {Variant(-32768), -32768, 0},  {Variant("70000"), 0, 6},  {Variant("x"), 0, 13},  {Variant::Null(), 0, 94},
  };
  for (const auto& c : cases) {
    int16_t got = 0;
    EXPECT_EQ(ErrorOf([&] { got = CInt(c.in); }), c.error) << "case " << &c - cases;
    EXPECT_EQ(got, c.out) << "case " << &c - cases;
  }
}

TEST(CStr, DoublesKeepFifteenSignificantDigits) {
  struct Case { double in; const char* out; } cases[] = {
      {0.1 + 0.2, "0.3"},  {1234.5, "1234.5"},  {1e15, "1E+15"},  {123456789012345.0, "123456789012345"},
      {1.5e-10, "0.00000000015"},  {5.6789e-12, "5.6789E-12"},  {2.0 / 3.0, "0.666666666666667"},
  };
  for (const auto& c : cases) EXPECT_EQ(CStr(Variant(c.in)), c.out) << c.in;
  EXPECT_EQ(ErrorOf([] { CStr(Variant::Null()); }), 94);
}

}  // namespace
}  // namespace mirel_SbF
