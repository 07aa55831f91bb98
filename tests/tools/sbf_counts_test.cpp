// sbf's counts, kept values and either-or criteria: the options, their refusals and how the
// screen shows them. The numbers themselves are the library's (tested with it); here they
// only have to agree with each other and with the matching count sbf prints.
#include <gtest/gtest.h>

#ifdef MIREL_SBF_EXE

#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Request.h"
#include "support/SampleData.h"

namespace {

using Json = nlohmann::json;

struct SbfRun {
  int status;
  std::string out;  // stdout and stderr
};

SbfRun Sbf(const std::string& args, bool stdoutOnly = false) {
  SbfRun run{0, ""};
  run.status = mirel_test::RunCommand("'" + std::string(MIREL_SBF_EXE) + "' " + args + " --data '" +
                                          mirel_test::SampleFolder() + "'" + (stdoutOnly ? " 2>/dev/null" : ""),
                                      run.out);
  return run;
}

// The count after a value's line, e.g. "  [x] EU  Europe (52)" -> 52; -1 when the line is
// missing or has no count.
int CountOf(const std::string& out, const std::string& line) {
  std::smatch m;
  const std::regex pattern("\n" + line + " \\((\\d+)\\)\n");
  return std::regex_search(out, m, pattern) ? std::stoi(m[1]) : -1;
}

int Matching(const std::string& out) {
  std::smatch m;
  return std::regex_search(out, m, std::regex("\n(\\d+) vehicles? match")) ? std::stoi(m[1]) : -1;
}

TEST(SbfCounts, TheScreenShowsCountsKeptValuesAndEitherOrRows) {
  const std::string general = "search --category General --value 7401:0::EU";
  const std::string both = general + " --value 7401:0::JP";
  struct Case {
    std::string args;
    std::vector<std::string> shown, absent;
  } cases[] = {
      {general, {"  [x] EU  Europe\n"}, {"Europe (", "[-]"}},
      {general + " --counts", {"  [x] EU  Europe ("}, {"JP  Japan", "[-]"}},
      {general + " --keep-all", {"  [-] JP  Japan (0)\n", "\n[-] no matching vehicle has this value\n"}, {}},
      {both + " --either-or 7401:0 --counts",
       {"Origin, either-or   (--value 7401:0:*:VALUE)\n", "  [x] JP  Japan ("}, {"[-] JP"}},
      {"search --category Engine --counts --min 135:0::100", {"  [x] 100 ("}, {}},
  };
  for (const auto& c : cases) {
    const SbfRun run = Sbf(c.args);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.out;
    for (const auto& text : c.shown) EXPECT_NE(run.out.find(text), std::string::npos) << c.args << " lacks " << text << "\n" << run.out;
    for (const auto& text : c.absent) EXPECT_EQ(run.out.find(text), std::string::npos) << c.args << " has " << text << "\n" << run.out;
  }
  // The counts agree with the matching line: Europe alone, then either of two origins.
  const SbfRun europe = Sbf(general + " --counts");
  EXPECT_EQ(CountOf(europe.out, "  \\[x\\] EU  Europe"), Matching(europe.out)) << europe.out;
  const SbfRun either = Sbf(both + " --either-or 7401 --keep-all");
  const int eu = CountOf(either.out, "  \\[x\\] EU  Europe"), jp = CountOf(either.out, "  \\[x\\] JP  Japan");
  EXPECT_GT(eu, 0);
  EXPECT_GT(jp, 0);
  EXPECT_EQ(eu + jp, Matching(either.out)) << either.out;
}

TEST(SbfCounts, JsonCarriesCountsAndMarks) {
  auto origin = [](const std::string& args) {
    const Json screen = Json::parse(Sbf("search --category General --json " + args, true).out);
    for (const auto& row : screen["rows"])
      if (row["schema"] == "7401") return row;
    return Json();
  };
  const Json plain = origin("--value 7401:0::EU");
  EXPECT_FALSE(plain["eitherOr"].get<bool>());
  EXPECT_TRUE(plain["values"][0]["count"].is_null()) << plain;
  const Json kept = origin("--value 7401:0::EU --keep-all --either-or 7401");
  EXPECT_TRUE(kept["eitherOr"].get<bool>());
  for (const auto& value : kept["values"]) EXPECT_GT(value["count"].get<int>(), 0) << kept;
}

TEST(SbfCounts, TheMarkTravelsInTheStateText) {
  const SbfRun state = Sbf("state --either-or 7401 --value 7401:0::EU");
  EXPECT_EQ(state.out, "either-or~7401~0~~~~2~7401~0~~EU~\n");
  const std::string restored = "--state 'either-or~7401~0~~~~2~7401~0~~EU~' --value 7401:0::JP";
  EXPECT_EQ(Sbf("count " + restored).out, Sbf("count --either-or 7401 --value 7401:0::EU --value 7401:0::JP").out);
  EXPECT_NE(Sbf("search --category General " + restored).out.find("Origin, either-or"), std::string::npos);
}

TEST(SbfCounts, BadOptionsAreRefusedBeforeTheLibraryIsAsked) {
  const struct {
    std::string args, message;
  } cases[] = {
      {"count --either-or 9999", "no criteria row has item 9999 at location 0"},
      {"count --either-or 7401:3", "no criteria row has item 7401 at location 3"},
      {"count --either-or 135", "item 135 at location 0 is a range"},
      {"count --either-or x", "--either-or needs SCHEMA or SCHEMA:LOCATION"},
      {"count --either-or 7401:", "not \"7401:\""},
      {"count --counts", "--counts goes with the search command only"},
      {"vehicles --keep-all", "--keep-all goes with the search command only"},
  };
  for (const auto& c : cases) {
    const SbfRun run = Sbf(c.args);
    EXPECT_EQ(run.status, sbf_host::kExitUsage) << c.args;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << ": " << run.out;
  }
  const SbfRun help = Sbf("--help");
  for (const char* option : {"--counts", "--keep-all", "--either-or SCHEMA[:LOCATION]"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace

#endif  // MIREL_SBF_EXE
