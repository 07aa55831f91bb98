// TextBasics: the ASCII case folding, name check and UTF-8 encoding that the engines, the
// connection-string parser and the rewrite all need. SQL names and keys are ASCII, so
// folding leaves every other byte as it is.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace mirel_platform {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// A database or role name that needs no quoting anywhere: letters, digits and "_".
inline bool IsPlainName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// The one form of number that may go into a statement, shared by the library's checks of
// the values it writes unquoted and by the rewrite's lexer, so that whatever the library
// accepts every engine reads as the same number:
//
//   number   = [ "-" ] unsigned            "7401", "-1", "2.5", "-0.75"
//   unsigned = digits [ "." digits ]       (digits: one or more of 0-9)
//
// Refused: a plus sign ("+5": PostgreSQL and T-SQL read it as an operator), a point
// without digits on one side (".5", "5.": read differently by the lexers), exponents
// ("1e5": a word to T-SQL after a number), blanks, and thousands separators.

// The length of the unsigned number at the start of `text`, or 0 when there is none; the
// caller decides what may follow it. "12.5x" gives 4, "12." gives 2, ".5" gives 0.
inline size_t UnsignedNumberLength(std::string_view text) {
  auto digitsFrom = [&](size_t i) {
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i;
  };
  const size_t whole = digitsFrom(0);
  if (whole == 0) return 0;
  if (whole < text.size() && text[whole] == '.') {
    const size_t fraction = digitsFrom(whole + 1);
    if (fraction > whole + 1) return fraction;
  }
  return whole;
}

// Whether all of `text` is a number of the form above; `fraction` false allows whole
// numbers only.
inline bool IsStatementNumber(std::string_view text, bool fraction) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  const size_t length = UnsignedNumberLength(text);
  if (length == 0 || length != text.size()) return false;
  return fraction || text.find('.') == std::string_view::npos;
}

// Appends the UTF-8 bytes of code point `cp` (REQUIRES: cp <= 0x10FFFF).
inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace mirel_platform
