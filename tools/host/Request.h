// What the two hosts (sbf on the command line, sbf-web in a browser) share: the settings and
// selections a user asks for, the catalog of what the project offers, and one check of a
// request against that catalog before the library runs it. A request either host refuses
// gets the same words on both.
//
//   sbf_host::Catalog catalog = sbf_host::LoadCatalog(settings);   // checks the settings
//   sbf_host::CheckSelection(catalog, selection);                  // before applying it
//   sbf_host::Apply(search, selection);                            // price bounds converted
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <mirel_SbF/mirel_SbF.h>

namespace sbf_host {

// Exit codes of both hosts: a bad command line or request (nothing was asked of the
// library), and a failure of the library or its data.
inline constexpr int kExitUsage = 64;
inline constexpr int kExitLibrary = 2;

// A request that names something the project does not have, or asks for something that
// cannot be: the message names what is wrong and what would be right.
// `subject` and `known` let a host offer a way out (the project's languages, currencies).
struct RequestError : std::runtime_error {
  enum Subject { Other, Language, Currency };
  explicit RequestError(const std::string& what, Subject about = Other, std::vector<std::string> knownOnes = {})
      : std::runtime_error(what), subject(about), known(std::move(knownOnes)) {}
  Subject subject;
  std::vector<std::string> known;  // language ids or currency codes of the project
  std::string suggestion;          // Currency: a list that works, keeping what it can
};

struct Settings {
  std::string connection;
  std::string specs = "specs";
  std::string project = "prj";
  int32_t language = 1;
  std::string currencies = "USD";  // comma-separated, the first one primary
  // Standard equipment as a buyer means it: vehicles whose chosen equipment is standard
  // (the library's standard-equipment switch with Search::StandardChoices).
  bool standardOnly = false;
  bool todaysConventions = false;  // prices and numbers as written today (ICU), not as Windows XP
  // Filters; unset ones keep the library's defaults.
  std::optional<std::string> oem, make, excludeModel;  // code lists of items 117, 111, 112
  std::optional<int32_t> segment;
  // The vehicles the library leaves out by default, shown too.
  bool includeAdvanced = false, includeOld = false, includeBuilt = false;
};

// A selection as a user gives it. Bounds of a price item are amounts of the primary
// currency, as the ladder shows them; Apply converts them into the stored currency.
struct Selection {
  enum Kind { Value, Range, Min, Max } kind = Value;
  std::string schema, location, schemaValue;
  std::string value;     // Value
  std::string min, max;  // Range, Min, Max
};

struct Value {
  std::string text;  // as shown
  std::string data;  // the value the library matches on
  bool selected = false;
  int32_t count = -1;  // matching vehicles it leads to when the search counts, else -1
};

struct Row {
  int32_t rowId = 0, orderId = 0;
  std::string category, title, schema, location, schemaValue;
  std::string label;          // a part of a row of several items: its item's name, when the data has one
  bool range = false;
  bool eitherOr = false;      // the criterion's value choices widen the search
  std::vector<Value> values;  // range rows: the ladder
};

// A criterion marked either-or: its item and location, as the rows and the state name them.
struct Criterion {
  std::string schema, location;
  bool operator==(const Criterion&) const = default;
};

struct Category {
  std::string name;     // the name DoSearch takes
  std::string heading;  // as shown in the language
};

struct Language {
  int32_t id = 0;
  std::string name;  // in the language itself
};

// What the project offers in the settings' language, unreduced by any selection.
struct Catalog {
  std::vector<Language> languages;      // those with criterion titles
  std::vector<std::string> currencies;  // the project's currency codes
  std::string storedCurrency;           // the currency prices are stored in
  std::vector<Row> rows;                // every criteria row
  std::vector<Category> categories;     // in the order of the headings
  std::vector<int32_t> segments;
};

// Checks the language and the currencies against the project (RequestError naming the
// known ones), then reads the rest. The currency prices are stored in is added to the end
// of settings.currencies when it is missing: the library converts every price from it, and
// shows it too. The library's own errors pass as mirel_SbF::Error.
Catalog LoadCatalog(Settings& settings);

// SetDatabaseInfo, the switches and the filters that are set. RequestError for a filter
// code or a segment the data does not have (the codes are read only when a filter is given).
void Configure(const Settings& settings, const Catalog& catalog, mirel_SbF::Search& search);

// The list criteria whose values exclude each other (no vehicle in play carries two of them;
// judged by the counts: the vehicles of the values add up to the vehicles that have the item
// at all), of rows with more than one value: either-or by default, as people expect of such
// a row. Runs one counted screen and a count per such criterion.
std::vector<Criterion> ExclusiveCriteria(const Settings& settings, const Catalog& catalog);

// The state of a screen with no choices: the exclusive criteria marked either-or.
std::string DefaultState(const Settings& settings, const Catalog& catalog);

// The category for what the user typed: a category name or its heading in the language,
// without regard to case. Empty stays empty (all categories).
std::string ResolveCategory(const Catalog& catalog, const std::string& typed);

// RequestError unless the selection names an item and value the catalog offers: values
// on list rows (a value's shown text is pointed to its code), numeric bounds on range
// rows, min not above max.
void CheckSelection(const Catalog& catalog, const Selection& selection);

// RequestError unless the criterion names a row of values in the catalog: either-or widens
// value choices, so a range or an unknown item cannot be marked.
void CheckEitherOr(const Catalog& catalog, const Criterion& criterion);

// A state text (from an address or --state) checked as its choices would be, one by one:
// read by the library (a text it cannot read is refused in words), then each either-or mark
// by CheckEitherOr and each choice by CheckSelection (bounds as stored, "!!" for none).
// RequestError with the same words, so that nothing the state holds reaches the library
// unchecked.
void CheckState(const Catalog& catalog, const std::string& state);

// A bound as a number, when it has the one form the library puts into a statement (an
// optional minus, digits, optionally a point and digits).
bool ToNumber(const std::string& text, double& value);

// An amount as typed in the language ("5.000,5" in German, "5,000.5" or "5000.5" in English)
// as a plain decimal text ("5000.5"), read by ICU; RequestError naming `what` otherwise.
std::string ParseAmount(const std::string& typed, int32_t language, const std::string& what);

// Adds the selection to the search; bounds of a price item are converted from the primary
// currency into the stored one (Search::PriceBoundToStored).
void Apply(mirel_SbF::Search& search, const Selection& selection);

// A bound of the search's state (as stored) as the user reads it: the ladder's text for a
// value on the ladder, a price in the current currencies, else the bound itself.
std::string BoundText(mirel_SbF::Search& search, const Row& row, const std::string& stored);

// The choices a search holds (after CurrentState(text) or the add operations), as
// selections: ranges with their bounds as stored, "!!" for a side without one.
std::vector<Selection> ChoicesOf(const mirel_SbF::Search& search);
inline constexpr const char* kNoBound = "!!";

// Replaces the choices of `search` by `selections` (bounds as stored, "!!" or empty for
// none) and its either-or marks by `marks`, through the library's add operations, so that
// its CurrentState is the state of exactly those.
void SetChoices(mirel_SbF::Search& search, const std::vector<Selection>& selections,
                const std::vector<mirel_SbF::Search::EitherOrMark>& marks);

// Marks, in every row of the item alike, the values the state picks and the ladder values
// that are its bounds (whatever currency the ladder is shown in).
void MarkPicks(mirel_SbF::Search& search, std::vector<Row>& rows, const std::vector<Selection>& state);

// Marks the ladder values of a range row that are its bounds in the state (stored
// amounts; empty for none), in whatever currency the ladder is shown.
void MarkBounds(mirel_SbF::Search& search, Row& row, const std::string& min,
                const std::string& max);

// How many more vehicles would match without the filters that leave out advanced, old and
// built vehicles (those of them that are on), in all and without each alone (0 for one
// that is off); the search is left as it was.
struct Hidden {
  int32_t total = 0, advanced = 0, old = 0, built = 0;
};
Hidden HiddenByFilters(mirel_SbF::Search& search, bool standardOnly, bool reduce, int32_t matching);

// The rows of a search after DoSearch, as the hosts show them.
std::vector<Row> ReadRows(const mirel_SbF::Search& search);

// Reads a record set to its end and closes it, also when `row` throws; `row` returns false
// to stop early.
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

// A field as text; Null and Empty as "".
std::string Text(const mirel_SbF::Variant& value);

// "a, b" -> {"a", "b"}: the items of a comma-separated list, blanks around each removed,
// empty ones kept.
std::vector<std::string> SplitList(const std::string& text);

// "a, b and c"
std::string JoinWords(const std::vector<std::string>& words);

}  // namespace sbf_host
