// The command-line host, run as a user runs it, on the sample databases; vehicles and
// counts are checked against SQL written here from the data's meaning, not against the
// library. (The counts of either-or choices together: browser.mjs.)
#include <gtest/gtest.h>

#ifdef MIREL_SBF_EXE

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

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
      {"--range 902:0::5000:6000 --currencies EUR,USD", {{902, "cast(e.data_value as real) between 5400 and 6480"}}},
  };
  for (const auto& c : cases) {
    const auto run = Sbf("vehicles " + c.args + " --sort name,price --json");
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
  }
  EXPECT_EQ(Sbf("count --include-old --include-built --include-advanced --json").out, "{\"count\":406}\n");
  // --conn wins over --data; the plain count says how many the default filters hide.
  const auto conn = Sbf("count --data nowhere --conn " + ShellQuote(mirel_test::SampleConnection()), false);
  EXPECT_EQ(conn.status, 0) << conn.err;
  const int all = SampleCount({});
  EXPECT_EQ(conn.out, std::to_string(all) + " vehicles match (" + std::to_string(406 - all) +
                          " more are advanced, old and built: --include-advanced, --include-old and --include-built)\n");
  // For a person: a header, a line a vehicle (none here), a closing count.
  EXPECT_EQ(Sbf("vehicles --range 135:0::300:400").out, "vehicle_id\n0 vehicles\n");
}

TEST(Sbf, PrintsAndRestoresTheState) {
  struct Case {
    std::string args;
    std::string expected;
  } cases[] = {
      {"--value 740:0::D --range 135:0::100:250 --max 136:1::4.5", "2~740~0~~D~~1~135~0~~100~250~1~136~1~~!!~4.5"},
      {"--value 7401:0::US --value 7402:0::I", "2~7401~0~~US~~2~7402~0~~I~"},  // an option given twice
  };
  for (const auto& c : cases) {
    const auto run = Sbf("state " + c.args + " --json", false);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "{\"state\":\"" + c.expected + "\"}\n") << c.args;
    EXPECT_EQ(Sbf("state --state " + ShellQuote(c.expected), false).out, c.expected + "\n") << "round trip";
  }
}

TEST(Sbf, MistakesAreNamedWithTheSameExitCodesAsSbfWeb) {
  struct Case {
    std::string args;
    int status;
    std::string err;  // part of stderr; with --json the same text is in stdout's error
  } cases[] = {
      // The command line itself.
      {"", 64, "no command given"},
      {"count --value 7401:0", 64, "--value needs SCHEMA:LOCATION:SCHEMAVALUE:VALUE"},
      {"count --bogus", 64, "unknown option --bogus"},
      {"fly", 64, "unknown command \"fly\""},
      {"state --sort name", 64, "--sort goes with the vehicles command only"},
      // What the data does not have, before the library is asked (the check sbf-web shares:
      // host_test, Screen_test).
      {"count --either-or 135", 64, "item 135 at location 0 is a range"},
      {"count --make 99", 64, "no vehicle has code \"99\" of item 111 (the codes are 01, 02"},
      // The library's own errors.
      {"vehicles --sort nosuch", 2, "error 0x80040E14 (mirel_base.Connector): "},
      {"state --state x~1~0~~D~", 2, "(mirel_SbF.ParseState)"},
  };
  for (const auto& c : cases) {
    const auto run = Sbf(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.args;
    if (c.status == 64) {
      EXPECT_NE(run.err.find("sbf --help"), std::string::npos) << c.args;
    }
    const auto json = Sbf(c.args + " --json");
    EXPECT_EQ(json.status, c.status) << c.args;
    // The same error in JSON: the plain line rebuilt from its members holds the same words.
    const Json error = ParseJson(json.out)["error"];
    const std::string line = error["number"].is_null()
                                 ? error["description"].get<std::string>()
                                 : "error " + error["hex"].get<std::string>() + " (" + error["source"].get<std::string>() +
                                       "): " + error["description"].get<std::string>();
    EXPECT_NE(line.find(c.err), std::string::npos) << c.args << ": " << json.out;
    EXPECT_EQ(error["number"].is_null(), c.status == 64) << c.args;
  }
}

TEST(Sbf, PricesInEveryCurrencyForTheLanguage) {
  // The sample's rates: EUR 1, GBP 0.86, USD 1.08 per euro.
  EXPECT_EQ(Sbf("price 86 GBP --currencies GBP,EUR,USD --lang 1").out, "\u00a386.00 (\u20ac100.00, $108.00)\n");
  EXPECT_EQ(Sbf("price -10.8 USD --currencies USD,EUR --lang 3 --json").out,
            "{\"price\":\"-10,80 $ (-10,00 \u20ac)\"}\n");
}

TEST(Sbf, DrawsTheSearchScreenWithCountsKeptValuesAndEitherOrRows) {
  const std::string general = "search --category General --value 7401:0::EU";
  const std::string both = general + " --value 7401:0::JP";
  const std::string europe = std::to_string(SampleCount({{7401, "e.data_value = 'EU'"}}));
  const std::string japan = std::to_string(SampleCount({{7401, "e.data_value = 'JP'"}}));
  struct Case {
    std::string args;
    std::vector<std::string> shown, absent;
  } cases[] = {
      {"headings --lang 3", {"Allgemein", "Motor", "Karosserie", "3 headings"}, {}},
      // Each value on a line of its own with its code; each row with the option that picks.
      {"search --category general --value 7401:0::EU --no-reduce",
       {"Origin   (--value 7401:0:*:VALUE)\n  [x] EU  Europe\n  [ ] JP  Japan\n",
        "Make   (--value 111:0::VALUE)\n  [ ] 01  AMC\n  [ ] 02  Audi\n"}, {}},
      // The heading as shown in the language; a price range marked in the first currency.
      {"search --category Allgemein --lang 3 --currencies EUR,USD --range 902:0::5000:6000",
       {"== General ==", "Preis, from ... to   (--range 902:0::MIN:MAX)\n",
        "  [x] 5000  \u20ac5.000,00 ($5.400,00)\n", "  [ ] 5500  \u20ac5.500,00 ($5.940,00)\n",
        "  [x] 6000  \u20ac6.000,00 ($6.480,00)\n"}, {}},
      {"search --category Body", {"== Body =="}, {"== Engine =="}},
      // Counts after the values, kept values that lead to no vehicle, either-or rows.
      {general, {"  [x] EU  Europe\n"}, {"Europe (", "[-]"}},
      {general + " --counts", {"  [x] EU  Europe (" + europe + ")\n"}, {"JP  Japan", "[-]"}},
      {general + " --keep-all", {"  [-] JP  Japan (0)\n", "\n[-] no matching vehicle has this value\n"}, {}},
      {both + " --either-or 7401:0 --counts",
       {"Origin, either-or   (--value 7401:0:*:VALUE)\n", "  [x] JP  Japan (" + japan + ")\n"}, {"[-] JP"}},
      // An either-or row's values counted without its own choice.
      {general + " --either-or 7401 --counts", {"  [ ] JP  Japan (" + japan + ")\n"}, {}},
      {"search --category Engine --counts --min 135:0::100", {"  [x] 100 ("}, {}},
  };
  for (const auto& c : cases) {
    const auto run = Sbf(c.args);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    for (const auto& text : c.shown) EXPECT_NE(run.out.find(text), std::string::npos) << c.args << " lacks " << text << "\n" << run.out;
    for (const auto& text : c.absent) EXPECT_EQ(run.out.find(text), std::string::npos) << c.args << " has " << text << "\n" << run.out;
  }
}

TEST(Sbf, MissingDataNamesTheFolderAndHowToBuildIt) {
  const std::string none = mirel_test::MakeTempFolder("sbf-empty") + "/none";
  const auto run = Sbf("count --data " + ShellQuote(none), false);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(none), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("sampledb cars"), std::string::npos) << run.err;
}

}  // namespace

#endif  // MIREL_SBF_EXE
