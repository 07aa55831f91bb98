#include "Command.h"

#include <algorithm>
#include <cstring>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>

namespace sbf {
namespace {

constexpr CommandInfo kCommands[] = {
    {"count", "the number of matching vehicles", true, false, ""},
    {"vehicles", "the matching vehicles (vehicle_id and the --sort columns)", true, true, ""},
    {"state", "the saved-state text of the selections given", false, false, ""},
    {"price", "AMOUNT FROM: the amount in every --currencies currency, formatted for --lang",
     false, false, "AMOUNT FROM"},
    {"headings", "the category headings in the --lang language", true, false, ""},
    {"search", "the search screen: every criteria row of --category (or all) with its values",
     true, false, ""},
};

int32_t ParseInt(const std::string& option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX)
    throw UsageError(option + " needs a whole number, not \"" + text + "\"");
  return static_cast<int32_t>(value);
}

// SCHEMA:LOCATION:SCHEMAVALUE:... split at every ":" into exactly `count` parts; empty
// parts stay (the schema value is usually empty, as in 7401:0::US).
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

std::span<const CommandInfo> Commands() { return kCommands; }

const CommandInfo* FindCommand(const std::string& name) {
  for (const auto& info : kCommands)
    if (name == info.name) return &info;
  return nullptr;
}

std::string Usage() {
  std::string text = "usage: sbf <command> [options]\n\ncommands:\n";
  for (const auto& info : kCommands) {
    std::string name = info.name;
    text += "  " + name + std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') +
            info.summary + "\n";
  }
  text += R"(
data (count and vehicles):
  --data DIR            folder with specs.db and prj.db (default data/sample)
  --conn TEXT           a whole connection string instead of --data,
                        e.g. "Provider=SQLite;Data Source=DIR"
  --specs NAME          specifications database name (default specs)
  --project NAME        project database name (default prj)
  --lang N              language id (default 1)
  --currencies LIST     currency codes, the first one primary (default USD)

filters (advanced, old and built vehicles are left out unless included):
  --include-advanced    keep advanced vehicles
  --include-old         keep old vehicles
  --include-built       keep built vehicles
  --oem LIST            maker groups to include (codes of item 117, comma-separated)
  --make LIST           makes to include (codes of item 111)
  --exclude-model LIST  models to leave out (codes of item 112)
  --segment N           vehicle segment id
  --standard-only       match standard equipment only
  --no-reduce           count and list without the selections

selections, applied in the order given (a --state text first):
  --value SCHEMA:LOCATION:SCHEMAVALUE:VALUE      a picked value
  --range SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX    a range
  --min SCHEMA:LOCATION:SCHEMAVALUE:MIN          a lower bound
  --max SCHEMA:LOCATION:SCHEMAVALUE:MAX          an upper bound
  --state TEXT          restore selections from a saved-state text
  (each part may be empty, e.g. 7401:0::US; each may be given many times)

output:
  --category NAME       search: one category (General, Engine, Body in the sample)
  --sort LIST           sort columns of the vehicle list (columns of version:
                        name, make, model, model_year, origin, price, ...)
  --json                machine-readable output (also for errors)
  -h, --help            this text

Options may also be written --name=VALUE.
Exit status: 0 done, 2 an error of the library or its data, 64 a bad command line.

examples:
  sbf count --value 7401:0::EU --range 135:0::70:100
  sbf vehicles --value 7401:0::JP --max 1104:0::2000 --sort name,model_year
  sbf state --value 7401:0::US --min 135:0::150
  sbf price 1234567.891 GBP --currencies GBP,EUR,USD --lang 3
  sbf search --category Engine --lang 3 --currencies EUR,USD --value 7401:0::EU
)";
  return text;
}

Command ParseCommand(const std::vector<std::string>& args) {
  Command c;
  auto selection = [&c](Selection::Kind kind, size_t count, const char* form) {
    return [&c, kind, count, form](const std::string& o, const std::string& v) {
      c.selections.push_back({kind, SplitSelection(o, v, count, form)});
    };
  };
  using Setter = std::function<void(const std::string& option, const std::string& value)>;
  struct Option {
    bool takesValue;
    Setter set;
  };
  auto text = [](std::string& field) {
    return Option{true, [&field](const std::string&, const std::string& v) { field = v; }};
  };
  auto optionalText = [](std::optional<std::string>& field) {
    return Option{true, [&field](const std::string&, const std::string& v) { field = v; }};
  };
  auto flag = [](bool& field) {
    return Option{false, [&field](const std::string&, const std::string&) { field = true; }};
  };
  const std::map<std::string, Option> options = {
      {"--data", text(c.data)},
      {"--conn", optionalText(c.conn)},
      {"--specs", text(c.specs)},
      {"--project", text(c.project)},
      {"--lang", {true, [&c](const std::string& o, const std::string& v) { c.language = ParseInt(o, v); }}},
      {"--currencies", text(c.currencies)},
      {"--include-advanced", flag(c.includeAdvanced)},
      {"--include-old", flag(c.includeOld)},
      {"--include-built", flag(c.includeBuilt)},
      {"--oem", optionalText(c.oem)},
      {"--make", optionalText(c.make)},
      {"--exclude-model", optionalText(c.excludeModel)},
      {"--segment", {true, [&c](const std::string& o, const std::string& v) { c.segment = ParseInt(o, v); }}},
      {"--standard-only", flag(c.standardOnly)},
      {"--no-reduce", flag(c.noReduce)},
      {"--state", optionalText(c.state)},
      {"--sort", text(c.sort)},
      {"--category", text(c.category)},
      {"--json", flag(c.json)},
      {"--help", flag(c.help)},
      {"-h", flag(c.help)},
      {"--value", {true, selection(Selection::Value, 4, "SCHEMA:LOCATION:SCHEMAVALUE:VALUE")}},
      {"--range", {true, selection(Selection::Range, 5, "SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX")}},
      {"--min", {true, selection(Selection::Min, 4, "SCHEMA:LOCATION:SCHEMAVALUE:MIN")}},
      {"--max", {true, selection(Selection::Max, 4, "SCHEMA:LOCATION:SCHEMAVALUE:MAX")}},
  };

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // "-12.5" is a negative amount, not an option.
    const bool negativeNumber = arg.size() > 1 && arg[0] == '-' && (std::isdigit(static_cast<unsigned char>(arg[1])) || arg[1] == '.');
    if (arg.size() > 1 && arg[0] == '-' && !negativeNumber) {
      const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
      const std::string name = arg.substr(0, equals);
      const auto found = options.find(name);
      if (found == options.end()) throw UsageError("unknown option " + name);
      const Option& option = found->second;
      std::string value;
      if (!option.takesValue) {
        if (equals != std::string::npos) throw UsageError(name + " takes no value");
      } else if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else {
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        value = args[++i];
      }
      option.set(name, value);
    } else if (c.name.empty()) {
      c.name = arg;
    } else {
      c.arguments.push_back(arg);
    }
  }
  if (c.help) return c;
  if (c.name.empty()) throw UsageError("no command given");
  const CommandInfo* info = FindCommand(c.name);
  if (!info) throw UsageError("unknown command \"" + c.name + "\"");
  const size_t wanted = std::string(info->arguments).empty()
                            ? 0
                            : static_cast<size_t>(std::count(info->arguments, info->arguments + std::strlen(info->arguments), ' ') + 1);
  if (c.arguments.size() != wanted) {
    if (wanted == 0)
      throw UsageError("unexpected argument \"" + c.arguments[0] + "\" (one command at a time)");
    throw UsageError(c.name + " needs " + info->arguments);
  }
  if (!c.sort.empty() && !info->takesSort)
    throw UsageError("--sort goes with the vehicles command only");
  return c;
}

}  // namespace sbf
