#include "sql/Lexer.h"

#include <cstdio>

#include "runtime/TextBasics.h"

namespace mirel_platform {

namespace {

// The blanks every engine reads as blanks (form feed and vertical tab are not blanks to
// all of them, so the strict lexer refuses them like any other unknown character).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Characters that PostgreSQL joins into one operator when they are written together
// ("->", "*=", "=-"), which T-SQL and SQLite read as separate tokens.
bool IsOperatorCharacter(char c) { return std::string_view("+-*/<>=").find(c) != std::string_view::npos; }

// PostgreSQL cuts longer names to this many bytes, so two names the other engines tell
// apart could become one.
constexpr size_t kMaxNameBytes = 63;
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c); }

std::string DescribeCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string("the character \"") + c + "\"";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "the byte 0x%02X", u);
  return buffer;
}

// Thrown by the reading lexer where the strict one would refuse for good: nothing can be
// read past it.
struct Unreadable {};

class Lexer {
 public:
  Lexer(std::string_view sql, bool strict) : m_sql(sql), m_strict(strict) {}

  SqlTokens Run() {
    const size_t n = m_sql.size();
    size_t i = 0;
    while (true) {
      const size_t blank = i;
      while (i < n && (IsBlank(m_sql[i]) || (!m_strict && (m_sql[i] == '\f' || m_sql[i] == '\v')))) ++i;
      if (i >= n) {
        m_out.trailingBlanks = blank;
        break;
      }
      i = Token(blank, i);
    }
    Pair();
    return std::move(m_out);
  }

 private:
  // Refuses in the strict lexer; the reading lexer goes on where it can.
  void Refuse(size_t pos, std::string what) const {
    if (m_strict) throw SqlLexError{pos, std::move(what)};
  }

  void Push(SqlToken::Kind kind, size_t blankBegin, size_t begin, size_t end, std::string lower = {}) {
    m_out.tokens.push_back(SqlToken{kind, blankBegin, begin, end, std::move(lower)});
  }

  // The end of a quoted token whose opening quote is at `open`; a doubled quote is the
  // quote itself.
  size_t EndOfQuoted(size_t tokenBegin, size_t open, char quote, const char* what) const {
    size_t i = open + 1;
    while (true) {
      const size_t q = m_sql.find(quote, i);
      if (q == std::string_view::npos) {
        Refuse(tokenBegin, std::string("an unterminated ") + what);
        throw Unreadable{};
      }
      if (q + 1 < m_sql.size() && m_sql[q + 1] == quote) {
        i = q + 2;
        continue;
      }
      // SQL Server reads a backslash before a line break in a literal as a continuation
      // and drops both; the other engines keep them.
      for (size_t k = open + 1; k + 1 < q; ++k)
        if (m_sql[k] == '\\' && (m_sql[k + 1] == '\n' || m_sql[k + 1] == '\r'))
          Refuse(k, "a backslash before a line break inside a quoted text");
      return q + 1;
    }
  }

  // A quoted or bracketed name: ASCII only (the engines fold other letters differently)
  // and short enough for every engine to keep whole.
  void CheckName(size_t begin, size_t end) const {
    for (size_t i = begin; i < end; ++i)
      if (static_cast<unsigned char>(m_sql[i]) >= 0x80) Refuse(begin, "a name with characters outside ASCII");
    if (end - begin > kMaxNameBytes + 2) Refuse(begin, "a name longer than 63 characters");
  }

  bool LastIs(SqlToken::Kind kind) const { return !m_out.tokens.empty() && m_out.tokens.back().kind == kind; }

  // Reads the token at `start` (blanks before it from `blank`); returns where it ends.
  size_t Token(size_t blank, size_t start) {
    const size_t n = m_sql.size();
    size_t i = start;
    const char c = m_sql[i];
    const char next = i + 1 < n ? m_sql[i + 1] : '\0';

    if (c == '-' && next == '-') Refuse(start, "a comment (\"--\")");
    if (c == '/' && next == '*') Refuse(start, "a comment (\"/*\")");
    if (c == '*' && next == '/') Refuse(start, "the end of a comment (\"*/\")");

    if (c == '\'' || ((c == 'N' || c == 'n') && next == '\'')) {
      // PostgreSQL joins literals separated by a line break, and 'a'N'b' must not read as
      // one literal holding a quote: a literal never follows another.
      if (LastIs(SqlToken::Kind::String)) Refuse(start, "a string literal right after another string literal");
      i = EndOfQuoted(start, c == '\'' ? i : i + 1, '\'', "string literal");
      Push(SqlToken::Kind::String, blank, start, i);
    } else if (c == '"' || c == '[') {
      const bool quoted = c == '"';
      i = EndOfQuoted(start, i, quoted ? '"' : ']', quoted ? "quoted name" : "bracketed name");
      if (i - start == 2) Refuse(start, quoted ? "an empty quoted name" : "an empty bracketed name");
      CheckName(start, i);
      Push(quoted ? SqlToken::Kind::QuotedName : SqlToken::Kind::BracketName, blank, start, i);
    } else if (IsWordStart(c)) {
      while (i < n && IsWordChar(m_sql[i])) ++i;
      if (i - start > kMaxNameBytes) Refuse(start, "a name longer than 63 characters");
      if (i < n && (m_sql[i] == '\'' || m_sql[i] == '"'))
        Refuse(start, "a quote right after the word \"" + std::string(m_sql.substr(start, i - start)) +
                          "\" (a typed literal such as X'…')");
      Push(SqlToken::Kind::Word, blank, start, i, LowerAscii(m_sql.substr(start, i - start)));
    } else if (IsDigit(c)) {
      // The numbers of TextBasics.h's IsStatementNumber (the sign is a symbol here).
      i += UnsignedNumberLength(m_sql.substr(i));
      if (i < n && (IsWordChar(m_sql[i]) || m_sql[i] == '.' || m_sql[i] == '\'' || m_sql[i] == '"'))
        Refuse(start, "a malformed number (only integers and decimals such as 12 or 1.5)");
      Push(SqlToken::Kind::Number, blank, start, i);
    } else {
      i = Symbol(blank, start);
    }
    return i;
  }

  size_t Symbol(size_t blank, size_t start) {
    const size_t n = m_sql.size();
    const char c = m_sql[start];
    const char next = start + 1 < n ? m_sql[start + 1] : '\0';
    auto endOfWord = [&](char also) {
      size_t e = start + 1;
      while (e < n && (IsWordChar(m_sql[e]) || m_sql[e] == also)) ++e;
      return std::string(m_sql.substr(start, e - start));
    };
    if (c == '.' && IsDigit(next)) Refuse(start, "a number that starts with a point (write 0.5, not .5)");
    if (c == '@') Refuse(start, "the variable \"" + endOfWord('@') + "\"");
    if (c == '#') Refuse(start, "the temporary table \"" + endOfWord('#') + "\"");
    if (IsOperatorCharacter(c) && LastIs(SqlToken::Kind::Symbol) && m_out.tokens.back().end == start &&
        IsOperatorCharacter(m_sql[start - 1])) {
      const size_t previous = m_out.tokens.back().begin;
      Refuse(previous, "the operator characters \"" + std::string(m_sql.substr(previous, start + 1 - previous)) +
                           "\" written together (PostgreSQL reads them as one operator)");
    }
    size_t length = 1;
    if (c == '<' || c == '>' || c == '=') {
      if ((c == '<' && (next == '>' || next == '=')) || (c == '>' && next == '=')) length = 2;
      if (start + length < n && std::string_view("<>=!").find(m_sql[start + length]) != std::string_view::npos)
        Refuse(start, "the operator \"" + std::string(m_sql.substr(start, length + 1)) + "\"");
    } else if (std::string_view("+-*/,.();").find(c) == std::string_view::npos) {
      Refuse(start, DescribeCharacter(c));
    }
    Push(SqlToken::Kind::Symbol, blank, start, start + length, std::string(m_sql.substr(start, length)));
    return start + length;
  }

  // The partner of every parenthesis; an unpaired one keeps kNoPartner.
  void Pair() {
    m_out.partner.assign(m_out.tokens.size(), kNoPartner);
    std::vector<size_t> open;
    for (size_t k = 0; k < m_out.tokens.size(); ++k) {
      const SqlToken& tok = m_out.tokens[k];
      if (tok.kind != SqlToken::Kind::Symbol) continue;
      if (tok.lower == "(") {
        open.push_back(k);
      } else if (tok.lower == ")" && !open.empty()) {
        m_out.partner[k] = open.back();
        m_out.partner[open.back()] = k;
        open.pop_back();
      }
    }
  }

  std::string_view m_sql;
  bool m_strict;
  SqlTokens m_out;
};

}  // namespace

SqlTokens LexTsql(std::string_view sql) { return Lexer(sql, true).Run(); }

std::optional<SqlTokens> TokenizeSql(std::string_view sql) {
  try {
    SqlTokens tokens = Lexer(sql, false).Run();
    for (size_t k = 0; k < tokens.tokens.size(); ++k) {
      const SqlToken& tok = tokens.tokens[k];
      if (tok.kind == SqlToken::Kind::Symbol && (tok.lower == "(" || tok.lower == ")") &&
          tokens.partner[k] == kNoPartner)
        return std::nullopt;
    }
    return tokens;
  } catch (const Unreadable&) {
    return std::nullopt;
  }
}

}  // namespace mirel_platform
