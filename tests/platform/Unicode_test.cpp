#include "platform/Unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace mirel_platform {
namespace {

TEST(Unicode, CleanUtf8RefusesEveryIllFormedSequenceAndNul) {
  struct Case {
    const char* name;
    std::string text;
    bool clean;
  };
  const Case cases[] = {
      {"ascii", "Europe", true},           {"empty", "", true},
      {"two-byte", "\xC3\xA9lan", true},     {"four-byte", "\xF0\x9F\x9A\x97", true},
      {"overlong quote", "x\xC0\xA7", false}, {"overlong slash", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},  {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"truncated", "\xE2\x82", false},       {"lone continuation", "\x80", false},
      {"0xFF", "\xFF", false},                {"NUL", std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsCleanUtf8(c.text), c.clean) << c.name;
}

TEST(Unicode, ConversionsRoundTripAndRefuseWhatTheyCannotCarry) {
  const std::string text = "\xC3\x89lan \xE2\x82\xAC \xF0\x9F\x9A\x97 '";
  const auto wide = Utf8ToUtf16(text);
  ASSERT_TRUE(wide);
  EXPECT_EQ(*wide, u"\u00C9lan \u20AC \U0001F697 '");
  EXPECT_EQ(Utf16ToUtf8(*wide), text);
  // The overlong quote must never become a real quote on the way to a driver.
  EXPECT_FALSE(Utf8ToUtf16("x\xC0\xA7"));
}

}  // namespace
}  // namespace mirel_platform
