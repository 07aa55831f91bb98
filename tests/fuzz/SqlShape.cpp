#include "SqlShape.h"

#include <cstdio>
#include <cstdlib>

namespace mirel_fuzz {

namespace {

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The end of a token quoted with `close` whose contents start at `i`; a doubled `close` is
// the character itself. Appends the contents to `out`.
size_t Quoted(std::string_view sql, size_t i, char close, std::string& out, bool& terminated) {
  while (i < sql.size()) {
    if (sql[i] == close) {
      if (i + 1 < sql.size() && sql[i + 1] == close) {
        out += close;
        i += 2;
        continue;
      }
      terminated = true;
      return i + 1;
    }
    out += sql[i++];
  }
  terminated = false;
  return i;
}

}  // namespace

std::vector<SqlToken> ReadSql(std::string_view sql) {
  std::vector<SqlToken> tokens;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    std::string text;
    bool terminated = true;
    if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'')) {
      i = Quoted(sql, sql[i] == '\'' ? i + 1 : i + 2, '\'', text, terminated);
      tokens.push_back({terminated ? SqlToken::Literal : SqlToken::Unterminated, text});
    } else if (c == '"' || c == '[') {
      i = Quoted(sql, i + 1, c == '"' ? '"' : ']', text, terminated);
      tokens.push_back({terminated ? SqlToken::Name : SqlToken::Unterminated, text});
    } else if (c >= '0' && c <= '9') {
      const size_t start = i;
      while (i < sql.size() && ((sql[i] >= '0' && sql[i] <= '9') || sql[i] == '.')) ++i;
      tokens.push_back({SqlToken::Number, std::string(sql.substr(start, i - start))});
    } else if (IsWordChar(c)) {
      const size_t start = i;
      while (i < sql.size() && IsWordChar(sql[i])) ++i;
      tokens.push_back({SqlToken::Word, std::string(sql.substr(start, i - start))});
    } else {
      tokens.push_back({SqlToken::Operator, std::string(1, c)});
      ++i;
    }
  }
  return tokens;
}

std::string ShapeOf(std::string_view sql) {
  const std::vector<SqlToken> tokens = ReadSql(sql);
  std::string shape;
  for (size_t t = 0; t < tokens.size(); ++t) {
    const SqlToken& tok = tokens[t];
    switch (tok.kind) {
      case SqlToken::Literal: shape += "<text> "; break;
      case SqlToken::Number: shape += "<number> "; break;
      case SqlToken::Unterminated: shape += "<unterminated> "; break;
      case SqlToken::Name: shape += "\"" + tok.text + "\" "; break;
      case SqlToken::Word: shape += tok.text + " "; break;
      case SqlToken::Operator:
        if (tok.text == "-" && t + 1 < tokens.size() && tokens[t + 1].kind == SqlToken::Number) break;
        shape += tok.text + " ";
        break;
    }
  }
  return shape;
}

void Broken(const std::string& what, std::string_view input) {
  std::fprintf(stderr, "property broken: %s\ninput (%zu bytes): ", what.c_str(), input.size());
  for (unsigned char c : input) std::fprintf(stderr, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
  std::fprintf(stderr, "\n");
  std::abort();
}

}  // namespace mirel_fuzz
