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

constexpr const char* kNoBound = "!!";

struct OpName {
  const char* name;
  Change::Kind kind;
};
constexpr OpName kOps[] = {
    {"pick", Change::Pick}, {"unpick", Change::Unpick}, {"min", Change::Min},
    {"max", Change::Max},   {"range", Change::Range},   {"clear", Change::Clear},
};

const char* OpText(Change::Kind kind) {
  for (const auto& op : kOps)
    if (op.kind == kind) return op.name;
  return "";
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    items.push_back(item);
    start = end + 1;
  }
  return items;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : ",") + item;
  return text;
}

RequestError FromLibrary(const mirel_SbF::Error& e) {
  return RequestError(e.Number(), e.Source(), e.Description());
}

std::string Text(const mirel_SbF::Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  return mirel_SbF::CStr(value);
}

// Reads a record set to its end and closes it, whatever happens on the way.
template <class F>
void ReadAll(const std::shared_ptr<mirel_SbF::Recordset>& rs, F&& row) {
  struct Closer {
    mirel_SbF::Recordset* rs;
    ~Closer() {
      try {
        if (rs) rs->Close();
      } catch (...) {
      }
    }
  } closer{rs.get()};
  if (!rs) return;
  for (; !rs->EndOfFile(); rs->MoveNext())
    if (!row(*rs)) break;
}

std::vector<Row> ReadRows(const mirel_SbF::Search& search) {
  std::vector<Row> rows;
  for (const auto& result : search) {
    Row row;
    row.rowId = result->RowId();
    row.orderId = result->OrderId();
    row.category = result->Category();
    row.title = result->TitleText();
    row.schema = result->Schema();
    row.location = result->SchemaLocation();
    row.schemaValue = result->SchemaValue();
    row.range = result->IsMinMax();
    for (const auto& info : *result)
      row.values.push_back({info->FullText(), info->DataValue(), info->IsSelected()});
    rows.push_back(std::move(row));
  }
  return rows;
}

// Runs one query of the host's own (the lists the pickers offer) in the project database.
template <class F>
void ProjectQuery(const Config& config, const std::string& sql, F&& row) {
  mirel_base::Connector connector;
  ReadAll(connector.ExecuteQuery(sql, config.project, config.connection), std::forward<F>(row));
}

// The languages that have criterion titles; an empty list when the project cannot say.
std::vector<Language> ProjectLanguages(const Config& config) {
  std::vector<Language> languages;
  try {
    ProjectQuery(config,
                 "select distinct language_id from search_by_features_text order by language_id",
                 [&](mirel_SbF::Recordset& rs) {
                   const int32_t id = mirel_SbF::CLng(rs.Fields("language_id").Value());
                   languages.push_back({id, LanguageName(id)});
                   return true;
                 });
  } catch (const mirel_SbF::Error&) {
    languages.clear();
  }
  return languages;
}

std::vector<std::string> ProjectCurrencies(const Config& config) {
  std::vector<std::string> codes;
  try {
    ProjectQuery(config, "select code from currency_symbol order by code",
                 [&](mirel_SbF::Recordset& rs) {
                   codes.push_back(Text(rs.Fields("code").Value()));
                   return true;
                 });
  } catch (const mirel_SbF::Error&) {
    codes.clear();
  }
  return codes;
}

// The headings in the screen's language, each with the category name DoSearch takes:
// a heading is the text of its category, and both carry the category's order id.
std::vector<Heading> ReadHeadings(const Config& config, mirel_SbF::Search& search,
                                  const std::vector<Row>& catalog) {
  std::vector<std::pair<std::string, int32_t>> texts;
  ReadAll(search.GetSbFHeadings(), [&](mirel_SbF::Recordset& rs) {
    texts.emplace_back(Text(rs.Fields("application_text").Value()),
                       mirel_SbF::CLng(rs.Fields("sbf_order_id").Value()));
    return true;
  });
  std::multimap<int32_t, std::string> names;
  ProjectQuery(config, "select category_name, sbf_order_id from categories order by sbf_order_id",
               [&](mirel_SbF::Recordset& rs) {
                 names.emplace(mirel_SbF::CLng(rs.Fields("sbf_order_id").Value()),
                               Text(rs.Fields("category_name").Value()));
                 return true;
               });
  std::set<std::string> withRows;
  for (const auto& row : catalog) withRows.insert(row.category);
  std::vector<Heading> headings;
  std::set<std::string> used;
  for (const auto& [text, order] : texts) {
    // Several categories may share an order id: the one with criteria rows that no
    // earlier heading took.
    std::string name;
    auto [first, last] = names.equal_range(order);
    for (auto it = first; it != last && name.empty(); ++it)
      if (withRows.count(it->second) && !used.count(it->second)) name = it->second;
    if (name.empty()) continue;
    used.insert(name);
    headings.push_back({text, name, false});
  }
  return headings;
}

const Row* FindRow(const std::vector<Row>& rows, const std::string& schema,
                   const std::string& location, bool range) {
  for (const auto& row : rows)
    if (row.range == range && row.schema == schema && row.location == location) return &row;
  return nullptr;
}

const Row* FindRangeRow(const std::vector<Row>& rows, const std::string& schema,
                        const std::string& location, const std::string& schemaValue) {
  for (const auto& row : rows)
    if (row.range && row.schema == schema && row.location == location &&
        row.schemaValue == schemaValue)
      return &row;
  return nullptr;
}

const Value* FindValue(const std::vector<Row>& rows, const std::string& schema,
                       const std::string& location, const std::string& data) {
  for (const auto& row : rows) {
    if (row.range || row.schema != schema || row.location != location) continue;
    for (const auto& value : row.values)
      if (value.data == data) return &value;
  }
  return nullptr;
}

// A change must name a criterion of the project (and a pick one of its values); the
// catalog is every row without the reduction by the selections.
void CheckChange(const Change& change, const std::vector<Row>& catalog) {
  const std::string item = "item " + change.schema + " at location " + change.location;
  switch (change.kind) {
    case Change::Pick:
      if (!FindRow(catalog, change.schema, change.location, false))
        throw RequestError("no criteria row offers values of " + item);
      if (!FindValue(catalog, change.schema, change.location, change.value))
        throw RequestError("the value \"" + change.value + "\" is not one of " + item);
      break;
    case Change::Min:
    case Change::Max:
    case Change::Range:
      if (!FindRangeRow(catalog, change.schema, change.location, change.schemaValue))
        throw RequestError("no range row has " + item +
                           (change.schemaValue.empty() ? "" : " and value " + change.schemaValue));
      break;
    default: break;
  }
}

bool SameRange(const Selection& s, const Change& c) {
  return s.range && s.schema == c.schema && s.location == c.location &&
         s.schemaValue == c.schemaValue;
}

std::string Bound(const std::string& text) { return text.empty() ? kNoBound : text; }

// Applies the change to a Search that holds the restored selections: what the change
// replaces or removes goes through a restore of the remaining state, what it adds through
// the library's own add operations.
void ApplyChange(mirel_SbF::Search& search, const Change& change) {
  if (change.kind == Change::None) return;
  if (change.kind == Change::Clear) {
    search.CurrentState("");
    return;
  }
  const std::vector<Selection> before = SplitState(search.CurrentState());
  std::vector<Selection> kept;
  std::string min = kNoBound, max = kNoBound;
  bool add = false;
  for (const auto& s : before) {
    switch (change.kind) {
      case Change::Pick:
        if (!s.range && s.schema == change.schema && s.location == change.location &&
            s.value == change.value)
          return;  // already picked
        break;
      case Change::Unpick:
        if (!s.range && s.schema == change.schema && s.location == change.location &&
            s.value == change.value)
          continue;
        break;
      case Change::Min:
      case Change::Max:
      case Change::Range:
        if (SameRange(s, change)) {
          // An empty bound (only a hand-made state has one) counts as none.
          min = Bound(s.min == kNoBound ? "" : s.min);
          max = Bound(s.max == kNoBound ? "" : s.max);
          continue;
        }
        break;
      default: break;
    }
    kept.push_back(s);
  }
  switch (change.kind) {
    case Change::Pick: add = true; break;
    case Change::Min: min = Bound(change.value); break;
    case Change::Max: max = Bound(change.value); break;
    case Change::Range:
      min = Bound(change.min);
      max = Bound(change.max);
      break;
    default: break;
  }
  if (kept.size() != before.size()) search.CurrentState(JoinState(kept));
  if (add) {
    // The value is also the schema value, so that the library marks exactly that value
    // in every row of the item.
    search.AddSelection(change.schema, change.location, change.value, change.value);
  } else if (change.kind == Change::Min || change.kind == Change::Max ||
             change.kind == Change::Range) {
    const std::string& s = change.schema;
    const std::string& l = change.location;
    const std::string& v = change.schemaValue;
    if (min != kNoBound && max != kNoBound) search.AddMinMax(s, l, v, min, max);
    else if (min != kNoBound) search.AddMin(s, l, v, min);
    else if (max != kNoBound) search.AddMax(s, l, v, max);
  }
}

std::string ValueText(const Row* row, const std::string& data) {
  if (row)
    for (const auto& value : row->values)
      if (value.data == data) return value.text;
  return data;
}

std::vector<Choice> ReadChoices(const std::vector<Selection>& selections,
                                const std::vector<Row>& catalog) {
  std::vector<Choice> choices;
  for (const auto& s : selections) {
    Choice choice;
    if (!s.range) {
      const Row* row = FindRow(catalog, s.schema, s.location, false);
      const Value* value = FindValue(catalog, s.schema, s.location, s.value);
      choice.title = row ? row->title : "item " + s.schema;
      choice.text = value ? value->text : s.value;
      choice.remove = {Change::Unpick, s.schema, s.location, "", s.value, "", ""};
    } else {
      const Row* row = FindRangeRow(catalog, s.schema, s.location, s.schemaValue);
      choice.title = row ? row->title : "item " + s.schema;
      const bool hasMin = s.min != kNoBound, hasMax = s.max != kNoBound;
      if (hasMin) choice.text = "from " + ValueText(row, s.min);
      if (hasMax) choice.text += std::string(hasMin ? " to " : "up to ") + ValueText(row, s.max);
      if (!hasMin && !hasMax) choice.text = "any";
      choice.remove = {Change::Range, s.schema, s.location, s.schemaValue, "", "", ""};
    }
    choices.push_back(std::move(choice));
  }
  return choices;
}

}  // namespace

Request ParseRequest(const std::vector<std::pair<std::string, std::string>>& query) {
  static const std::set<std::string> kKnown = {"state", "cat", "lang",   "cur", "std",
                                               "sort",  "op",  "schema", "loc", "sv",
                                               "value", "min", "max"};
  std::map<std::string, std::string> p;
  for (const auto& [key, value] : query) {
    if (!kKnown.count(key)) throw RequestError("unknown parameter \"" + key + "\"");
    if (!p.emplace(key, value).second)
      throw RequestError("the parameter \"" + key + "\" is given more than once");
  }
  auto has = [&](const char* key) { return p.count(key) > 0; };
  Request r;
  Params& params = r.params;
  if (has("state")) params.state = p["state"];
  if (has("cat")) params.category = p["cat"];
  if (has("lang")) {
    const std::string& text = p["lang"];
    errno = 0;
    char* end = nullptr;
    const long long id = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || id < INT32_MIN || id > INT32_MAX)
      throw RequestError("the language must be a language id (a whole number), not \"" + text + "\"");
    params.language = static_cast<int32_t>(id);
  }
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
  if (has("sort")) params.sort = p["sort"];

  Change& c = r.change;
  if (!has("op")) {
    for (const char* key : {"schema", "loc", "sv", "value", "min", "max"})
      if (has(key)) throw RequestError(std::string("the parameter \"") + key + "\" needs an op");
    return r;
  }
  const std::string& op = p["op"];
  for (const auto& known : kOps)
    if (op == known.name) c.kind = known.kind;
  if (c.kind == Change::None)
    throw RequestError("unknown op \"" + op + "\" (pick, unpick, min, max, range or clear)");
  std::set<std::string> allowed;
  switch (c.kind) {
    case Change::Pick:
    case Change::Unpick: allowed = {"schema", "loc", "value"}; break;
    case Change::Min:
    case Change::Max: allowed = {"schema", "loc", "sv", "value"}; break;
    case Change::Range: allowed = {"schema", "loc", "sv", "min", "max"}; break;
    default: break;
  }
  for (const char* key : {"schema", "loc", "sv", "value", "min", "max"})
    if (has(key) && !allowed.count(key))
      throw RequestError(std::string("the op ") + op + " takes no parameter \"" + key + "\"");
  if (c.kind == Change::Clear) return r;
  if (!has("schema") || p["schema"].empty())
    throw RequestError("the op " + op + " needs the item (schema)");
  if ((c.kind == Change::Pick || c.kind == Change::Unpick) && !has("value"))
    throw RequestError("the op " + op + " needs a value");
  c.schema = p["schema"];
  c.location = p["loc"];
  c.schemaValue = p["sv"];
  c.value = p["value"];
  c.min = p["min"];
  c.max = p["max"];
  return r;
}

std::string QueryOf(const Params& params, const Change& change) {
  std::vector<std::pair<std::string, std::string>> pairs = {
      {"state", params.state},
      {"cat", params.category},
      {"lang", std::to_string(params.language)},
      {"cur", params.currencies},
  };
  if (params.standardOnly) pairs.emplace_back("std", "1");
  if (!params.sort.empty()) pairs.emplace_back("sort", params.sort);
  if (change.kind != Change::None) {
    pairs.emplace_back("op", OpText(change.kind));
    switch (change.kind) {
      case Change::Pick:
      case Change::Unpick:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location}, {"value", change.value}});
        break;
      case Change::Min:
      case Change::Max:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location},
                                   {"sv", change.schemaValue}, {"value", change.value}});
        break;
      case Change::Range:
        pairs.insert(pairs.end(), {{"schema", change.schema}, {"loc", change.location},
                                   {"sv", change.schemaValue}, {"min", change.min}, {"max", change.max}});
        break;
      default: break;
    }
  }
  return BuildQuery(pairs);
}

std::vector<Selection> SplitState(const std::string& state) {
  std::vector<Selection> selections;
  if (state.empty()) return selections;
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t at; (at = state.find('~', start)) != std::string::npos; start = at + 1)
    fields.push_back(state.substr(start, at - start));
  fields.push_back(state.substr(start));
  if (fields.size() % 6 != 0)
    throw RequestError("the state text has " + std::to_string(fields.size()) +
                       " fields, not six for each selection");
  for (size_t i = 0; i < fields.size(); i += 6) {
    Selection s;
    s.range = fields[i] == "1";
    s.schema = fields[i + 1];
    s.location = fields[i + 2];
    s.schemaValue = fields[i + 3];
    if (s.range) {
      s.min = fields[i + 4];
      s.max = fields[i + 5];
    } else {
      s.value = fields[i + 4];
    }
    selections.push_back(std::move(s));
  }
  return selections;
}

std::string JoinState(const std::vector<Selection>& selections) {
  std::string state;
  for (const auto& s : selections) {
    if (!state.empty()) state += "~";
    state += (s.range ? "1~" : "2~") + s.schema + "~" + s.location + "~" + s.schemaValue + "~";
    state += s.range ? s.min + "~" + s.max : s.value + "~";
  }
  return state;
}

std::string LanguageName(int32_t id) {
  // The language ids of the library, in the order of its locale table.
  static const char* const kNames[] = {
      "English (United Kingdom)", "Spanish",          "German",
      "Italian",                  "French",           "Dutch",
      "English (United States)",  "Japanese",         "Korean",
      "Hebrew",                   "Greek",            "Croatian",
      "Finnish",                  "Catalan",          "Portuguese",
      "Swedish",                  "Turkish",          "Spanish (Mexico)",
      "English",                  "English (Australia)", "Portuguese (Brazil)",
      "",                         "Norwegian",        "Danish",
      "Chinese (Taiwan)",         "French (Canada)",  "Hungarian",
      "English (Ireland)",        "French (Belgium)", "Dutch (Belgium)",
      "Czech",                    "Polish",           "Thai",
      "Chinese (PRC)",            "German (Switzerland)", "Russian",
      "Spanish (Argentina)",      "Slovenian",
  };
  if (id >= 1 && id <= 38 && kNames[id - 1][0] != '\0') return kNames[id - 1];
  return "language " + std::to_string(id);
}

Screen BuildScreen(const Config& config, const Request& request) {
  const Params& in = request.params;
  Screen screen;
  screen.params = in;
  screen.changed = request.change.kind != Change::None;
  try {
    // The sort list may only name columns the table shows (they go into the query).
    std::vector<std::string> sortColumns;
    if (!in.sort.empty()) {
      for (const auto& column : SplitList(in.sort)) {
        if (std::find(config.columns.begin(), config.columns.end(), column) == config.columns.end())
          throw RequestError("cannot sort by \"" + column + "\": the columns are " + JoinList(config.columns));
        if (std::find(sortColumns.begin(), sortColumns.end(), column) == sortColumns.end())
          sortColumns.push_back(column);
      }
    }
    screen.sortColumns = sortColumns;
    for (const auto& column : config.columns)
      if (std::find(sortColumns.begin(), sortColumns.end(), column) == sortColumns.end())
        sortColumns.push_back(column);

    auto configure = [&](mirel_SbF::Search& s) {
      s.SetDatabaseInfo(config.connection, config.specs, config.project, in.language, in.currencies);
    };
    mirel_SbF::Search search;
    configure(search);
    try {
      search.CurrentState(in.state);
    } catch (const mirel_SbF::Error& e) {
      RequestError error = FromLibrary(e);
      error.badState = true;
      error.hint = "The saved state text of the selections cannot be read.";
      throw error;
    }

    screen.languages = ProjectLanguages(config);
    screen.currencyCodes = ProjectCurrencies(config);
    // Every criteria row, unreduced: what a change may name, and the titles of the
    // selections whatever category is shown.
    std::vector<Row> catalog;
    try {
      mirel_SbF::Search all;
      configure(all);
      all.DoSearch(in.standardOnly, "", false);
      catalog = ReadRows(all);
    } catch (const mirel_SbF::Error& e) {
      RequestError error = FromLibrary(e);
      const bool known = std::any_of(screen.languages.begin(), screen.languages.end(),
                                     [&](const Language& l) { return l.id == in.language; });
      if (!screen.languages.empty() && !known) {
        error.hint = "The project has no texts in language " + std::to_string(in.language) + "; it has";
        for (const auto& l : screen.languages)
          error.hint += " " + std::to_string(l.id) + " (" + l.name + ")";
        error.hint += ".";
      }
      throw error;
    }

    CheckChange(request.change, catalog);
    ApplyChange(search, request.change);
    screen.params.state = search.CurrentState();
    const std::vector<Selection> selections = SplitState(screen.params.state);
    screen.choices = ReadChoices(selections, catalog);

    screen.headings = ReadHeadings(config, search, catalog);
    if (screen.params.category.empty() && !screen.headings.empty())
      screen.params.category = screen.headings.front().category;
    bool found = false;
    for (auto& heading : screen.headings)
      if (heading.category == screen.params.category) heading.current = found = true;
    if (!found && !screen.params.category.empty()) {
      std::string names;
      for (const auto& heading : screen.headings) names += (names.empty() ? "" : ", ") + heading.category;
      throw RequestError("unknown category \"" + screen.params.category + "\" (the categories are " + names + ")");
    }

    if (!screen.params.category.empty()) {
      search.DoSearch(in.standardOnly, screen.params.category, true);
      screen.rows = ReadRows(search);
    }
    for (auto& row : screen.rows) {
      if (!row.range) continue;
      for (const auto& s : selections) {
        if (!s.range || s.schema != row.schema || s.location != row.location ||
            s.schemaValue != row.schemaValue)
          continue;
        row.min = s.min == kNoBound ? "" : s.min;
        row.max = s.max == kNoBound ? "" : s.max;
      }
    }

    screen.count = search.GetNumberOfMatchingVehicles(in.standardOnly, true);
    screen.columns = {"vehicle_id"};
    screen.columns.insert(screen.columns.end(), config.columns.begin(), config.columns.end());
    ReadAll(search.GetMatchingVehicles(in.standardOnly, true, JoinList(sortColumns)),
            [&](mirel_SbF::Recordset& rs) {
              if (screen.vehicles.size() >= config.maxVehicles) return false;
              std::vector<std::string> cells;
              for (const auto& column : screen.columns) cells.push_back(Text(rs.Fields(column).Value()));
              screen.vehicles.push_back(std::move(cells));
              return true;
            });
  } catch (RequestError& e) {
    if (!e.params) e.params = in;
    e.changeFailed = screen.changed;
    throw;
  } catch (const mirel_SbF::Error& e) {
    RequestError error = FromLibrary(e);
    error.params = in;
    error.changeFailed = screen.changed;
    throw error;
  }
  return screen;
}

}  // namespace sbf_web
