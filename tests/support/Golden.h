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

#include <functional>
#include <string>

namespace mirel_test {

::testing::AssertionResult MatchesGolden(const std::string& relativePath, const std::string& actual);

// The text of a golden file ("" when it does not exist).
std::string ReadGolden(const std::string& relativePath);

// A transcript: a golden file of cases, each a line "> <input>" followed by the lines
// "< <output>" that `run` gives for the input (its text split at line ends). The inputs are
// the file's own; the outputs are made anew and the whole compared, so a case is added by
// writing its input line and running with MIREL_UPDATE_GOLDEN=1. Inputs are written with
// C escapes (\n, \r, \t, \f, \\, \xNN) so that any bytes fit on a line; lines that start
// otherwise (comments, blank lines) are kept as they are.
::testing::AssertionResult MatchesTranscript(const std::string& relativePath,
                                             const std::function<std::string(const std::string& input)>& run);

}  // namespace mirel_test
