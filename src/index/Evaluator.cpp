#include "index/Evaluator.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <utility>

#include "index/Shapes.h"
#include "index/VehicleLevels.h"
#include "runtime/TextBasics.h"
#include "sql/QueryShapes.h"

namespace mirel_platform::facets {

namespace {

std::atomic<int64_t> g_facets{0}, g_levels{0}, g_asWritten{0}, g_companionItems{0}, g_builtItems{0};

// Texts longer than this are not used as keys of what is kept (a deep nest's keys would grow
// with the square of its depth); their own conditions still are.
constexpr size_t kMaxKeyText = 16384;

// -1, 0, 1 as `number` compares with `literal` in SQLite (exactly, also for large whole
// numbers).
int Compare(double number, const Literal& literal) {
  if (!literal.integer) return number < literal.real ? -1 : number > literal.real ? 1 : 0;
  const long double a = number, b = static_cast<long double>(literal.whole);
  return a < b ? -1 : a > b ? 1 : 0;
}

// Whether counting `chosen` through an item's turned-around entries (a look-up per chosen
// vehicle) beats intersecting each entry's carriers with it: when the item allows and the
// choice holds at most a quarter of the vehicles.
bool CountByLookUp(const Postings& postings, const VehicleSet* chosen) {
  return chosen && postings.TurnedAround() && chosen->Size() * 4 <= postings.Vehicles();
}

// How many of the chosen vehicles (their ordinals, ascending) carry each entry, by look-ups
// (CountByLookUp).
std::vector<int64_t> CountsByLookUp(const Postings& postings, const std::vector<uint32_t>& chosen, bool standardOnly) {
  std::vector<int64_t> counts(postings.entries.size() + 1, 0);
  postings.WithEntryOf([&](const auto& entryOf) {
    for (uint32_t ordinal : chosen) {
      if (standardOnly && !postings.StandardAt(ordinal)) continue;
      const size_t entry = entryOf[ordinal];
      if (entry >= counts.size()) throw NotEquivalent{};  // an index file's item that is not what it says
      ++counts[entry];
    }
  });
  counts.erase(counts.begin());  // vehicles without an entry
  return counts;
}

// Of an item's entries `present` (ascending), those a range row's minimum and maximum can
// come from: the least and the greatest numbers at each location (every entry of either), and
// every entry a criterion row may name. The range text joins each value to the criteria rows
// of its item and location, either all values (criterion value '' or '*') or those equal to
// the row's value, as the engine compares them: as text under the column's collation (BINARY,
// NOCASE or RTRIM), or as numbers under numeric affinity. Texts equal under any of those
// collations cast to the same number (case and trailing blanks do not change what a text
// reads as), so an entry is kept when its number is a named value's number. The engine then
// computes the same minimum and maximum from far fewer rows: a price or weight item has
// thousands of values.
std::vector<size_t> RangeEntries(const Postings& postings, const std::vector<size_t>& present,
                                 const CriterionValues& named, int64_t schemaId) {
  const auto first = std::lower_bound(named.values.begin(), named.values.end(), schemaId,
                                      [](const CriterionValues::Value& v, int64_t id) { return v.schemaId < id; });
  std::set<double> numbers;
  for (auto it = first; it != named.values.end() && it->schemaId == schemaId; ++it) numbers.insert(it->number);
  std::map<int64_t, std::pair<double, double>> extremes;  // per location: least, greatest
  for (size_t k : present) {
    const Postings::Entry& e = postings.entries[k];
    const auto [it, added] = extremes.try_emplace(e.location, e.number, e.number);
    it->second.first = std::min(it->second.first, e.number);
    it->second.second = std::max(it->second.second, e.number);
  }
  std::vector<size_t> kept;
  for (size_t k : present) {
    const Postings::Entry& e = postings.entries[k];
    const auto& [least, greatest] = extremes.at(e.location);
    if (e.number == least || e.number == greatest || numbers.count(e.number)) kept.push_back(k);
  }
  return kept;
}

// How many of `carriers` are in `chosen` (all when there is no choice).
int64_t CountIn(const Roaring& carriers, const VehicleSet* chosen) {
  return static_cast<int64_t>(chosen ? chosen->Bits().and_cardinality(carriers) : carriers.cardinality());
}

class Evaluator {
 public:
  Evaluator(EvaluationContext& ctx, const std::string& sql, SqlTokens tokens)
      : m_ctx(ctx), m_sql(sql), m_t(std::move(tokens)) {}

  std::optional<Evaluated> Run() {
    const EquipmentTypes types = Types();
    if (!types.levels) return std::nullopt;
    if (m_ctx.mode == Evaluation::Facets && types.facets) {
      if (const std::optional<Shape> shape = RecognizeShape(m_sql, m_t)) {
        std::optional<Evaluated> answer;
        if (shape->Lists()) answer = Lists(*shape);
        else if (shape->kind == ShapeKind::Steps) answer = Steps(*shape);
        else answer = Vehicles(*shape);
        if (answer) return answer;
      }
    }
    if (OutermostLevels(m_t, 0, m_t.tokens.size()).empty()) return std::nullopt;
    return Evaluated{RenderAll(), nullptr};
  }

 private:
  // ---- text ----

  size_t Count() const { return m_t.tokens.size(); }
  const SqlToken& Tok(size_t i) const { return m_t.tokens[i]; }
  std::string Text(size_t begin, size_t end) const {
    return m_sql.substr(Tok(begin).begin, Tok(end - 1).end - Tok(begin).begin);
  }

  std::string SetReference(std::shared_ptr<const VehicleSet> set) {
    const int64_t id = m_ctx.backend->Bind(std::move(set));
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

  // The text with "from equipment <alias>" read from `table` bound as set `id`, its WHERE
  // clause (evaluated into the set) replaced; a counting query reads the substitute's counts.
  std::string Substitute(const Shape& shape, const char* table, int64_t id) const {
    const size_t tailBegin = shape.tail < Count() ? Tok(shape.tail).begin : m_sql.size();
    const size_t whereBegin = shape.hasWhere ? Tok(shape.where).begin : tailBegin;
    std::string text = shape.kind == ShapeKind::CodedCounts
                           ? "select eq0.schema_id, eq0.location, eq0.data_value, max(eq0.vehicle_count) as "
                             "vehicle_count from "
                       : shape.kind == ShapeKind::NumericCounts
                           ? "select eq0.schema_id, eq0.location, cast(eq0.data_value as float) as fdata_value, "
                             "max(eq0.vehicle_count) as vehicle_count from "
                           : m_sql.substr(0, Tok(shape.from + 1).begin);
    text += table;
    text.append(m_sql, Tok(shape.from + 1).end, whereBegin - Tok(shape.from + 1).end);
    text += "WHERE " + shape.alias + ".set_id = " + std::to_string(id) + " ";
    text.append(m_sql, tailBegin, std::string::npos);
    return text;
  }

  // ---- what is kept ----

  template <Kept kind>
  std::shared_ptr<const typename KeptType<kind>::type> Cached(const std::string& stamp, std::string_view text) const {
    return m_ctx.cache && !stamp.empty() ? m_ctx.cache->Get<kind>(stamp, text) : nullptr;
  }
  template <Kept kind>
  void Keep(const std::string& stamp, std::string_view text,
            const std::shared_ptr<const typename KeptType<kind>::type>& value, size_t bytes) const {
    if (m_ctx.cache && !stamp.empty()) m_ctx.cache->Put<kind>(stamp, text, value, bytes);
  }

  EquipmentTypes Types() {
    if (auto hit = Cached<Kept::EquipmentTypes>(m_ctx.specsStamp, "")) return *hit;
    const auto types = std::make_shared<const EquipmentTypes>(m_ctx.backend->Types());
    Keep<Kept::EquipmentTypes>(m_ctx.specsStamp, "", types, sizeof(EquipmentTypes));
    return *types;
  }

  // The vehicles of this version of the data: from its companion index, or from equipment.
  std::shared_ptr<const VehicleUniverse> Universe() {
    if (m_universe) return m_universe;
    if ((m_universe = Cached<Kept::Universe>(m_ctx.specsStamp, ""))) return m_universe;
    if (std::shared_ptr<const CompanionIndex> companion = m_ctx.backend->Companion()) {
      m_universe = companion->Universe();
    } else {
      std::vector<int64_t> ids = m_ctx.backend->VehicleIds();
      if (ids.size() >= UINT32_MAX || !std::is_sorted(ids.begin(), ids.end()) ||
          std::adjacent_find(ids.begin(), ids.end()) != ids.end())
        throw NotEquivalent{};
      m_universe = std::make_shared<const VehicleUniverse>(std::move(ids));
    }
    Keep<Kept::Universe>(m_ctx.specsStamp, "", m_universe, m_universe->Bytes());
    return m_universe;
  }

  // One item's postings: from the companion index (unless its part is damaged), or built
  // from the item's equipment rows.
  std::shared_ptr<const Postings> PostingsOf(int64_t schemaId) {
    const std::string text = std::to_string(schemaId);
    if (auto hit = Cached<Kept::Postings>(m_ctx.specsStamp, text)) return hit;
    std::optional<Postings> postings;
    if (std::shared_ptr<const CompanionIndex> companion = m_ctx.backend->Companion()) {
      if ((postings = companion->ReadItem(schemaId))) ++g_companionItems;
    }
    if (!postings) {
      PostingsBuilder builder(Universe());
      m_ctx.backend->ScanItem(schemaId, [&](const PostingRow& row) {
        if (!builder.Add(row.locationNull, row.location, row.value, row.number, row.vehicle, row.standard))
          throw NotEquivalent{};  // a vehicle of another version of the data
      });
      postings = builder.Finish();
      ++g_builtItems;
    }
    if (!postings->turnAroundTried) postings->TurnAround(Universe()->Size());
    auto done = std::make_shared<const Postings>(std::move(*postings));
    Keep<Kept::Postings>(m_ctx.specsStamp, text, done, done->Bytes());
    return done;
  }

  // The item ids the criteria rows of project database `schema` name.
  std::shared_ptr<const SchemaIds> CriteriaItems(const std::string& schema) {
    if (!IsPlainName(schema)) throw NotEquivalent{};
    const std::string stamp = m_ctx.stampOf(schema);  // empty: the version is not known, keep nothing
    const std::string name = LowerAscii(schema);
    if (auto hit = Cached<Kept::CriteriaItems>(stamp, name)) return hit;
    auto ids = std::make_shared<SchemaIds>();
    ids->ids = m_ctx.backend->CriteriaItems(schema);
    std::sort(ids->ids.begin(), ids->ids.end());
    std::shared_ptr<const SchemaIds> done = std::move(ids);
    Keep<Kept::CriteriaItems>(stamp, name, done, sizeof(SchemaIds) + done->ids.size() * sizeof(int64_t));
    return done;
  }

  // The criterion values of project database `schema`'s criteria rows; null when the engine
  // cannot say.
  std::shared_ptr<const CriterionValues> CriteriaValues(const std::string& schema) {
    if (!IsPlainName(schema)) throw NotEquivalent{};  // the name goes into a text of our own
    const std::string stamp = m_ctx.stampOf(schema);
    const std::string name = LowerAscii(schema);
    if (auto hit = Cached<Kept::CriteriaValues>(stamp, name)) return hit;
    std::optional<std::vector<CriterionValues::Value>> values = m_ctx.backend->CriteriaValues(schema);
    if (!values) return nullptr;
    auto all = std::make_shared<CriterionValues>();
    all->values = std::move(*values);
    const size_t bytes = sizeof(CriterionValues) + all->values.capacity() * sizeof(CriterionValues::Value);
    std::shared_ptr<const CriterionValues> done = std::move(all);
    Keep<Kept::CriteriaValues>(stamp, name, done, bytes);
    return done;
  }

  // The items with a schema_info row of data type 1 or 2 (numeric), or of another type
  // (coded), ascending: those the counting queries' joins keep.
  std::shared_ptr<const SchemaIds> ItemsOfKind(bool numeric) {
    const char* kind = numeric ? "numeric" : "coded";
    if (auto hit = Cached<Kept::ItemKinds>(m_ctx.specsStamp, kind)) return hit;
    auto ids = std::make_shared<SchemaIds>();
    ids->ids = m_ctx.backend->Ids(numeric ? "select distinct schema_id from schema_info where data_type = 1 or data_type = 2"
                                          : "select distinct schema_id from schema_info where data_type <> 1 and data_type <> 2");
    std::sort(ids->ids.begin(), ids->ids.end());
    std::shared_ptr<const SchemaIds> done = std::move(ids);
    Keep<Kept::ItemKinds>(m_ctx.specsStamp, kind, done, sizeof(SchemaIds) + done->ids.size() * sizeof(int64_t));
    return done;
  }

  // ---- sets ----

  // The vehicles a select of vehicle ids returns, which must all be whole numbers of equipment.
  std::shared_ptr<const VehicleSet> RunSet(const std::string& tsql) {
    std::optional<VehicleSet> set = VehicleSet::FromIds(Universe(), m_ctx.backend->Ids(tsql));
    if (!set) throw NotEquivalent{};  // a vehicle of another version of the data
    return std::make_shared<const VehicleSet>(std::move(*set));
  }

  std::shared_ptr<const VehicleSet> AllVehicles() {
    Roaring all;
    all.addRange(0, Universe()->Size());
    return std::make_shared<const VehicleSet>(Universe(), std::move(all));
  }

  std::shared_ptr<const VehicleSet> StandardVehicles() {
    if (auto hit = Cached<Kept::StandardSet>(m_ctx.specsStamp, "")) return hit;
    std::shared_ptr<const VehicleSet> set;
    if (std::shared_ptr<const CompanionIndex> companion = m_ctx.backend->Companion())
      set = std::make_shared<const VehicleSet>(companion->StandardVehicles());
    else
      set = RunSet("select distinct vehicle_id from equipment where option_id = 0");
    Keep<Kept::StandardSet>(m_ctx.specsStamp, "", set, set->Bytes());
    return set;
  }

  std::shared_ptr<const VehicleSet> LevelSet(LevelRange level) {
    const size_t length = Tok(level.close).end - Tok(level.open).begin;
    const std::string_view text = std::string_view(m_sql).substr(Tok(level.open).begin, length);
    const bool keyed = length <= kMaxKeyText;
    if (keyed)
      if (auto hit = Cached<Kept::LevelSet>(m_ctx.specsStamp, text)) return hit;
    const LevelShape shape = ShapeOfLevel(m_t, level);
    if (shape.ownBegin >= shape.ownEnd && !shape.next) throw NotEquivalent{};  // "where" and nothing: as written
    std::shared_ptr<const VehicleSet> set;
    if (shape.ownBegin == shape.ownEnd) {
      set = LevelSet(*shape.next);  // the inner level's vehicles all have equipment rows
    } else {
      set = OwnSet(shape.ownBegin, shape.ownEnd, !shape.next);
      if (shape.next) set = std::make_shared<const VehicleSet>(VehicleSet::Intersect(*set, *LevelSet(*shape.next)));
    }
    if (keyed) Keep<Kept::LevelSet>(m_ctx.specsStamp, text, set, set->Bytes());
    return set;
  }

  // The vehicles of a level's own conditions, tokens [begin, end): from the item's postings
  // when the conditions allow, else by a query of their own (kept unless the level is
  // alone, which keeps its whole set anyway).
  std::shared_ptr<const VehicleSet> OwnSet(size_t begin, size_t end, bool alone) {
    const std::string own = Text(begin, end);
    const bool keyed = !alone && own.size() <= kMaxKeyText;
    if (keyed)
      if (auto hit = Cached<Kept::OwnSet>(m_ctx.specsStamp, own)) return hit;
    std::shared_ptr<const VehicleSet> set;
    if (std::optional<VehicleSet> fromPostings = OwnFromPostings(begin, end))
      set = std::make_shared<const VehicleSet>(std::move(*fromPostings));
    else
      set = RunSet(std::string(shapes::kLevel) + Render(begin, end));
    if (keyed) Keep<Kept::OwnSet>(m_ctx.specsStamp, own, set, set->Bytes());
    return set;
  }

  std::optional<Literal> Number(const std::string& text) { return m_ctx.backend->NumberLiteral(text); }
  std::optional<int64_t> Whole(const std::string& text) {
    const std::optional<Literal> literal = Number(text);
    if (!literal || !literal->integer) return std::nullopt;
    return literal->whole;
  }

  // The vehicles of "schema_id = N [AND (data_value = …)] [AND Location = L] …" from the item's
  // postings; nothing when the conditions take another form.
  std::optional<VehicleSet> OwnFromPostings(size_t begin, size_t end) {
    if (m_ctx.mode != Evaluation::Facets || !m_ctx.backend->AnswersFromPostings()) return std::nullopt;
    const std::optional<OwnConditions> own = ReadOwnConditions(m_sql, m_t, begin, end);
    if (!own) return std::nullopt;
    const std::optional<int64_t> schema = Whole(own->schema);
    std::optional<int64_t> location;
    if (!schema || (own->location && !(location = Whole(*own->location)))) return std::nullopt;
    std::vector<std::pair<bool, Literal>> bounds;
    for (const OwnConditions::Bound& bound : own->bounds) {
      const std::optional<Literal> literal = Number(bound.number);
      if (!literal) return std::nullopt;
      bounds.emplace_back(bound.atLeast, *literal);
    }
    std::vector<std::optional<int64_t>> lefts;
    for (const OwnConditions::ValueTest& test : own->valueTests) {
      lefts.push_back(test.left ? Whole(*test.left) : std::nullopt);
      if (test.left && (!lefts.back() || !m_ctx.backend->Left("", *lefts.back()))) return std::nullopt;
    }
    const std::shared_ptr<const Postings> postings = PostingsOf(*schema);
    std::vector<const Roaring*> parts;
    for (const Postings::Entry& entry : postings->entries) {
      if (location && (entry.locationNull || entry.location != *location)) continue;
      bool pass = true;
      for (size_t t = 0; t < own->valueTests.size() && pass; ++t) {
        const OwnConditions::ValueTest& test = own->valueTests[t];
        const std::string_view value = lefts[t] ? *m_ctx.backend->Left(entry.value, *lefts[t]) : entry.value;
        const bool any = std::find(test.values.begin(), test.values.end(), value) != test.values.end();
        pass = test.equal ? any : !any;
      }
      for (const auto& [atLeast, literal] : bounds) {
        const int c = Compare(entry.number, literal);
        pass = pass && (atLeast ? c >= 0 : c <= 0);
      }
      if (pass) parts.push_back(&entry.Carriers(own->standard));
    }
    return VehicleSet::Union(Universe(), parts);
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

  // ---- answers ----

  // The list and counting queries: the value rows present among the matching vehicles (with
  // how many of them carry each), as mirel_values.
  std::optional<Evaluated> Lists(const Shape& shape) {
    const bool numericCounts = shape.kind == ShapeKind::NumericCounts;
    // Counting per number relies on the numbers read as the engine reads them.
    if (numericCounts && !m_ctx.backend->AnswersFromPostings()) return std::nullopt;
    const std::shared_ptr<const VehicleSet> chosen = Chosen(shape.levels);
    auto rows = std::make_shared<ValueRows>();
    const std::shared_ptr<const SchemaIds> items = CriteriaItems(shape.project);
    // A counting query joins the items of its kind only (numeric: a schema_info row of data
    // type 1 or 2; coded: one of another type): the engine would drop the others' rows, so
    // they are not counted.
    const std::shared_ptr<const SchemaIds> joined = shape.Counting() ? ItemsOfKind(numericCounts) : nullptr;
    std::vector<uint32_t> ordinals;  // of the chosen vehicles, once an item counts by look-ups
    const std::shared_ptr<const CriterionValues> named =
        shape.kind == ShapeKind::Ranges ? CriteriaValues(shape.project) : nullptr;
    for (int64_t schemaId : items->ids) {
      if (joined && !std::binary_search(joined->ids.begin(), joined->ids.end(), schemaId)) continue;
      const std::shared_ptr<const Postings> postings = PostingsOf(schemaId);
      // Vehicles are counted per number: when two values of an item read as the same number
      // ("12", "12.0") the count of each alone would not be the number's (which of them a
      // criterion row joins decides it), so such a text runs as written.
      std::set<std::pair<int64_t, double>> numbers;
      const bool byLookUp = CountByLookUp(*postings, chosen.get());
      if (byLookUp && ordinals.empty()) ordinals = chosen->Ordinals();
      const std::vector<int64_t> looked =
          byLookUp ? CountsByLookUp(*postings, ordinals, shape.standardOnly) : std::vector<int64_t>();
      std::vector<size_t> present;  // the entries of a list that the matching vehicles carry
      for (size_t k = 0; k < postings->entries.size(); ++k) {
        const Postings::Entry& entry = postings->entries[k];
        if (entry.locationNull) continue;  // NULL equals no criterion location
        const Roaring& carriers = entry.Carriers(shape.standardOnly);
        if (shape.Counting()) {
          const int64_t n = byLookUp ? looked[k] : CountIn(carriers, chosen.get());
          if (n == 0) continue;
          if (numericCounts && !numbers.insert({entry.location, entry.number}).second) throw NotEquivalent{};
          rows->push_back(ValueRow{schemaId, entry.location, entry.value, n});
        } else if (byLookUp ? looked[k] > 0 : chosen ? chosen->Bits().intersect(carriers) : !carriers.isEmpty()) {
          present.push_back(k);
        }
      }
      if (named) present = RangeEntries(*postings, present, *named, schemaId);
      for (size_t k : present) rows->push_back(ValueRow{schemaId, postings->entries[k].location, postings->entries[k].value});
    }
    const int64_t id = m_ctx.backend->Bind(std::shared_ptr<const ValueRows>(std::move(rows)));
    return Evaluated{Substitute(shape, "mirel_values", id), nullptr, true};
  }

  // The matching vehicles: the set itself, the kept sorted copy of version filtered by it, or
  // the text over the set bound as mirel_vehicles.
  std::optional<Evaluated> Vehicles(const Shape& shape) {
    const std::shared_ptr<const VehicleSet> chosen = Chosen(shape.levels);
    std::shared_ptr<const VehicleSet> found;
    if (!chosen) found = shape.standardOnly ? StandardVehicles() : AllVehicles();
    else if (shape.standardOnly) found = std::make_shared<const VehicleSet>(VehicleSet::Intersect(*chosen, *StandardVehicles()));
    else found = chosen;
    if (shape.kind == ShapeKind::Vehicles) {
      return Evaluated{std::string(), VehicleIdsAnswer(found->Ids()), true};
    }
    if (shape.kind == ShapeKind::SortedVehicles)
      if (std::optional<Evaluated> sorted = SortedVehicles(shape, *found)) return sorted;
    return Evaluated{Substitute(shape, "mirel_vehicles", m_ctx.backend->Bind(found)), nullptr, true};
  }

  // The vehicle list with sort columns: every vehicle of `version` with those columns,
  // sorted once per file version by the engine itself and kept, filtered by the set. The
  // join "version v on (v.vehicle_id = eq.vehicle_id)" makes eq.vehicle_id the version row's
  // own id, so each kept row is a row of the answer exactly when its vehicle is in the set
  // (rows with equal sort values may come in another order than the engine's plan would give
  // them).
  std::optional<Evaluated> SortedVehicles(const Shape& shape, const VehicleSet& found) {
    const std::string head = m_sql.substr(0, Tok(shape.from).begin);
    const std::string tsql = "select distinct v.vehicle_id " + head.substr(shapes::kVehicles.size()) +
                             "from version v " + m_sql.substr(Tok(shape.tail).begin);
    std::shared_ptr<const KeyedTable> all = Cached<Kept::SortedCopy>(m_ctx.specsStamp, tsql);
    if (!all) {
      if (!m_ctx.backend->VersionKeyIsWhole()) return std::nullopt;
      auto table = std::make_shared<KeyedTable>(m_ctx.backend->Rows(tsql));
      if (!table->table) return std::nullopt;  // no row to learn the column names from
      all = std::move(table);
      Keep<Kept::SortedCopy>(m_ctx.specsStamp, tsql, all, all->table->Bytes() + all->keys.capacity() * sizeof(int64_t));
    }
    // Each row's vehicle by the engine's own number, not the record set's value of it; the set
    // as plain bits for the look-ups of every row of version.
    const VehicleUniverse& universe = *found.Universe();
    std::vector<uint64_t> bits((universe.Size() + 63) / 64, 0);
    for (uint32_t ordinal : found.Ordinals()) bits[ordinal / 64] |= uint64_t{1} << (ordinal % 64);
    std::vector<uint32_t> rows;
    rows.reserve(static_cast<size_t>(found.Size()));
    for (size_t k = 0; k < all->keys.size(); ++k) {
      const std::optional<uint32_t> ordinal = universe.Ordinal(all->keys[k]);
      if (ordinal && (bits[*ordinal / 64] >> (*ordinal % 64)) & 1) rows.push_back(static_cast<uint32_t>(k));
    }
    return Evaluated{std::string(), TableAnswer(all->table, std::move(rows)), true};
  }

  // The counting query of a range row's ladder, answered whole: vehicles per step, each
  // vehicle once in a step however many of its values lie there.
  std::optional<Evaluated> Steps(const Shape& shape) {
    // The steps compare the values' numbers here: only where they are read as the engine does.
    if (!m_ctx.backend->AnswersFromPostings()) return std::nullopt;
    std::vector<Literal> bounds;
    for (const std::string& text : shape.bounds) {
      const std::optional<Literal> bound = Number(text);
      if (!bound) return std::nullopt;
      bounds.push_back(*bound);
    }
    const std::optional<int64_t> schema = Whole(shape.schema), location = Whole(shape.location);
    if (!schema || !location) return std::nullopt;
    const std::shared_ptr<const VehicleSet> chosen = Chosen(shape.levels);
    const std::shared_ptr<const Postings> postings = PostingsOf(*schema);
    std::vector<std::vector<size_t>> perStep(bounds.size() + 1);
    for (size_t k = 0; k < postings->entries.size(); ++k) {
      const Postings::Entry& entry = postings->entries[k];
      if (entry.locationNull || entry.location != *location || (shape.value && entry.value != *shape.value)) continue;
      size_t step = 0;
      while (step < bounds.size() && Compare(entry.number, bounds[step]) >= 0) ++step;
      perStep[step].push_back(k);
    }
    // A vehicle carries one entry of a turned-around item, so a step's count is its entries'
    // sum; else the union of their carriers is counted.
    const bool byLookUp = CountByLookUp(*postings, chosen.get());
    const std::vector<int64_t> looked =
        byLookUp ? CountsByLookUp(*postings, chosen->Ordinals(), shape.standardOnly) : std::vector<int64_t>();
    auto answer = std::make_shared<ResultRows>();
    answer->names = {"step", "vehicle_count"};
    for (size_t step = 0; step < perStep.size(); ++step) {
      if (perStep[step].empty()) continue;
      int64_t n = 0;
      if (byLookUp) {
        for (size_t k : perStep[step]) n += looked[k];
      } else if (postings->TurnedAround()) {
        // No vehicle carries two entries: the union's count is the sum of the entries'.
        for (size_t k : perStep[step]) n += CountIn(postings->entries[k].Carriers(shape.standardOnly), chosen.get());
      } else {
        std::vector<const Roaring*> parts;
        for (size_t k : perStep[step]) parts.push_back(&postings->entries[k].Carriers(shape.standardOnly));
        n = CountIn(VehicleSet::Union(Universe(), parts).Bits(), chosen.get());
      }
      if (n > 0) answer->rows.push_back({WholeNumber(static_cast<int64_t>(step)), WholeNumber(n)});
    }
    answer->bytes = answer->rows.size() * 2 * sizeof(mirel_SbF::Variant);
    return Evaluated{std::string(), RowsAnswer(std::move(answer)), true};
  }

  EvaluationContext& m_ctx;
  const std::string& m_sql;
  SqlTokens m_t;
  std::shared_ptr<const VehicleUniverse> m_universe;  // of this text's version, once asked for
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

EvaluationCounts EvaluationCountsForTesting() {
  return EvaluationCounts{g_facets, g_levels, g_asWritten, g_companionItems, g_builtItems};
}

}  // namespace mirel_platform::facets
