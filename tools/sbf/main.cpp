// sbf: ask the library how many vehicles, and which, match filters and selections; print
// the saved-state text of selections. Exit codes: 0 done, 2 an error of the library or
// its data, 64 a bad command line (nothing was asked of the library).
#include <filesystem>
#include <iostream>
#include <map>
#include <stdexcept>

#include <mirel_SbF/mirel_SbF.h>

#include "Command.h"
#include "Output.h"
// The price command shows the library's own currency conversion and formatting, which
// hosts otherwise only see inside the criteria lists.
#include "pricing/Pricing.h"

namespace {

constexpr int kLibraryFailure = 2;
constexpr int kUsageFailure = 64;

// A problem with the data that sbf finds itself, before the library is asked.
struct DataError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void ApplySelections(const sbf::Command& c, mirel_SbF::Search& search) {
  if (c.state) search.CurrentState(*c.state);
  for (const auto& s : c.selections) {
    const auto& p = s.parts;
    switch (s.kind) {
      case sbf::Selection::Value: search.AddSelection(p[0], p[1], p[2], p[3]); break;
      case sbf::Selection::Range: search.AddMinMax(p[0], p[1], p[2], p[3], p[4]); break;
      case sbf::Selection::Min: search.AddMin(p[0], p[1], p[2], p[3]); break;
      case sbf::Selection::Max: search.AddMax(p[0], p[1], p[2], p[3]); break;
    }
  }
}

// The connection string: --conn as given, else the SQLite files of --data, which must exist.
std::string Connection(const sbf::Command& c) {
  if (c.conn) return *c.conn;
  namespace fs = std::filesystem;
  const std::string build =
      "build the sample databases with ./sample.sh in the source folder, or with\n"
      "  sampledb cars --cars node_modules/vega-datasets/data/cars.json --out " + c.data +
      "\n(or point --data at another folder)";
  std::error_code ec;
  if (!fs::is_directory(c.data, ec))
    throw DataError("the data folder " + c.data + " does not exist: " + build);
  for (const std::string& name : {c.specs, c.project}) {
    const fs::path file = fs::path(c.data) / (name + ".db");
    if (!fs::is_regular_file(file, ec))
      throw DataError("the data folder " + c.data + " has no " + file.filename().string() +
                      ": " + build);
  }
  return "Provider=SQLite;Data Source=" + c.data;
}

// Settings and filters; only the filters given on the command line are set, so the
// library's defaults stand otherwise.
void Configure(const sbf::Command& c, mirel_SbF::Search& search) {
  search.SetDatabaseInfo(Connection(c), c.specs, c.project, c.language, c.currencies);
  if (c.includeAdvanced) search.ExcludeAdvancedVehicles(false);
  if (c.includeOld) search.ExcludeOldVehicles(false);
  if (c.includeBuilt) search.ExcludeBuiltVehicles(false);
  if (c.oem) search.OEMInclusionList(*c.oem);
  if (c.make) search.MakeInclusionList(*c.make);
  if (c.excludeModel) search.ModelExclusionList(*c.excludeModel);
  if (c.segment) search.SegmentId(*c.segment);
}

// One function per command: each returns the whole output text.
std::string Count(const sbf::Command& c, mirel_SbF::Search& search) {
  const int32_t n = search.GetNumberOfMatchingVehicles(c.standardOnly, !c.noReduce);
  if (c.json) return "{\"count\":" + std::to_string(n) + "}\n";
  return std::to_string(n) + (n == 1 ? " vehicle matches\n" : " vehicles match\n");
}

std::string Vehicles(const sbf::Command& c, mirel_SbF::Search& search) {
  auto rs = search.GetMatchingVehicles(c.standardOnly, !c.noReduce, c.sort);
  return sbf::FormatRecords(*rs, c.json);
}

std::string State(const sbf::Command& c, mirel_SbF::Search& search) {
  const std::string state = search.CurrentState();
  return c.json ? "{\"state\":" + sbf::JsonString(state) + "}\n" : state + "\n";
}

std::string Price(const sbf::Command& c, mirel_SbF::Search&) {
  const std::string& amountText = c.arguments[0];
  char* end = nullptr;
  const double amount = std::strtod(amountText.c_str(), &end);
  if (amountText.empty() || *end != '\0') throw sbf::UsageError("AMOUNT must be a number, not \"" + amountText + "\"");
  mirel_SbF::Pricing pricing;
  pricing.InitPricing(c.currencies, Connection(c), c.project);
  const std::string text = pricing.FormatAllPrices(amount, c.arguments[1], c.language);
  return c.json ? "{\"price\":" + sbf::JsonString(text) + "}\n" : text + "\n";
}

std::string Headings(const sbf::Command& c, mirel_SbF::Search& search) {
  auto rs = search.GetSbFHeadings();
  return sbf::FormatRecords(*rs, c.json, "heading");
}

// The screen as a person reads it: the headings, each row's title and its values, the
// selected ones marked with [x], range rows as their ladder; or every property as JSON.
std::string Screen(const sbf::Command& c, mirel_SbF::Search& search) {
  search.DoSearch(c.standardOnly, c.category, !c.noReduce);
  const int32_t matching = search.GetNumberOfMatchingVehicles(c.standardOnly, !c.noReduce);
  std::string out;
  if (c.json) {
    out = "{\"matching\":" + std::to_string(matching) + ",\"rows\":[";
    bool firstRow = true;
    for (const auto& row : search) {
      out += firstRow ? "" : ",";
      firstRow = false;
      out += "{\"rowId\":" + std::to_string(row->RowId()) + ",\"orderId\":" + std::to_string(row->OrderId()) +
             ",\"category\":" + sbf::JsonString(row->Category()) + ",\"title\":" + sbf::JsonString(row->TitleText()) +
             ",\"schema\":" + sbf::JsonString(row->Schema()) + ",\"location\":" + sbf::JsonString(row->SchemaLocation()) +
             ",\"schemaValue\":" + sbf::JsonString(row->SchemaValue()) +
             ",\"multiSelectStyle\":" + std::to_string(row->MultiSelectStyle()) +
             ",\"minMax\":" + (row->IsMinMax() ? "true" : "false") + ",\"values\":[";
      bool firstValue = true;
      for (const auto& v : *row) {
        out += firstValue ? "" : ",";
        firstValue = false;
        out += "{\"text\":" + sbf::JsonString(v->FullText()) + ",\"value\":" + sbf::JsonString(v->DataValue()) +
               ",\"selected\":" + (v->IsSelected() ? "true" : "false") + "}";
      }
      out += "]}";
    }
    return out + "]}\n";
  }
  std::string category;
  for (const auto& row : search) {
    if (row->Category() != category) {
      category = row->Category();
      out += "\n== " + category + " ==\n";
    }
    out += row->TitleText() + (row->IsMinMax() ? " (from ... to)" : "") + ":\n ";
    size_t width = 1;
    for (const auto& v : *row) {
      std::string item = " " + std::string(v->IsSelected() ? "[x] " : "") + v->FullText();
      if (width + item.size() > 100) {
        out += "\n ";
        width = 1;
      }
      out += item;
      width += item.size();
    }
    out += "\n";
  }
  out += "\n" + std::to_string(matching) + (matching == 1 ? " vehicle matches\n" : " vehicles match\n");
  return out;
}

using CommandFunction = std::string (*)(const sbf::Command&, mirel_SbF::Search&);
const std::map<std::string, CommandFunction> kRun = {
    {"count", Count},
    {"vehicles", Vehicles},
    {"state", State},
    {"price", Price},
    {"headings", Headings},
    {"search", Screen},
};

int Run(const sbf::Command& command) {
  const sbf::CommandInfo* info = sbf::FindCommand(command.name);
  const auto run = kRun.find(command.name);
  if (!info || run == kRun.end()) throw std::logic_error("no function for " + command.name);
  mirel_SbF::Search search;
  if (info->needsDatabase) Configure(command, search);
  ApplySelections(command, search);
  std::cout << run->second(command, search) << std::flush;
  if (!std::cout) {
    std::cerr << "sbf: cannot write the output\n";
    return kLibraryFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  sbf::Command command;
  try {
    command = sbf::ParseCommand(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const sbf::UsageError& e) {
    std::cerr << "sbf: " << e.what() << "\n(sbf --help lists the commands and options)\n";
    return kUsageFailure;
  }
  if (command.help) {
    std::cout << sbf::Usage();
    return 0;
  }
  try {
    return Run(command);
  } catch (const sbf::UsageError& e) {
    std::cerr << "sbf: " << e.what() << "\n(sbf --help lists the commands and options)\n";
    return kUsageFailure;
  } catch (const mirel_SbF::Error& e) {
    std::cerr << sbf::PlainError(e);
    if (command.json) std::cout << sbf::JsonError(e);
  } catch (const std::exception& e) {
    std::cerr << "sbf: " << e.what() << "\n";
    if (command.json) std::cout << sbf::JsonError(e.what());
  }
  return kLibraryFailure;
}
