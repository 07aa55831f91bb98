#include "Screen.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include <mirel_SbF/mirel_SbF.h>

#include "Text.h"
#include "Words.h"
#include <functional>

namespace sbf_web {

RequestError::RequestError(std::string text, int httpStatus)
    : std::runtime_error(text), description(std::move(text)), status(httpStatus) {}

RequestError::RequestError(int32_t errorNumber, std::string errorSource, std::string text)
    : std::runtime_error(text),
      library(true),
      number(errorNumber),
      source(std::move(errorSource)),
      description(std::move(text)) {}

namespace {

using sbf_host::kNoBound;
using sbf_host::Selection;

struct OpName {
  const char* name;
  Change::Kind kind;
};
constexpr OpName kOps[] = {
    {"pick", Change::Pick}, {"unpick", Change::Unpick}, {"set", Change::Set},     {"min", Change::Min},
    {"max", Change::Max},   {"range", Change::Range},   {"clear", Change::Clear},   {"either", Change::EitherOr},
};

const char* OpText(Change::Kind kind) {
  for (const auto& op : kOps)
    if (op.kind == kind) return op.name;
  return "";
}

using sbf_host::SplitList;

RequestError FromLibrary(const mirel_SbF::Error& e) { return RequestError(e.Number(), e.Source(), e.Description()); }

// A host check's refusal, with the screens that would work instead.
RequestError FromHost(const sbf_host::RequestError& e, const Params& in) {
  RequestError error(e.what());
  if (e.subject == sbf_host::RequestError::Language) {
    for (const auto& id : e.known) {
      Way way{sbf_host::LanguageName(std::atoi(id.c_str())), in};
      way.params.language = std::atoi(id.c_str());
      error.ways.push_back(std::move(way));
    }
  } else if (e.subject == sbf_host::RequestError::Currency && !e.suggestion.empty()) {
    Way way{e.suggestion, in};
    way.params.currencies = e.suggestion;
    error.ways.push_back(std::move(way));
  }
  return error;
}

sbf_host::Settings SettingsOf(const Config& config, const Params& params) {
  sbf_host::Settings settings;
  settings.connection = config.connection;
  settings.specs = config.specs;
  settings.project = config.project;
  settings.language = params.language;
  settings.currencies = params.currencies;
  settings.standardOnly = params.standardOnly;
  settings.todaysConventions = params.todays;
  settings.includeAdvanced = params.includeAdvanced;
  settings.includeOld = params.includeOld;
  settings.includeBuilt = params.includeBuilt;
  return settings;
}

// A bound from a form or a link: kStoredBound and a stored amount, kept as it is; else an
// amount as the ladder shows it.
bool IsStored(const std::string& bound) { return !bound.empty() && bound[0] == kStoredBound; }

// The selection a change adds, for the shared check.
Selection SelectionOf(const Change& change, const std::string& value) {
  Selection s;
  s.schema = change.schema;
  s.location = change.location;
  s.schemaValue = change.schemaValue;
  s.value = value;
  return s;
}

void CheckChange(const Change& change, const sbf_host::Catalog& catalog) {
  switch (change.kind) {
    case Change::Pick: sbf_host::CheckSelection(catalog, SelectionOf(change, change.value)); break;
    case Change::Set:
      // The values a row offers and the picked ones; removing one not offered is harmless.
      for (const auto& value : change.values) sbf_host::CheckSelection(catalog, SelectionOf(change, value));
      if (change.values.empty() &&
          std::none_of(catalog.rows.begin(), catalog.rows.end(), [&](const sbf_host::Row& r) {
            return !r.range && r.schema == change.schema && r.location == change.location;
          }))
        throw sbf_host::RequestError("no criteria row offers values of item " + change.schema + " at location " +
                                     change.location);
      break;
    case Change::Min:
    case Change::Max:
    case Change::Range: {
      // The bounds the change sets are checked (numbers, min not above max); bounds kept
      // from the state were checked when they were set, and empty ones clear.
      const std::string min = change.kind == Change::Range ? change.min : change.kind == Change::Min ? change.value : "";
      const std::string max = change.kind == Change::Range ? change.max : change.kind == Change::Max ? change.value : "";
      auto given = [](const std::string& bound) { return !bound.empty() && !IsStored(bound); };
      Selection s = SelectionOf(change, "");
      s.kind = Selection::Range;
      s.min = given(min) ? min : given(max) ? max : "0";
      s.max = given(max) ? max : s.min;
      sbf_host::CheckSelection(catalog, s);
      break;
    }
    case Change::EitherOr: sbf_host::CheckEitherOr(catalog, {change.schema, change.location}); break;
    default: break;
  }
}

bool SameRange(const Selection& s, const Change& c) {
  return s.kind != Selection::Value && s.schema == c.schema && s.location == c.location &&
         s.schemaValue == c.schemaValue;
}

bool SameItem(const Selection& s, const Change& c) {
  return s.kind == Selection::Value && s.schema == c.schema && s.location == c.location;
}

// A bound as stored: kept ones as they are, picked ones converted from the ladder's currency.
std::string Stored(mirel_SbF::Search& search, const Change& change, const std::string& bound) {
  if (bound.empty()) return kNoBound;
  if (IsStored(bound)) return bound.substr(1);
  return search.PriceBoundToStored(change.schema, bound);
}

// Applies the change to a Search that holds the restored selections: what the change
// replaces or removes goes through a restore of the remaining state, what it adds through
// the library's own add operations. Either-or marks are no choices: they stay when the
// choices are rewritten; clearing all goes back to the first screen (`initial`), whose
// rows are either-or as by default.
void ApplyChange(mirel_SbF::Search& search, const Change& change, const std::function<std::string()>& initial) {
  if (change.kind == Change::None) return;
  const std::vector<sbf_host::Criterion> marks = sbf_host::EitherOrOf(search.CurrentState());
  if (change.kind == Change::Clear) {
    search.CurrentState(initial());
    return;
  }
  if (change.kind == Change::EitherOr) {
    search.EitherOr(change.schema, change.location, change.value == "1");
    return;
  }
  const std::vector<Selection> before = sbf_host::SplitState(search.CurrentState());
  std::vector<Selection> kept;
  std::string min = kNoBound, max = kNoBound;
  for (const auto& s : before) {
    switch (change.kind) {
      case Change::Pick:
        if (SameItem(s, change) && s.value == change.value) return;  // already picked
        break;
      case Change::Unpick:
        if (SameItem(s, change) && s.value == change.value) continue;
        break;
      case Change::Set:
        if (SameItem(s, change) &&
            std::find(change.offered.begin(), change.offered.end(), s.value) != change.offered.end())
          continue;
        break;
      case Change::Min:
      case Change::Max:
      case Change::Range:
        if (SameRange(s, change)) {
          // An empty bound (only a hand-made state has one) counts as none.
          min = s.min.empty() ? kNoBound : s.min;
          max = s.max.empty() ? kNoBound : s.max;
          continue;
        }
        break;
      default: break;
    }
    kept.push_back(s);
  }
  switch (change.kind) {
    case Change::Min: min = Stored(search, change, change.value); break;
    case Change::Max: max = Stored(search, change, change.value); break;
    case Change::Range:
      min = Stored(search, change, change.min);
      max = Stored(search, change, change.max);
      break;
    default: break;
  }
  if (change.kind == Change::Min || change.kind == Change::Max || change.kind == Change::Range) {
    // The range the change leaves, kept bounds included: a lower bound above the upper one
    // would match nothing, and is refused as a typed one is.
    double low = 0, high = 0;
    if (min != kNoBound && max != kNoBound && sbf_host::ToNumber(min, low) && sbf_host::ToNumber(max, high) &&
        low > high)
      throw sbf_host::RequestError("the lower bound " + search.FormatPriceBound(change.schema, min) + " of item " +
                                   change.schema + " at location " + change.location + " is above the upper bound " +
                                   search.FormatPriceBound(change.schema, max));
  }
  if (kept.size() != before.size()) search.CurrentState(sbf_host::JoinState(kept, marks));
  // A picked value is also the schema value, so that the library matches exactly that value.
  const std::string& s = change.schema;
  const std::string& l = change.location;
  const std::string& v = change.schemaValue;
  switch (change.kind) {
    case Change::Pick: search.AddSelection(s, l, change.value, change.value); break;
    case Change::Set:
      for (const auto& value : change.values) search.AddSelection(s, l, value, value);
      break;
    case Change::Min:
    case Change::Max:
    case Change::Range:
      if (min != kNoBound && max != kNoBound) search.AddMinMax(s, l, v, min, max);
      else if (min != kNoBound) search.AddMin(s, l, v, min);
      else if (max != kNoBound) search.AddMax(s, l, v, max);
      break;
    default: break;
  }
}

const sbf_host::Row* FindRow(const std::vector<sbf_host::Row>& rows, const Selection& s) {
  const bool range = s.kind != Selection::Value;
  for (const auto& row : rows)
    if (row.range == range && row.schema == s.schema && row.location == s.location &&
        (!range || row.schemaValue == s.schemaValue))
      return &row;
  return nullptr;
}

std::vector<Choice> ReadChoices(mirel_SbF::Search& search, const std::vector<Selection>& selections,
                                const std::vector<sbf_host::Row>& catalog, const std::vector<std::string>& words) {
  std::vector<Choice> choices;
  for (const auto& s : selections) {
    Choice choice;
    const sbf_host::Row* row = FindRow(catalog, s);
    choice.title = row ? row->title : "item " + s.schema;
    if (s.kind == Selection::Value) {
      choice.text = s.value;
      if (row)
        for (const auto& v : row->values)
          if (v.data == s.value) choice.text = v.text;
      choice.remove = {Change::Unpick, s.schema, s.location, "", s.value, {}, {}, "", "", "", ""};
    } else {
      const bool hasMin = s.min != kNoBound, hasMax = s.max != kNoBound;
      auto text = [&](const std::string& bound) {
        return row ? sbf_host::BoundText(search, *row, bound) : bound;
      };
      // words: "from", "to", "up to", "any"
      if (hasMin) choice.text = words[0] + " " + text(s.min);
      if (hasMax) choice.text += (hasMin ? " " + words[1] + " " : words[2] + " ") + text(s.max);
      if (!hasMin && !hasMax) choice.text = words[3];
      choice.remove = {Change::Range, s.schema, s.location, s.schemaValue, "", {}, {}, "", "", "", ""};
    }
    choices.push_back(std::move(choice));
  }
  return choices;
}

// The parts of a screen both the redirect and the full screen need.
struct Prepared {
  sbf_host::Settings settings;  // the stored currency added
  sbf_host::Catalog catalog;
  std::unique_ptr<mirel_SbF::Search> search;
};

void Prepare(const Config& config, const Request& request, Prepared& p) {
  const Params& in = request.params;
  p.settings = SettingsOf(config, in);
  try {
    p.catalog = sbf_host::LoadCatalog(p.settings);
  } catch (const sbf_host::RequestError& e) {
    throw FromHost(e, in);
  }
  p.search = std::make_unique<mirel_SbF::Search>();
  sbf_host::Configure(p.settings, p.catalog, *p.search);
  const auto initial = [&] { return sbf_host::DefaultState(p.settings, p.catalog); };
  // A state from the address is checked as its choices would be, before the library reads it.
  try {
    if (in.hasState) sbf_host::CheckState(p.catalog, in.state);
  } catch (const sbf_host::RequestError& e) {
    RequestError error = FromHost(e, in);
    error.badState = true;
    error.hint = "The saved choices in the address (state) hold one the data does not have.";
    throw error;
  }
  try {
    p.search->CurrentState(in.hasState ? in.state : initial());
  } catch (const mirel_SbF::Error& e) {
    RequestError error = FromLibrary(e);
    error.badState = true;
    error.hint = "The saved state text of the choices cannot be read.";
    throw error;
  }
  // Amounts typed in the page's language stand in for the bounds picked from the ladder.
  Change change = request.change;
  if (!change.typedMin.empty()) change.min = sbf_host::ParseAmount(change.typedMin, in.language, "the lower bound");
  if (!change.typedMax.empty()) change.max = sbf_host::ParseAmount(change.typedMax, in.language, "the upper bound");
  try {
    CheckChange(change, p.catalog);
  } catch (const sbf_host::RequestError& e) {
    throw FromHost(e, in);
  }
  ApplyChange(*p.search, change, initial);
}

// Runs `body`, turning every failure into a RequestError that knows the request.
template <class F>
auto Answering(const Request& request, F&& body) {
  try {
    return body();
  } catch (RequestError& e) {
    if (!e.params) e.params = request.params;
    e.changeFailed = request.change.kind != Change::None;
    throw;
  } catch (const sbf_host::RequestError& e) {
    RequestError error = FromHost(e, request.params);
    error.params = request.params;
    error.changeFailed = request.change.kind != Change::None;
    throw error;
  } catch (const mirel_SbF::Error& e) {
    RequestError error = FromLibrary(e);
    error.params = request.params;
    error.changeFailed = request.change.kind != Change::None;
    throw error;
  }
}

}  // namespace

Request ParseRequest(const std::vector<std::pair<std::string, std::string>>& query) {
  static const std::set<std::string> kKnown = {"state", "cat",    "lang", "cur",   "std",  "fmt", "incl", "sort",
                                               "offset", "limit", "op",   "schema", "loc", "sv",  "value", "min",
                                               "max",   "tmin",  "tmax", "off"};
  std::map<std::string, std::string> p;
  std::vector<std::string> values, offered, included;  // every "value" and "off" (op=set), every "incl"
  for (const auto& [key, value] : query) {
    if (!kKnown.count(key)) continue;  // utm_source and the like
    if (key == "value") values.push_back(value);
    if (key == "off") offered.push_back(value);
    if (key == "incl") included.push_back(value);
    if (!p.emplace(key, value).second && key != "value" && key != "off" && key != "incl")
      throw RequestError("the parameter \"" + key + "\" is given more than once");
  }
  auto has = [&](const char* key) { return p.count(key) > 0; };
  Request r;
  Params& params = r.params;
  if (has("state")) {
    params.state = p["state"];
    params.hasState = true;
  }
  if (has("cat")) params.category = p["cat"];
  auto whole = [&](const char* key, long long low, long long high, const char* what) {
    const std::string& text = p[key];
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < low || n > high)
      throw RequestError(std::string(what) + ", not \"" + text + "\"");
    return n;
  };
  if (has("lang"))
    params.language = static_cast<int32_t>(whole("lang", INT32_MIN, INT32_MAX, "the language must be a language id (a whole number)"));
  if (has("cur")) {
    if (p["cur"].empty()) throw RequestError("the currencies (cur) must name at least one currency");
    params.currencies = p["cur"];
  }
  if (has("std")) {
    const std::string& text = p["std"];
    if (text != "0" && text != "1" && text != "")
      throw RequestError("std is 1 (standard equipment only) or 0, not \"" + text + "\"");
    params.standardOnly = text == "1";
  }
  if (has("fmt")) {
    const std::string& text = p["fmt"];
    if (text != "today" && text != "windows")
      throw RequestError("fmt is today (prices and numbers as written today) or windows (as Windows XP wrote them), not \"" +
                         text + "\"");
    params.todays = text == "today";
  }
  for (const auto& list : included)
    for (const auto& kind : SplitList(list)) {
      if (kind == "advanced") params.includeAdvanced = true;
      else if (kind == "old") params.includeOld = true;
      else if (kind == "built") params.includeBuilt = true;
      else if (!kind.empty()) throw RequestError("incl takes advanced, old and built, not \"" + kind + "\"");
    }
  if (has("sort")) params.sort = p["sort"];
  if (has("offset")) params.offset = static_cast<size_t>(whole("offset", 0, INT32_MAX, "offset is a number of vehicles (0 or more)"));
  if (has("limit")) params.limit = static_cast<size_t>(whole("limit", 1, INT32_MAX, "limit is a number of vehicles (1 or more)"));

  Change& c = r.change;
  if (!has("op")) {
    for (const char* key : {"schema", "loc", "sv", "value", "min", "max", "tmin", "tmax", "off"})
      if (has(key)) throw RequestError(std::string("the parameter \"") + key + "\" needs an op");
    return r;
  }
  const std::string& op = p["op"];
  for (const auto& known : kOps)
    if (op == known.name) c.kind = known.kind;
  if (c.kind == Change::None)
    throw RequestError("unknown op \"" + op + "\" (pick, unpick, set, min, max, range, clear or either)");
  if (values.size() > 1 && c.kind != Change::Set)
    throw RequestError("the parameter \"value\" is given more than once");
  std::set<std::string> allowed;
  switch (c.kind) {
    case Change::Pick:
    case Change::Unpick:
    case Change::Set: allowed = {"schema", "loc", "value", "off"}; break;
    case Change::Min:
    case Change::Max: allowed = {"schema", "loc", "sv", "value"}; break;
    case Change::Range: allowed = {"schema", "loc", "sv", "min", "max", "tmin", "tmax"}; break;
    case Change::EitherOr: allowed = {"schema", "loc", "value"}; break;
    default: break;
  }
  for (const char* key : {"schema", "loc", "sv", "value", "min", "max", "tmin", "tmax", "off"})
    if (has(key) && !allowed.count(key))
      throw RequestError(std::string("the op ") + op + " takes no parameter \"" + key + "\"");
  if (c.kind == Change::Clear) return r;
  if (!has("schema") || p["schema"].empty()) throw RequestError("the op " + op + " needs the item (schema)");
  if ((c.kind == Change::Pick || c.kind == Change::Unpick) && !has("value"))
    throw RequestError("the op " + op + " needs a value");
  c.schema = p["schema"];
  c.location = p["loc"];
  c.schemaValue = p["sv"];
  c.value = p["value"];
  if (c.kind == Change::Set) {
    for (const auto& value : values)
      if (!value.empty()) c.values.push_back(value);
    c.offered = offered;
    for (const auto& value : c.values)
      if (std::find(offered.begin(), offered.end(), value) == offered.end()) c.offered.push_back(value);
  }
  c.min = p["min"];
  c.max = p["max"];
  c.typedMin = p["tmin"];
  c.typedMax = p["tmax"];
  // An unticked check box sends no value: off.
  if (c.kind == Change::EitherOr && c.value != "1" && c.value != "0" && !c.value.empty())
    throw RequestError("the op either takes value 1 (either-or) or 0 (not), not \"" + c.value + "\"");
  return r;
}

std::string QueryOf(const Params& params, const Change& change) {
  // Without a state the screen starts as the first one does.
  std::vector<std::pair<std::string, std::string>> pairs;
  if (params.hasState) pairs.emplace_back("state", params.state);
  pairs.insert(pairs.end(), {{"cat", params.category}, {"lang", std::to_string(params.language)}, {"cur", params.currencies}});
  if (params.standardOnly) pairs.emplace_back("std", "1");
  if (!params.todays) pairs.emplace_back("fmt", "windows");
  std::string incl;
  for (const auto& [on, kind] : {std::pair{params.includeAdvanced, "advanced"}, std::pair{params.includeOld, "old"},
                                 std::pair{params.includeBuilt, "built"}})
    if (on) incl += (incl.empty() ? "" : ",") + std::string(kind);
  if (!incl.empty()) pairs.emplace_back("incl", incl);
  if (!params.sort.empty()) pairs.emplace_back("sort", params.sort);
  if (params.offset > 0) pairs.emplace_back("offset", std::to_string(params.offset));
  if (params.limit != Params{}.limit) pairs.emplace_back("limit", std::to_string(params.limit));
  if (change.kind != Change::None) {
    pairs.emplace_back("op", OpText(change.kind));
    switch (change.kind) {
      case Change::Pick:
      case Change::Unpick:
      case Change::EitherOr:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}, {"value", change.value}});
        break;
      case Change::Set:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}});
        for (const auto& value : change.offered) pairs.emplace_back("off", value);
        for (const auto& value : change.values) pairs.emplace_back("value", value);
        break;
      case Change::Min:
      case Change::Max:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location},
                                   {"sv", change.schemaValue}, {"value", change.value}});
        break;
      case Change::Range:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location},
                                   {"sv", change.schemaValue}, {"min", change.min}, {"max", change.max}});
        if (!change.typedMin.empty()) pairs.emplace_back("tmin", change.typedMin);
        if (!change.typedMax.empty()) pairs.emplace_back("tmax", change.typedMax);
        break;
      default: break;
    }
  }
  return BuildQuery(pairs);
}

Params ApplyRequest(const Config& config, const Request& request) {
  return Answering(request, [&] {
    Prepared p;
    Prepare(config, request, p);
    Params params = request.params;
    params.state = p.search->CurrentState();
    params.hasState = true;
    params.currencies = p.settings.currencies;
    // Other choices give other vehicles: their list starts again at the first page.
    if (request.change.kind != Change::None) params.offset = 0;
    return params;
  });
}

Screen BuildScreen(const Config& config, const Request& request) {
  return Answering(request, [&] {
    const Params& in = request.params;
    Screen screen;
    screen.params = in;
    screen.changed = request.change.kind != Change::None;
    if (in.limit > config.maxLimit)
      throw RequestError("limit is at most " + std::to_string(config.maxLimit) + " vehicles, not " + std::to_string(in.limit));
    // The sort list may only name columns the table shows (they go into the query).
    const sbf_host::SortOrder sort = sbf_host::ParseSort(in.sort, config.columns);

    Prepared p;
    Prepare(config, request, p);
    mirel_SbF::Search& search = *p.search;
    screen.languages = p.catalog.languages;
    screen.currencyCodes = p.catalog.currencies;
    screen.storedCurrency = p.catalog.storedCurrency;
    screen.params.currencies = p.settings.currencies;
    screen.params.state = search.CurrentState();
    screen.params.hasState = true;
    if (screen.changed) screen.params.offset = 0;
    const std::vector<Selection> selections = sbf_host::SplitState(screen.params.state);
    const sbf_host::Words& w = sbf_host::WordsFor(in.language);
    const std::vector<std::string> words = {w.from, w.to, w.upTo, w.any};
    screen.choices = ReadChoices(search, selections, p.catalog.rows, words);

    for (const auto& category : p.catalog.categories) {
      Heading heading{category.heading, category.name, false, 0};
      for (const auto& s : selections)
        for (const auto& row : p.catalog.rows)
          if (row.category == category.name && row.schema == s.schema && row.location == s.location) {
            ++heading.choices;
            break;
          }
      screen.headings.push_back(std::move(heading));
    }
    if (screen.params.category.empty() && !screen.headings.empty()) screen.params.category = screen.headings.front().category;
    screen.params.category = sbf_host::ResolveCategory(p.catalog, screen.params.category);
    for (auto& heading : screen.headings) heading.current = heading.category == screen.params.category;

    if (!screen.params.category.empty()) {
      search.CountVehicles(config.counts);
      search.KeepAllValues(config.counts);
      search.DoSearch(in.standardOnly, screen.params.category, true);
      std::vector<sbf_host::Row> rows = sbf_host::ReadRows(search);
      sbf_host::MarkPicks(search, rows, selections);
      for (auto& hostRow : rows) {
        Row row;
        static_cast<sbf_host::Row&>(row) = std::move(hostRow);
        for (const auto& known : p.catalog.rows)
          if (known.rowId == row.rowId && known.orderId == row.orderId && known.schema == row.schema) row.label = known.label;
        for (const auto& s : selections) {
          if (!row.range || s.kind == Selection::Value || s.schema != row.schema || s.location != row.location ||
              s.schemaValue != row.schemaValue)
            continue;
          row.min = s.min == kNoBound ? "" : s.min;
          row.max = s.max == kNoBound ? "" : s.max;
          row.minText = row.min.empty() ? "" : sbf_host::BoundText(search, row, row.min);
          row.maxText = row.max.empty() ? "" : sbf_host::BoundText(search, row, row.max);
        }
        screen.rows.push_back(std::move(row));
      }
    }

    screen.count = search.GetNumberOfMatchingVehicles(in.standardOnly, true);
    screen.hidden = sbf_host::HiddenByFilters(search, in.standardOnly, true, screen.count);
    // Nothing matches: how many would without each choice, so that the user sees which to drop.
    if (screen.count == 0 && selections.size() > 1) {
      const std::vector<sbf_host::Criterion> marks = sbf_host::EitherOrOf(screen.params.state);
      for (size_t i = 0; i < selections.size(); ++i) {
        std::vector<Selection> others = selections;
        others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
        mirel_SbF::Search without;
        sbf_host::Configure(p.settings, p.catalog, without);
        without.CurrentState(sbf_host::JoinState(others, marks));
        screen.choices[i].without = without.GetNumberOfMatchingVehicles(in.standardOnly, true);
      }
    }
    screen.vehicles = sbf_host::ReadVehicleTable(search, p.catalog, config.columns, sort, in.standardOnly, true,
                                                 screen.params.offset, screen.params.limit, in.language);
    return screen;
  });
}

}  // namespace sbf_web
