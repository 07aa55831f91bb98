// A mix of what many hosts ask at once (screens, counts, sorted vehicle lists in several
// languages and with several choices), and a run of it on eight threads that compares every
// answer with the one a single thread got for the same input.
#pragma once

#include <string>
#include <vector>

namespace mirel_test {

// What went wrong on the threads (empty when every call gave the single-threaded answer).
// REQUIRES: `conn` reaches the sample databases as specs and prj.
std::vector<std::string> RunLoadMix(const std::string& conn, int threads, int callsPerThread);

}  // namespace mirel_test
