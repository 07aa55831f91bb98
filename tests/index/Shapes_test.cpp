// Which of the library's texts the index layer recognises, and as what: every text of
// tests/golden/sql (the texts the library composes, whole) read by RecognizeShape, the shape
// of each compared with tests/golden/index/shapes.txt. A text the composer changes fails the
// SQL golden files; a recogniser that no longer takes one of them fails here, instead of the
// text silently running slower.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "index/Shapes.h"
#include "support/Golden.h"

namespace {

// "<file> <n>. <shape>" for each text of a golden SQL file ("-" when it has none).
std::string ShapesOf(const std::string& file) {
  std::istringstream in(mirel_test::ReadGolden("sql/" + file));
  std::string out, line, header;
  while (std::getline(in, line)) {
    if (line.rfind("-- ", 0) == 0) {
      header = line.substr(3, line.find('.') - 3);
      continue;
    }
    if (line.empty()) continue;
    const std::optional<mirel_platform::SqlTokens> tokens = mirel_platform::TokenizeSql(line);
    const std::optional<mirel_platform::facets::Shape> shape =
        tokens ? mirel_platform::facets::RecognizeShape(line, *tokens) : std::nullopt;
    out += file + " " + header + ". " + (shape ? mirel_platform::facets::NameOf(shape->kind) : "-") + "\n";
  }
  return out;
}

TEST(Shapes, TheLibrarysTextsAreRecognised) {
  std::string shapes;
  for (const char* file : {"first-screen.sql", "filters-and-choices.sql", "counts-and-either-or.sql"})
    shapes += ShapesOf(file);
  EXPECT_TRUE(mirel_test::MatchesGolden("index/shapes.txt", shapes));
}

}  // namespace
