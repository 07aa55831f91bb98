// The request -> screen logic of the web host, without any socket: a request's query
// parameters are read, a fresh Search is set up, the saved selections are restored from
// the state text, the request's one change is checked (sbf_host, the same check as sbf's)
// and applied, and the whole screen is read back. Nothing outlives the call: every Search
// and record set belongs to it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Params.h"
#include "Request.h"
#include "Vehicles.h"

namespace sbf_web {

// What the server was started with.
struct Config {
  std::string connection;          // e.g. "Provider=SQLite;Data Source=data/sample"
  std::string specs = "specs";     // specifications database name
  std::string project = "prj";     // project database name
  // The version columns the vehicle table shows (and may be sorted by).
  std::vector<std::string> columns = sbf_host::kDefaultColumns;
  size_t maxLimit = 1000;          // the most vehicles one page may show
  // Every value and range step with the number of matching vehicles it leads to, and the
  // values no matching vehicle has kept (greyed out, not offered) rather than left out.
  // sbf-web --no-counts turns it off.
  bool counts = true;
};

// A link to another screen that may help after an error.
struct Way {
  std::string text;
  Params params;
};

// A request that cannot be answered. `library` is set when the library raised the error
// (number, source and description are then the library's); otherwise the host found the
// problem itself and the source is "sbf-web". Status 400, or 500 for an error of the engine
// (source mirel_base.Connector).
struct RequestError : std::runtime_error {
  RequestError(std::string description, int status = 400);
  RequestError(int32_t number, std::string source, std::string description);

  bool library = false;
  int32_t number = 0;
  std::string source = "sbf-web";
  std::string description;
  int status = 400;
  bool badState = false;         // the state text could not be read
  std::string hint;              // what may help
  std::optional<Params> params;  // the request's screen parameters, when they were readable
  bool changeFailed = false;     // the request carried a change: params alone may work
  std::vector<Way> ways;         // other screens that keep the choices (e.g. other languages)
};

using sbf_host::Value;

struct Row : sbf_host::Row {
  std::string min, max;          // range rows: the bounds of the state as stored, empty for none
  std::string minText, maxText;  // ... as the user reads them, in the current currency
};

struct Heading {
  std::string text;      // in the screen's language
  std::string category;  // the name DoSearch takes
  bool current = false;
  int32_t choices = 0;   // how many of the choices are of its rows
};

using sbf_host::Language;

// A selection of the state as the user reads it, with the change that removes it.
struct Choice {
  std::string title;  // the criterion's title, or its schema id when no row has it
  std::string text;   // "Europe", "from 100 to 150"
  Change remove;
  int32_t without = -1;  // when nothing matches: the vehicles that match without it
};

struct Screen {
  Params params;          // after the change: state is the new state text
  bool changed = false;   // the request carried a change
  std::vector<Heading> headings;
  std::vector<Row> rows;  // the criteria rows of params.category, reduced by the choices
  std::vector<Choice> choices;
  int32_t count = 0;      // matching vehicles
  sbf_host::Hidden hidden;  // vehicles the default filters (advanced, old, built) leave out
  sbf_host::VehicleTable vehicles;                 // one page, params.offset on
  std::vector<Language> languages;                 // the project's languages
  std::vector<std::string> currencyCodes;          // the project's currencies
  std::string storedCurrency;                      // the one prices are stored in
};

// The parameters of the screen a change leads to: the change checked and applied, the new
// state in params.state. Builds nothing else (a pick answers with a redirect to them).
Params ApplyRequest(const Config& config, const Request& request);

// Builds the screen of one request. Throws RequestError for every failure (a library
// error included) and nothing else but std::bad_alloc and the like.
Screen BuildScreen(const Config& config, const Request& request);

}  // namespace sbf_web
