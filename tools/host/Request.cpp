// The catalog of a project (languages, currencies, rows, categories, segments), the
// settings applied to a search, and the rows either-or by default.
#include <algorithm>
#include <map>
#include <set>

#include "Internal.h"
#include "Request.h"
#include "Words.h"

namespace sbf_host {
namespace {

using detail::Contains;
using detail::SameWithoutCase;
using detail::Upper;

// A query of the host's own, a fixed text without any user input in it.
template <class F>
void Query(const Settings& settings, const std::string& database, const std::string& sql, F&& row) {
  mirel_base::Connector connector;
  ReadAll(connector.ExecuteQuery(sql, database, settings.connection), std::forward<F>(row));
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

// A whole number as a statement takes it: an optional minus and digits.
bool IsWhole(const std::string& text) {
  const size_t from = text.rfind('-', 0) == 0 ? 1 : 0;
  return text.size() > from && text.find_first_not_of("0123456789", from) == std::string::npos;
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
  // The vehicles the settings show, so that every value the screen offers is one the checks know.
  if (settings.includeAdvanced) all.ExcludeAdvancedVehicles(false);
  if (settings.includeOld) all.ExcludeOldVehicles(false);
  if (settings.includeBuilt) all.ExcludeBuiltVehicles(false);
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
  mirel_SbF::Search marked;
  for (const Criterion& c : ExclusiveCriteria(settings, catalog)) marked.EitherOr(c.schema, c.location, true);
  return marked.CurrentState();
}

}  // namespace sbf_host
