// Hostile values in every text argument of Search, run on a real engine: each value in
// each argument must either be refused with a clear error or give exactly the answer a
// harmless value that matches nothing gives in the same place. A value that escaped its
// literal (or changed an unquoted number or name) would change the answer, or the data:
// the caller checks that its canary table survived.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mirel_test {

// The texts an attacker would try: quotes and their look-alikes (overlong UTF-8, fullwidth),
// backslashes for engines that escape with them, comments, second statements, adjacent
// literals, other dialects' quoting and numbers the engines read differently.
const std::vector<std::string>& HostileValues();

struct HostileFinding {
  std::string argument;
  std::string value;
  std::string what;  // the answer or error that differed
};

// Runs HostileValues() x every text argument against the databases `specs` and `prj`
// reached by `connection`; returns every case that neither was refused with a clear error
// nor answered like the harmless value.
std::vector<HostileFinding> RunHostileMatrix(const std::string& connection, const std::string& specs,
                                             const std::string& prj);

}  // namespace mirel_test
