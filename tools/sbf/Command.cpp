#include "Command.h"

#include <algorithm>
#include <climits>
#include <map>

#include <CLI/CLI.hpp>

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

// The form of each selection option: its kind and the parts after SCHEMA:LOCATION:SCHEMAVALUE.
struct SelectionForm {
  const char* option;
  sbf_host::Selection::Kind kind;
  const char* form;
};
constexpr SelectionForm kSelectionForms[] = {
    {"--value", sbf_host::Selection::Value, "SCHEMA:LOCATION:SCHEMAVALUE:VALUE"},
    {"--range", sbf_host::Selection::Range, "SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX"},
    {"--min", sbf_host::Selection::Min, "SCHEMA:LOCATION:SCHEMAVALUE:MIN"},
    {"--max", sbf_host::Selection::Max, "SCHEMA:LOCATION:SCHEMAVALUE:MAX"},
};

// SCHEMA:LOCATION:SCHEMAVALUE:... split at every ":" into as many parts as the form has;
// empty parts stay (the schema value is usually empty, as in 7401:0::US).
sbf_host::Selection SplitSelection(const SelectionForm& f, const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(':', start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  const auto count = static_cast<size_t>(std::count(f.form, f.form + std::char_traits<char>::length(f.form), ':') + 1);
  if (parts.size() != count)
    throw UsageError(std::string(f.option) + " needs " + f.form + " (" + std::to_string(count) +
                     " parts separated by \":\"), not \"" + text + "\"");
  sbf_host::Selection s;
  s.kind = f.kind;
  s.schema = parts[0];
  s.location = parts[1];
  s.schemaValue = parts[2];
  switch (f.kind) {
    case sbf_host::Selection::Value: s.value = parts[3]; break;
    case sbf_host::Selection::Range: s.min = parts[3], s.max = parts[4]; break;
    case sbf_host::Selection::Min: s.min = parts[3]; break;
    case sbf_host::Selection::Max: s.max = parts[3]; break;
  }
  return s;
}

// SCHEMA[:LOCATION] of --either-or, the location 0 when left out. Both go into the state
// text and the statements: whole numbers only.
sbf_host::Criterion SplitCriterion(const std::string& text) {
  const size_t colon = text.find(':');
  sbf_host::Criterion c{text.substr(0, colon), colon == std::string::npos ? "0" : text.substr(colon + 1)};
  auto whole = [](const std::string& part) {
    const size_t digits = part.rfind('-', 0) == 0 ? 1 : 0;
    return part.size() > digits && part.find_first_not_of("0123456789", digits) == std::string::npos;
  };
  if (!whole(c.schema) || !whole(c.location))
    throw UsageError("--either-or needs SCHEMA or SCHEMA:LOCATION (whole numbers, e.g. 7401 or 7401:0), not \"" + text +
                     "\"");
  return c;
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
    const std::string name = info.name;
    text += "  " + name + std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') + info.summary + "\n";
  }
  text += R"(
data (count, vehicles, headings, search, price):
  --data DIR            folder with specs.db and prj.db (default data/sample)
  --conn TEXT           a whole connection string instead of --data,
                        e.g. "Provider=SQLite;Data Source=DIR"
  --specs NAME          specifications database name (default specs)
  --project NAME        project database name (default prj)
  --lang N              language id (default 1)
  --currencies LIST     currency codes, the first one primary (default USD); prices
                        are shown in it and price bounds are given in it

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
  --value SCHEMA:LOCATION:SCHEMAVALUE:VALUE      a picked value (its code, as sbf search shows)
  --range SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX    a range
  --min SCHEMA:LOCATION:SCHEMAVALUE:MIN          a lower bound
  --max SCHEMA:LOCATION:SCHEMAVALUE:MAX          an upper bound
  --state TEXT          restore selections from a saved-state text (its price bounds
                        are in the currency prices are stored in)
  --either-or SCHEMA[:LOCATION]
                        the values picked of this criterion widen the search (a vehicle
                        with any of them matches) instead of narrowing it; LOCATION is
                        0 when left out; may be given many times; kept in the state text
  (each part may be empty, e.g. 7401:0::US; each may be given many times; sbf search
  prints the option for every value and range)

output:
  --category NAME       search: one category, by name or heading (General, Engine, Body
                        in the sample)
  --counts              search: after each value and range step the number of matching
                        vehicles it leads to, e.g. Europe (29)
  --keep-all            search: also list the values no matching vehicle has, marked
                        [-] with (0) (implies --counts)
  --sort LIST           sort columns of the vehicle list (columns of version:
                        name, make, model, model_year, origin, price, ...)
  --json                machine-readable output (also for errors)
  -h, --help            this text

Options may also be written --name=VALUE.
Exit status: 0 done, 2 an error of the library or its data, 64 a bad command line or a
selection, category, language or currency the data does not have (the library was not
asked). sbf-web exits with the same codes.

examples:
  sbf count --value 7401:0::EU --range 135:0::70:100
  sbf vehicles --value 7401:0::JP --max 1104:0::2000 --sort name,model_year
  sbf state --value 7401:0::US --min 135:0::150
  sbf price 1234567.891 GBP --currencies GBP,EUR,USD --lang 3
  sbf search --category Motor --lang 3 --currencies EUR,USD --value 7401:0::EU
  sbf search --category General --keep-all --either-or 7401 --value 7401:0::EU --value 7401:0::JP
)";
  return text;
}

Command ParseCommand(const std::vector<std::string>& args) {
  Command c;
  CLI::App app("sbf", "sbf");
  app.set_help_flag("-h,--help");
  std::string lang, segment;
  app.add_option("command", c.name);
  app.add_option("arguments", c.arguments);
  app.add_option("--data", c.data);
  app.add_option("--conn", c.conn);
  app.add_option("--specs", c.settings.specs);
  app.add_option("--project", c.settings.project);
  app.add_option("--lang", lang);
  app.add_option("--currencies", c.settings.currencies);
  app.add_flag("--include-advanced", c.includeAdvanced);
  app.add_flag("--include-old", c.includeOld);
  app.add_flag("--include-built", c.includeBuilt);
  app.add_option("--oem", c.settings.oem);
  app.add_option("--make", c.settings.make);
  app.add_option("--exclude-model", c.settings.excludeModel);
  app.add_option("--segment", segment);
  app.add_flag("--standard-only", c.settings.standardOnly);
  app.add_flag("--no-reduce", c.noReduce);
  app.add_option("--state", c.state);
  app.add_option("--sort", c.sort);
  app.add_option("--category", c.category);
  app.add_flag("--json", c.json);
  app.add_flag("--counts", c.counts);
  app.add_flag("--keep-all", c.keepAll);
  std::vector<std::string> eitherOr;
  app.add_option("--either-or", eitherOr)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::map<const CLI::Option*, const SelectionForm*> forms;
  for (const auto& form : kSelectionForms) {
    auto* option = app.add_option(form.option)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    forms[option] = &form;
  }
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 reads from the back
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    c.help = true;
    return c;
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    // CLI11 reports an unknown option as an argument it did not expect.
    if (what.rfind("The following argument", 0) == 0) {
      const std::string extra = what.substr(what.find(':') + 2);
      what = (extra.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + extra;
    }
    throw UsageError(what);
  }

  // The selections in command-line order: CLI11 keeps each option's values and the order
  // in which options were met.
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* option : app.parse_order()) {
    const auto form = forms.find(option);
    if (form == forms.end()) continue;
    const size_t n = used[option]++;
    c.selections.push_back(SplitSelection(*form->second, option->results().at(n)));
  }
  auto wholeNumber = [](const char* option, const std::string& text) {
    size_t end = 0;
    long long value = 0;
    try {
      value = std::stoll(text, &end);
    } catch (const std::exception&) {
      end = std::string::npos;
    }
    if (text.empty() || end != text.size() || value < INT32_MIN || value > INT32_MAX)
      throw UsageError(std::string(option) + " needs a whole number, not \"" + text + "\"");
    return static_cast<int32_t>(value);
  };
  for (const auto& text : eitherOr) {
    const sbf_host::Criterion criterion = SplitCriterion(text);
    if (std::find(c.eitherOr.begin(), c.eitherOr.end(), criterion) == c.eitherOr.end()) c.eitherOr.push_back(criterion);
  }
  if (!lang.empty() || app.count("--lang")) c.settings.language = wholeNumber("--lang", lang);
  if (app.count("--segment")) c.settings.segment = wholeNumber("--segment", segment);

  if (c.name.empty()) throw UsageError("no command given");
  const CommandInfo* info = FindCommand(c.name);
  if (!info) throw UsageError("unknown command \"" + c.name + "\"");
  const std::string_view wanted = info->arguments;
  const size_t count = wanted.empty() ? 0 : static_cast<size_t>(std::count(wanted.begin(), wanted.end(), ' ') + 1);
  if (c.arguments.size() != count) {
    if (count == 0) throw UsageError("unexpected argument \"" + c.arguments[0] + "\" (one command at a time)");
    throw UsageError(c.name + " needs " + info->arguments);
  }
  if (!c.sort.empty() && !info->takesSort) throw UsageError("--sort goes with the vehicles command only");
  for (const char* option : {"--counts", "--keep-all"})
    if (app.count(option) && c.name != "search") throw UsageError(std::string(option) + " goes with the search command only");
  return c;
}

}  // namespace sbf
