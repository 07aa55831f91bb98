#include "index/VehicleLevels.h"

#include "sql/QueryShapes.h"

namespace mirel_platform {

namespace {

constexpr size_t kNone = kNoPartner;

bool IsWord(const SqlTokens& t, size_t i, std::string_view word) {
  return i < t.tokens.size() && t.tokens[i].kind == SqlToken::Kind::Word && t.tokens[i].lower == word;
}
bool IsSymbol(const SqlTokens& t, size_t i, std::string_view symbol) {
  return i < t.tokens.size() && t.tokens[i].kind == SqlToken::Kind::Symbol && t.tokens[i].lower == symbol;
}

// The tokens of a level's head, "select distinct vehicle_id from equipment where".
const std::vector<SqlToken>& LevelHead() {
  static const std::vector<SqlToken> head = LexTsql(shapes::kLevel).tokens;
  return head;
}

}  // namespace

bool IsLevelOpen(const SqlTokens& t, size_t open) {
  if (open == 0 || !IsSymbol(t, open, "(") || !IsWord(t, open - 1, "in")) return false;
  const std::vector<SqlToken>& head = LevelHead();
  for (size_t k = 0; k < head.size(); ++k)
    if (!IsWord(t, open + 1 + k, head[k].lower)) return false;
  return true;
}

LevelShape ShapeOfLevel(const SqlTokens& t, LevelRange range) {
  LevelShape shape;
  const size_t begin = range.open + 1 + LevelHead().size();
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
