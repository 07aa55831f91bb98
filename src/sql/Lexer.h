// Lexer: the one reading of SQL text into tokens, for the rewrite (which refuses whatever it
// cannot carry over to another engine) and for the index layer (which reads the library's
// texts for the shapes it can answer faster).
//
//   SqlTokens t = LexTsql(text);              // the library's T-SQL; SqlLexError on refusal
//   std::optional<SqlTokens> r = TokenizeSql(rewritten);   // any dialect, never refuses
//
// Tokens are words (lower-cased in `lower`), string literals ('…' and N'…', a doubled quote
// inside), quoted names ("…"), bracketed names ([…]), unsigned numbers of the one statement
// form (runtime/TextBasics.h), and symbols: the operators <> <= >= as one token, every other
// character as a token of its own. Blanks are space, tab, CR and LF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirel_platform {

struct SqlToken {
  enum class Kind { Word, String, QuotedName, BracketName, Number, Symbol };
  Kind kind;
  size_t blankBegin;  // where the blanks before the token start
  size_t begin;
  size_t end;         // one past the last character
  std::string lower;  // words: lower case; symbols: the symbol; else empty
};

inline constexpr size_t kNoPartner = static_cast<size_t>(-1);

struct SqlTokens {
  std::vector<SqlToken> tokens;
  std::vector<size_t> partner;  // for "(" and ")": the index of the other one, else kNoPartner
  size_t trailingBlanks = 0;    // where the blanks after the last token start
};

// What the strict lexer refuses, and where (a byte offset into the text).
struct SqlLexError {
  size_t position;
  std::string what;
};

// The tokens of a T-SQL text as the library composes it. Refuses (SqlLexError) comments,
// unterminated literals and names, a literal right after another literal, typed literals
// (X'…'), names outside ASCII or over 63 bytes, malformed numbers, variables, temporary
// tables, operator characters written together, the operators of other dialects and every
// character the library's texts never hold. A parenthesis without partner is not refused
// here (kNoPartner): the rewrite reports it where it closes its groups.
SqlTokens LexTsql(std::string_view sql);

// The tokens of any text in the library's dialects, also one the rewrite produced; nothing
// is refused, but a text whose literal or quoted name is never closed, or whose parentheses
// do not pair, gives nullopt.
std::optional<SqlTokens> TokenizeSql(std::string_view sql);

}  // namespace mirel_platform
