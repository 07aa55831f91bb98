// The command-line host, run as a user runs it, on the sample databases.
#include <gtest/gtest.h>

#include <functional>

#include "mirel_SbF/mirel_SbF.h"
#include "support/SampleData.h"

namespace {

struct SbfRun {
  int status;
  std::string output;
};

SbfRun Sbf(const std::string& args, bool withData = true) {
  SbfRun run;
  std::string command = std::string("\"") + MIREL_SBF_EXE + "\" " + args;
  if (withData) command += " --data \"" + mirel_test::SampleFolder() + "\"";
  run.status = mirel_test::RunCommand(command + " 2>/dev/null", run.output);
  return run;
}

int32_t LibraryCount(const std::function<void(mirel_SbF::Search&)>& setUp) {
  mirel_SbF::Search search;
  search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
  setUp(search);
  return search.GetNumberOfMatchingVehicles();
}

TEST(Sbf, CountsAsTheLibraryDoes) {
  struct Case {
    const char* args;
    std::function<void(mirel_SbF::Search&)> setUp;
  } cases[] = {
      {"count", [](mirel_SbF::Search&) {}},
      {"count --include-old --include-built --include-advanced",
       [](mirel_SbF::Search& s) {
         s.ExcludeOldVehicles(false);
         s.ExcludeBuiltVehicles(false);
         s.ExcludeAdvancedVehicles(false);
       }},
      {"count --value 7401:0::EU --range 135:0::70:100",
       [](mirel_SbF::Search& s) {
         s.AddSelection("7401", "0", "", "EU");
         s.AddMinMax("135", "0", "", "70", "100");
       }},
      {"count --state 2~7401~0~~JP~ --min 1104:0::2000", [](mirel_SbF::Search& s) {
         s.AddSelection("7401", "0", "", "JP");
         s.AddMin("1104", "0", "", "2000");
       }},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf(std::string(c.args) + " --json");
    EXPECT_EQ(run.status, 0) << c.args;
    EXPECT_EQ(run.output, "{\"count\":" + std::to_string(LibraryCount(c.setUp)) + "}\n") << c.args;
  }
  SbfRun plain = Sbf("count --value 7401:0::EU");
  EXPECT_NE(plain.output.find(" vehicles match"), std::string::npos) << plain.output;
}

TEST(Sbf, ListsVehiclesAsJson) {
  SbfRun run = Sbf("vehicles --value 7401:0::EU --max 135:0::60 --sort name,model_year --json");
  ASSERT_EQ(run.status, 0);
  const int32_t expected = LibraryCount([](mirel_SbF::Search& s) {
    s.AddSelection("7401", "0", "", "EU");
    s.AddMax("135", "0", "", "60");
  });
  EXPECT_EQ(run.output.rfind("{\"columns\":[\"vehicle_id\",\"name\",\"model_year\"],\"rows\":[[", 0), 0u)
      << run.output;
  EXPECT_NE(run.output.find("],\"count\":" + std::to_string(expected) + "}"), std::string::npos)
      << run.output;
}

TEST(Sbf, PrintsAndRestoresTheState) {
  SbfRun run = Sbf("state --value 740:0::D --range 135:0::100:250 --max 136:1::4.5", false);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "2~740~0~~D~~1~135~0~~100~250~1~136~1~~!!~4.5\n");
  SbfRun back = Sbf("state --state 2~740~0~~D~~1~135~0~~100~250 --json", false);
  EXPECT_EQ(back.output, "{\"state\":\"2~740~0~~D~~1~135~0~~100~250\"}\n");
}

TEST(Sbf, FailuresExitNonZeroWithTheError) {
  struct Case {
    const char* args;
    int status;
    const char* text;
  } cases[] = {
      {"count --value 7401:0", 64, ""},
      {"count --bogus", 64, ""},
      {"fly", 64, ""},
      {"count --lang x", 64, ""},
      {"count --value 7401x:0::US --json", 2, "\"source\":\"mirel_SbF.CreateVehicleSql\""},
      {"state --state x~1~0~~D~ --json", 2, "\"source\":\"mirel_SbF.ParseState\""},
      {"count --value :0::US --json", 2, "\"description\":\"Missing Schema ID\""},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_NE(run.output.find(c.text), std::string::npos) << c.args << ": " << run.output;
  }
  std::string out;
  int status = mirel_test::RunCommand(std::string("\"") + MIREL_SBF_EXE + "\" count --data /nonexistent-sbf-folder", out);
  EXPECT_EQ(status, 2);
  EXPECT_NE(out.find("nonexistent-sbf-folder"), std::string::npos) << out;
}

}  // namespace
