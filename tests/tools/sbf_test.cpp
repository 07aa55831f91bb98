// The command-line host, run as a user runs it, on the sample databases: vehicles and
// counts checked against SQL written here from the data's meaning, not against the library;
// its help, errors and screens as transcripts (tests/golden/sbf/*.txt), each compared whole
// by one driver. (The counts of either-or choices together: browser.mjs.)
#include <gtest/gtest.h>

#ifdef MIREL_SBF_EXE

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/Golden.h"
#include "support/SampleData.h"

namespace {

using Json = nlohmann::json;
using mirel_test::SampleCount;
using mirel_test::ShellQuote;

// Runs sbf with `args`, on the sample unless `withData` is false.
mirel_test::CommandRun Sbf(const std::string& args, bool withData = true) {
  const std::string data = withData ? " --data " + ShellQuote(mirel_test::SampleFolder()) : "";
  return mirel_test::RunApart(ShellQuote(MIREL_SBF_EXE) + " " + args + data);
}

// The output as JSON; fails the test when it is not one valid JSON document.
Json ParseJson(const std::string& text) {
  Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded()) ADD_FAILURE() << "not JSON: " << text;
  return json;
}

// Each case's vehicles, listed and counted, against the vehicles of the default filters that
// meet its conditions.
TEST(Sbf, ListsAndCountsWhatTheDataSays) {
  struct Case {
    std::string args;
    std::vector<std::pair<int, std::string>> conditions;
  } cases[] = {
      {"", {}},
      {"--value 7401:0::EU --range 135:0::70:100",
       {{7401, "e.data_value = 'EU'"}, {135, "cast(e.data_value as real) between 70 and 100"}}},
      {"--state 2~7401~0~~JP~ --max 1106:0::14.5",
       {{7401, "e.data_value = 'JP'"}, {1106, "cast(e.data_value as real) <= 14.5"}}},
      {"--oem 01 --make 01,02,03 --exclude-model 001,002",
       {{117, "e.data_value = '01'"}, {111, "e.data_value in ('01', '02', '03')"},
        {112, "e.data_value not in ('001', '002')"}}},
      {"--value 7401:0::EU --no-reduce", {}},
      {"--range 135:0::100:100", {{135, "cast(e.data_value as real) = 100"}}},  // a range of one value
      // Price bounds are amounts of the first currency; the sample stores USD (EUR 1, USD 1.08).
      {"--range 902:0::5000:6000 --currencies EUR", {{902, "cast(e.data_value as real) between 5400 and 6480"}}},
      // Origins either-or by default (no vehicle has two), all of them with --and.
      {"--value 7401:0::EU --value 7401:0::JP", {{7401, "e.data_value in ('EU', 'JP')"}}},
      {"--value 7401:0::EU --value 7401:0::JP --and 7401", {{7401, "e.data_value = 'EU' and e.data_value = 'JP'"}}},
      // Standard equipment only: the chosen equipment standard (the US cars' air conditioning from 1978).
      {"--value 7403:0::Y --standard-only", {{7403, "e.option_id = 0"}}},
  };
  for (const auto& c : cases) {
    const auto run = Sbf("vehicles " + c.args + " --columns name,price --sort name --json");
    ASSERT_EQ(run.status, 0) << c.args << ": " << run.err;
    const Json json = ParseJson(run.out);
    EXPECT_EQ(json["columns"], Json::parse(R"(["vehicle_id","name","price"])"));
    const std::vector<std::string> ids = mirel_test::SampleVehicles(c.conditions);
    const std::set<std::string> expected(ids.begin(), ids.end());
    std::set<std::string> listed;
    std::string previous;
    for (const auto& row : json["rows"]) {
      EXPECT_LE(previous, row[1].get<std::string>()) << c.args << ": not sorted by name";
      previous = row[1].get<std::string>();
      listed.insert(std::to_string(row[0].get<long long>()));
    }
    EXPECT_EQ(listed, expected) << c.args;
    EXPECT_EQ(json["count"], expected.size()) << c.args;
    const auto count = Sbf("count " + c.args + " --json");
    EXPECT_EQ(count.out, "{\"count\":" + std::to_string(expected.size()) + "}\n") << c.args;
  }
  EXPECT_EQ(Sbf("count --include-old --include-built --include-advanced --json").out, "{\"count\":406}\n");
  // --connection (or its old name --conn) wins over --data.
  for (const char* option : {"--connection", "--conn"}) {
    const auto run = Sbf("count --json --data nowhere " + std::string(option) + " " + ShellQuote(mirel_test::SampleConnection()),
                         false);
    EXPECT_EQ(run.out, "{\"count\":" + std::to_string(SampleCount({})) + "}\n") << option << ": " << run.err;
  }
}

// Pages of the vehicle list: together the whole list, each in the same order, prices
// descending with the vehicles without a price last.
TEST(Sbf, PagesOfTheVehicleListMakeTheWholeList) {
  auto ids = [](const std::string& args) {
    std::vector<long long> out;
    const Json json = ParseJson(Sbf("vehicles --sort -price --columns price --json " + args).out);
    for (const auto& row : json["rows"]) out.push_back(row[0].get<long long>());
    return out;
  };
  const std::vector<long long> all = ids("");
  ASSERT_EQ(all.size(), static_cast<size_t>(SampleCount({})));
  std::vector<long long> paged;
  for (size_t offset = 0; offset < all.size() + 50; offset += 50) {
    const std::vector<long long> page = ids("--limit 50 --offset " + std::to_string(offset));
    EXPECT_LE(page.size(), 50u);
    paged.insert(paged.end(), page.begin(), page.end());
  }
  EXPECT_EQ(paged, all);
  const Json json = ParseJson(Sbf("vehicles --sort -price --columns price --json").out);
  double previous = 1e300;
  bool empty = false;
  for (const auto& row : json["rows"]) {
    if (row[1].is_null()) {
      empty = true;
      continue;
    }
    EXPECT_FALSE(empty) << "a price after a vehicle without one";
    EXPECT_LE(row[1].get<double>(), previous);
    previous = row[1].get<double>();
  }
  EXPECT_TRUE(empty);
}

TEST(Sbf, PrintsAndRestoresTheState) {
  // Without a state the rows whose values exclude each other are either-or (host_test).
  const std::string first = mirel_test::RunApart(ShellQuote(MIREL_SBF_EXE) + " state --data " +
                                                 ShellQuote(mirel_test::SampleFolder())).out;
  ASSERT_EQ(first.rfind("either-or~7401~0~~~~", 0), 0u) << first;
  const std::string marks = first.substr(0, first.size() - 1);
  struct Case {
    std::string args;
    std::string expected;
  } cases[] = {
      {"--value 7401:0::US --range 135:0::100:250 --max 1106:0::14.5",
       marks + "~2~7401~0~~US~~1~135~0~~100~250~1~1106~0~~!!~14.5"},
      {"--value 7401:0::US --value 7402:0::I --and 7401", marks.substr(marks.find("~either-or~117") + 1) + "~2~7401~0~~US~~2~7402~0~~I~"},
      {"--state 2~7401~0~~US~ --either-or 7403", "either-or~7403~0~~~~2~7401~0~~US~"},
  };
  for (const auto& c : cases) {
    const auto run = Sbf("state " + c.args + " --json");
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "{\"state\":\"" + c.expected + "\"}\n") << c.args;
    EXPECT_EQ(Sbf("state --state " + ShellQuote(c.expected)).out, c.expected + "\n") << "round trip";
  }
}

TEST(Sbf, DrawsTheSearchScreenWithCountsKeptValuesAndEitherOrRows) {
  const std::string general = "search --category General --value 7401:0::EU";
  const std::string both = general + " --value 7401:0::JP";
  const std::string europe = std::to_string(SampleCount({{7401, "e.data_value = 'EU'"}}));
  const std::string japan = std::to_string(SampleCount({{7401, "e.data_value = 'JP'"}}));
  const std::string standardAir = std::to_string(SampleCount({{7403, "e.option_id = 0"}}));
  struct Case {
    std::string args;
    std::vector<std::string> shown, absent;
  } cases[] = {
      // Each value on a line of its own with its code; each row with the option that picks.
      {"search --category general --value 7401:0::EU --no-reduce",
       {"Origin, either-or   (--value 7401:0::VALUE)\n  [x] EU  Europe\n  [ ] JP  Japan\n",
        "Make, either-or   (--value 111:0::VALUE)\n  [ ] 01  AMC\n  [ ] 02  Audi\n"}, {}},
      {"search --category Body", {"== Body ==", "Air conditioning   (--value 7403:0:Y:VALUE)\n"}, {"== Engine =="}},
      // Counts after the values: an either-or row's values counted without its own choice.
      {general + " --counts", {"  [x] EU  Europe (" + europe + ")\n", "  [ ] JP  Japan (" + japan + ")\n"}, {"[-]"}},
      {both + " --counts", {"  [x] JP  Japan (" + japan + ")\n"}, {"[-] JP"}},
      // All of the row's values: the others lead to no vehicle.
      {general + " --and 7401", {"  [x] EU  Europe\n"}, {"JP  Japan", "either-or   (--value 7401"}},
      {general + " --and 7401 --keep-all", {"  [-] JP  Japan (0)\n", "\n[-] no matching vehicle has this value\n"}, {}},
      // Standard equipment only: the count a value shows is the count its pick gives.
      {"search --category Body --counts --standard-only", {"  [ ] Y  Air conditioning (" + standardAir + ")\n"}, {}},
      {"search --category Engine --counts --min 135:0::100", {"  [x] 100 ("}, {}},
  };
  for (const auto& c : cases) {
    const auto run = Sbf(c.args);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    for (const auto& text : c.shown) EXPECT_NE(run.out.find(text), std::string::npos) << c.args << " lacks " << text << "\n" << run.out;
    for (const auto& text : c.absent) EXPECT_EQ(run.out.find(text), std::string::npos) << c.args << " has " << text << "\n" << run.out;
  }
  EXPECT_EQ(Sbf("count --value 7403:0::Y --standard-only --json").out, "{\"count\":" + standardAir + "}\n");
}


// The index file as an operator uses it, on a copy of the sample: none at first (exit 1 and
// why), written and used, no longer used once the database file changes (the copy written
// again with the same bytes), and the counts the same with it and without.
TEST(Sbf, WritesAndChecksTheIndexFile) {
  namespace fs = std::filesystem;
  const std::string folder = mirel_test::MakeTempFolder("sbf_index");
  for (const char* file : {"/specs.db", "/prj.db"}) fs::copy_file(mirel_test::SampleFolder() + file, folder + file);
  auto sbf = [&](const std::string& args) {
    return mirel_test::RunApart(ShellQuote(MIREL_SBF_EXE) + " " + args + " --data " + ShellQuote(folder));
  };
  const std::string count = "count --value 7401:0::EU --range 135:0::70:100 --json";
  const auto without = sbf(count);
  ASSERT_EQ(without.status, 0) << without.err;

  auto check = sbf("index --check --json");
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(ParseJson(check.out)["used"], false);
  EXPECT_NE(check.out.find("does not exist"), std::string::npos) << check.out;

  const auto written = sbf("index");
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.out, "The index file of specs is written and used by the engine.\n");
  EXPECT_TRUE(fs::exists(folder + "/specs.sbfidx"));
  check = sbf("index --check");
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_EQ(sbf(count).out, without.out);

  // A database published anew (same contents, another file) makes the index file stale.
  fs::copy_file(mirel_test::SampleFolder() + "/specs.db", folder + "/specs.new");
  fs::last_write_time(folder + "/specs.new", fs::last_write_time(folder + "/specs.db") + std::chrono::seconds(5));
  fs::rename(folder + "/specs.new", folder + "/specs.db");
  check = sbf("index --check --json");
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(ParseJson(check.out)["used"], false) << check.out;
  EXPECT_EQ(sbf(count).out, without.out);
}
// The transcripts: each case is "$ sbf ARGS" (the sample's --data added unless the line
// names its data), then what it writes to stdout, its stderr lines marked "! " and
// "[exit N]"; comments and blank lines between cases stay. Each file is run and written
// again, and compared whole by the golden driver (MIREL_UPDATE_GOLDEN=1 rewrites it). An
// error's --json answer holds the same words.
TEST(Sbf, Transcripts) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(MIREL_SOURCE_DIR) / "tests" / "golden" / "sbf";
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".txt") continue;
    const std::string name = entry.path().filename().string();
    std::istringstream in(mirel_test::ReadGolden("sbf/" + name));
    std::string line, actual;
    bool inCase = false;  // within a case's old output
    while (std::getline(in, line)) {
      // The old output is replaced by the new (a case written without one gets it).
      if (inCase && line.rfind("$ sbf", 0) != 0) {
        inCase = line.rfind("[exit ", 0) != 0;
        continue;
      }
      if (line.rfind("$ sbf", 0) != 0) {
        actual += line + "\n";
        continue;
      }
      inCase = true;
      ++cases;
      const std::string args = line.substr(5);
      const bool named = args.find("--data") != std::string::npos || args.find("--conn") != std::string::npos;
      const auto run = Sbf(args, !named);
      actual += line + "\n" + run.out;
      std::istringstream err(run.err);
      for (std::string e; std::getline(err, e);) actual += "! " + e + "\n";
      actual += "[exit " + std::to_string(run.status) + "]\n";
      if (run.status == 0 || args.find("--json") != std::string::npos) continue;
      const Json error = ParseJson(Sbf(args + " --json", !named).out)["error"];
      EXPECT_NE(run.err.find(error["description"].get<std::string>()), std::string::npos) << name << ": sbf" << args;
      if (!error["number"].is_null()) {
        EXPECT_NE(run.err.find("error " + error["hex"].get<std::string>()), std::string::npos) << name << ": sbf" << args;
      }
      EXPECT_TRUE(run.status != 64 || error["number"].is_null()) << name << ": sbf" << args << ": the library was asked";
    }
    EXPECT_TRUE(mirel_test::MatchesGolden("sbf/" + name, actual));
  }
  EXPECT_GE(cases, 20);
}

}  // namespace

#endif  // MIREL_SBF_EXE
