#include "index/Shapes.h"

#include <initializer_list>

#include "sql/QueryShapes.h"

namespace mirel_platform::facets {

namespace {

// A text's tokens with the reading helpers every shape needs.
class Reader {
 public:
  Reader(std::string_view sql, const SqlTokens& t) : m_sql(sql), m_t(t) {}

  size_t Count() const { return m_t.tokens.size(); }
  const SqlToken& Tok(size_t i) const { return m_t.tokens[i]; }
  size_t Partner(size_t i) const { return m_t.partner[i]; }
  bool IsWord(size_t i, std::string_view w) const {
    return i < Count() && Tok(i).kind == SqlToken::Kind::Word && Tok(i).lower == w;
  }
  bool IsSymbol(size_t i, std::string_view s) const {
    return i < Count() && Tok(i).kind == SqlToken::Kind::Symbol && Tok(i).lower == s;
  }
  bool IsKind(size_t i, SqlToken::Kind kind) const { return i < Count() && Tok(i).kind == kind; }
  std::string_view Text(size_t begin, size_t end) const {
    return m_sql.substr(Tok(begin).begin, Tok(end - 1).end - Tok(begin).begin);
  }

  // The tokens of `expected` (words and symbols, lower case) from i on; moves i past them.
  bool Expect(size_t& i, std::initializer_list<std::string_view> expected) const {
    for (std::string_view e : expected) {
      if (i >= Count() || Tok(i).lower != e ||
          (Tok(i).kind != SqlToken::Kind::Word && Tok(i).kind != SqlToken::Kind::Symbol))
        return false;
      ++i;
    }
    return true;
  }

  // The first token at the top level of [begin, Count()) that is one of `words` or ";".
  size_t FindTopLevel(size_t begin, std::initializer_list<std::string_view> words) const {
    for (size_t i = begin; i < Count(); ++i) {
      if (IsSymbol(i, "(")) {
        i = Partner(i);
        continue;
      }
      if (IsSymbol(i, ";")) return i;
      for (std::string_view w : words)
        if (IsWord(i, w)) return i;
    }
    return Count();
  }

  // Whether [begin, end) is only "<alias>.vehicle_id in (<level>)" and "<alias>.option_id =
  // 0" terms joined by AND; collects the levels and the standard-equipment condition.
  bool VehicleTerms(size_t begin, size_t end, const std::string& alias, Shape& shape) const {
    size_t term = begin;
    while (term < end) {
      size_t next = term;
      while (next < end && !IsWord(next, "and")) {
        if (IsWord(next, "or")) return false;
        next = IsSymbol(next, "(") ? Partner(next) + 1 : next + 1;
      }
      const bool qualified = IsWord(term, alias) && IsSymbol(term + 1, ".");
      if (qualified && IsWord(term + 2, "vehicle_id") && IsWord(term + 3, "in") && IsLevelOpen(m_t, term + 4) &&
          Partner(term + 4) + 1 == next) {
        shape.levels.push_back(LevelRange{term + 4, Partner(term + 4)});
      } else if (qualified && IsWord(term + 2, "option_id") && IsSymbol(term + 3, "=") && next == term + 5 &&
                 IsKind(term + 4, SqlToken::Kind::Number) && Text(term + 4, term + 5) == "0") {
        shape.standardOnly = true;
      } else {
        return false;
      }
      term = next + 1;
    }
    return term == end + 1;
  }

  std::optional<Shape> Steps() const;
  std::optional<Shape> ListOrVehicles() const;

 private:
  bool AliasUsesAllowed(const Shape& shape, bool lists) const;
  std::optional<ShapeKind> KindOfHead(std::string_view head) const;

  std::string_view m_sql;
  const SqlTokens& m_t;
};

std::optional<ShapeKind> Reader::KindOfHead(std::string_view head) const {
  if (head == shapes::kCodedValues) return ShapeKind::CodedValues;
  if (head == shapes::kRanges) return ShapeKind::Ranges;
  if (head == shapes::kNumericValues) return ShapeKind::NumericValues;
  if (head == shapes::kCodedCounts) return ShapeKind::CodedCounts;
  if (head == shapes::kNumericCounts) return ShapeKind::NumericCounts;
  // The vehicles, alone or with sort columns after ", ".
  if (head.substr(0, shapes::kVehicles.size()) == shapes::kVehicles &&
      (head.size() == shapes::kVehicles.size() || head.substr(shapes::kVehicles.size(), 2) == ", "))
    return ShapeKind::OtherVehicles;
  return std::nullopt;
}

// Outside the WHERE clause the alias may stand only for the columns the substitute carries,
// and the table may not be read a second time.
bool Reader::AliasUsesAllowed(const Shape& shape, bool lists) const {
  for (size_t i = 0; i < Count(); ++i) {
    if (shape.hasWhere && i == shape.where) {
      i = shape.tail - 1;
      continue;
    }
    if (i == shape.from + 1 || i == shape.from + 2) continue;
    if (shape.Counting() && i < shape.from) continue;  // the head is replaced
    if (IsWord(i, "equipment")) return false;
    // A bare column name could mean a column of the table the substitute replaces.
    const bool column = IsWord(i, "vehicle_id") || IsWord(i, "schema_id") || IsWord(i, "location") ||
                        IsWord(i, "data_value") || IsWord(i, "option_id");
    if (column && !(i > 0 && (IsSymbol(i - 1, ".") || IsWord(i - 1, "as")))) return false;
    if (!IsWord(i, shape.alias)) continue;
    if ((i > 0 && IsSymbol(i - 1, ".")) || !IsSymbol(i + 1, ".")) return false;
    const bool allowed = lists ? (IsWord(i + 2, "schema_id") || IsWord(i + 2, "location") || IsWord(i + 2, "data_value"))
                               : IsWord(i + 2, "vehicle_id");
    if (!allowed) return false;
  }
  return true;
}

std::optional<Shape> Reader::ListOrVehicles() const {
  // "… from equipment <alias> …": the one use of the table.
  size_t from = Count();
  for (size_t i = 0; i + 2 < Count(); ++i) {
    if (IsWord(i, "from") && IsWord(i + 1, "equipment")) {
      from = i;
      break;
    }
  }
  if (from == Count() || !IsKind(from + 2, SqlToken::Kind::Word) || IsSymbol(from + 3, ".")) return std::nullopt;
  const std::string_view head = m_sql.substr(0, Tok(from).begin);
  const std::optional<ShapeKind> kind = KindOfHead(head);
  if (!kind) return std::nullopt;
  const bool lists = *kind != ShapeKind::OtherVehicles;
  Shape shape(*kind);
  shape.alias = Tok(from + 2).lower;
  if (shape.alias != (lists ? "eq0" : "eq")) return std::nullopt;
  shape.from = from;
  shape.where = FindTopLevel(from + 3, {"where", "order", "group"});
  shape.hasWhere = IsWord(shape.where, "where");
  shape.tail = shape.hasWhere ? FindTopLevel(shape.where + 1, {"order", "group"}) : shape.where;
  if (shape.hasWhere && (!VehicleTerms(shape.where + 1, shape.tail, shape.alias, shape) ||
                         (shape.levels.empty() && !shape.standardOnly)))
    return std::nullopt;
  if (!AliasUsesAllowed(shape, lists)) return std::nullopt;

  if (!lists) {
    if (head.size() == shapes::kVehicles.size() && IsSymbol(shape.tail, ";") && shape.tail + 1 == Count()) {
      shape.kind = ShapeKind::Vehicles;
    } else if (IsWord(shape.tail, "order") && shape.where > from + 3) {
      // Between the table and the WHERE clause stands the join to `version` and nothing else.
      constexpr std::string_view kJoin = shapes::kVersionJoin.substr(0, shapes::kVersionJoin.size() - 1);
      if (Text(from + 3, shape.where) == kJoin) shape.kind = ShapeKind::SortedVehicles;
    }
    return shape;
  }
  // The project database is the X of "X..search_by_features".
  for (size_t i = 0; i + 3 < Count(); ++i) {
    if (IsKind(i, SqlToken::Kind::Word) && IsSymbol(i + 1, ".") && IsSymbol(i + 2, ".") &&
        IsWord(i + 3, "search_by_features")) {
      shape.project = std::string(Text(i, i + 1));
      return shape;
    }
  }
  return std::nullopt;
}

// The counting query of a range row's ladder:
//   select steps.step, count(distinct steps.vehicle_id) as vehicle_count from (select case
//   when cast(eq0.data_value as float) < <bound 0> then 0 … else <n> end as step,
//   eq0.vehicle_id from equipment eq0 WHERE (eq0.schema_id = S) AND (eq0.location = L)
//   [AND (eq0.data_value = N'v')] [AND <vehicle terms>] ) steps group by steps.step order
//   by steps.step;
std::optional<Shape> Reader::Steps() const {
  if (m_sql.substr(0, shapes::kSteps.size()) != shapes::kSteps) return std::nullopt;
  // The head is the shared one: its tokens end with "( select case".
  static const size_t kHeadTokens = LexTsql(shapes::kSteps).tokens.size();
  size_t i = kHeadTokens;
  const size_t open = i - 3;  // "(" of the derived table
  Shape shape(ShapeKind::Steps);
  shape.alias = "eq0";
  auto number = [&](size_t& at) { return NumberTextAt(m_sql, m_t, at, Count()); };
  while (IsWord(i, "when")) {
    ++i;
    if (!Expect(i, {"cast", "(", "eq0", ".", "data_value", "as", "float", ")", "<"})) return std::nullopt;
    const std::optional<std::string> bound = number(i);
    if (!bound || !Expect(i, {"then"})) return std::nullopt;
    const std::optional<std::string> step = number(i);
    if (!step || *step != std::to_string(shape.bounds.size())) return std::nullopt;
    shape.bounds.push_back(*bound);
  }
  std::optional<std::string> last;
  if (!Expect(i, {"else"}) || !(last = number(i)) || *last != std::to_string(shape.bounds.size()) ||
      !Expect(i, {"end", "as", "step", ",", "eq0", ".", "vehicle_id", "from", "equipment", "eq0", "where", "(", "eq0",
                  ".", "schema_id", "="}))
    return std::nullopt;
  std::optional<std::string> schema = number(i), location;
  if (!schema || !Expect(i, {")", "and", "(", "eq0", ".", "location", "="}) || !(location = number(i)) ||
      !Expect(i, {")"}))
    return std::nullopt;
  shape.schema = *schema;
  shape.location = *location;
  if (IsWord(i, "and") && IsSymbol(i + 1, "(") && IsWord(i + 2, "eq0") && IsSymbol(i + 3, ".") &&
      IsWord(i + 4, "data_value") && IsSymbol(i + 5, "=") && IsKind(i + 6, SqlToken::Kind::String) &&
      IsSymbol(i + 7, ")")) {
    shape.value = StringAt(m_sql, m_t, i + 6);
    i += 8;
  }
  const size_t close = Partner(open);
  if (close == kNoPartner || (i < close && (!IsWord(i, "and") || !VehicleTerms(i + 1, close, "eq0", shape))))
    return std::nullopt;
  size_t tail = close + 1;
  if (!Expect(tail, {"steps", "group", "by", "steps", ".", "step", "order", "by", "steps", ".", "step", ";"}) ||
      tail != Count())
    return std::nullopt;
  return shape;
}

}  // namespace

const char* NameOf(ShapeKind kind) {
  switch (kind) {
    case ShapeKind::CodedValues: return "coded values";
    case ShapeKind::Ranges: return "ranges";
    case ShapeKind::NumericValues: return "numeric values";
    case ShapeKind::CodedCounts: return "coded counts";
    case ShapeKind::NumericCounts: return "numeric counts";
    case ShapeKind::Vehicles: return "vehicles";
    case ShapeKind::SortedVehicles: return "sorted vehicles";
    case ShapeKind::OtherVehicles: return "other vehicles";
    case ShapeKind::Steps: return "steps";
  }
  return "?";
}

std::optional<std::string> NumberTextAt(std::string_view sql, const SqlTokens& t, size_t& i, size_t end) {
  std::string text;
  size_t k = i;
  if (k < end && t.tokens[k].kind == SqlToken::Kind::Symbol && t.tokens[k].lower == "-") {
    text = "-";
    ++k;
  }
  if (k >= end || t.tokens[k].kind != SqlToken::Kind::Number) return std::nullopt;
  text += sql.substr(t.tokens[k].begin, t.tokens[k].end - t.tokens[k].begin);
  i = k + 1;
  return text;
}

std::string StringAt(std::string_view sql, const SqlTokens& t, size_t i) {
  const SqlToken& tok = t.tokens[i];
  const size_t open = sql[tok.begin] == '\'' ? tok.begin : tok.begin + 1;
  std::string out;
  for (size_t k = open + 1; k + 1 < tok.end; ++k) {
    out += sql[k];
    if (sql[k] == '\'' && sql[k + 1] == '\'') ++k;
  }
  return out;
}

// "(data_value = N'x')" or "(data_value <> N'x')" at token i, or the same of
// "LEFT(data_value, N)" (when `left` may take N); returns one past it, 0 when not.
static size_t ValueTestAt(const Reader& r, std::string_view sql, const SqlTokens& t, size_t i, bool& equal,
                          std::string& value, std::optional<std::string>* left) {
  if (!r.IsSymbol(i, "(")) return 0;
  size_t k = i + 1;
  if (left && r.IsWord(k, "left") && r.IsSymbol(k + 1, "(") && r.IsWord(k + 2, "data_value") && r.IsSymbol(k + 3, ",")) {
    size_t n = k + 4;
    *left = NumberTextAt(sql, t, n, r.Partner(k + 1));
    if (!*left || n != r.Partner(k + 1)) return 0;
    k = n + 1;
  } else if (r.IsWord(k, "data_value")) {
    ++k;
  } else {
    return 0;
  }
  if (!r.IsSymbol(k, "=") && !r.IsSymbol(k, "<>")) return 0;
  equal = r.IsSymbol(k, "=");
  if (!r.IsKind(k + 1, SqlToken::Kind::String) || !r.IsSymbol(k + 2, ")") || r.Partner(i) != k + 2) return 0;
  value = StringAt(sql, t, k + 1);
  return k + 3;
}

std::optional<OwnConditions> ReadOwnConditions(std::string_view sql, const SqlTokens& t, size_t begin, size_t end) {
  const Reader r(sql, t);
  OwnConditions own;
  bool schema = false;
  for (size_t i = begin; i < end;) {
    size_t next = i;
    while (next < end && !r.IsWord(next, "and")) next = r.IsSymbol(next, "(") ? r.Partner(next) + 1 : next + 1;
    size_t k = i;
    bool equal = false;
    std::string value;
    std::optional<std::string> left;
    if (r.IsWord(k, "schema_id") && r.IsSymbol(k + 1, "=")) {
      k += 2;
      std::optional<std::string> number = NumberTextAt(sql, t, k, next);
      if (!number) return std::nullopt;
      own.schema = *number;
      schema = true;
    } else if (r.IsWord(k, "location") && r.IsSymbol(k + 1, "=")) {
      k += 2;
      own.location = NumberTextAt(sql, t, k, next);
      if (!own.location) return std::nullopt;
    } else if (r.IsWord(k, "option_id") && r.IsSymbol(k + 1, "=") && k + 3 == next &&
               r.IsKind(k + 2, SqlToken::Kind::Number) && r.Text(k + 2, k + 3) == "0") {
      own.standard = true;
      k += 3;
    } else if (const size_t after = ValueTestAt(r, sql, t, k, equal, value, &left)) {
      own.valueTests.push_back(OwnConditions::ValueTest{equal, {value}, left});
      k = after;
    } else if (r.IsSymbol(k, "(") && r.IsSymbol(k + 1, "(")) {
      // "((data_value = N'a') OR (data_value = N'b'))"
      OwnConditions::ValueTest test{true, {}, std::nullopt};
      const size_t close = r.Partner(k);
      for (size_t j = k + 1;;) {
        bool isEqual = false;
        const size_t after = ValueTestAt(r, sql, t, j, isEqual, value, nullptr);
        if (!after || !isEqual) return std::nullopt;
        test.values.push_back(value);
        if (after == close) break;
        if (!r.IsWord(after, "or")) return std::nullopt;
        j = after + 1;
      }
      own.valueTests.push_back(std::move(test));
      k = close + 1;
    } else if (r.IsWord(k, "cast") && r.IsSymbol(k + 1, "(") && r.IsWord(k + 2, "data_value") &&
               r.IsWord(k + 3, "as") && r.IsWord(k + 4, "float") && r.IsSymbol(k + 5, ")") &&
               (r.IsSymbol(k + 6, ">=") || r.IsSymbol(k + 6, "<="))) {
      const bool atLeast = r.IsSymbol(k + 6, ">=");
      k += 7;
      std::optional<std::string> number = NumberTextAt(sql, t, k, next);
      if (!number) return std::nullopt;
      own.bounds.push_back(OwnConditions::Bound{atLeast, *number});
    } else {
      return std::nullopt;
    }
    if (k != next) return std::nullopt;
    i = next + 1;
  }
  if (!schema) return std::nullopt;
  return own;
}

std::optional<Shape> RecognizeShape(std::string_view sql, const SqlTokens& t) {
  if (t.tokens.empty()) return std::nullopt;
  const Reader reader(sql, t);
  if (std::optional<Shape> steps = reader.Steps()) return steps;
  return reader.ListOrVehicles();
}

}  // namespace mirel_platform::facets
