#include "Request.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

#include <unicode/unum.h>

#include "Words.h"

namespace sbf_host {
namespace {

// A query of the host's own, a fixed text without any user input in it.
template <class F>
void Query(const Settings& settings, const std::string& database, const std::string& sql, F&& row) {
  mirel_base::Connector connector;
  ReadAll(connector.ExecuteQuery(sql, database, settings.connection), std::forward<F>(row));
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool SameWithoutCase(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

bool Contains(const std::vector<std::string>& items, const std::string& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

void CheckLanguageAndCurrencies(Settings& settings, const Catalog& catalog) {
  const bool known = std::any_of(catalog.languages.begin(), catalog.languages.end(),
                                 [&](const Language& l) { return l.id == settings.language; });
  if (!catalog.languages.empty() && !known) {
    std::vector<std::string> names, ids;
    for (const auto& l : catalog.languages) {
      names.push_back(std::to_string(l.id) + " (" + l.name + ")");
      ids.push_back(std::to_string(l.id));
    }
    throw RequestError("the project has no texts in language " + std::to_string(settings.language) +
                       "; it has " + JoinWords(names), RequestError::Language, ids);
  }
  const std::vector<std::string> codes = SplitList(settings.currencies);
  // The list that works: known codes (upper-cased when that makes them known), the stored
  // currency added when it is missing.
  std::vector<std::string> fixed;
  for (const auto& code : codes)
    if (Contains(catalog.currencies, Upper(code)) && !Contains(fixed, Upper(code))) fixed.push_back(Upper(code));
  if (!catalog.storedCurrency.empty() && !Contains(fixed, catalog.storedCurrency)) fixed.push_back(catalog.storedCurrency);
  std::string suggestion;
  for (const auto& code : fixed) suggestion += (suggestion.empty() ? "" : ",") + code;
  auto fail = [&](const std::string& what) {
    RequestError error(what, RequestError::Currency, catalog.currencies);
    error.suggestion = suggestion;
    throw error;
  };
  for (const auto& code : codes) {
    if (Contains(catalog.currencies, code)) continue;
    std::string what = code.empty() ? "an empty currency code" : "unknown currency \"" + code + "\"";
    if (!code.empty() && Contains(catalog.currencies, Upper(code))) what += " (codes are upper case: " + Upper(code) + ")";
    fail(what + " in the currencies \"" + settings.currencies + "\"; the project has " + JoinWords(catalog.currencies));
  }
  // Every price is converted from the stored currency, which the library must have in its list.
  if (!catalog.storedCurrency.empty() && !Contains(codes, catalog.storedCurrency))
    settings.currencies += "," + catalog.storedCurrency;
}

// The headings in the language, each with the category DoSearch takes: a heading is the
// text of its category and both carry the category's order id.
std::vector<Category> ReadCategories(const Settings& settings, mirel_SbF::Search& search,
                                     const std::vector<Row>& rows) {
  std::vector<std::pair<std::string, int32_t>> texts;
  ReadAll(search.GetSbFHeadings(), [&](mirel_SbF::Recordset& rs) {
    texts.emplace_back(Text(rs.Fields("application_text").Value()),
                       mirel_SbF::CLng(rs.Fields("sbf_order_id").Value()));
    return true;
  });
  std::multimap<int32_t, std::string> names;
  Query(settings, settings.project, "select category_name, sbf_order_id from categories order by sbf_order_id",
        [&](mirel_SbF::Recordset& rs) {
          names.emplace(mirel_SbF::CLng(rs.Fields("sbf_order_id").Value()), Text(rs.Fields("category_name").Value()));
          return true;
        });
  std::set<std::string> withRows;
  for (const auto& row : rows) withRows.insert(row.category);
  std::vector<Category> categories;
  std::set<std::string> used;
  for (const auto& [text, order] : texts) {
    // Several categories may share an order id: the one with criteria rows that no
    // earlier heading took.
    auto [first, last] = names.equal_range(order);
    for (auto it = first; it != last; ++it) {
      if (!withRows.count(it->second) || used.count(it->second)) continue;
      used.insert(it->second);
      categories.push_back({it->second, text});
      break;
    }
  }
  return categories;
}

// The codes of a filter item and their names in the language, for messages.
void CheckCodes(const Settings& settings, const char* option, const char* item, const std::string& list) {
  std::vector<std::string> codes;
  Query(settings, settings.specs, std::string("select distinct data_value from equipment where schema_id = ") + item,
        [&](mirel_SbF::Recordset& rs) {
          codes.push_back(Text(rs.Fields("data_value").Value()));
          return true;
        });
  std::map<std::string, std::string> names;  // name -> code
  Query(settings, settings.specs,
        std::string("select data_value, full_text from schema_text where schema_id = ") + item +
            " and language_id = " + std::to_string(settings.language),
        [&](mirel_SbF::Recordset& rs) {
          names.emplace(Upper(Text(rs.Fields("full_text").Value())), Text(rs.Fields("data_value").Value()));
          return true;
        });
  for (const auto& code : SplitList(list)) {
    if (Contains(codes, code)) continue;
    const auto named = names.find(Upper(code));
    if (named != names.end())
      throw RequestError(std::string(option) + ": \"" + code + "\" is a name; its code is " + named->second);
    std::vector<std::string> sorted = codes;
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    throw RequestError(std::string(option) + ": no vehicle has code \"" + code + "\" of item " + item +
                       " (the codes are " + JoinWords(sorted) + ")");
  }
}

// A bound as a number: the one form the library puts into a statement (an optional minus,
// digits, optionally a point and digits), as the ladder gives them.
std::optional<double> Number(const std::string& text) {
  const size_t digits = text.rfind('-', 0) == 0 ? 1 : 0;
  const size_t point = text.find('.');
  const auto allDigits = [&](size_t from, size_t to) {
    return to > from && text.find_first_not_of("0123456789", from) >= to;
  };
  if (point == std::string::npos ? !allDigits(digits, text.size())
                                 : !allDigits(digits, point) || !allDigits(point + 1, text.size()))
    return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc() || at != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A whole number as a statement takes it: an optional minus and digits.
bool IsWhole(const std::string& text) {
  const size_t from = text.rfind('-', 0) == 0 ? 1 : 0;
  return text.size() > from && text.find_first_not_of("0123456789", from) == std::string::npos;
}

std::string Item(const Selection& s) {
  return "item " + s.schema + " at location " + s.location +
         (s.schemaValue.empty() ? "" : " with value \"" + s.schemaValue + "\"");
}

// The parts of a row of several items (one row id) labelled with their items' names: the
// data names an item by a schema_text row with an empty data value, in each language.
void LabelParts(const Settings& settings, std::vector<Row>& rows) {
  std::set<std::string> items;
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool shared = (i > 0 && rows[i - 1].rowId == rows[i].rowId) ||
                        (i + 1 < rows.size() && rows[i + 1].rowId == rows[i].rowId);
    if (shared && IsWhole(rows[i].schema)) items.insert(rows[i].schema);
  }
  if (items.empty()) return;
  std::string list;
  for (const auto& item : items) list += (list.empty() ? "" : ", ") + item;
  std::map<std::string, std::string> names;
  Query(settings, settings.specs,
        "select schema_id, full_text from schema_text where schema_id in (" + list +
            ") and data_value = '' and language_id = " + std::to_string(settings.language),
        [&](mirel_SbF::Recordset& rs) {
          names.emplace(Text(rs.Fields("schema_id").Value()), Text(rs.Fields("full_text").Value()));
          return true;
        });
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto name = names.find(rows[i].schema);
    const bool shared = (i > 0 && rows[i - 1].rowId == rows[i].rowId) ||
                        (i + 1 < rows.size() && rows[i + 1].rowId == rows[i].rowId);
    if (shared && name != names.end()) rows[i].label = name->second;
  }
}

}  // namespace

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

std::string Text(const mirel_SbF::Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  return mirel_SbF::CStr(value);
}

std::string JoinWords(const std::vector<std::string>& words) {
  std::string out;
  for (size_t i = 0; i < words.size(); ++i)
    out += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
  return out;
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
    row.eitherOr = result->IsEitherOr();
    for (const auto& info : *result)
      row.values.push_back({info->FullText(), info->DataValue(), info->IsSelected(), info->VehicleCount()});
    rows.push_back(std::move(row));
  }
  return rows;
}

Catalog LoadCatalog(Settings& settings) {
  Catalog catalog;
  Query(settings, settings.project, "select distinct language_id from search_by_features_text order by language_id",
        [&](mirel_SbF::Recordset& rs) {
          const int32_t id = mirel_SbF::CLng(rs.Fields("language_id").Value());
          catalog.languages.push_back({id, LanguageName(id)});
          return true;
        });
  Query(settings, settings.project, "select code from currency_symbol order by code", [&](mirel_SbF::Recordset& rs) {
    catalog.currencies.push_back(Text(rs.Fields("code").Value()));
    return true;
  });
  Query(settings, settings.specs, "select distinct id_901 from version where (id_901 <> '')",
        [&](mirel_SbF::Recordset& rs) {
          catalog.storedCurrency = Text(rs.Fields("id_901").Value());
          return false;
        });
  CheckLanguageAndCurrencies(settings, catalog);
  Query(settings, settings.project, "select distinct segment_id from search_by_features_segmentation order by segment_id",
        [&](mirel_SbF::Recordset& rs) {
          catalog.segments.push_back(mirel_SbF::CLng(rs.Fields("segment_id").Value()));
          return true;
        });

  mirel_SbF::Search all;
  all.SetDatabaseInfo(settings.connection, settings.specs, settings.project, settings.language, settings.currencies);
  all.DoSearch(settings.standardOnly, "", false);
  catalog.rows = ReadRows(all);
  catalog.categories = ReadCategories(settings, all, catalog.rows);
  LabelParts(settings, catalog.rows);
  return catalog;
}

void Configure(const Settings& settings, const Catalog& catalog, mirel_SbF::Search& search) {
  if (settings.segment && *settings.segment >= 0 &&
      std::find(catalog.segments.begin(), catalog.segments.end(), *settings.segment) == catalog.segments.end()) {
    std::vector<std::string> ids;
    for (int32_t id : catalog.segments) ids.push_back(std::to_string(id));
    throw RequestError("unknown segment " + std::to_string(*settings.segment) +
                       (ids.empty() ? std::string(" (the project has no segments)") : " (the segments are " + JoinWords(ids) + ")"));
  }
  if (settings.oem) CheckCodes(settings, "the maker groups", "117", *settings.oem);
  if (settings.make) CheckCodes(settings, "the makes", "111", *settings.make);
  if (settings.excludeModel) CheckCodes(settings, "the models", "112", *settings.excludeModel);
  search.TodaysConventions(settings.todaysConventions);
  search.SetDatabaseInfo(settings.connection, settings.specs, settings.project, settings.language, settings.currencies);
  search.StandardChoices(settings.standardOnly);
  if (settings.includeAdvanced) search.ExcludeAdvancedVehicles(false);
  if (settings.includeOld) search.ExcludeOldVehicles(false);
  if (settings.includeBuilt) search.ExcludeBuiltVehicles(false);
  if (settings.oem) search.OEMInclusionList(*settings.oem);
  if (settings.make) search.MakeInclusionList(*settings.make);
  if (settings.excludeModel) search.ModelExclusionList(*settings.excludeModel);
  if (settings.segment) search.SegmentId(*settings.segment);
}

std::string ResolveCategory(const Catalog& catalog, const std::string& typed) {
  if (typed.empty()) return typed;
  for (const auto& c : catalog.categories)
    if (c.name == typed) return c.name;
  for (const auto& c : catalog.categories)
    if (SameWithoutCase(c.name, typed) || SameWithoutCase(c.heading, typed)) return c.name;
  std::vector<std::string> names;
  for (const auto& c : catalog.categories)
    names.push_back(c.name + (c.heading == c.name ? "" : " (" + c.heading + ")"));
  throw RequestError("unknown category \"" + typed + "\" (the categories are " + JoinWords(names) + ")");
}

void CheckSelection(const Catalog& catalog, const Selection& s) {
  const bool range = s.kind != Selection::Value;
  if (s.schema.empty()) throw RequestError("a selection needs its item (SCHEMA, e.g. 7401 in 7401:0::EU)");
  std::vector<const Row*> rows;
  for (const auto& row : catalog.rows)
    if (row.schema == s.schema && row.location == s.location) rows.push_back(&row);
  if (rows.empty()) throw RequestError("no criteria row has item " + s.schema + " at location " + s.location);
  if (!range) {
    const auto isRange = [](const Row* r) { return r->range; };
    if (std::all_of(rows.begin(), rows.end(), isRange))
      throw RequestError(Item(s) + " is a range: give bounds (from ... to), not a value");
    std::vector<std::string> codes;
    for (const Row* row : rows) {
      if (row->range) continue;
      for (const auto& v : row->values) {
        if (v.data == s.value) return;
        if (!Contains(codes, v.data)) codes.push_back(v.data);
      }
    }
    for (const Row* row : rows)
      for (const auto& v : row->values)
        if (!row->range && SameWithoutCase(v.text, s.value))
          throw RequestError("\"" + s.value + "\" is the name shown for " + Item(s) + "; its code is " + v.data);
    throw RequestError("\"" + s.value + "\" is not a value of " + Item(s) + " (the values are " + JoinWords(codes) + ")");
  }
  const bool hasRange = std::any_of(rows.begin(), rows.end(), [&](const Row* r) {
    return r->range && r->schemaValue == s.schemaValue;
  });
  if (!hasRange) {
    if (std::none_of(rows.begin(), rows.end(), [](const Row* r) { return r->range; }))
      throw RequestError(Item(s) + " is picked by value, not by a range");
    throw RequestError("no range row has " + Item(s));
  }
  const std::optional<double> min = s.kind == Selection::Max ? std::nullopt : Number(s.min);
  const std::optional<double> max = s.kind == Selection::Min ? std::nullopt : Number(s.max);
  auto refuse = [&](const char* which, const std::string& bound) {
    if (bound.empty())
      throw RequestError(std::string("the ") + which + " bound of " + Item(s) +
                         " is empty: give a number (e.g. 100 or 2.5), or leave the bound out");
    throw RequestError(std::string("the ") + which + " bound \"" + bound + "\" of " + Item(s) +
                       " is not a number (e.g. 100 or 2.5)");
  };
  if (s.kind != Selection::Max && !min) refuse("lower", s.min);
  if (s.kind != Selection::Min && !max) refuse("upper", s.max);
  if (min && max && *min > *max)
    throw RequestError("the lower bound " + s.min + " of " + Item(s) + " is above the upper bound " + s.max);
}

void CheckEitherOr(const Catalog& catalog, const Criterion& c) {
  if (c.schema.empty()) throw RequestError("either-or needs the item (SCHEMA, e.g. 7401 or 7401:0)");
  bool known = false;
  for (const auto& row : catalog.rows) {
    if (row.schema != c.schema || row.location != c.location) continue;
    if (!row.range) return;
    known = true;
  }
  if (!known) throw RequestError("no criteria row has item " + c.schema + " at location " + c.location);
  throw RequestError("item " + c.schema + " at location " + c.location +
                     " is a range: either-or widens the choices of values, a range has none");
}

namespace {

// The state text in groups of six fields.
std::vector<std::vector<std::string>> StateGroups(const std::string& state) {
  std::vector<std::vector<std::string>> groups;
  if (state.empty()) return groups;
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t at; (at = state.find('~', start)) != std::string::npos; start = at + 1)
    fields.push_back(state.substr(start, at - start));
  fields.push_back(state.substr(start));
  if (fields.size() % 6 != 0)
    throw RequestError("the state text has " + std::to_string(fields.size()) + (fields.size() == 1 ? " field" : " fields") +
                       " separated by \"~\", not six for each choice");
  // The library reads at most 5,461 groups (its field index is a 16-bit number).
  if (fields.size() > 6 * 5461) throw RequestError("the state text holds more than 5461 choices");
  for (size_t i = 0; i < fields.size(); i += 6)
    groups.emplace_back(fields.begin() + static_cast<std::ptrdiff_t>(i), fields.begin() + static_cast<std::ptrdiff_t>(i + 6));
  return groups;
}

}  // namespace

void CheckState(const Catalog& catalog, const std::string& state) {
  for (const auto& fields : StateGroups(state)) {
    const std::string& type = fields[0];
    if (type == kEitherOrMark) {
      CheckEitherOr(catalog, {fields[1], fields[2]});
      continue;
    }
    if (type != "1" && type != "2")
      throw RequestError("a choice of the state text begins with 1 (a range), 2 (a value) or " + std::string(kEitherOrMark) +
                         ", not \"" + type + "\"");
    Selection s;
    s.schema = fields[1];
    s.location = fields[2];
    s.schemaValue = fields[3];
    if (type == "2") {
      s.value = fields[4];
      CheckSelection(catalog, s);
      continue;
    }
    // A range: "!!" for a side without a bound.
    const bool hasMin = fields[4] != kNoBound, hasMax = fields[5] != kNoBound;
    s.kind = hasMin && hasMax ? Selection::Range : hasMin ? Selection::Min : hasMax ? Selection::Max : Selection::Range;
    s.min = hasMin ? fields[4] : "0";
    s.max = hasMax ? fields[5] : s.kind == Selection::Range ? "0" : "";
    CheckSelection(catalog, s);
  }
}

std::string ParseAmount(const std::string& typed, int32_t language, const std::string& what) {
  std::string text = typed;
  text.erase(0, text.find_first_not_of(' '));
  text.erase(text.find_last_not_of(' ') + 1);
  auto fail = [&] { return RequestError(what + " \"" + typed + "\" is not an amount (e.g. 5000)"); };
  if (text.empty() || text.size() > 64) throw fail();
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UNumberFormat, void (*)(UNumberFormat*)> format(
      unum_open(UNUM_DECIMAL, nullptr, 0, LanguageTag(language).c_str(), nullptr, &status), unum_close);
  if (U_FAILURE(status)) throw fail();
  std::u16string utf16;
  for (size_t i = 0; i < text.size();) {
    // The amount as UTF-16; only what a number of the language holds gets through ICU.
    UChar32 c = 0;
    U8_NEXT(text.data(), i, text.size(), c);
    if (c < 0) throw fail();
    UChar units[2];
    int32_t n = 0;
    U16_APPEND_UNSAFE(units, n, c);
    utf16.append(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(n));
  }
  int32_t end = 0;
  char out[128];
  const int32_t length = unum_parseDecimal(format.get(), reinterpret_cast<const UChar*>(utf16.data()),
                                           static_cast<int32_t>(utf16.size()), &end, out, sizeof out, &status);
  if (U_FAILURE(status) || end != static_cast<int32_t>(utf16.size()) || length <= 0 || length >= 128) throw fail();
  const std::string plain(out, static_cast<size_t>(length));
  if (!Number(plain)) throw fail();
  return plain;
}

bool ToNumber(const std::string& text, double& value) {
  const std::optional<double> number = Number(text);
  if (number) value = *number;
  return number.has_value();
}

std::vector<Criterion> ExclusiveCriteria(const Settings& settings, const Catalog& catalog) {
  mirel_SbF::Search counted;
  Configure(settings, catalog, counted);
  counted.CountVehicles(true);
  counted.DoSearch(settings.standardOnly, "", false);
  std::vector<Criterion> exclusive;
  for (const Row& row : ReadRows(counted)) {
    const Criterion criterion{row.schema, row.location};
    if (row.range || row.values.size() < 2 || !row.schemaValue.empty() ||
        std::find(exclusive.begin(), exclusive.end(), criterion) != exclusive.end())
      continue;
    int64_t sum = 0;
    for (const auto& v : row.values) sum += v.count;
    // The vehicles that have the item at all: a value choice without a value.
    mirel_SbF::Search carriers;
    Configure(settings, catalog, carriers);
    carriers.AddSelection(row.schema, row.location, "", "");
    if (sum == carriers.GetNumberOfMatchingVehicles(settings.standardOnly, true)) exclusive.push_back(criterion);
  }
  return exclusive;
}

std::string DefaultState(const Settings& settings, const Catalog& catalog) {
  return JoinState({}, ExclusiveCriteria(settings, catalog));
}

void Apply(mirel_SbF::Search& search, const Selection& s) {
  switch (s.kind) {
    case Selection::Value: search.AddSelection(s.schema, s.location, s.schemaValue, s.value); break;
    case Selection::Range:
      search.AddMinMax(s.schema, s.location, s.schemaValue, search.PriceBoundToStored(s.schema, s.min),
                       search.PriceBoundToStored(s.schema, s.max));
      break;
    case Selection::Min:
      search.AddMin(s.schema, s.location, s.schemaValue, search.PriceBoundToStored(s.schema, s.min));
      break;
    case Selection::Max:
      search.AddMax(s.schema, s.location, s.schemaValue, search.PriceBoundToStored(s.schema, s.max));
      break;
  }
}

std::string BoundText(mirel_SbF::Search& search, const Row& row, const std::string& stored) {
  for (const auto& v : row.values)
    if (v.data == stored) return v.text;
  try {
    return search.FormatPriceBound(row.schema, stored);
  } catch (const mirel_SbF::Error&) {
    return stored;  // a hand-made state's bound that is no amount: shown as it is
  }
}

void MarkBounds(mirel_SbF::Search& search, Row& row, const std::string& min, const std::string& max) {
  const std::string minText = min.empty() ? "" : BoundText(search, row, min);
  const std::string maxText = max.empty() ? "" : BoundText(search, row, max);
  for (auto& v : row.values)
    v.selected = (!min.empty() && (v.data == min || v.text == minText)) ||
                 (!max.empty() && (v.data == max || v.text == maxText));
}

Hidden HiddenByFilters(mirel_SbF::Search& search, bool standardOnly, bool reduce, int32_t matching) {
  const bool advanced = search.ExcludeAdvancedVehicles(), old = search.ExcludeOldVehicles(),
             built = search.ExcludeBuiltVehicles();
  Hidden hidden;
  if (!advanced && !old && !built) return hidden;
  struct Restore {
    mirel_SbF::Search& s;
    bool advanced, old, built;
    ~Restore() {
      s.ExcludeAdvancedVehicles(advanced);
      s.ExcludeOldVehicles(old);
      s.ExcludeBuiltVehicles(built);
    }
  } restore{search, advanced, old, built};
  // Each filter that is on, alone off; then all of them off.
  auto without = [&](bool a, bool o, bool b) {
    search.ExcludeAdvancedVehicles(a);
    search.ExcludeOldVehicles(o);
    search.ExcludeBuiltVehicles(b);
    return search.GetNumberOfMatchingVehicles(standardOnly, reduce) - matching;
  };
  if (advanced) hidden.advanced = without(false, old, built);
  if (old) hidden.old = without(advanced, false, built);
  if (built) hidden.built = without(advanced, old, false);
  hidden.total = without(false, false, false);
  return hidden;
}


std::vector<Selection> SplitState(const std::string& state) {
  std::vector<Selection> selections;
  for (const auto& fields : StateGroups(state)) {
    if (fields[0] == kEitherOrMark) continue;
    Selection s;
    s.kind = fields[0] == "1" ? Selection::Range : Selection::Value;
    s.schema = fields[1];
    s.location = fields[2];
    s.schemaValue = fields[3];
    if (s.kind == Selection::Range) {
      s.min = fields[4];
      s.max = fields[5];
    } else {
      s.value = fields[4];
    }
    selections.push_back(std::move(s));
  }
  return selections;
}

std::vector<Criterion> EitherOrOf(const std::string& state) {
  std::vector<Criterion> marked;
  for (const auto& fields : StateGroups(state))
    if (fields[0] == kEitherOrMark) marked.push_back({fields[1], fields[2]});
  return marked;
}

std::string JoinState(const std::vector<Selection>& selections, const std::vector<Criterion>& eitherOr) {
  std::string state;
  for (const auto& c : eitherOr) {
    if (!state.empty()) state += "~";
    state += std::string(kEitherOrMark) + "~" + c.schema + "~" + c.location + "~~~";
  }
  for (const auto& s : selections) {
    if (!state.empty()) state += "~";
    const bool range = s.kind != Selection::Value;
    state += (range ? "1~" : "2~") + s.schema + "~" + s.location + "~" + s.schemaValue + "~";
    state += range ? s.min + "~" + s.max : s.value + "~";
  }
  return state;
}

void MarkPicks(mirel_SbF::Search& search, std::vector<Row>& rows, const std::vector<Selection>& state) {
  for (auto& row : rows) {
    if (row.range) {
      std::string min, max;
      for (const auto& s : state) {
        if (s.kind == Selection::Value || s.schema != row.schema || s.location != row.location ||
            s.schemaValue != row.schemaValue)
          continue;
        min = s.min == kNoBound ? "" : s.min;
        max = s.max == kNoBound ? "" : s.max;
      }
      MarkBounds(search, row, min, max);
      continue;
    }
    for (auto& v : row.values)
      v.selected = std::any_of(state.begin(), state.end(), [&](const Selection& s) {
        return s.kind == Selection::Value && s.schema == row.schema && s.location == row.location &&
               s.value == v.data;
      });
  }
}

}  // namespace sbf_host
