// Counts per value, kept values and either-or criteria, checked against an evaluation of the
// test's own: the equipment rows read straight from the database, the matching vehicles and
// the counts worked out here from the choices, on the sample and on random databases; and
// each value's count against the count that picking it leads to, under every switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "mirel_SbF/mirel_SbF.h"
#include "support/RandomDatabases.h"
#include "support/SampleData.h"

namespace {

using mirel_SbF::Search;

struct EquipmentRow {
  int64_t vehicle;
  std::string schema, location, value;
  double number;  // the value as the engine casts it
  bool standard, numeric;
};

std::vector<EquipmentRow> ReadEquipment(const std::string& folder) {
  std::vector<EquipmentRow> rows;
  for (const auto& r : mirel_test::RowsOf(folder, "select vehicle_id, e.schema_id, location, data_value, "
                                                  "cast(data_value as real), option_id = 0, data_type in (1, 2) "
                                                  "from equipment e join schema_info i on i.schema_id = e.schema_id "
                                                  "where location is not null"))
    rows.push_back({std::stoll(r[0]), r[1], r[2], r[3], std::stod(r[4]), r[5] == "1", r[6] == "1"});
  return rows;
}

// A choice as the test makes it: a value, or a range with "!!" for an open side.
struct Choice {
  std::string schema, location, value, min = "!!", max = "!!";
  bool range() const { return value.empty(); }
};

// The test's own account of a search without filters: which vehicles match, and how many
// of them each value and each step leads to.
struct Account {
  const std::vector<EquipmentRow>& rows;
  std::vector<Choice> choices;
  std::set<std::pair<std::string, std::string>> eitherOr;
  bool standardOnly = false;

  bool Passes(const EquipmentRow& r, const Choice& c) const {
    if (r.schema != c.schema || r.location != c.location) return false;
    if (!c.range()) return r.value == c.value;
    return (c.min == "!!" || r.number >= std::stod(c.min)) && (c.max == "!!" || r.number <= std::stod(c.max));
  }

  // The matching vehicles, leaving out the choices of `without` (an either-or criterion).
  // Each condition is a list of choices a vehicle must carry one of: a choice alone, or all
  // value choices of an either-or criterion.
  std::set<int64_t> Matching(const std::pair<std::string, std::string>* without) const {
    std::vector<std::vector<const Choice*>> conditions;
    std::map<std::pair<std::string, std::string>, size_t> eitherOrAt;
    for (const Choice& c : choices) {
      const std::pair<std::string, std::string> criterion{c.schema, c.location};
      if (without && criterion == *without) continue;
      if (c.range() || !eitherOr.count(criterion)) {
        conditions.push_back({&c});
        continue;
      }
      const auto [at, added] = eitherOrAt.emplace(criterion, conditions.size());
      if (added) conditions.emplace_back();
      conditions[at->second].push_back(&c);
    }
    std::map<int64_t, std::vector<bool>> met;  // per vehicle: the conditions it meets
    for (const auto& r : rows) {
      std::vector<bool>& own = met.try_emplace(r.vehicle, conditions.size(), false).first->second;
      for (size_t i = 0; i < conditions.size(); ++i)
        for (const Choice* c : conditions[i]) own[i] = own[i] || Passes(r, *c);
    }
    std::set<int64_t> out;
    for (const auto& [vehicle, own] : met)
      if (std::find(own.begin(), own.end(), false) == own.end()) out.insert(vehicle);
    return out;
  }

  // The equipment rows of `row`'s criterion that the vehicles that count for it have: an
  // either-or criterion's without its own choices (standard rows only when only standard
  // equipment counts).
  std::vector<const EquipmentRow*> Of(const mirel_SbF::Results& row) const {
    const std::pair<std::string, std::string> criterion{row.Schema(), row.SchemaLocation()};
    const std::set<int64_t> vehicles = Matching(eitherOr.count(criterion) ? &criterion : nullptr);
    std::vector<const EquipmentRow*> out;
    const std::string& only = row.SchemaValue();
    for (const auto& r : rows)
      if (r.schema == row.Schema() && r.location == row.SchemaLocation() && (!standardOnly || r.standard) &&
          (only.empty() || only == "*" || r.value == only) && vehicles.count(r.vehicle))
        out.push_back(&r);
    return out;
  }
  // How many vehicles of `rows` have one that `test` accepts.
  template <class Test>
  static int32_t Count(const std::vector<const EquipmentRow*>& rows, Test&& test) {
    std::set<int64_t> found;
    for (const EquipmentRow* r : rows)
      if (test(*r)) found.insert(r->vehicle);
    return static_cast<int32_t>(found.size());
  }
};

// A search on `connection` without the default filters.
void Unfiltered(Search& s, const std::string& connection) {
  s.SetDatabaseInfo(connection, "specs", "prj", 1, "USD");
  s.ExcludeAdvancedVehicles(false);
  s.ExcludeOldVehicles(false);
  s.ExcludeBuiltVehicles(false);
}

// The same, counting, with `account`'s either-or criteria and choices, keeping values when `keep`.
void Choose(Search& s, const std::string& connection, const Account& account, bool keep) {
  Unfiltered(s, connection);
  s.CountVehicles(true);
  s.KeepAllValues(keep);
  for (const auto& [schema, location] : account.eitherOr) s.EitherOr(schema, location, true);
  for (const Choice& c : account.choices) {
    if (c.range()) s.AddMinMax(c.schema, c.location, "", c.min, c.max);
    else s.AddSelection(c.schema, c.location, "", c.value);
  }
}

// Checks every count of the screen `s` built, and that a list row holds every value that
// leads to a vehicle; returns how many values were checked.
int CheckScreen(Search& s, const Account& account, bool keep) {
  int checked = 0;
  for (const auto& row : s) {
    SCOPED_TRACE("row " + std::to_string(row->RowId()) + "/" + std::to_string(row->OrderId()) + " item " +
                 row->Schema());
    const std::vector<const EquipmentRow*> carried = account.Of(*row);
    EXPECT_EQ(row->IsEitherOr(), account.eitherOr.count({row->Schema(), row->SchemaLocation()}) != 0);
    // A list row's value as the row shows it: the number's text, or the text as stored.
    auto shown = [&](const EquipmentRow& r) { return r.numeric ? mirel_SbF::DoubleToText(r.number) : r.value; };
    int listedPositive = 0;
    for (int32_t k = 1; k <= row->Count(); ++k) {
      const auto value = row->Item(k);
      int32_t expected;
      if (row->IsMinMax()) {
        // From this step's value up to the next one's; the last step from its value up.
        const double from = std::stod(value->DataValue());
        const bool last = k == row->Count();
        const double to = last ? from : std::stod(row->Item(k + 1)->DataValue());
        expected = Account::Count(carried, [&](const EquipmentRow& r) {
          return r.number >= from && (last || r.number < to);
        });
      } else {
        expected = Account::Count(carried, [&](const EquipmentRow& r) { return shown(r) == value->DataValue(); });
        EXPECT_TRUE(keep || expected > 0) << "lists " << value->DataValue();
        listedPositive += expected > 0;
      }
      EXPECT_EQ(value->VehicleCount(), expected) << "value " << value->DataValue();
      ++checked;
    }
    if (row->IsMinMax()) continue;
    std::set<std::string> leading;
    for (const EquipmentRow* r : carried) leading.insert(shown(*r));
    EXPECT_EQ(listedPositive, static_cast<int>(leading.size())) << "misses values";
  }
  return checked;
}

// The screen without its counts: rows, values, texts and marks, and each list value's key.
std::string Screen(Search& s) {
  std::string out;
  int32_t seen = 0;  // values so far: no key lies beyond them and the row's own
  for (const auto& row : s) {
    out += std::to_string(row->RowId()) + "/" + std::to_string(row->OrderId()) + " " + row->Schema() + " " +
           row->TitleText() + (row->IsMinMax() ? " range:" : ":");
    for (const auto& value : *row)
      out += " " + value->DataValue() + "|" + value->FullText() + (value->IsSelected() ? "*" : "");
    for (int32_t key = 0; !row->IsMinMax() && key < seen + row->Count(); ++key) {
      try {
        out += " #" + std::to_string(key) + "=" + row->Item(std::to_string(key))->DataValue();
      } catch (const mirel_SbF::Error&) {
      }
    }
    seen += row->Count();
    out += "\n";
  }
  return out;
}

TEST(Counts, RandomSearchesMatchTheTestsOwnEvaluation) {
  std::mt19937 rng(20261208);
  int checked = 0, compared = 0;
  for (int database = 0; database < 4; ++database) {
    const std::string folder = mirel_test::MakeTempFolder("sbf_counts");
    // Every shape of vehicle ids but the plain one, which the sample has.
    mirel_test::RandomDatabases data(rng, folder, static_cast<mirel_test::RandomDatabases::Ids>(database + 1));
    const std::vector<EquipmentRow> rows = ReadEquipment(folder);
    auto pick = [&](std::vector<std::string> v) { return v[rng() % v.size()]; };
    for (int search = 0; search < 16; ++search) {
      Account account{rows, {}, {}, rng() % 3 == 0};
      const bool keep = rng() % 3 == 0;
      for (const char* schema : {"7401", "7402"})
        if (rng() % 3 == 0) account.eitherOr.insert({schema, "0"});
      const int choices = static_cast<int>(rng() % 4);
      for (int c = 0; c < choices; ++c) {
        if (rng() % 3 == 0)
          account.choices.push_back({"135", "0", "", pick({"!!", "0", "10"}), pick({"!!", "100", "300"})});
        else
          account.choices.push_back({pick({"7401", "7402"}), "0", pick({"EU", "US", "JP", "x y"})});
      }
      Search s;
      Choose(s, "Data Source=" + folder, account, keep);
      try {
        s.DoSearch(account.standardOnly);
        if (!keep && account.eitherOr.empty()) {
          // Counting alone leaves the screen as it is without.
          Search plain;
          Unfiltered(plain, "Data Source=" + folder);
          plain.CurrentState(s.CurrentState());
          plain.DoSearch(account.standardOnly);
          EXPECT_EQ(Screen(s), Screen(plain));
          ++compared;
        }
      } catch (const mirel_SbF::Error& e) {
        // A negative value in a range item makes its ladder fail, with or without counts.
        EXPECT_EQ(e.Description(), "Overflow");
        continue;
      }
      checked += CheckScreen(s, account, keep);
      if (::testing::Test::HasFailure()) return;
    }
  }
  EXPECT_GT(checked, 500);
  EXPECT_GT(compared, 8);
}

// The sample (on SQLite, and on the test server when one is named): a table of searches.
TEST(Counts, SampleSearchesMatchTheTestsOwnEvaluation) {
  const std::vector<EquipmentRow> rows = ReadEquipment(mirel_test::SampleFolder());
  struct Case {
    const char* name;
    std::vector<Choice> choices;
    std::set<std::pair<std::string, std::string>> eitherOr;
    bool standardOnly, keep;
  } cases[] = {
      {"a value and a range, standard equipment", {{"7401", "0", "EU"}, {"1101", "0", "", "4", "6"}}, {}, true, false},
      {"two origins either-or, values kept",
       {{"7401", "0", "EU"}, {"1103", "0", "", "!!", "150"}, {"7401", "0", "JP"}}, {{"7401", "0"}}, false, true},
      {"cylinders either-or beside a coded choice",
       {{"1101", "0", "4"}, {"7402", "0", "V"}, {"1101", "0", "6"}}, {{"1101", "0"}, {"7401", "0"}}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Account account{rows, c.choices, c.eitherOr, c.standardOnly};
    Search s;
    Choose(s, mirel_test::SampleConnection(), account, c.keep);
    s.DoSearch(c.standardOnly);
    EXPECT_GT(CheckScreen(s, account, c.keep), 100);
    // The vehicle count agrees with the same account.
    EXPECT_EQ(s.GetNumberOfMatchingVehicles(), static_cast<int32_t>(account.Matching(nullptr).size()));
  }
}

// One meaning per switch: the count a value shows is the count of matching vehicles once it
// is picked, under the same switches (standard equipment with StandardChoices, kept values,
// either-or criteria, where a value stands in for its criterion's own choices, and no
// reduction, where the choices count for nothing and the value is picked alone), on the
// sample with the default filters, as the hosts use it.
TEST(Counts, PickingAValueLeadsToTheCountItShowed) {
  struct Case {
    const char* name;
    std::vector<Choice> choices;
    std::set<std::pair<std::string, std::string>> eitherOr;
    bool standardOnly, reduce, keep;
  } cases[] = {
      {"standard equipment, chosen equipment standard", {{"7401", "0", "US"}}, {}, true, true, false},
      {"either-or with values kept", {{"7401", "0", "EU"}, {"7401", "0", "JP"}, {"1101", "0", "4"}},
       {{"7401", "0"}}, false, true, true},
      {"standard, either-or and a range", {{"7402", "0", "I"}, {"135", "0", "", "70", "!!"}}, {{"7402", "0"}}, true,
       true, false},
      {"no reduction", {{"7401", "0", "EU"}}, {}, false, false, false},
  };
  auto search = [](Search& s, const Case& c, const std::vector<Choice>& choices) {
    s.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
    s.StandardChoices(true);
    for (const auto& [schema, location] : c.eitherOr) s.EitherOr(schema, location, true);
    for (const Choice& choice : choices) {
      if (choice.range()) s.AddMinMax(choice.schema, choice.location, "", choice.min, choice.max);
      else s.AddSelection(choice.schema, choice.location, "", choice.value);
    }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Search screen;
    search(screen, c, c.choices);
    screen.CountVehicles(true);
    screen.KeepAllValues(c.keep);
    screen.DoSearch(c.standardOnly, "", c.reduce);
    int checked = 0;
    for (const auto& row : screen) {
      if (row->IsMinMax()) continue;  // a step's count is of a band, not of a bound
      const bool eitherOr = c.eitherOr.count({row->Schema(), row->SchemaLocation()}) != 0;
      for (const auto& value : *row) {
        std::vector<Choice> picked;
        for (const Choice& choice : c.reduce ? c.choices : std::vector<Choice>{})
          if (!eitherOr || choice.schema != row->Schema() || choice.location != row->SchemaLocation())
            picked.push_back(choice);
        picked.push_back({row->Schema(), row->SchemaLocation(), value->DataValue()});
        Search after;
        search(after, c, picked);
        EXPECT_EQ(value->VehicleCount(), after.GetNumberOfMatchingVehicles(c.standardOnly, true))
            << row->TitleText() << ": " << value->DataValue();
        ++checked;
      }
    }
    EXPECT_GT(checked, 20);
  }
}

}  // namespace
