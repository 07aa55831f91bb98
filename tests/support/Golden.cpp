#include "support/Golden.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes a transcript line writes with C escapes.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else if (c == 't') out += '\t';
    else if (c == 'f') out += '\f';
    else if (c == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

::testing::AssertionResult MatchesTranscript(const std::string& relativePath,
                                             const std::function<std::string(const std::string& input)>& run) {
  std::istringstream in(ReadGolden(relativePath));
  if (in.str().empty()) return ::testing::AssertionFailure() << "tests/golden/" << relativePath << " has no cases";
  std::string made, line;
  while (std::getline(in, line)) {
    if (line.rfind("< ", 0) == 0 || line == "<") continue;  // outputs are made anew
    made += line + "\n";
    if (line.rfind("> ", 0) != 0) continue;
    std::istringstream output(run(Unescape(line.substr(2))));
    for (std::string out; std::getline(output, out);) made += "< " + out + "\n";
  }
  return MatchesGolden(relativePath, made);
}

}  // namespace mirel_test
