// sbf: ask the library how many vehicles, and which, match filters and selections; print
// the saved-state text of selections. Exit codes: 0 done, 2 an error of the library or
// its data, 64 a bad command line or a request the data cannot answer (nothing was asked
// of the library).
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <stdexcept>

#include <mirel_SbF/mirel_SbF.h>

#include "Command.h"
#include "Json.h"
#include "Output.h"
#include "Request.h"
// The price command shows the library's own currency conversion and formatting, which
// hosts otherwise only see inside the criteria lists.
#include "pricing/Pricing.h"

namespace {

// A problem with the data that sbf finds itself, before the library is asked.
struct DataError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The connection string: --conn as given, else the SQLite files of --data, which must exist.
std::string Connection(const sbf::Command& c) {
  if (c.conn) return *c.conn;
  namespace fs = std::filesystem;
  const std::string build =
      "build the sample databases with ./sample.sh in the source folder, or with\n"
      "  sampledb cars --cars node_modules/vega-datasets/data/cars.json --out " + c.data +
      "\n(or point --data at another folder)";
  std::error_code ec;
  if (!fs::is_directory(c.data, ec)) throw DataError("the data folder " + c.data + " does not exist: " + build);
  for (const std::string& name : {c.settings.specs, c.settings.project}) {
    const fs::path file = fs::path(c.data) / (name + ".db");
    if (!fs::is_regular_file(file, ec))
      throw DataError("the data folder " + c.data + " has no " + file.filename().string() + ": " + build);
  }
  return "Provider=SQLite;Data Source=" + c.data;
}

// Everything one command needs: the search with settings, filters and selections applied,
// and for the commands on data the catalog they were checked against.
struct Prepared {
  mirel_SbF::Search search;
  sbf_host::Catalog catalog;
  std::string category;
};

void Prepare(const sbf::Command& c, bool onData, Prepared& p) {
  if (onData) {
    sbf_host::Settings settings = c.settings;
    settings.connection = Connection(c);
    p.catalog = sbf_host::LoadCatalog(settings);
    p.category = sbf_host::ResolveCategory(p.catalog, c.category);
    for (const auto& s : c.selections) sbf_host::CheckSelection(p.catalog, s);
    for (const auto& criterion : c.eitherOr) sbf_host::CheckEitherOr(p.catalog, criterion);
    sbf_host::Configure(settings, p.catalog, p.search);
    if (c.includeAdvanced) p.search.ExcludeAdvancedVehicles(false);
    if (c.includeOld) p.search.ExcludeOldVehicles(false);
    if (c.includeBuilt) p.search.ExcludeBuiltVehicles(false);
  }
  if (c.state) p.search.CurrentState(*c.state);
  // After the state text, which replaces the marks with its own.
  for (const auto& criterion : c.eitherOr) p.search.EitherOr(criterion.schema, criterion.location, true);
  for (const auto& s : c.selections) {
    if (onData) {
      sbf_host::Apply(p.search, s);
      continue;
    }
    // Without data there are no rates: the selections go in as given.
    switch (s.kind) {
      case sbf_host::Selection::Value: p.search.AddSelection(s.schema, s.location, s.schemaValue, s.value); break;
      case sbf_host::Selection::Range: p.search.AddMinMax(s.schema, s.location, s.schemaValue, s.min, s.max); break;
      case sbf_host::Selection::Min: p.search.AddMin(s.schema, s.location, s.schemaValue, s.min); break;
      case sbf_host::Selection::Max: p.search.AddMax(s.schema, s.location, s.schemaValue, s.max); break;
    }
  }
}

std::string MatchLine(const sbf::Command& c, mirel_SbF::Search& search, int32_t n) {
  std::string line = std::to_string(n) + (n == 1 ? " vehicle matches" : " vehicles match");
  const int32_t hidden = sbf_host::HiddenByFilters(search, c.settings.standardOnly, !c.noReduce, n);
  if (hidden > 0) {
    std::vector<std::string> kinds, options;
    if (search.ExcludeAdvancedVehicles()) kinds.push_back("advanced"), options.push_back("--include-advanced");
    if (search.ExcludeOldVehicles()) kinds.push_back("old"), options.push_back("--include-old");
    if (search.ExcludeBuiltVehicles()) kinds.push_back("built"), options.push_back("--include-built");
    line += " (" + std::to_string(hidden) + " more " + (hidden == 1 ? "is " : "are ") +
            sbf_host::JoinWords(kinds) + ": " + sbf_host::JoinWords(options) + ")";
  }
  return line + "\n";
}

// One function per command: each returns the whole output text.
std::string Count(const sbf::Command& c, Prepared& p) {
  const int32_t n = p.search.GetNumberOfMatchingVehicles(c.settings.standardOnly, !c.noReduce);
  if (c.json) return "{\"count\":" + std::to_string(n) + "}\n";
  return MatchLine(c, p.search, n);
}

std::string Vehicles(const sbf::Command& c, Prepared& p) {
  auto rs = p.search.GetMatchingVehicles(c.settings.standardOnly, !c.noReduce, c.sort);
  return sbf::FormatRecords(*rs, c.json);
}

std::string State(const sbf::Command& c, Prepared& p) {
  const std::string state = p.search.CurrentState();
  return c.json ? sbf_host::Dump({{"state", state}}) : state + "\n";
}

std::string Price(const sbf::Command& c, Prepared&) {
  const std::string& amountText = c.arguments[0];
  char* end = nullptr;
  const double amount = std::strtod(amountText.c_str(), &end);
  if (amountText.empty() || *end != '\0') throw sbf::UsageError("AMOUNT must be a number, not \"" + amountText + "\"");
  mirel_SbF::Pricing pricing;
  pricing.InitPricing(c.settings.currencies, Connection(c), c.settings.project);
  const std::string text = pricing.FormatAllPrices(amount, c.arguments[1], c.settings.language);
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
  p.search.DoSearch(c.settings.standardOnly, p.category, !c.noReduce);
  std::vector<sbf_host::Row> rows = sbf_host::ReadRows(p.search);
  sbf_host::MarkPicks(p.search, rows, sbf_host::SplitState(p.search.CurrentState()));
  const int32_t matching = p.search.GetNumberOfMatchingVehicles(c.settings.standardOnly, !c.noReduce);
  std::string out = sbf::FormatScreen(rows, matching, c.json);
  if (!c.json) out.replace(out.rfind('\n', out.size() - 2) + 1, std::string::npos, MatchLine(c, p.search, matching));
  return out;
}

using CommandFunction = std::string (*)(const sbf::Command&, Prepared&);
const std::map<std::string, CommandFunction> kRun = {
    {"count", Count}, {"vehicles", Vehicles}, {"state", State},
    {"price", Price}, {"headings", Headings}, {"search", Screen},
};

int Run(const sbf::Command& command) {
  const sbf::CommandInfo* info = sbf::FindCommand(command.name);
  const auto run = kRun.find(command.name);
  if (!info || run == kRun.end()) throw std::logic_error("no function for " + command.name);
  Prepared prepared;
  Prepare(command, info->needsDatabase, prepared);
  std::cout << run->second(command, prepared) << std::flush;
  if (!std::cout) {
    std::cerr << "sbf: cannot write the output\n";
    return sbf_host::kExitLibrary;
  }
  return 0;
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
    std::cerr << "sbf: " << e.what() << "\n";
    if (json) std::cout << sbf::JsonError("sbf", e.what());
  }
  return sbf_host::kExitLibrary;
}
