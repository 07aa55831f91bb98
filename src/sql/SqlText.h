// SqlText: the guards that keep host input from changing an SQL statement.
//
// Numbers and names are inserted into the composed SQL without quotes, so a text that is
// not of the expected form is refused (error 0x80040201, the library name as source, to
// be qualified by the caller's handler) with a description naming the field and the text.
// Texts that go inside N'...' have their single quotes doubled.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace mirel_SbF {

// The forms of runtime/TextBasics.h's IsStatementNumber, the one definition of a number
// that the rewrite's lexer reads too. "7401", "-1": optional minus, then digits.
bool IsWholeNumber(std::string_view text);
// "100", "-2.5", "0.75": optional minus, digits, optionally a point and digits.
bool IsDecimalNumber(std::string_view text);
// "col_1": a letter or "_", then letters, digits or "_".
bool IsIdentifier(std::string_view text);

void RequireWholeNumber(std::string_view field, const std::string& text);
void RequireDecimalNumber(std::string_view field, const std::string& text);

// The check every text that enters the library passes where it enters (arguments and
// properties of Search): each of `texts` must be well-formed UTF-8 without NUL, or the call
// is refused with 0x80040201, source "mirel_SbF.<procedure>" and the description
// kInvalidTextDescription, before anything is stored or sent. A byte sequence that is not
// UTF-8 could otherwise read as other characters further down (an overlong "'" is a quote
// to a lenient decoder), and a NUL would cut the text short.
inline constexpr const char* kInvalidTextDescription =
    "Invalid text: not well-formed UTF-8, or holds a NUL character";
void RequireCleanTexts(std::string_view procedure, std::initializer_list<std::string_view> texts);

// The text with every "'" written "''": the body of an N'...' literal.
std::string DoubleQuotes(std::string_view text);

// "[list price]", "[a]]b]": a name in brackets, every "]" inside written "]]", not blank,
// well-formed UTF-8 without control characters. The rewrite for other engines turns it
// into a quoted name.
bool IsBracketedName(std::string_view text);

// A column as a sort list names it: a plain name (IsIdentifier) or a bracketed one.
void RequireColumnReference(std::string_view field, const std::string& text);

}  // namespace mirel_SbF
