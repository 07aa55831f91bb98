#include "support/LoadMix.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "mirel_SbF/mirel_SbF.h"

namespace mirel_test {

namespace {

using mirel_SbF::Search;

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
  const int32_t languages[] = {1, 3, 5};
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
      for (; !rs->EndOfFile(); rs->MoveNext()) out += mirel_SbF::CStr(rs->Fields("vehicle_id").Value()) + ",";
      return out;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> RunLoadMix(const std::string& conn, int threads, int callsPerThread) {
  const std::vector<Input> inputs = Inputs();
  std::vector<std::string> expected;
  for (const Input& in : inputs) expected.push_back(Answer(conn, in));
  std::vector<std::string> problems;
  if (expected[0] == expected[4]) problems.push_back("the inputs do not differ");

  std::atomic<int> done{0};
  std::mutex mutex;
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      for (int i = 0; i < callsPerThread; ++i) {
        const size_t k = static_cast<size_t>(t * 7 + i) % inputs.size();
        std::string problem;
        try {
          if (Answer(conn, inputs[k]) == expected[k]) ++done;
          else problem = "wrong answer for input " + std::to_string(k);
        } catch (const mirel_SbF::Error& e) {
          problem = e.Source() + ": " + e.Description();
        }
        if (!problem.empty()) {
          std::lock_guard<std::mutex> lock(mutex);
          if (problems.size() < 8) problems.push_back("thread " + std::to_string(t) + ": " + problem);
        }
      }
    });
  }
  for (auto& th : pool) th.join();
  if (done.load() != threads * callsPerThread)
    problems.push_back(std::to_string(threads * callsPerThread - done.load()) + " calls without the right answer");
  return problems;
}

}  // namespace mirel_test
