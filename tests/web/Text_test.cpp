// The escaping and encoding of the web host: what goes into HTML and URLs.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "Text.h"

namespace {

using sbf_web::ParseQuery;
using sbf_web::UrlDecode;
using sbf_web::UrlEncode;

struct Case {
  std::string input;
  std::string expected;
};

TEST(WebText, UrlEncodeKeepsOnlyUnreservedCharacters) {
  const Case cases[] = {
      {"2~7401~0~~EU~", "2~7401~0~~EU~"},  // state texts stay readable
      {"a b&c=d/e?f#g+h", "a%20b%26c%3Dd%2Fe%3Ff%23g%2Bh"},
      {"Année", "Ann%C3%A9e"},
      {"%", "%25"},
      {std::string("\0\x7f", 2), "%00%7F"},
      {"A-z_0.9", "A-z_0.9"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.input), c.expected) << c.input;
}

TEST(WebText, UrlDecodeReadsWhatUrlEncodeWritesForEveryByteAndRefusesBrokenEscapes) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
  const Case cases[] = {
      {"a+b", "a b"},  // as HTML forms send a blank
      {"%7e%7E", "~~"},
      {"100%25", "100%"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlDecode(c.input), c.expected) << c.input;
  for (const char* bad : {"%", "%4", "%G1", "abc%2", "%%41"})
    EXPECT_THROW(UrlDecode(bad), std::invalid_argument) << bad;
}

TEST(WebText, ParseQuerySkipsEmptyPiecesAndReadsBareKeys) {
  const auto pairs = ParseQuery("a=1&&b&=v&c=x=y&");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a", "1"}, {"b", ""}, {"", "v"}, {"c", "x=y"}};
  EXPECT_EQ(pairs, expected);
  EXPECT_TRUE(ParseQuery("").empty());
}

}  // namespace
