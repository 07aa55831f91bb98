// Golden files: texts a test must produce, kept as data files under tests/golden/ beside the
// tests instead of C++ that restates them. One driver compares them:
//
//   EXPECT_TRUE(mirel_test::MatchesGolden("sql/first-screen.sql", composed));
//
// The comparison is of the whole text; a difference names the first line that differs.
// With MIREL_UPDATE_GOLDEN=1 in the environment the file is written with the text instead
// (and the check passes), so that a deliberate change is one run and a reviewed diff.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace mirel_test {

::testing::AssertionResult MatchesGolden(const std::string& relativePath, const std::string& actual);

// The text of a golden file ("" when it does not exist).
std::string ReadGolden(const std::string& relativePath);

}  // namespace mirel_test
