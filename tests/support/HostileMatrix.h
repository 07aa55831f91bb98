// Hostile values in every text argument of Search, run on a real engine: each value in
// each argument must either be refused with a clear error or give exactly the answer a
// harmless value that matches nothing gives in the same place. A value that escaped its
// literal (or changed an unquoted number or name) would change the answer, or the data:
// the caller checks that its canary table survived. The values fuzzer (tests/fuzz) feeds
// the same arguments.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mirel_test {

struct Databases {
  std::string connection;
  std::string specs;
  std::string prj;
};

// What a value of an argument is, for a value of the same structure (tests/fuzz): a number,
// a text, a comma-separated list (of sort columns, of currencies), a whole saved state, a
// database name; or a field inside a saved state.
enum class ValueKind { Number, Text, List, SortList, Currencies, State, Name, InState };

// One text argument: what it does with a value (its answer as text), and a value that
// matches nothing there.
struct TextArgument {
  const char* name;
  ValueKind kind;
  const char* harmless;
  std::function<std::string(const Databases&, const std::string&)> ask;
  bool harmlessFails = false;  // no such database or currency: any clear error will do
  // A sort list: a well-formed bracketed name ("[x]") is a column reference the engine
  // looks up as one name, so "no such column" is its right answer.
  bool namesColumns = false;
};

// Every text argument of Search, each on a Search of its own with the language 1 and USD.
const std::vector<TextArgument>& TextArguments();

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
