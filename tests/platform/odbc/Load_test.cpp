// Many hosts at once on one server: eight threads, each with Search objects of its own,
// run a mix of screens, counts and vehicle lists; every answer must be the one a single
// thread got for the same input, and no call may fail or go missing.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "mirel_SbF/mirel_SbF.h"
#include "ServerConfig.h"

namespace mirel_SbF {
namespace {

struct Input {
  int32_t language;
  std::vector<std::vector<std::string>> selections;  // {schema, value} or {schema, min, max}
  enum Kind { Screen, Count, List } kind;
  std::string category;
};

std::vector<Input> Inputs() {
  const std::vector<std::vector<std::vector<std::string>>> choices = {
      {},
      {{"7401", "EU"}},
      {{"7401", "EU"}, {"135", "70", "100"}},
      {{"7402", "V"}, {"1101", "8"}},
      {{"7401", "JP"}, {"1106", "30", ""}},
  };
  std::vector<Input> inputs;
  int32_t languages[] = {1, 3, 5};
  for (size_t c = 0; c < choices.size(); ++c) {
    const int32_t lang = languages[c % 3];
    inputs.push_back({lang, choices[c], Input::Screen, ""});
    inputs.push_back({lang, choices[c], Input::Screen, "Engine"});
    inputs.push_back({lang, choices[c], Input::Count, ""});
    inputs.push_back({lang, choices[c], Input::List, ""});
  }
  return inputs;
}

// The answer as one text, so that answers compare whole.
std::string Answer(const std::string& conn, const Input& in) {
  Search search;
  search.SetDatabaseInfo(conn, "specs", "prj", in.language, "GBP,EUR,USD");
  for (const auto& s : in.selections) {
    if (s.size() == 2) search.AddSelection(s[0], "0", "", s[1]);
    else if (s[2].empty()) search.AddMin(s[0], "0", "", s[1]);
    else search.AddMinMax(s[0], "0", "", s[1], s[2]);
  }
  std::string out;
  switch (in.kind) {
    case Input::Screen:
      search.DoSearch(false, in.category);
      for (const auto& row : search) {
        out += row->TitleText() + "[" + std::to_string(row->RowId()) + "]:";
        for (const auto& value : *row) out += value->FullText() + (value->IsSelected() ? "*," : ",");
        out += "\n";
      }
      return out;
    case Input::Count: return std::to_string(search.GetNumberOfMatchingVehicles());
    case Input::List: {
      auto rs = search.GetMatchingVehicles(false, true, "name,model_year");
      for (; !rs->EndOfFile(); rs->MoveNext()) out += CStr(rs->Fields("vehicle_id").Value()) + ",";
      return out;
    }
  }
  return out;
}

TEST(OdbcLoad, EightThreadsGetTheSingleThreadedAnswers) {
  MIREL_REQUIRE_SERVER(server);
  const std::vector<Input> inputs = Inputs();
  std::vector<std::string> expected;
  for (const Input& in : inputs) expected.push_back(Answer(server->connection, in));
  ASSERT_NE(expected[0], expected[4]);  // the inputs do differ

  constexpr int kThreads = 8;
  constexpr int kCallsPerThread = 256;
  std::atomic<int> done{0}, wrong{0}, failed{0};
  std::vector<std::string> firstProblem(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        const size_t k = static_cast<size_t>(t * 7 + i) % inputs.size();
        try {
          if (Answer(server->connection, inputs[k]) == expected[k]) {
            ++done;
          } else {
            ++wrong;
            if (firstProblem[t].empty()) firstProblem[t] = "wrong answer for input " + std::to_string(k);
          }
        } catch (const Error& e) {
          ++failed;
          if (firstProblem[t].empty()) firstProblem[t] = e.Source() + ": " + e.Description();
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(done.load(), kThreads * kCallsPerThread);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(failed.load(), 0);
  for (const std::string& p : firstProblem) EXPECT_TRUE(p.empty()) << p;
}

}  // namespace
}  // namespace mirel_SbF
