// The escaping and encoding of the web host: what goes into HTML and URLs.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "Text.h"

namespace {

using sbf_web::ParseQuery;
using sbf_web::UrlDecode;
using sbf_web::UrlEncode;

TEST(WebText, UrlEncodeKeepsOnlyUnreservedCharactersAndUrlDecodeReadsItBack) {
  const struct {
    std::string plain, encoded;
  } cases[] = {
      {"2~7401~0~~EU~", "2~7401~0~~EU~"},  // state texts stay readable
      {"a b&c=d/e?f#g+h", "a%20b%26c%3Dd%2Fe%3Ff%23g%2Bh"},
      {"Année", "Ann%C3%A9e"},
      {std::string("\0\x7f", 2), "%00%7F"},
      {"A-z_0.9", "A-z_0.9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlEncode(c.plain), c.encoded) << c.plain;
    EXPECT_EQ(UrlDecode(c.encoded), c.plain) << c.encoded;
  }
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
  EXPECT_EQ(UrlDecode("a+b%7e%7E"), "a b~~");  // a blank as HTML forms send it; lower-case hex
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
