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
      {"ascii", "Europe", true},
      {"empty", "", true},
      {"two-byte", "\xC3\xA9lan", true},
      {"four-byte", "\xF0\x9F\x9A\x97", true},
      {"overlong quote", "x\xC0\xA7", false},
      {"overlong slash", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"truncated", "\xE2\x82", false},
      {"lone continuation", "\x80", false},
      {"0xFF", "\xFF", false},
      {"NUL", std::string("a\0b", 3), false},
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
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"a"), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(ToWellFormedUtf8("a\xFF" "b\xC3\xA9"), "a\xEF\xBF\xBD" "b\xC3\xA9");
}

TEST(Unicode, UpperFirstCharacterUsesTheSimpleMappingOfEveryScript) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"air conditioning", "Air conditioning"},
      {"\xC4\xB1s\xC4\xB1tmal\xC4\xB1", "Is\xC4\xB1tmal\xC4\xB1"},          // ısıtmalı -> Isıtmalı
      {"\xCE\xAD\xCE\xBB\xCE\xB5\xCE\xB3\xCF\x87\xCE\xBF\xCF\x82",          // έλεγχος
       "\xCE\x88\xCE\xBB\xCE\xB5\xCE\xB3\xCF\x87\xCE\xBF\xCF\x82"},         // Έλεγχος
      {"\xC3\xA9lan", "\xC3\x89lan"},                                       // élan
      {"\xD0\xB4\xD0\xB0", "\xD0\x94\xD0\xB0"},                             // да
      {"1.6 litre", "1.6 litre"},
      {"", ""},
      {"\xFF" "abc", "\xFF" "abc"},
  };
  for (const Case& c : cases) EXPECT_EQ(UpperFirstCharacter(c.in), c.out) << c.in;
}

TEST(Unicode, FoldCaseGivesOneKeyPerTextWithoutRegardToCase) {
  EXPECT_EQ(FoldCase("\xC3\x89lan"), FoldCase("\xC3\xA9lan"));
  EXPECT_EQ(FoldCase("STRASSE"), FoldCase("stra\xC3\x9F" "e"));
  EXPECT_EQ(FoldCase("Key_7"), "key_7");
  EXPECT_NE(FoldCase("a\xFF"), FoldCase("a\xFE"));
  EXPECT_EQ(FoldCase("A\xFF"), "a\xFF");
}

}  // namespace
}  // namespace mirel_platform
