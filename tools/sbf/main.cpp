// sbf: ask the library how many vehicles, and which, match filters and selections; print
// the saved-state text of selections. Exit codes: 0 done, 2 an error of the library or
// its data, 64 a bad command line.
#include <filesystem>
#include <iostream>

#include <mirel_SbF/mirel_SbF.h>

#include "Command.h"
#include "Output.h"

namespace {

constexpr int kLibraryFailure = 2;
constexpr int kUsageFailure = 64;

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

// Settings and filters of the command; throws a data error for a missing sample folder.
void Configure(const sbf::Command& c, mirel_SbF::Search& search) {
  std::string conn;
  if (c.conn) {
    conn = *c.conn;
  } else {
    const std::filesystem::path specs = std::filesystem::path(c.data) / (c.specs + ".db");
    if (!std::filesystem::exists(specs))
      throw std::runtime_error("no " + specs.string() + ": build the sample first with ./sample.sh (or sampledb cars --cars node_modules/vega-datasets/data/cars.json --out " + c.data + ")");
    conn = "Provider=SQLite;Data Source=" + c.data;
  }
  search.SetDatabaseInfo(conn, c.specs, c.project, c.language, c.currencies);
  if (c.includeAdvanced) search.ExcludeAdvancedVehicles(false);
  if (c.includeOld) search.ExcludeOldVehicles(false);
  if (c.includeBuilt) search.ExcludeBuiltVehicles(false);
  if (c.oem) search.OEMInclusionList(*c.oem);
  if (c.make) search.MakeInclusionList(*c.make);
  if (c.excludeModel) search.ModelExclusionList(*c.excludeModel);
  if (c.segment) search.SegmentId(*c.segment);
}

void Count(const sbf::Command& c, mirel_SbF::Search& search) {
  const int32_t n = search.GetNumberOfMatchingVehicles(c.standardOnly, !c.noReduce);
  if (c.json) {
    std::cout << "{\"count\":" << n << "}\n";
  } else {
    std::cout << n << (n == 1 ? " vehicle matches\n" : " vehicles match\n");
  }
}

void Vehicles(const sbf::Command& c, mirel_SbF::Search& search) {
  auto rs = search.GetMatchingVehicles(c.standardOnly, !c.noReduce, c.sort);
  sbf::PrintRecords(std::cout, *rs, c.json);
}

void State(const sbf::Command& c, mirel_SbF::Search& search) {
  const std::string state = search.CurrentState();
  if (c.json) {
    std::cout << "{\"state\":" << sbf::JsonString(state) << "}\n";
  } else {
    std::cout << state << "\n";
  }
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
    mirel_SbF::Search search;
    if (command.name != "state") Configure(command, search);
    ApplySelections(command, search);
    if (command.name == "count") Count(command, search);
    if (command.name == "vehicles") Vehicles(command, search);
    if (command.name == "state") State(command, search);
    return 0;
  } catch (const mirel_SbF::Error& e) {
    std::cerr << "error " << sbf::HexNumber(e.Number()) << " (" << e.Source()
              << "): " << e.Description() << "\n";
    if (command.json)
      std::cout << "{\"error\":{\"number\":" << e.Number() << ",\"hex\":\""
                << sbf::HexNumber(e.Number()) << "\",\"source\":" << sbf::JsonString(e.Source())
                << ",\"description\":" << sbf::JsonString(e.Description()) << "}}\n";
  } catch (const std::exception& e) {
    std::cerr << "sbf: " << e.what() << "\n";
  }
  return kLibraryFailure;
}
