#include "index/FacetEvaluator.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>

#include "runtime/TextBasics.h"
#include "index/VehicleLevels.h"
#include "sql/QueryShapes.h"

namespace mirel_platform::facets {

namespace {

std::atomic<int64_t> g_facets{0}, g_levels{0}, g_asWritten{0};

// Texts longer than this are not used as cache keys (a deep nest's keys would grow with the
// square of its depth); their own conditions still are.
constexpr size_t kMaxKeyText = 16384;

// The heads of the library's list, counting and vehicle queries (sql/QueryShapes.h).
constexpr std::string_view kCodedHead = shapes::kCodedValues;
constexpr std::string_view kRangeHead = shapes::kRanges;
constexpr std::string_view kNumericHead = shapes::kNumericValues;
constexpr std::string_view kVehiclesHead = shapes::kVehicles;
constexpr std::string_view kCodedCountHead = shapes::kCodedCounts;
constexpr std::string_view kNumericCountHead = shapes::kNumericCounts;
constexpr std::string_view kStepsHead = shapes::kSteps;

// How many of `carriers` are in `chosen` (all when there is no choice).
int64_t CountIn(const std::vector<int64_t>& carriers, const VehicleSet* chosen) {
  if (!chosen) return static_cast<int64_t>(carriers.size());
  return std::count_if(carriers.begin(), carriers.end(), [&](int64_t v) { return chosen->Contains(v); });
}

// An item's postings turned around: for each vehicle, the entries it carries (on any row,
// and on a standard row). Counting then costs one pass over the matching vehicles instead
// of one over every carrier of every value. Built only when the vehicle ids lie close
// together (at most four ids of span per carried value).
struct ForwardIndex {
  int64_t base = 0;
  std::vector<uint32_t> allStart, standardStart;  // per vehicle - base, into the lists below
  std::vector<uint32_t> allEntries, standardEntries;

  static std::optional<ForwardIndex> Of(const Postings& postings) {
    int64_t low = INT64_MAX, high = INT64_MIN;
    size_t pairs = 0;
    for (const Postings::Entry& e : postings.entries) {
      if (e.all.empty()) continue;
      low = std::min(low, e.all.front());
      high = std::max(high, e.all.back());
      pairs += e.all.size();
    }
    if (pairs == 0 || pairs >= UINT32_MAX || postings.entries.size() >= UINT32_MAX) return std::nullopt;
    // The distance from the lowest to the highest id, as an unsigned number: exact for any
    // two 64-bit ids (their count, one more, would not fit for the whole range).
    const uint64_t distance = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
    if (distance >= 4 * pairs + 1024) return std::nullopt;
    ForwardIndex index;
    index.base = low;
    index.Fill(postings, distance + 1, false);
    index.Fill(postings, distance + 1, true);
    return index;
  }

  // Calls f(entry) for each entry vehicle `v` carries.
  template <class F>
  void ForEach(int64_t v, bool standard, F&& f) const {
    const std::vector<uint32_t>& start = standard ? standardStart : allStart;
    if (v < base || Slot(v) + 1 >= start.size()) return;
    const std::vector<uint32_t>& entries = standard ? standardEntries : allEntries;
    const size_t at = static_cast<size_t>(Slot(v));
    for (uint32_t k = start[at]; k < start[at + 1]; ++k) f(entries[k]);
  }

  size_t Bytes() const {
    return sizeof(*this) + (allStart.capacity() + standardStart.capacity() + allEntries.capacity() +
                            standardEntries.capacity()) * sizeof(uint32_t);
  }

 private:
  // Where vehicle v (at or above base) stands: its distance from base, without overflow.
  uint64_t Slot(int64_t v) const { return static_cast<uint64_t>(v) - static_cast<uint64_t>(base); }

  void Fill(const Postings& postings, uint64_t slots, bool standard) {
    std::vector<uint32_t>& start = standard ? standardStart : allStart;
    std::vector<uint32_t>& entries = standard ? standardEntries : allEntries;
    auto listOf = [&](const Postings::Entry& e) -> const std::vector<int64_t>& { return standard ? e.standard : e.all; };
    start.assign(static_cast<size_t>(slots) + 1, 0);
    for (const Postings::Entry& e : postings.entries)
      for (int64_t v : listOf(e)) ++start[static_cast<size_t>(Slot(v)) + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    entries.resize(start.back());
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (size_t k = 0; k < postings.entries.size(); ++k)
      for (int64_t v : listOf(postings.entries[k])) entries[next[static_cast<size_t>(Slot(v))]++] = static_cast<uint32_t>(k);
  }
};

class Evaluator {
 public:
  Evaluator(EvaluationContext& ctx, const std::string& sql, SqlTokens tokens)
      : m_ctx(ctx), m_sql(sql), m_t(std::move(tokens)) {}

  std::optional<Evaluated> Run() {
    const EquipmentTypes types = Types();
    if (!types.levels) return std::nullopt;
    if (m_ctx.mode == Evaluation::Facets && types.facets) {
      if (std::optional<Evaluated> shaped = Shapes()) return shaped;
      if (std::optional<Evaluated> steps = Steps()) return steps;
    }
    if (OutermostLevels(m_t, 0, m_t.tokens.size()).empty()) return std::nullopt;
    return Evaluated{RenderAll(), nullptr};
  }

 private:
  // ---- text ----

  size_t Count() const { return m_t.tokens.size(); }
  const SqlToken& Tok(size_t i) const { return m_t.tokens[i]; }
  bool IsWord(size_t i, std::string_view w) const {
    return i < Count() && Tok(i).kind == SqlToken::Kind::Word && Tok(i).lower == w;
  }
  bool IsSymbol(size_t i, std::string_view s) const {
    return i < Count() && Tok(i).kind == SqlToken::Kind::Symbol && Tok(i).lower == s;
  }
  std::string Text(size_t begin, size_t end) const {
    return m_sql.substr(Tok(begin).begin, Tok(end - 1).end - Tok(begin).begin);
  }

  std::string SetReference(const std::shared_ptr<const VehicleSet>& set) {
    const int64_t id = m_ctx.backend->Bind(set);
    return "(select vehicle_id from mirel_vehicles where set_id = " + std::to_string(id) + ")";
  }

  // Tokens [begin, end) as written, each level in them replaced by its bound set.
  std::string Render(size_t begin, size_t end) {
    if (begin >= end) return {};
    std::string out;
    size_t pos = Tok(begin).begin;
    for (const LevelRange& level : OutermostLevels(m_t, begin, end)) {
      out.append(m_sql, pos, Tok(level.open).begin - pos);
      out += SetReference(LevelSet(level));
      pos = Tok(level.close).end;
    }
    out.append(m_sql, pos, Tok(end - 1).end - pos);
    return out;
  }

  std::string RenderAll() {
    std::string out = m_sql.substr(0, Tok(0).begin);
    out += Render(0, Count());
    out.append(m_sql, Tok(Count() - 1).end, std::string::npos);
    return out;
  }

  // ---- sets ----

  std::string Key(char kind, const std::string& stamp, std::string_view text) const {
    std::string key(1, kind);
    key += '|';
    key += stamp;
    key += '|';
    key += text;
    return key;
  }

  template <class T>
  std::shared_ptr<const T> Cached(const std::string& key) const {
    return m_ctx.cache && !key.empty() ? m_ctx.cache->Get<T>(key) : nullptr;
  }
  template <class T>
  void Keep(const std::string& key, const std::shared_ptr<const T>& value, size_t bytes) const {
    if (m_ctx.cache && !key.empty()) m_ctx.cache->Put<T>(key, value, bytes);
  }

  // The vehicles a select of vehicle ids returns, which must all be whole numbers.
  std::shared_ptr<const VehicleSet> RunSet(const std::string& tsql, const std::string& key) {
    if (auto hit = Cached<VehicleSet>(key)) return hit;
    std::vector<int64_t> ids = m_ctx.backend->Ids(tsql);
    auto set = std::make_shared<const VehicleSet>(VehicleSet::FromUnsorted(std::move(ids)));
    Keep(key, set, set->Bytes());
    return set;
  }

  std::shared_ptr<const VehicleSet> LevelSet(LevelRange level) {
    const size_t length = Tok(level.close).end - Tok(level.open).begin;
    const std::string key =
        length <= kMaxKeyText ? Key('L', m_ctx.specsStamp, std::string_view(m_sql).substr(Tok(level.open).begin, length))
                              : std::string();
    if (auto hit = Cached<VehicleSet>(key)) return hit;
    const LevelShape shape = ShapeOfLevel(m_t, level);
    std::shared_ptr<const VehicleSet> set;
    if (shape.next) {
      std::shared_ptr<const VehicleSet> inner = LevelSet(*shape.next);
      if (shape.ownBegin == shape.ownEnd) {
        set = inner;  // the inner level's vehicles all have equipment rows
      } else {
        const std::string own = Text(shape.ownBegin, shape.ownEnd);
        const std::string ownKey = own.size() <= kMaxKeyText ? Key('O', m_ctx.specsStamp, own) : std::string();
        std::shared_ptr<const VehicleSet> mine = Cached<VehicleSet>(ownKey);
        if (!mine) {
          if (std::optional<VehicleSet> fromPostings = OwnFromPostings(shape.ownBegin, shape.ownEnd)) {
            mine = std::make_shared<const VehicleSet>(std::move(*fromPostings));
            Keep(ownKey, mine, mine->Bytes());
          }
        }
        if (!mine)
          mine = RunSet(std::string(shapes::kLevel) + Render(shape.ownBegin, shape.ownEnd),
                        ownKey);
        set = std::make_shared<const VehicleSet>(VehicleSet::Intersect(*mine, *inner));
      }
    } else {
      if (shape.ownBegin >= shape.ownEnd) throw NotEquivalent{};  // "where" and nothing: as written
      if (std::optional<VehicleSet> fromPostings = OwnFromPostings(shape.ownBegin, shape.ownEnd))
        set = std::make_shared<const VehicleSet>(std::move(*fromPostings));
      else
        set = RunSet(std::string(shapes::kLevel) + Render(shape.ownBegin, shape.ownEnd),
                     std::string());
    }
    Keep(key, set, set->Bytes());
    return set;
  }

  // ---- a level's own conditions from the item's postings ----

  std::optional<Literal> NumberAt(size_t& i, size_t end) {
    std::string text;
    if (IsSymbol(i, "-")) {
      text = "-";
      ++i;
    }
    if (i >= end || Tok(i).kind != SqlToken::Kind::Number) return std::nullopt;
    text += Text(i, i + 1);
    ++i;
    return m_ctx.backend->NumberLiteral(text);
  }

  // -1, 0, 1 as `number` compares with `literal` in SQLite (exactly, also for large whole
  // numbers).
  static int Compare(double number, const Literal& literal) {
    if (!literal.integer) return number < literal.real ? -1 : number > literal.real ? 1 : 0;
    const long double a = number, b = static_cast<long double>(literal.whole);
    return a < b ? -1 : a > b ? 1 : 0;
  }

  // The text of an N'…' or '…' literal.
  std::string StringAt(size_t i) const {
    const SqlToken& tok = Tok(i);
    const size_t open = m_sql[tok.begin] == '\'' ? tok.begin : tok.begin + 1;
    std::string out;
    for (size_t k = open + 1; k + 1 < tok.end; ++k) {
      out += m_sql[k];
      if (m_sql[k] == '\'' && m_sql[k + 1] == '\'') ++k;
    }
    return out;
  }

  // The vehicles of "schema_id = N [AND (data_value = …)] [AND Location = L] [AND
  // cast(data_value as float) >= X] …" and the other forms of a choice or a host filter, from
  // the item's postings; nothing when the conditions take another form.
  std::optional<VehicleSet> OwnFromPostings(size_t begin, size_t end) {
    if (m_ctx.mode != Evaluation::Facets || !m_ctx.backend->AnswersFromPostings()) return std::nullopt;
    std::optional<int64_t> schema, location;
    struct ValueTest {
      bool equal;  // = (any of `values`) or <> (none of them)
      std::vector<std::string> values;
    };
    std::vector<ValueTest> valueTests;
    struct Bound {
      bool atLeast;
      Literal literal;
    };
    std::vector<Bound> bounds;
    bool standard = false;  // "option_id = 0": the vehicles that carry it as standard
    auto wholeAt = [&](size_t& i, size_t stop) -> std::optional<int64_t> {
      const std::optional<Literal> literal = NumberAt(i, stop);
      if (!literal || !literal->integer) return std::nullopt;
      return literal->whole;
    };
    // "(data_value = N'x')" or "(data_value <> N'x')" at i; returns one past it.
    auto valueAt = [&](size_t i, bool& equal, std::string& value) -> size_t {
      if (!IsSymbol(i, "(") || !IsWord(i + 1, "data_value")) return 0;
      size_t k = i + 2;
      if (IsSymbol(k, "=")) {
        equal = true;
        ++k;
      } else if (IsSymbol(k, "<>")) {
        equal = false;
        ++k;
      } else {
        return 0;
      }
      if (k >= Count() || Tok(k).kind != SqlToken::Kind::String || !IsSymbol(k + 1, ")") || m_t.partner[i] != k + 1)
        return 0;
      value = StringAt(k);
      return k + 2;
    };
    for (size_t i = begin; i < end;) {
      size_t next = i;
      while (next < end && !IsWord(next, "and")) next = IsSymbol(next, "(") ? m_t.partner[next] + 1 : next + 1;
      size_t k = i;
      bool equal = false;
      std::string value;
      if (IsWord(k, "schema_id") && IsSymbol(k + 1, "=")) {
        k += 2;
        schema = wholeAt(k, next);
        if (!schema) return std::nullopt;
      } else if (IsWord(k, "location") && IsSymbol(k + 1, "=")) {
        k += 2;
        location = wholeAt(k, next);
        if (!location) return std::nullopt;
      } else if (IsWord(k, "option_id") && IsSymbol(k + 1, "=") && k + 3 == next &&
                 Tok(k + 2).kind == SqlToken::Kind::Number && Text(k + 2, k + 3) == "0") {
        standard = true;
        k += 3;
      } else if (const size_t after = valueAt(k, equal, value)) {
        valueTests.push_back(ValueTest{equal, {value}});
        k = after;
      } else if (IsSymbol(k, "(") && IsSymbol(k + 1, "(")) {
        // "((data_value = N'a') OR (data_value = N'b'))"
        ValueTest test{true, {}};
        const size_t close = m_t.partner[k];
        size_t j = k + 1;
        while (true) {
          bool isEqual = false;
          const size_t after = valueAt(j, isEqual, value);
          if (!after || !isEqual) return std::nullopt;
          test.values.push_back(value);
          if (after == close) break;
          if (!IsWord(after, "or")) return std::nullopt;
          j = after + 1;
        }
        valueTests.push_back(std::move(test));
        k = close + 1;
      } else if (IsWord(k, "cast") && IsSymbol(k + 1, "(") && IsWord(k + 2, "data_value") && IsWord(k + 3, "as") &&
                 IsWord(k + 4, "float") && IsSymbol(k + 5, ")") && (IsSymbol(k + 6, ">=") || IsSymbol(k + 6, "<="))) {
        const bool atLeast = IsSymbol(k + 6, ">=");
        k += 7;
        const std::optional<Literal> literal = NumberAt(k, next);
        if (!literal) return std::nullopt;
        bounds.push_back(Bound{atLeast, *literal});
      } else {
        return std::nullopt;
      }
      if (k != next) return std::nullopt;
      i = next + 1;
    }
    if (!schema) return std::nullopt;
    const std::shared_ptr<const Postings> postings = PostingsOf(*schema);
    std::vector<const std::vector<int64_t>*> lists;
    for (const Postings::Entry& entry : postings->entries) {
      if (location && (entry.locationNull || entry.location != *location)) continue;
      bool pass = true;
      for (const ValueTest& test : valueTests) {
        const bool any = std::find(test.values.begin(), test.values.end(), entry.value) != test.values.end();
        pass = pass && (test.equal ? any : !any);
      }
      for (const Bound& bound : bounds) {
        const int c = Compare(entry.number, bound.literal);
        pass = pass && (bound.atLeast ? c >= 0 : c <= 0);
      }
      if (pass) lists.push_back(standard ? &entry.standard : &entry.all);
    }
    return VehicleSet::Union(lists);
  }

  std::shared_ptr<const VehicleSet> AllVehicles(bool standardOnly) {
    return RunSet(standardOnly ? "select distinct vehicle_id from equipment where option_id = 0"
                               : "select distinct vehicle_id from equipment",
                  Key('V', m_ctx.specsStamp, standardOnly ? "standard" : "all"));
  }

  EquipmentTypes Types() {
    const std::string key = Key('T', m_ctx.specsStamp, "equipment");
    if (auto hit = Cached<EquipmentTypes>(key)) return *hit;
    const EquipmentTypes types = m_ctx.backend->Types();
    Keep(key, std::make_shared<const EquipmentTypes>(types), sizeof(types));
    return types;
  }

  std::shared_ptr<const Postings> PostingsOf(int64_t schemaId) {
    const std::string key = Key('P', m_ctx.specsStamp, std::to_string(schemaId));
    if (auto hit = Cached<Postings>(key)) return hit;
    std::shared_ptr<const Postings> done = std::make_shared<const Postings>(m_ctx.backend->LoadPostings(schemaId));
    Keep(key, done, done->Bytes());
    return done;
  }

  // The item ids the criteria rows of project database `schema` name.
  std::shared_ptr<const SchemaIds> CriteriaItems(const std::string& schema) {
    if (!IsPlainName(schema)) throw NotEquivalent{};
    const std::string stamp = m_ctx.stampOf(schema);  // empty: the version is not known, keep nothing
    const std::string key = stamp.empty() ? std::string() : Key('S', stamp, LowerAscii(schema));
    if (auto hit = Cached<SchemaIds>(key)) return hit;
    auto ids = std::make_shared<SchemaIds>();
    ids->ids = m_ctx.backend->CriteriaItems(schema);
    std::sort(ids->ids.begin(), ids->ids.end());
    std::shared_ptr<const SchemaIds> done = std::move(ids);
    Keep(key, done, sizeof(SchemaIds) + done->ids.size() * sizeof(int64_t));
    return done;
  }

  // The item's postings turned around, kept beside them; null when its ids lie too far apart.
  std::shared_ptr<const ForwardIndex> ForwardOf(int64_t schemaId, const Postings& postings) {
    const std::string key = Key('F', m_ctx.specsStamp, std::to_string(schemaId));
    if (auto hit = Cached<ForwardIndex>(key)) return hit;
    std::optional<ForwardIndex> built = ForwardIndex::Of(postings);
    if (!built) return nullptr;
    auto done = std::make_shared<const ForwardIndex>(std::move(*built));
    Keep(key, done, done->Bytes());
    return done;
  }

  // How many of the chosen vehicles carry each entry of an item (all vehicles when nothing
  // is chosen): through the forward index when the choice is smaller than the postings.
  std::vector<int64_t> EntryCounts(int64_t schemaId, const Postings& postings, const VehicleSet* chosen,
                                   bool standardOnly) {
    std::vector<int64_t> counts(postings.entries.size(), 0);
    size_t carried = 0;
    for (const Postings::Entry& e : postings.entries) carried += (standardOnly ? e.standard : e.all).size();
    if (chosen && chosen->Size() < carried) {
      if (std::shared_ptr<const ForwardIndex> forward = ForwardOf(schemaId, postings)) {
        for (int64_t v : chosen->Ids()) forward->ForEach(v, standardOnly, [&](uint32_t k) { ++counts[k]; });
        return counts;
      }
    }
    for (size_t k = 0; k < postings.entries.size(); ++k)
      counts[k] = CountIn(standardOnly ? postings.entries[k].standard : postings.entries[k].all, chosen);
    return counts;
  }

  // The items with a schema_info row of data type 1 or 2 (numeric), or of another type
  // (coded), ascending: those the counting queries' joins keep.
  std::shared_ptr<const SchemaIds> ItemsOfKind(bool numeric) {
    const std::string key = Key('N', m_ctx.specsStamp, numeric ? "numeric" : "coded");
    if (auto hit = Cached<SchemaIds>(key)) return hit;
    auto ids = std::make_shared<SchemaIds>();
    ids->ids = m_ctx.backend->Ids(numeric ? "select distinct schema_id from schema_info where data_type = 1 or data_type = 2"
                                          : "select distinct schema_id from schema_info where data_type <> 1 and data_type <> 2");
    std::sort(ids->ids.begin(), ids->ids.end());
    std::shared_ptr<const SchemaIds> done = std::move(ids);
    Keep(key, done, sizeof(SchemaIds) + done->ids.size() * sizeof(int64_t));
    return done;
  }

  // ---- the shapes of the library's list and vehicle queries ----

  // Whether [begin, end) is only "<alias>.vehicle_id in (<level>)" and "<alias>.option_id =
  // 0" terms joined by AND; collects the levels and the standard-equipment condition.
  bool VehicleTerms(size_t begin, size_t end, const std::string& alias, std::vector<LevelRange>& levels,
                    bool& standardOnly) const {
    size_t term = begin;
    while (term < end) {
      size_t next = term;
      while (next < end && !IsWord(next, "and")) {
        if (IsWord(next, "or")) return false;
        next = IsSymbol(next, "(") ? m_t.partner[next] + 1 : next + 1;
      }
      const bool qualified = IsWord(term, alias) && IsSymbol(term + 1, ".");
      if (qualified && IsWord(term + 2, "vehicle_id") && IsWord(term + 3, "in") && IsLevelOpen(m_t, term + 4) &&
          m_t.partner[term + 4] + 1 == next) {
        levels.push_back(LevelRange{term + 4, m_t.partner[term + 4]});
      } else if (qualified && IsWord(term + 2, "option_id") && IsSymbol(term + 3, "=") && next == term + 5 &&
                 Tok(term + 4).kind == SqlToken::Kind::Number && Text(term + 4, term + 5) == "0") {
        standardOnly = true;
      } else {
        return false;
      }
      term = next + 1;
    }
    return term == end + 1;
  }

  // The vehicles of the levels, intersected; null when there is none.
  std::shared_ptr<const VehicleSet> Chosen(const std::vector<LevelRange>& levels) {
    std::shared_ptr<const VehicleSet> chosen;
    for (const LevelRange& level : levels) {
      std::shared_ptr<const VehicleSet> set = LevelSet(level);
      chosen = chosen ? std::make_shared<const VehicleSet>(VehicleSet::Intersect(*chosen, *set)) : set;
    }
    return chosen;
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

  // A whole-number literal at i (an optional minus, digits); moves i past it.
  std::optional<int64_t> WholeAt(size_t& i) {
    const std::optional<Literal> literal = NumberAt(i, Count());
    if (!literal || !literal->integer) return std::nullopt;
    return literal->whole;
  }

  // The counting query of a range row's ladder:
  //   select steps.step, count(distinct steps.vehicle_id) as vehicle_count from (select case
  //   when cast(eq0.data_value as float) < <bound 0> then 0 … else <n> end as step,
  //   eq0.vehicle_id from equipment eq0 WHERE (eq0.schema_id = S) AND (eq0.location = L)
  //   [AND (eq0.data_value = N'v')] [AND <vehicle terms>] ) steps group by steps.step order
  //   by steps.step;
  // answered whole from the item's postings.
  std::optional<Evaluated> Steps() {
    // The steps compare the values' numbers here: only where they are read as the engine does.
    if (std::string_view(m_sql).substr(0, kStepsHead.size()) != kStepsHead || !m_ctx.backend->AnswersFromPostings())
      return std::nullopt;
    // The head is the shared one: its tokens end with "( select case".
    static const size_t kHeadTokens = TokenizeSql(kStepsHead)->tokens.size();
    size_t i = kHeadTokens;
    const size_t open = i - 3;  // "(" of the derived table
    std::vector<Literal> bounds;
    while (IsWord(i, "when")) {
      ++i;
      if (!Expect(i, {"cast", "(", "eq0", ".", "data_value", "as", "float", ")", "<"})) return std::nullopt;
      const std::optional<Literal> bound = NumberAt(i, Count());
      if (!bound || !Expect(i, {"then"})) return std::nullopt;
      const std::optional<int64_t> step = WholeAt(i);
      if (!step || *step != static_cast<int64_t>(bounds.size())) return std::nullopt;
      bounds.push_back(*bound);
    }
    if (!Expect(i, {"else"})) return std::nullopt;
    const std::optional<int64_t> last = WholeAt(i);
    if (!last || *last != static_cast<int64_t>(bounds.size()) ||
        !Expect(i, {"end", "as", "step", ",", "eq0", ".", "vehicle_id", "from", "equipment", "eq0", "where", "(",
                    "eq0", ".", "schema_id", "="}))
      return std::nullopt;
    const std::optional<int64_t> schema = WholeAt(i);
    if (!schema || !Expect(i, {")", "and", "(", "eq0", ".", "location", "="})) return std::nullopt;
    const std::optional<int64_t> location = WholeAt(i);
    if (!location || !Expect(i, {")"})) return std::nullopt;
    std::optional<std::string> value;
    if (IsWord(i, "and") && IsSymbol(i + 1, "(") && IsWord(i + 2, "eq0") && IsSymbol(i + 3, ".") &&
        IsWord(i + 4, "data_value") && IsSymbol(i + 5, "=") && i + 6 < Count() &&
        Tok(i + 6).kind == SqlToken::Kind::String && IsSymbol(i + 7, ")")) {
      value = StringAt(i + 6);
      i += 8;
    }
    const size_t close = m_t.partner[open];
    std::vector<LevelRange> levels;
    bool standardOnly = false;
    if (i < close && (!IsWord(i, "and") || !VehicleTerms(i + 1, close, "eq0", levels, standardOnly)))
      return std::nullopt;
    size_t tail = close + 1;
    if (!Expect(tail, {"steps", "group", "by", "steps", ".", "step", "order", "by", "steps", ".", "step", ";"}) ||
        tail != Count())
      return std::nullopt;

    const std::shared_ptr<const VehicleSet> chosen = Chosen(levels);
    const std::shared_ptr<const Postings> postings = PostingsOf(*schema);
    // Each entry's step, or none when the text does not read it.
    constexpr size_t kNone = SIZE_MAX;
    std::vector<size_t> stepOf(postings->entries.size(), kNone);
    for (size_t k = 0; k < postings->entries.size(); ++k) {
      const Postings::Entry& entry = postings->entries[k];
      if (entry.locationNull || entry.location != *location || (value && entry.value != *value)) continue;
      size_t step = 0;
      while (step < bounds.size() && Compare(entry.number, bounds[step]) >= 0) ++step;
      stepOf[k] = step;
    }
    // Vehicles per step, each vehicle once in a step however many of its values lie there.
    std::vector<int64_t> perStep(bounds.size() + 1, 0);
    const std::shared_ptr<const ForwardIndex> forward = ForwardOf(*schema, *postings);
    if (forward && chosen) {
      std::vector<size_t> steps;
      for (int64_t v : chosen->Ids()) {
        steps.clear();
        forward->ForEach(v, standardOnly, [&](uint32_t k) {
          if (stepOf[k] != kNone) steps.push_back(stepOf[k]);
        });
        std::sort(steps.begin(), steps.end());
        for (size_t j = 0; j < steps.size(); ++j)
          if (j == 0 || steps[j] != steps[j - 1]) ++perStep[steps[j]];
      }
    } else {
      std::vector<std::vector<const std::vector<int64_t>*>> lists(perStep.size());
      for (size_t k = 0; k < postings->entries.size(); ++k)
        if (stepOf[k] != kNone)
          lists[stepOf[k]].push_back(standardOnly ? &postings->entries[k].standard : &postings->entries[k].all);
      for (size_t step = 0; step < lists.size(); ++step)
        if (!lists[step].empty()) perStep[step] = CountIn(VehicleSet::Union(lists[step]).Ids(), chosen.get());
    }
    auto answer = std::make_shared<ResultRows>();
    answer->names = {"step", "vehicle_count"};
    for (size_t step = 0; step < perStep.size(); ++step)
      if (perStep[step] > 0)
        answer->rows.push_back({WholeNumber(static_cast<int64_t>(step)), WholeNumber(perStep[step])});
    answer->bytes = answer->rows.size() * 2 * sizeof(mirel_SbF::Variant);
    return Evaluated{std::string(), std::move(answer), true};
  }

  // The first token at the top level of [begin, Count()) that is one of `words`, or Count().
  size_t FindTopLevel(size_t begin, std::initializer_list<std::string_view> words) const {
    for (size_t i = begin; i < Count(); ++i) {
      if (IsSymbol(i, "(")) {
        i = m_t.partner[i];
        continue;
      }
      if (IsSymbol(i, ";")) return i;
      for (std::string_view w : words)
        if (IsWord(i, w)) return i;
    }
    return Count();
  }

  // The vehicle list with sort columns: every vehicle of `version` with those columns,
  // sorted once per file version by SQLite itself and kept, filtered by the set. The join
  // "version v on (v.vehicle_id = eq.vehicle_id)" makes eq.vehicle_id the version row's own
  // id, so each kept row is a row of the answer exactly when its vehicle is in the set (rows
  // with equal sort values may come in another order than SQLite's plan would give them).
  std::optional<Evaluated> SortedVehicles(std::string_view head, size_t from, size_t where, size_t tail,
                                         const VehicleSet& found) {
    // Between the table and the WHERE clause (already evaluated into `found`) stands the
    // join and nothing else; after it, the sort.
    constexpr std::string_view kJoin = shapes::kVersionJoin.substr(0, shapes::kVersionJoin.size() - 1);
    if (where <= from + 3 || !IsWord(tail, "order") ||
        std::string_view(m_sql).substr(Tok(from + 3).begin, Tok(where - 1).end - Tok(from + 3).begin) != kJoin)
      return std::nullopt;
    const std::string tsql = "select distinct v.vehicle_id " + std::string(head.substr(kVehiclesHead.size())) +
                             "from version v " + m_sql.substr(Tok(tail).begin);
    const std::string key = Key('W', m_ctx.specsStamp, tsql);
    std::shared_ptr<const KeyedRows> all = Cached<KeyedRows>(key);
    if (!all) {
      if (!m_ctx.backend->VersionKeyIsWhole()) return std::nullopt;
      auto rows = std::make_shared<KeyedRows>(m_ctx.backend->Rows(tsql));
      if (rows->names.empty()) return std::nullopt;  // no row to learn the column names from
      rows->bytes += rows->keys.capacity() * sizeof(int64_t);
      all = std::move(rows);
      Keep(key, all, all->bytes);
    }
    auto answer = std::make_shared<ResultRows>();
    answer->names = all->names;
    // Each row's vehicle by the engine's own number, not the record set's value of it.
    for (size_t k = 0; k < all->rows.size(); ++k)
      if (found.Contains(all->keys[k])) answer->rows.push_back(all->rows[k]);
    answer->bytes = all->bytes / std::max<size_t>(all->rows.size(), 1) * answer->rows.size();
    return Evaluated{std::string(), std::move(answer), true};
  }

  std::optional<Evaluated> Shapes() {
    // "… from equipment <alias> …": the one use of the table.
    size_t from = Count();
    for (size_t i = 0; i + 2 < Count(); ++i) {
      if (IsWord(i, "from") && IsWord(i + 1, "equipment")) {
        from = i;
        break;
      }
    }
    if (from == Count() || Tok(from + 2).kind != SqlToken::Kind::Word || IsSymbol(from + 3, ".")) return std::nullopt;
    const std::string_view head = std::string_view(m_sql).substr(0, Tok(from).begin);
    const std::string alias = Tok(from + 2).lower;
    const bool codedCounts = head == kCodedCountHead, numericCounts = head == kNumericCountHead;
    const bool counts = codedCounts || numericCounts;
    const bool criteria = head == kCodedHead || head == kRangeHead || head == kNumericHead || counts;
    const bool vehicles = head.substr(0, kVehiclesHead.size()) == kVehiclesHead &&
                          (head.size() == kVehiclesHead.size() || head.substr(kVehiclesHead.size(), 2) == ", ");
    if (!(criteria && alias == "eq0") && !(vehicles && alias == "eq")) return std::nullopt;
    // Counting per number relies on the numbers read as the engine reads them.
    if (numericCounts && !m_ctx.backend->AnswersFromPostings()) return std::nullopt;

    // The WHERE clause: only "<alias>.vehicle_id in (<level>)" and "<alias>.option_id = 0".
    const size_t where = FindTopLevel(from + 3, {"where", "order", "group"});
    const bool hasWhere = IsWord(where, "where");
    const size_t tail = hasWhere ? FindTopLevel(where + 1, {"order", "group"}) : where;
    std::vector<LevelRange> levels;
    bool standardOnly = false;
    if (hasWhere && (!VehicleTerms(where + 1, tail, alias, levels, standardOnly) || (levels.empty() && !standardOnly)))
      return std::nullopt;
    // Elsewhere the alias may stand only for the columns the substitute carries, and the
    // table may not be read a second time.
    for (size_t i = 0; i < Count(); ++i) {
      if (hasWhere && i == where) {
        i = tail - 1;
        continue;
      }
      if (i == from + 1 || i == from + 2) continue;
      if (counts && i < from) continue;  // the head is replaced
      if (IsWord(i, "equipment")) return std::nullopt;
      // A bare column name could mean a column of the table the substitute replaces.
      const bool column = IsWord(i, "vehicle_id") || IsWord(i, "schema_id") || IsWord(i, "location") ||
                          IsWord(i, "data_value") || IsWord(i, "option_id");
      if (column && !(i > 0 && (IsSymbol(i - 1, ".") || IsWord(i - 1, "as")))) return std::nullopt;
      if (!IsWord(i, alias)) continue;
      if ((i > 0 && IsSymbol(i - 1, ".")) || !IsSymbol(i + 1, ".")) return std::nullopt;
      const bool allowed = criteria ? (IsWord(i + 2, "schema_id") || IsWord(i + 2, "location") ||
                                       IsWord(i + 2, "data_value"))
                                    : IsWord(i + 2, "vehicle_id");
      if (!allowed) return std::nullopt;
    }

    std::shared_ptr<const VehicleSet> chosen;
    for (const LevelRange& level : levels) {
      std::shared_ptr<const VehicleSet> set = LevelSet(level);
      chosen = chosen ? std::make_shared<const VehicleSet>(VehicleSet::Intersect(*chosen, *set)) : set;
    }

    const size_t tailBegin = tail < Count() ? Tok(tail).begin : m_sql.size();
    const size_t whereBegin = hasWhere ? Tok(where).begin : tailBegin;
    auto substitute = [&](const char* table, int64_t id) {
      // A counting query reads the counts the substitute carries.
      std::string text = codedCounts ? "select eq0.schema_id, eq0.location, eq0.data_value, max(eq0.vehicle_count) as "
                                       "vehicle_count from "
                         : numericCounts ? "select eq0.schema_id, eq0.location, cast(eq0.data_value as float) as "
                                           "fdata_value, max(eq0.vehicle_count) as vehicle_count from "
                                         : m_sql.substr(0, Tok(from + 1).begin);
      text += table;
      text.append(m_sql, Tok(from + 1).end, whereBegin - Tok(from + 1).end);
      text += "WHERE " + alias + ".set_id = " + std::to_string(id) + " ";
      text.append(m_sql, tailBegin, std::string::npos);
      return text;
    };

    if (vehicles) {
      std::shared_ptr<const VehicleSet> found;
      if (!chosen) found = AllVehicles(standardOnly);
      else if (standardOnly) found = std::make_shared<const VehicleSet>(VehicleSet::Intersect(*chosen, *AllVehicles(true)));
      else found = chosen;
      if (head.size() == kVehiclesHead.size() && IsSymbol(tail, ";") && tail + 1 == Count()) {
        // No sort columns: the vehicle ids are the whole answer.
        auto answer = std::make_shared<ResultRows>();
        answer->names = {"vehicle_id"};
        answer->rows.reserve(found->Size());
        for (int64_t id : found->Ids()) answer->rows.emplace_back(1, WholeNumber(id));
        answer->bytes = found->Size() * (sizeof(mirel_SbF::Variant) + 3 * sizeof(void*));
        return Evaluated{std::string(), std::move(answer), true};
      }
      if (std::optional<Evaluated> sorted = SortedVehicles(head, from, where, tail, *found)) return sorted;
      return Evaluated{substitute("mirel_vehicles", m_ctx.backend->Bind(found)), nullptr, true};
    }

    // The list queries: the project database is the X of "X..search_by_features".
    std::string project;
    for (size_t i = 0; i + 3 < Count(); ++i) {
      if (Tok(i).kind == SqlToken::Kind::Word && IsSymbol(i + 1, ".") && IsSymbol(i + 2, ".") &&
          IsWord(i + 3, "search_by_features")) {
        project = m_sql.substr(Tok(i).begin, Tok(i).end - Tok(i).begin);
        break;
      }
    }
    if (project.empty()) return std::nullopt;
    auto rows = std::make_shared<ValueRows>();
    const std::shared_ptr<const SchemaIds> items = CriteriaItems(project);
    // A counting query joins the items of its kind only (numeric: a schema_info row of data
    // type 1 or 2; coded: one of another type): the engine would drop the others' rows, so
    // they are not counted.
    const std::shared_ptr<const SchemaIds> joined = counts ? ItemsOfKind(numericCounts) : nullptr;
    for (int64_t schemaId : items->ids) {
      if (joined && !std::binary_search(joined->ids.begin(), joined->ids.end(), schemaId)) continue;
      const std::shared_ptr<const Postings> postings = PostingsOf(schemaId);
      // Vehicles are counted per number: when two values of an item read as the same number
      // ("12", "12.0") the count of each alone would not be the number's (which of them a
      // criterion row joins decides it), so such a text runs as written.
      std::set<std::pair<int64_t, double>> numbers;
      const std::vector<int64_t> entryCounts =
          counts ? EntryCounts(schemaId, *postings, chosen.get(), standardOnly) : std::vector<int64_t>();
      for (size_t k = 0; k < postings->entries.size(); ++k) {
        const Postings::Entry& entry = postings->entries[k];
        if (entry.locationNull) continue;  // NULL equals no criterion location
        const std::vector<int64_t>& carriers = standardOnly ? entry.standard : entry.all;
        if (counts) {
          const int64_t n = entryCounts[k];
          if (n == 0) continue;
          if (numericCounts && !numbers.insert({entry.location, entry.number}).second) throw NotEquivalent{};
          rows->push_back(ValueRow{schemaId, entry.location, entry.value, n});
          continue;
        }
        const bool present = chosen ? std::any_of(carriers.begin(), carriers.end(),
                                                  [&](int64_t v) { return chosen->Contains(v); })
                                    : !carriers.empty();
        if (present) rows->push_back(ValueRow{schemaId, entry.location, entry.value});
      }
    }
    return Evaluated{substitute("mirel_values", m_ctx.backend->Bind(std::shared_ptr<const ValueRows>(std::move(rows)))),
                     nullptr, true};
  }

  EvaluationContext& m_ctx;
  const std::string& m_sql;
  SqlTokens m_t;
};

}  // namespace

std::optional<Evaluated> EvaluateText(EvaluationContext& ctx, const std::string& tsql) {
  if (ctx.mode == Evaluation::Plain) return std::nullopt;
  std::optional<SqlTokens> tokens = TokenizeSql(tsql);
  if (!tokens || tokens->tokens.empty()) {
    ++g_asWritten;
    return std::nullopt;
  }
  try {
    std::optional<Evaluated> evaluated = Evaluator(ctx, tsql, std::move(*tokens)).Run();
    if (evaluated) ++(evaluated->shape ? g_facets : g_levels);
    else ++g_asWritten;
    return evaluated;
  } catch (const NotEquivalent&) {
    ++g_asWritten;
    ctx.backend->ReleaseBindings();  // the text runs as written
    return std::nullopt;
  }
}

EvaluationCounts EvaluationCountsForTesting() { return EvaluationCounts{g_facets, g_levels, g_asWritten}; }

}  // namespace mirel_platform::facets
