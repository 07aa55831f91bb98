// The parameters of a screen as an address carries them, and the one change a request
// may ask for: read from cpp-httplib's parsed query parameters, and written back as the
// query text of a link.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <httplib.h>

namespace sbf_web {

// The parameters every link and form of a screen carries, so that a URL alone restores
// the screen. Names in the query: state, cat, lang, cur, std, fmt, incl, sort, offset,
// limit. Other parameters (a shared link's utm_source, ...) are ignored.
struct Params {
  std::string state;               // the library's saved-state text of the choices
  bool hasState = false;           // false: the first screen's (rows whose values exclude
                                   // each other either-or, no choices)
  std::string category;            // category name; empty: the first heading's
  int32_t language = 1;
  std::string currencies = "USD";  // comma-separated, the first one primary; the stored
                                   // currency is added when missing
  bool standardOnly = false;       // vehicles whose chosen equipment is standard
  bool todays = true;              // fmt=today (the default) or fmt=windows
  bool includeAdvanced = false, includeOld = false, includeBuilt = false;  // incl=advanced,old,built
  std::string sort;                // comma-separated columns of Config::columns; a leading
                                   // "-" sorts the first one descending
  size_t offset = 0;               // the first vehicle of the page (0-based)
  size_t limit = 50;               // vehicles per page, 1 to Config::maxLimit
};

// The one change a request asks for (query parameter op, with schema, loc, sv, value,
// min and max as the change needs them).
struct Change {
  enum Kind { None, Pick, Unpick, Set, Min, Max, Range, Clear, EitherOr } kind = None;
  std::string schema, location, schemaValue;
  std::string value;                // Pick, Unpick: the value; Min, Max: the bound, empty clears it;
                                    // EitherOr: "1" marks the criterion, "0" or empty unmarks it
  std::vector<std::string> values;   // Set: the values of `offered` that are picked now
  std::vector<std::string> offered;  // Set: the values the row showed (others stay as they are)
  std::string min, max;             // Range: both bounds, empty for none
  std::string typedMin, typedMax;   // Range: amounts typed in the page's language (tmin,
                                    // tmax), which win over min and max when given
};

// A bound the form sends back unchanged: "=" and the bound as stored, so that a bound in
// another currency than the ladder's is kept exactly.
inline constexpr char kStoredBound = '=';

struct Request {
  Params params;
  Change change;
};

// A request's query parameters (cpp-httplib's, decoded) -> Request. Repeated parameters
// (but value and off of a set, and incl), a language that is no number and an incomplete
// change are RequestErrors (Screen.h). Parameters the page does not know are ignored.
Request ParseRequest(const httplib::Request& request);

// The query text that restores `params` (and, with a change, applies it on top).
std::string QueryOf(const Params& params, const Change& change = {});

}  // namespace sbf_web
