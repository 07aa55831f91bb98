// The sample databases for tests: built once per test program from the real cars by the
// project's own builder, into a temporary folder that is removed at exit; the tests' own
// SQLite access to them and to databases of their own; and running the tools.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "search/SearchImpl.h"

namespace mirel_test {

// Folder with specs.db and prj.db. Fails the calling test (and every later one) with the
// builder's output when the databases cannot be built.
const std::string& SampleFolder();

// "Provider=SQLite;Data Source=<SampleFolder()>", or, when the environment variable
// MIREL_TEST_CONNECTION_FILE names a file, the connection string on its first line (a
// server that holds the same sample).
std::string SampleConnection();

// The rows of `sql` on <folder>/specs.db with <folder>/prj.db attached as prj, read by
// SQLite directly rather than through the library, each column as text (NULL as ""):
// the tests' own account of the data.
std::vector<std::vector<std::string>> RowsOf(const std::string& folder, const std::string& sql);
// The first column of each row of `sql` on the sample (RowsOf).
std::vector<std::string> SampleColumn(const std::string& sql);
// The ids of the vehicles that pass the default filters (not advanced, not old, not
// built) and meet every condition, each a test on their equipment row `e` of one item,
// e.g. {7401, "e.data_value = 'EU'"}; and how many they are.
std::vector<std::string> SampleVehicles(const std::vector<std::pair<int, std::string>>& conditions);
int SampleCount(const std::vector<std::pair<int, std::string>>& conditions);

// Runs `sql` (statements separated by ";") on the SQLite file `file`, creating it when
// absent; fails the calling test with SQLite's message when a statement fails.
void ExecSql(const std::string& file, const std::string& sql);

// The state of an activated Search with every filter off, language `language` and the
// databases "specs" and "prj" behind `connection`.
mirel_SbF::Search::State NewState(const std::string& connection, int32_t language = 1);

// A new empty folder under the system's temporary folder, removed at exit.
std::string MakeTempFolder(const std::string& prefix);

// `text` quoted for the shell.
std::string ShellQuote(const std::string& text);

// Runs `command` through the shell; returns its exit status and fills `output` with what
// it wrote to stdout and stderr.
int RunCommand(const std::string& command, std::string& output);

// A command's exit status (-1 when it did not exit) and what it wrote to each stream.
struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};
CommandRun RunApart(const std::string& command);

}  // namespace mirel_test
