#include "Screen.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <mirel_SbF/mirel_SbF.h>

#include "Change.h"
#include "Words.h"

namespace sbf_web {

RequestError::RequestError(std::string text, int httpStatus)
    : std::runtime_error(text), description(std::move(text)), status(httpStatus) {}

RequestError::RequestError(int32_t errorNumber, std::string errorSource, std::string text)
    : std::runtime_error(text),
      library(true),
      number(errorNumber),
      source(std::move(errorSource)),
      description(std::move(text)),
      // The engine's own errors (a database that cannot be read, a query past its time) are
      // the server's failure, not the request's.
      status(source == mirel_base::kConnectorSource ? 500 : 400) {}

namespace {

using sbf_host::kNoBound;
using sbf_host::Selection;

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

// The category tabs, each with how many choices are of its rows; the current one (the
// first when none is asked for) checked against the catalog.
void ReadHeadings(const sbf_host::Catalog& catalog, const std::vector<Selection>& selections, Screen& screen) {
  for (const auto& category : catalog.categories) {
    Heading heading{category.heading, category.name, false, 0};
    for (const auto& s : selections)
      for (const auto& row : catalog.rows)
        if (row.category == category.name && row.schema == s.schema && row.location == s.location) {
          ++heading.choices;
          break;
        }
    screen.headings.push_back(std::move(heading));
  }
  if (screen.params.category.empty() && !screen.headings.empty()) screen.params.category = screen.headings.front().category;
  screen.params.category = sbf_host::ResolveCategory(catalog, screen.params.category);
  for (auto& heading : screen.headings) heading.current = heading.category == screen.params.category;
}

// The criteria rows of the current category, counted unless the server does not count,
// with the picks and a range's bounds as stored and as the user reads them.
void ReadRows(const Config& config, mirel_SbF::Search& search, const sbf_host::Catalog& catalog,
              const std::vector<Selection>& selections, Screen& screen) {
  search.CountVehicles(config.counts);
  search.KeepAllValues(config.counts);
  search.DoSearch(screen.params.standardOnly, screen.params.category, true);
  std::vector<sbf_host::Row> rows = sbf_host::ReadRows(search);
  sbf_host::MarkPicks(search, rows, selections);
  for (auto& hostRow : rows) {
    Row row;
    static_cast<sbf_host::Row&>(row) = std::move(hostRow);
    for (const auto& known : catalog.rows)
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

// Nothing matches: how many would without each choice, so that the user sees which to drop.
void CountWithout(const Prepared& p, mirel_SbF::Search& search, const std::vector<Selection>& selections,
                  Screen& screen) {
  const auto marks = search.EitherOrMarks();
  for (size_t i = 0; i < selections.size(); ++i) {
    std::vector<Selection> others = selections;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
    mirel_SbF::Search without;
    sbf_host::Configure(p.settings, p.catalog, without);
    sbf_host::SetChoices(without, others, marks);
    screen.choices[i].without = without.GetNumberOfMatchingVehicles(screen.params.standardOnly, true);
  }
}

}  // namespace

Params ApplyRequest(const Config& config, const Request& request) {
  return Answering(request, [&] {
    const mirel_base::ReadScope oneVersion;
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
    if (in.limit > config.maxLimit)
      throw RequestError("limit is at most " + std::to_string(config.maxLimit) + " vehicles, not " + std::to_string(in.limit));
    // The sort list may only name columns the table shows (they go into the query).
    const sbf_host::SortOrder sort = sbf_host::ParseSort(in.sort, config.columns);
    // Every call of the page reads one version of the data.
    const mirel_base::ReadScope oneVersion;
    Prepared p;
    Prepare(config, request, p);
    mirel_SbF::Search& search = *p.search;
    Screen screen;
    screen.params = in;
    screen.changed = request.change.kind != Change::None;
    screen.languages = p.catalog.languages;
    screen.currencyCodes = p.catalog.currencies;
    screen.storedCurrency = p.catalog.storedCurrency;
    screen.params.currencies = p.settings.currencies;
    screen.params.state = search.CurrentState();
    screen.params.hasState = true;
    if (screen.changed) screen.params.offset = 0;
    const std::vector<Selection> selections = sbf_host::ChoicesOf(search);
    const sbf_host::Words& w = sbf_host::WordsFor(in.language);
    screen.choices = ReadChoices(search, selections, p.catalog.rows, {w.from, w.to, w.upTo, w.any});
    ReadHeadings(p.catalog, selections, screen);
    if (!screen.params.category.empty()) ReadRows(config, search, p.catalog, selections, screen);
    screen.count = search.GetNumberOfMatchingVehicles(in.standardOnly, true);
    screen.hidden = sbf_host::HiddenByFilters(search, in.standardOnly, true, screen.count);
    if (screen.count == 0 && selections.size() > 1) CountWithout(p, search, selections, screen);
    screen.vehicles = sbf_host::ReadVehicleTable(search, p.catalog, config.columns, sort, in.standardOnly, true,
                                                 screen.params.offset, screen.params.limit, in.language);
    return screen;
  });
}

}  // namespace sbf_web
