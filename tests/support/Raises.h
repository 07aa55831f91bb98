// Checks an error by number, source and description together, in one assertion that reports
// what was raised instead:
//   EXPECT_TRUE(Raises([&] { s.Item(0); }, 9, "mirel_SbF", "Subscript out of range"));
//   EXPECT_TRUE(RaisesHolding([&] { ... }, kErrBadSql, kConnectorSource, "no such column"));
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "mirel_SbF/Error.h"

namespace mirel_test {

// The whole description, or with `whole` false a description that holds it.
inline ::testing::AssertionResult Raises(const std::function<void()>& call, int32_t number, const std::string& source,
                                         const std::string& description, bool whole = true) {
  try {
    call();
  } catch (const mirel_SbF::Error& e) {
    const bool said = whole ? e.Description() == description : e.Description().find(description) != std::string::npos;
    if (e.Number() == number && e.Source() == source && said) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "raised " << e.Number() << " " << e.Source() << ": " << e.Description()
                                         << "\nwanted " << number << " " << source << (whole ? ": " : ": ...")
                                         << description;
  }
  return ::testing::AssertionFailure() << "no error; wanted " << number << " " << source << ": " << description;
}

// A description that holds `part`.
inline ::testing::AssertionResult RaisesHolding(const std::function<void()>& call, int32_t number,
                                                const std::string& source, const std::string& part) {
  return Raises(call, number, source, part, false);
}

}  // namespace mirel_test
