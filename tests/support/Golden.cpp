#include "support/Golden.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mirel_test {

namespace {

std::filesystem::path PathOf(const std::string& relativePath) {
  return std::filesystem::path(MIREL_SOURCE_DIR) / "tests" / "golden" / relativePath;
}

bool Updating() {
  const char* update = std::getenv("MIREL_UPDATE_GOLDEN");
  return update && std::string(update) == "1";
}

}  // namespace

std::string ReadGolden(const std::string& relativePath) {
  std::ifstream in(PathOf(relativePath), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

::testing::AssertionResult MatchesGolden(const std::string& relativePath, const std::string& actual) {
  if (Updating()) {
    std::filesystem::create_directories(PathOf(relativePath).parent_path());
    std::ofstream(PathOf(relativePath), std::ios::binary) << actual;
    return ::testing::AssertionSuccess();
  }
  const std::string expected = ReadGolden(relativePath);
  if (expected == actual) return ::testing::AssertionSuccess();
  std::istringstream e(expected), a(actual);
  std::string el, al;
  for (int line = 1;; ++line) {
    const bool moreE = static_cast<bool>(std::getline(e, el)), moreA = static_cast<bool>(std::getline(a, al));
    if (!moreE && !moreA) break;
    if (!moreE || !moreA || el != al)
      return ::testing::AssertionFailure()
             << "tests/golden/" << relativePath << " differs at line " << line << "\n  golden: "
             << (moreE ? el : "(end of file)") << "\n  actual: " << (moreA ? al : "(end of text)")
             << "\n(MIREL_UPDATE_GOLDEN=1 writes the actual text, for a change that is meant)";
  }
  return ::testing::AssertionFailure() << "tests/golden/" << relativePath << " differs in its line ends";
}

}  // namespace mirel_test
