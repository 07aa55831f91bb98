#include "Command.h"

#include <algorithm>
#include <climits>
#include <map>
#include <tuple>

#include <CLI/CLI.hpp>

namespace sbf {
namespace {

constexpr CommandInfo kCommands[] = {
    {"count", "the number of matching vehicles", true, false, ""},
    {"vehicles", "the matching vehicles: names, makes, prices ... in the language (--columns, --sort)", true, true, ""},
    {"state", "the saved-state text of the choices given (checked against the data)", true, false, ""},
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

// SCHEMA[:LOCATION] of --either-or and --and, the location 0 when left out. Both go into the state
// text and the statements: whole numbers only.
sbf_host::Criterion SplitCriterion(const char* option, const std::string& text) {
  const size_t colon = text.find(':');
  sbf_host::Criterion c{text.substr(0, colon), colon == std::string::npos ? "0" : text.substr(colon + 1)};
  auto whole = [](const std::string& part) {
    const size_t digits = part.rfind('-', 0) == 0 ? 1 : 0;
    return part.size() > digits && part.find_first_not_of("0123456789", digits) == std::string::npos;
  };
  if (!whole(c.schema) || !whole(c.location))
    throw UsageError(std::string(option) + " needs SCHEMA or SCHEMA:LOCATION (whole numbers, e.g. 7401 or 7401:0), not \"" +
                     text + "\"");
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
data (every command but price needs it):
  --data DIR            folder with specs.db and prj.db (default data/sample)
  --connection TEXT     a whole connection string instead of --data, e.g.
                        "Provider=SQLite;Data Source=DIR" (--conn is the same)
  --specs NAME          specifications database name (default specs)
  --project NAME        project database name (default prj)
  --lang N              language id (default 1); headings, names and words in it
  --currencies LIST     currency codes, the first one primary (default USD); prices
                        are shown in it and price bounds are given in it. The currency
                        prices are stored in is added at the end when missing: every
                        price is converted from it, and shown in it too
  --today               prices and numbers as written today for the language
                        (5.000,00 €, ¥790,000) instead of as Windows XP wrote them
                        (€5.000,00, ¥790,000.00)

filters (models announced but not yet on sale, models no longer on sale and special
builds and conversions are left out unless included):
  --include-advanced    also models announced but not yet on sale
  --include-old         also models no longer on sale
  --include-built       also special builds and conversions
  --oem LIST            maker groups to include (codes of item 117, comma-separated)
  --make LIST           makes to include (codes of item 111)
  --exclude-model LIST  models to leave out (codes of item 112)
  --segment N           vehicle segment id
  --standard-only       vehicles whose chosen equipment is standard, not an option;
                        the screen then lists and counts standard equipment only
  --no-reduce           count, list and draw the screen without the choices; a
                        value's count is then of the vehicles that have it

choices, applied in the order given:
  --value SCHEMA:LOCATION:SCHEMAVALUE:VALUE      a picked value (its code, as sbf search shows)
  --range SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX    a range
  --min SCHEMA:LOCATION:SCHEMAVALUE:MIN          a lower bound
  --max SCHEMA:LOCATION:SCHEMAVALUE:MAX          an upper bound
  (each part may be empty, e.g. 7401:0::US; each may be given many times; sbf search
  prints the option for every value and range)
  --state TEXT          start from a saved-state text instead (checked as the same
                        choices given one by one; its price bounds are in the
                        currency prices are stored in)

rows of values: a row whose values exclude each other (no vehicle has two of them, as
with origin or make) is either-or: picking Europe and Japan gives the vehicles of either,
and each value is counted without the row's own picks. In any other row every picked
value must be there. A --state text says itself which rows are either-or.
  --either-or SCHEMA[:LOCATION]
                        make a row either-or (LOCATION 0 when left out; repeatable)
  --and SCHEMA[:LOCATION]
                        make a row need all picked values (repeatable)

output:
  --category NAME       search: one category, by name or heading (General, Engine, Body
                        in the sample)
  --counts              search: after each value the number of matching vehicles it
                        leads to when picked (Europe (29)); after a range step those
                        from it up to the next step
  --keep-all            search: also list the values no matching vehicle has, marked
                        [-] with (0) (implies --counts)
  --columns LIST        vehicles: columns of version to show (default
                        name,make,model,model_year,origin,price)
  --sort LIST           vehicles: sort by these columns; "-price" sorts the first one
                        descending; vehicles without a value come last either way
                        (default: the columns in their order)
  --limit N, --offset N vehicles: N rows at most, after skipping N rows
  --json                machine-readable output (also for errors)
  -h, --help            this text

Options may also be written --name=VALUE.
Exit status: 0 done, 2 an error of the library or its data (a missing data folder
too), 64 a bad command line or a choice, category, language or currency the data does
not have (the library was not asked). sbf-web exits with the same codes.

examples:
  sbf count --value 7401:0::EU --range 135:0::70:100
  sbf vehicles --value 7401:0::JP --max 1104:0::2000 --sort -price --limit 10
  sbf state --value 7401:0::US --min 135:0::150
  sbf price 1234567.891 GBP --currencies GBP,EUR,USD --lang 3 --today
  sbf search --category Motor --lang 3 --currencies EUR --value 7401:0::EU
  sbf search --category General --counts --value 7401:0::EU --value 7401:0::JP
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
  app.add_option("--connection,--conn", c.connection);
  app.add_option("--specs", c.settings.specs);
  app.add_option("--project", c.settings.project);
  app.add_option("--lang", lang);
  app.add_option("--currencies", c.settings.currencies);
  app.add_flag("--include-advanced", c.settings.includeAdvanced);
  app.add_flag("--include-old", c.settings.includeOld);
  app.add_flag("--include-built", c.settings.includeBuilt);
  app.add_flag("--today", c.settings.todaysConventions);
  std::string columns, limit, offset;
  app.add_option("--columns", columns);
  app.add_option("--limit", limit);
  app.add_option("--offset", offset);
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
  std::vector<std::string> eitherOr, allOf;
  app.add_option("--either-or", eitherOr)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--and", allOf)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
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
  for (const auto& [texts, into, option] : {std::tuple{&eitherOr, &c.eitherOr, "--either-or"},
                                             std::tuple{&allOf, &c.allOf, "--and"}}) {
    for (const auto& text : *texts) {
      const sbf_host::Criterion criterion = SplitCriterion(option, text);
      if (std::find(into->begin(), into->end(), criterion) == into->end()) into->push_back(criterion);
    }
  }
  for (const auto& criterion : c.eitherOr)
    if (std::find(c.allOf.begin(), c.allOf.end(), criterion) != c.allOf.end())
      throw UsageError("row " + criterion.schema + ":" + criterion.location + " is given both --either-or and --and");
  if (!lang.empty() || app.count("--lang")) c.settings.language = wholeNumber("--lang", lang);
  if (app.count("--segment")) c.settings.segment = wholeNumber("--segment", segment);
  auto rows = [&](const char* option, const std::string& text) {
    const int32_t n = wholeNumber(option, text);
    if (n < 0) throw UsageError(std::string(option) + " needs a number of rows (0 or more), not \"" + text + "\"");
    return static_cast<size_t>(n);
  };
  if (app.count("--limit")) c.limit = rows("--limit", limit);
  if (app.count("--offset")) c.offset = rows("--offset", offset);
  if (app.count("--columns")) {
    c.columns = sbf_host::SplitList(columns);
    for (const auto& column : c.columns)
      if (column.empty()) throw UsageError("--columns has an empty column name: \"" + columns + "\"");
  }

  if (c.name.empty()) throw UsageError("no command given");
  const CommandInfo* info = FindCommand(c.name);
  if (!info) throw UsageError("unknown command \"" + c.name + "\"");
  const std::string_view wanted = info->arguments;
  const size_t count = wanted.empty() ? 0 : static_cast<size_t>(std::count(wanted.begin(), wanted.end(), ' ') + 1);
  if (c.arguments.size() != count) {
    if (count == 0) throw UsageError("unexpected argument \"" + c.arguments[0] + "\" (one command at a time)");
    throw UsageError(c.name + " needs " + info->arguments);
  }
  for (const char* option : {"--sort", "--columns", "--limit", "--offset"})
    if (app.count(option) && !info->takesSort) throw UsageError(std::string(option) + " goes with the vehicles command only");
  for (const char* option : {"--counts", "--keep-all"})
    if (app.count(option) && c.name != "search") throw UsageError(std::string(option) + " goes with the search command only");
  return c;
}

}  // namespace sbf
