#include "Command.h"

#include <algorithm>
#include <climits>
#include <map>
#include <tuple>

#include <CLI/CLI.hpp>

namespace sbf {
namespace {

constexpr CommandInfo kCommands[] = {
    {"count", "the number of matching vehicles", true},
    {"vehicles", "the matching vehicles: names, makes, prices ... in the language (--columns, --sort)", true},
    {"state", "the saved-state text of the choices given (checked against the data)", true},
    {"price", "AMOUNT FROM: the amount in every --currencies currency, formatted for --lang", false},
    {"headings", "the category headings in the --lang language", true},
    {"search", "the search screen: every criteria row of --category (or all) with its values", true},
    {"index", "write the index file of the specifications database (--check: only say if it is used)", false},
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

// The options, as --help lists them after the commands.
const char* const kOptionsHelp = R"(data (every command but price needs it):
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
  --check               index: write nothing; say whether the engine uses the index
                        file as it is (exit status 1 when it does not, and why)
  --json                machine-readable output (also for errors)
  -h, --help            this text

Options may also be written --name=VALUE.
Exit status: 0 done, 1 index --check found no usable index file, 2 an error of the
library or its data (a missing data folder too), 64 a bad command line or a choice,
category, language or currency the data does not have (the library was not asked).
sbf-web exits with 2 and 64 alike.

examples:
  sbf count --value 7401:0::EU --range 135:0::70:100
  sbf vehicles --value 7401:0::JP --max 1104:0::2000 --sort -price --limit 10
  sbf state --value 7401:0::US --min 135:0::150
  sbf price 1234567.891 GBP --currencies GBP,EUR,USD --lang 3 --today
  sbf search --category Motor --lang 3 --currencies EUR --value 7401:0::EU
  sbf search --category General --counts --value 7401:0::EU --value 7401:0::JP
  sbf index --data DIR      after new databases are in DIR (see README, index files)
)";

std::string Usage() {
  std::string text = "usage: sbf <command> [options]\n\ncommands:\n";
  for (const auto& info : kCommands) {
    const std::string name = info.name;
    text += "  " + name + std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') + info.summary + "\n";
  }
  return text + "\n" + kOptionsHelp;
}

namespace {

// The options every command takes: the data, the settings, the filters, the choices and the
// rows' either-or marks, --json. The selection options are returned by form, for their order.
std::map<const CLI::Option*, const SelectionForm*> AddSharedOptions(CLI::App& app, Command& c,
                                                                    std::vector<std::string>& eitherOr,
                                                                    std::vector<std::string>& allOf) {
  sbf_host::AddDataOptions(app, c.data);
  app.add_option("--lang", c.settings.language)->check(sbf_host::WholeNumber());
  app.add_option("--currencies", c.settings.currencies);
  app.add_flag("--include-advanced", c.settings.includeAdvanced);
  app.add_flag("--include-old", c.settings.includeOld);
  app.add_flag("--include-built", c.settings.includeBuilt);
  app.add_flag("--today", c.settings.todaysConventions);
  app.add_option("--oem", c.settings.oem);
  app.add_option("--make", c.settings.make);
  app.add_option("--exclude-model", c.settings.excludeModel);
  app.add_option("--segment", c.settings.segment)->check(sbf_host::WholeNumber());
  app.add_flag("--standard-only", c.settings.standardOnly);
  app.add_flag("--no-reduce", c.noReduce);
  app.add_option("--state", c.state);
  app.add_flag("--json", c.json);
  app.add_option("--either-or", eitherOr)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--and", allOf)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  std::map<const CLI::Option*, const SelectionForm*> forms;
  for (const auto& form : kSelectionForms)
    forms[app.add_option(form.option)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)] = &form;
  return forms;
}

// Each command a subcommand, with the options and arguments only it takes.
void AddCommands(CLI::App& app, Command& c, std::string& columns) {
  for (const auto& info : kCommands) {
    CLI::App* command = app.add_subcommand(info.name, info.summary);
    command->fallthrough();  // the shared options may follow the command
    command->callback([&c, name = std::string(info.name)] { c.name = name; });
  }
  CLI::App* vehicles = app.get_subcommand("vehicles");
  vehicles->add_option("--sort", c.sort);
  vehicles->add_option("--columns", columns);
  vehicles->add_option("--limit", c.limit)->check(sbf_host::RowCount());
  vehicles->add_option("--offset", c.offset)->check(sbf_host::RowCount());
  CLI::App* search = app.get_subcommand("search");
  search->add_option("--category", c.category);
  search->add_flag("--counts", c.counts);
  search->add_flag("--keep-all", c.keepAll);
  CLI::App* price = app.get_subcommand("price");
  const CLI::Validator amount(
      [](std::string& text) {
        double value = 0;
        return sbf_host::ToNumber(text, value) ? std::string() : "must be a number, not \"" + text + "\"";
      },
      "");
  price->add_option("AMOUNT", c.amount)->required()->check(amount);
  price->add_option("FROM", c.from)->required();
  app.get_subcommand("index")->add_flag("--check", c.checkOnly);
}

// A parse that failed, in words: an option of another command, a command missing or
// unknown, an argument too many or too few.
UsageError Refusal(const CLI::App& app, const CLI::ParseError& e, const std::vector<std::string>& args) {
  const std::vector<CLI::App*> given = app.get_subcommands();
  for (const std::string& arg : args) {
    if (arg.rfind("--", 0) != 0) continue;
    const std::string name = arg.substr(0, arg.find('='));
    if (app.get_option_no_throw(name)) continue;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
      if (command->get_option_no_throw(name) && (given.empty() || given.front() != command))
        return UsageError(name + " goes with the " + command->get_name() + " command only");
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) && !given.empty())
    return UsageError(given.front()->get_name() + " needs AMOUNT FROM");
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    const std::vector<std::string> extras = app.remaining();
    const std::string& extra = extras.empty() ? std::string() : extras.front();
    if (!extra.empty() && extra.front() != '-')
      return UsageError(given.empty() ? "unknown command \"" + extra + "\""
                                      : "unexpected argument \"" + extra + "\" (one command at a time)");
  }
  return UsageError(sbf_host::UsageText(e));
}

// The choices and marks in command-line order: CLI11 keeps each option's values and the
// order in which options were met.
void ReadChoices(const CLI::App& app, const std::map<const CLI::Option*, const SelectionForm*>& forms,
                 const std::vector<std::string>& eitherOr, const std::vector<std::string>& allOf, Command& c) {
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* option : app.parse_order()) {
    const auto form = forms.find(option);
    if (form == forms.end()) continue;
    const size_t n = used[option]++;
    c.selections.push_back(SplitSelection(*form->second, option->results().at(n)));
  }
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
}

}  // namespace

Command ParseCommand(const std::vector<std::string>& args) {
  Command c;
  CLI::App app("sbf", "sbf");
  app.set_help_flag("-h,--help");
  app.require_subcommand(0, 1);
  std::vector<std::string> eitherOr, allOf;
  std::string columns;
  const auto forms = AddSharedOptions(app, c, eitherOr, allOf);
  AddCommands(app, c, columns);
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 reads from the back
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    c.help = true;
    return c;
  } catch (const CLI::ParseError& e) {
    throw Refusal(app, e, args);
  }
  if (c.name.empty()) throw UsageError("no command given");
  ReadChoices(app, forms, eitherOr, allOf, c);
  if (!columns.empty() || app.get_subcommand("vehicles")->count("--columns"))
    c.columns = sbf_host::ColumnList("--columns", columns);
  return c;
}

}  // namespace sbf
