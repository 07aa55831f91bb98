#include "Command.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

namespace sbf {
namespace {

int32_t ParseInt(const std::string& option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
    throw UsageError(option + " needs a whole number, not \"" + text + "\"");
  return static_cast<int32_t>(value);
}

// SCHEMA:LOCATION:SCHEMAVALUE:... split at every ":" into exactly `count` parts.
std::vector<std::string> SplitSelection(const std::string& option, const std::string& text,
                                        size_t count, const char* form) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(':', start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  if (parts.size() != count)
    throw UsageError(option + " needs " + form + " (" + std::to_string(count) +
                     " parts separated by \":\"), not \"" + text + "\"");
  return parts;
}

}  // namespace

const char* Usage() {
  return R"(usage: sbf <command> [options]

commands:
  count       the number of matching vehicles
  vehicles    the matching vehicles (vehicle_id and the --sort columns)
  state       the saved-state text of the selections given

data:
  --data DIR            folder with specs.db and prj.db (default data/sample)
  --conn TEXT           a whole connection string instead of --data
  --specs NAME          specifications database name (default specs)
  --project NAME        project database name (default prj)
  --lang N              language id (default 1)
  --currencies LIST     currency codes, the first one primary (default USD)

filters (old, built and advanced vehicles are left out unless included):
  --include-advanced    --include-old    --include-built
  --oem LIST            maker groups to include (codes of item 117)
  --make LIST           makes to include (codes of item 111)
  --exclude-model LIST  models to leave out (codes of item 112)
  --segment N           segment id
  --standard-only       count standard equipment only
  --no-reduce           ignore the selections

selections, applied in the order given (after --state):
  --value SCHEMA:LOCATION:SCHEMAVALUE:VALUE      a picked value
  --range SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX    a range
  --min SCHEMA:LOCATION:SCHEMAVALUE:MIN          a lower bound
  --max SCHEMA:LOCATION:SCHEMAVALUE:MAX          an upper bound
  --state TEXT          restore selections from a saved-state text

output:
  --sort LIST           sort columns of the vehicle list (columns of version)
  --json                machine-readable output
  --help                this text

example:
  sbf count --value 7401:0::EU --range 135:0::70:100
)";
}

Command ParseCommand(const std::vector<std::string>& args) {
  Command c;
  size_t i = 0;
  auto value = [&](const std::string& option) -> std::string {
    if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
    return args[++i];
  };
  const std::map<std::string, std::function<void(const std::string&)>> options = {
      {"--data", [&](const std::string& o) { c.data = value(o); }},
      {"--conn", [&](const std::string& o) { c.conn = value(o); }},
      {"--specs", [&](const std::string& o) { c.specs = value(o); }},
      {"--project", [&](const std::string& o) { c.project = value(o); }},
      {"--lang", [&](const std::string& o) { c.language = ParseInt(o, value(o)); }},
      {"--currencies", [&](const std::string& o) { c.currencies = value(o); }},
      {"--include-advanced", [&](const std::string&) { c.includeAdvanced = true; }},
      {"--include-old", [&](const std::string&) { c.includeOld = true; }},
      {"--include-built", [&](const std::string&) { c.includeBuilt = true; }},
      {"--oem", [&](const std::string& o) { c.oem = value(o); }},
      {"--make", [&](const std::string& o) { c.make = value(o); }},
      {"--exclude-model", [&](const std::string& o) { c.excludeModel = value(o); }},
      {"--segment", [&](const std::string& o) { c.segment = ParseInt(o, value(o)); }},
      {"--standard-only", [&](const std::string&) { c.standardOnly = true; }},
      {"--no-reduce", [&](const std::string&) { c.noReduce = true; }},
      {"--state", [&](const std::string& o) { c.state = value(o); }},
      {"--sort", [&](const std::string& o) { c.sort = value(o); }},
      {"--json", [&](const std::string&) { c.json = true; }},
      {"--help", [&](const std::string&) { c.help = true; }},
      {"--value", [&](const std::string& o) {
         c.selections.push_back({Selection::Value, SplitSelection(o, value(o), 4, "SCHEMA:LOCATION:SCHEMAVALUE:VALUE")});
       }},
      {"--range", [&](const std::string& o) {
         c.selections.push_back({Selection::Range, SplitSelection(o, value(o), 5, "SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX")});
       }},
      {"--min", [&](const std::string& o) {
         c.selections.push_back({Selection::Min, SplitSelection(o, value(o), 4, "SCHEMA:LOCATION:SCHEMAVALUE:MIN")});
       }},
      {"--max", [&](const std::string& o) {
         c.selections.push_back({Selection::Max, SplitSelection(o, value(o), 4, "SCHEMA:LOCATION:SCHEMAVALUE:MAX")});
       }},
  };
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) == 0) {
      auto found = options.find(arg);
      if (found == options.end()) throw UsageError("unknown option " + arg);
      found->second(arg);
    } else if (c.name.empty()) {
      c.name = arg;
    } else {
      throw UsageError("unexpected argument \"" + arg + "\"");
    }
  }
  if (c.help) return c;
  if (c.name.empty()) throw UsageError("no command given");
  if (c.name != "count" && c.name != "vehicles" && c.name != "state")
    throw UsageError("unknown command " + c.name);
  if (!c.sort.empty() && c.name != "vehicles") throw UsageError("--sort goes with vehicles only");
  return c;
}

}  // namespace sbf
