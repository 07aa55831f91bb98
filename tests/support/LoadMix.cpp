#include "support/LoadMix.h"

#include <iterator>
#include <mutex>
#include <thread>

#include "mirel_SbF/mirel_SbF.h"

namespace mirel_test {

namespace {

using mirel_SbF::Search;

// The choices of the inputs, each {schema, value} or {schema, min, max} ("" for no maximum);
// each is asked for four ways: the whole screen, the Engine section, the count and the list.
const std::vector<std::vector<std::string>> kChoices[] = {
    {},
    {{"7401", "EU"}},
    {{"7401", "EU"}, {"135", "70", "100"}},
    {{"7402", "V"}, {"1101", "8"}},
    {{"7401", "JP"}, {"1106", "30", ""}},
};
constexpr size_t kInputs = std::size(kChoices) * 4;

// The answer to input `k` as one text, so that answers compare whole.
std::string Answer(const std::string& conn, size_t k) {
  const int32_t languages[] = {1, 3, 5};
  Search search;
  search.SetDatabaseInfo(conn, "specs", "prj", languages[k / 4 % 3], "GBP,EUR,USD");
  for (const auto& s : kChoices[k / 4]) {
    if (s.size() == 2) search.AddSelection(s[0], "0", "", s[1]);
    else if (s[2].empty()) search.AddMin(s[0], "0", "", s[1]);
    else search.AddMinMax(s[0], "0", "", s[1], s[2]);
  }
  std::string out;
  if (k % 4 == 2) return std::to_string(search.GetNumberOfMatchingVehicles());
  if (k % 4 == 3) {
    auto rs = search.GetMatchingVehicles(false, true, "name,model_year");
    for (; !rs->EndOfFile(); rs->MoveNext()) out += mirel_SbF::CStr(rs->Fields("vehicle_id").Value()) + ",";
    return out;
  }
  search.DoSearch(false, k % 4 ? "Engine" : "");
  for (const auto& row : search) {
    out += row->TitleText() + "[" + std::to_string(row->RowId()) + "]:";
    for (const auto& value : *row) out += value->FullText() + (value->IsSelected() ? "*," : ",");
    out += "\n";
  }
  return out;
}

}  // namespace

std::vector<std::string> RunLoadMix(const std::string& conn, int threads, int callsPerThread) {
  std::vector<std::string> expected;
  for (size_t k = 0; k < kInputs; ++k) expected.push_back(Answer(conn, k));
  std::vector<std::string> problems;
  if (expected[0] == expected[4]) problems.push_back("the inputs do not differ");

  std::mutex mutex;
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      for (int i = 0; i < callsPerThread; ++i) {
        const size_t k = static_cast<size_t>(t * 7 + i) % kInputs;
        std::string problem;
        try {
          if (Answer(conn, k) != expected[k]) problem = "wrong answer for input " + std::to_string(k);
        } catch (const mirel_SbF::Error& e) {
          problem = e.Source() + ": " + e.Description();
        }
        if (problem.empty()) continue;
        std::lock_guard<std::mutex> lock(mutex);
        if (problems.size() < 8) problems.push_back("thread " + std::to_string(t) + ": " + problem);
      }
    });
  }
  for (auto& th : pool) th.join();
  return problems;
}

}  // namespace mirel_test
