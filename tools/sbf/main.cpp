// sbf: ask the library how many vehicles, and which, match filters and selections; print
// the saved-state text of selections; write the engine's index file. Exit codes: 0 done,
// 1 index --check found no usable index file, 2 an error of the library or its data, 64 a bad command line or a request the data cannot answer (nothing was asked
// of the library).
#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>
#include <stdexcept>
#include <tuple>

#include <mirel_SbF/mirel_SbF.h>

#include "Command.h"
#include "Json.h"
#include "Output.h"
#include "Request.h"
#include "Vehicles.h"
#include "Words.h"

namespace {

// Everything one command needs: the search with settings, filters and choices applied,
// and for the commands on data the catalog they were checked against.
struct Prepared {
  mirel_SbF::Search search;
  sbf_host::Catalog catalog;
  sbf_host::Settings settings;  // as the catalog fixed them (the stored currency added)
  std::string category;
  int status = 0;  // the exit status of a command that ran but found a fault to report (index --check)
};

void Prepare(const sbf::Command& c, bool onData, Prepared& p) {
  p.settings = c.settings;
  if (!onData) return;
  p.settings.connection = sbf_host::ConnectionOf(c.data);
  p.settings.specs = c.data.specs;
  p.settings.project = c.data.project;
  p.catalog = sbf_host::LoadCatalog(p.settings);
  p.category = sbf_host::ResolveCategory(p.catalog, c.category);
  // Everything is checked before the library gets anything: the state as its choices
  // would be, the marks, the choices.
  if (c.state) sbf_host::CheckState(p.catalog, *c.state);
  for (const auto& criterion : c.eitherOr) sbf_host::CheckEitherOr(p.catalog, criterion);
  for (const auto& criterion : c.allOf) sbf_host::CheckEitherOr(p.catalog, criterion);
  for (const auto& s : c.selections) sbf_host::CheckSelection(p.catalog, s);
  sbf_host::Configure(p.settings, p.catalog, p.search);
  // Without a state the rows whose values exclude each other are either-or, which matters
  // for the screen, the state and rows with value choices.
  const bool marksMatter = c.name == "search" || c.name == "state" ||
                           std::any_of(c.selections.begin(), c.selections.end(),
                                       [](const sbf_host::Selection& s) { return s.kind == sbf_host::Selection::Value; });
  if (c.state) p.search.CurrentState(*c.state);
  else if (marksMatter) p.search.CurrentState(sbf_host::DefaultState(p.settings, p.catalog));
  for (const auto& criterion : c.eitherOr) p.search.EitherOr(criterion.schema, criterion.location, true);
  for (const auto& criterion : c.allOf) p.search.EitherOr(criterion.schema, criterion.location, false);
  for (const auto& s : c.selections) sbf_host::Apply(p.search, s);
}

// "284 vehicles match", and what the default filters leave out with the options that show it.
std::string MatchLine(const sbf::Command& c, Prepared& p, int32_t n) {
  const sbf_host::Words& w = sbf_host::WordsFor(p.settings.language);
  std::string out = std::to_string(n) + " " + (n == 1 ? w.vehicleMatches : w.vehiclesMatch) + "\n";
  const sbf_host::Hidden hidden = sbf_host::HiddenByFilters(p.search, p.settings.standardOnly, !c.noReduce, n);
  if (hidden.total <= 0) return out;
  out += sbf_host::Fill(w.hidden, std::to_string(hidden.total)) + "\n";
  for (const auto& [count, option, words] : {std::tuple{hidden.advanced, "--include-advanced", w.advanced},
                                             std::tuple{hidden.old, "--include-old", w.old},
                                             std::tuple{hidden.built, "--include-built", w.built}})
    if (count > 0) out += "  " + std::string(option) + std::string(20 - std::strlen(option), ' ') + words + " (" +
                          std::to_string(count) + ")\n";
  return out;
}

// One function per command: each returns the whole output text.
std::string Count(const sbf::Command& c, Prepared& p) {
  const int32_t n = p.search.GetNumberOfMatchingVehicles(p.settings.standardOnly, !c.noReduce);
  if (c.json) return "{\"count\":" + std::to_string(n) + "}\n";
  return MatchLine(c, p, n);
}

std::string Vehicles(const sbf::Command& c, Prepared& p) {
  const sbf_host::SortOrder sort = sbf_host::ParseSort(c.sort, c.columns);
  const sbf_host::VehicleTable table =
      sbf_host::ReadVehicleTable(p.search, p.catalog, c.columns, sort, p.settings.standardOnly, !c.noReduce, c.offset,
                                 c.limit, p.settings.language);
  return sbf::FormatVehicles(table, sbf_host::WordsFor(p.settings.language), c.limit, c.json);
}

std::string State(const sbf::Command& c, Prepared& p) {
  const std::string state = p.search.CurrentState();
  return c.json ? sbf_host::Dump({{"state", state}}) : state + "\n";
}

// The library's own conversion and formatting, which hosts otherwise only see inside the
// criteria lists: the amount in every currency of the list, for the language.
std::string Price(const sbf::Command& c, Prepared& p) {
  p.search.TodaysConventions(c.settings.todaysConventions);
  p.search.SetDatabaseInfo(sbf_host::ConnectionOf(c.data), c.data.specs, c.data.project, c.settings.language,
                           c.settings.currencies);
  const std::string text = p.search.FormatAmount(c.amount, c.from);
  return c.json ? sbf_host::Dump({{"price", text}}) : text + "\n";
}

std::string Headings(const sbf::Command& c, Prepared& p) {
  auto rs = p.search.GetSbFHeadings();
  return sbf::FormatRecords(*rs, c.json, "heading");
}

// The screen as a person reads it, or every property as JSON.
std::string Screen(const sbf::Command& c, Prepared& p) {
  p.search.CountVehicles(c.counts || c.keepAll);
  p.search.KeepAllValues(c.keepAll);
  p.search.DoSearch(p.settings.standardOnly, p.category, !c.noReduce);
  std::vector<sbf_host::Row> rows = sbf_host::ReadRows(p.search);
  sbf_host::MarkPicks(p.search, rows, sbf_host::ChoicesOf(p.search));
  for (auto& row : rows)
    for (const auto& known : p.catalog.rows)
      if (known.rowId == row.rowId && known.orderId == row.orderId && known.schema == row.schema) row.label = known.label;
  const int32_t matching = p.search.GetNumberOfMatchingVehicles(p.settings.standardOnly, !c.noReduce);
  std::string out = sbf::FormatScreen(rows, p.catalog.categories, matching, sbf_host::WordsFor(p.settings.language), c.json);
  if (!c.json) out.replace(out.rfind('\n', out.size() - 2) + 1, std::string::npos, MatchLine(c, p, matching));
  return out;
}

// The index file the embedded engine reads instead of building every item's vehicle sets
// from the equipment table in a new process: written for the database as it is now (after
// every change of the database file), then checked as the engine will check it.
std::string Index(const sbf::Command& c, Prepared& p) {
  const std::string connection = sbf_host::ConnectionOf(c.data);
  if (!c.checkOnly) mirel_base::WriteIndexFile(c.data.specs, connection);
  const std::string why = mirel_base::CheckIndexFile(c.data.specs, connection);
  if (!why.empty()) p.status = 1;
  if (c.json)
    return sbf_host::Dump({{"database", c.data.specs}, {"written", !c.checkOnly}, {"used", why.empty()}, {"why", why}});
  if (!why.empty()) return why + "\n";
  return "The index file of " + c.data.specs + (c.checkOnly ? " is" : " is written and") +
         " used by the engine.\n";
}

using CommandFunction = std::string (*)(const sbf::Command&, Prepared&);
const std::map<std::string, CommandFunction> kRun = {
    {"count", Count}, {"vehicles", Vehicles}, {"state", State},
    {"price", Price}, {"headings", Headings}, {"search", Screen}, {"index", Index},
};

int Run(const sbf::Command& command) {
  const sbf::CommandInfo* info = sbf::FindCommand(command.name);
  const auto run = kRun.find(command.name);
  if (!info || run == kRun.end()) throw std::logic_error("no function for " + command.name);
  // All the calls of one command read one version of the data.
  const mirel_base::ReadScope oneVersion;
  Prepared prepared;
  Prepare(command, info->needsDatabase, prepared);
  std::cout << run->second(command, prepared) << std::flush;
  if (!std::cout) {
    std::cerr << "sbf: cannot write the output\n";
    return sbf_host::kExitLibrary;
  }
  return prepared.status;
}

int UsageFailure(const std::string& what, bool json) {
  std::cerr << "sbf: " << what << "\n(sbf --help lists the commands and options)\n";
  if (json) std::cout << sbf::JsonError("sbf", what);
  return sbf_host::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // --json is known before the line is parsed, so that a bad line is answered in JSON too.
  bool json = std::find(args.begin(), args.end(), "--json") != args.end();
  sbf::Command command;
  try {
    command = sbf::ParseCommand(args);
  } catch (const sbf::UsageError& e) {
    return UsageFailure(e.what(), json);
  }
  if (command.help) {
    std::cout << sbf::Usage();
    return 0;
  }
  json = command.json;
  try {
    return Run(command);
  } catch (const sbf::UsageError& e) {
    return UsageFailure(e.what(), json);
  } catch (const sbf_host::RequestError& e) {
    return UsageFailure(e.what(), json);
  } catch (const mirel_SbF::Error& e) {
    std::cerr << sbf::PlainError(e);
    if (json) std::cout << sbf::JsonError(e);
  } catch (const std::exception& e) {
    // A data folder that is not there, or a failure of the host itself.
    std::cerr << "sbf: " << e.what() << "\n";
    if (json) std::cout << sbf::JsonError("sbf", e.what());
  }
  return sbf_host::kExitLibrary;
}
