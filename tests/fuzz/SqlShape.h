// SqlShape: an independent reading of SQL texts for the fuzz properties, deliberately not
// the rewrite's lexer (a property checked with the code under test proves nothing).
//
// It reads a text the way PostgreSQL with standard strings reads it (and SQLite, and SQL
// Server for the library's constructs): '…' literals with '' for a quote and an optional
// N prefix, "…" and […] names, words, numbers and one-character operators.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mirel_fuzz {

struct SqlToken {
  enum Kind { Literal, Name, Word, Number, Operator, Unterminated } kind;
  std::string text;  // a literal's contents (quotes undone); otherwise the token as written
};

std::vector<SqlToken> ReadSql(std::string_view sql);

// The token kinds and texts with every literal's contents and every number replaced by a
// placeholder, a minus written right before a number counted as part of it: two statements
// with one shape differ in their values only.
std::string ShapeOf(std::string_view sql);

// Reports a broken property and stops the fuzzer (libFuzzer keeps the input).
[[noreturn]] void Broken(const std::string& what, std::string_view input);

}  // namespace mirel_fuzz
