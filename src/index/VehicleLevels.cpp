#include "index/VehicleLevels.h"

#include "runtime/TextBasics.h"

namespace mirel_platform {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool IsWordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The end of a quoted token whose opening quote is at `open`; a doubled quote stands for
// itself. kNone when never closed.
size_t EndOfQuoted(std::string_view sql, size_t open, char quote) {
  for (size_t i = open + 1;;) {
    const size_t q = sql.find(quote, i);
    if (q == std::string_view::npos) return kNone;
    if (q + 1 < sql.size() && sql[q + 1] == quote) {
      i = q + 2;
      continue;
    }
    return q + 1;
  }
}

bool IsWord(const SqlTokens& t, size_t i, std::string_view word) {
  return i < t.tokens.size() && t.tokens[i].kind == SqlToken::Kind::Word && t.tokens[i].lower == word;
}
bool IsSymbol(const SqlTokens& t, size_t i, std::string_view symbol) {
  return i < t.tokens.size() && t.tokens[i].kind == SqlToken::Kind::Symbol && t.tokens[i].lower == symbol;
}

}  // namespace

std::optional<SqlTokens> TokenizeSql(std::string_view sql) {
  SqlTokens out;
  std::vector<size_t> open;
  const size_t n = sql.size();
  for (size_t i = 0; i < n;) {
    const char c = sql[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    const size_t start = i;
    SqlToken::Kind kind = SqlToken::Kind::Symbol;
    std::string lower;
    if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
      i = EndOfQuoted(sql, i + 1, '\'');
      kind = SqlToken::Kind::String;
    } else if (c == '\'') {
      i = EndOfQuoted(sql, i, '\'');
      kind = SqlToken::Kind::String;
    } else if (c == '"') {
      i = EndOfQuoted(sql, i, '"');
      kind = SqlToken::Kind::Name;
    } else if (c == '[') {
      i = EndOfQuoted(sql, i, ']');
      kind = SqlToken::Kind::Name;
    } else if (IsWordStart(c)) {
      while (i < n && (IsWordStart(sql[i]) || IsDigit(sql[i]))) ++i;
      kind = SqlToken::Kind::Word;
      lower = LowerAscii(sql.substr(start, i - start));
    } else if (IsDigit(c)) {
      while (i < n && (IsDigit(sql[i]) || sql[i] == '.')) ++i;
      kind = SqlToken::Kind::Number;
    } else {
      ++i;
      lower = std::string(1, c);
    }
    if (i == kNone) return std::nullopt;
    out.tokens.push_back(SqlToken{kind, start, i, std::move(lower)});
    out.partner.push_back(kNone);
    const size_t index = out.tokens.size() - 1;
    if (kind == SqlToken::Kind::Symbol && c == '(') open.push_back(index);
    if (kind == SqlToken::Kind::Symbol && c == ')') {
      if (open.empty()) return std::nullopt;
      out.partner[index] = open.back();
      out.partner[open.back()] = index;
      open.pop_back();
    }
  }
  if (!open.empty()) return std::nullopt;
  return out;
}

bool IsLevelOpen(const SqlTokens& t, size_t open) {
  return open > 0 && IsSymbol(t, open, "(") && IsWord(t, open - 1, "in") && IsWord(t, open + 1, "select") &&
         IsWord(t, open + 2, "distinct") && IsWord(t, open + 3, "vehicle_id") && IsWord(t, open + 4, "from") &&
         IsWord(t, open + 5, "equipment") && IsWord(t, open + 6, "where");
}

LevelShape ShapeOfLevel(const SqlTokens& t, LevelRange range) {
  LevelShape shape;
  const size_t begin = range.open + 7;
  const size_t end = range.close;
  shape.ownBegin = begin;
  shape.ownEnd = end;
  // Split at the ANDs outside parentheses. An OR there (or a construct in which AND is not
  // the Boolean operator) binds differently: such a level is evaluated as written.
  size_t lastAnd = kNone;
  for (size_t i = begin; i < end; ++i) {
    if (IsSymbol(t, i, "(")) {
      i = t.partner[i];
      continue;
    }
    if (IsWord(t, i, "or") || IsWord(t, i, "between") || IsWord(t, i, "case")) return shape;
    if (IsWord(t, i, "and")) lastAnd = i;
  }
  // "vehicle_id in (<level>)" as the whole last term, or as the only term.
  const size_t termBegin = lastAnd == kNone ? begin : lastAnd + 1;
  if (!IsWord(t, termBegin, "vehicle_id") || !IsWord(t, termBegin + 1, "in")) return shape;
  const size_t innerOpen = termBegin + 2;
  if (!IsLevelOpen(t, innerOpen) || t.partner[innerOpen] + 1 != end) return shape;
  shape.next = LevelRange{innerOpen, t.partner[innerOpen]};
  shape.ownEnd = lastAnd == kNone ? begin : lastAnd;
  return shape;
}

std::vector<LevelRange> OutermostLevels(const SqlTokens& t, size_t begin, size_t end) {
  std::vector<LevelRange> levels;
  for (size_t i = begin; i < end; ++i) {
    if (IsLevelOpen(t, i)) {
      levels.push_back(LevelRange{i, t.partner[i]});
      i = t.partner[i];
    }
  }
  return levels;
}

}  // namespace mirel_platform
