// The sample databases for tests: built once per test program from the real cars by the
// project's own builder, into a temporary folder that is removed at exit.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace mirel_test {

// Folder with specs.db and prj.db. Fails the calling test (and every later one) with the
// builder's output when the databases cannot be built.
const std::string& SampleFolder();

// "Provider=SQLite;Data Source=<SampleFolder()>", or, when the environment variable
// MIREL_TEST_CONNECTION_FILE names a file, the connection string on its first line (a
// server that holds the same sample).
std::string SampleConnection();

// The first column of every row `sql` gives on the sample's specs.db, read with SQLite
// directly (the project database attached as prj): the answer of a test's own SQL, not
// the library's.
std::vector<std::string> SampleColumn(const std::string& sql);
// Vehicles that pass the default filters (not advanced, not old, not built) and meet every
// condition, each a test on their equipment row `e` of one item, e.g.
// {7401, "e.data_value = 'EU'"}.
int SampleCount(const std::vector<std::pair<int, std::string>>& conditions);

// A new empty folder under the system's temporary folder, removed at exit.
std::string MakeTempFolder(const std::string& prefix);

// Runs `command` through the shell; returns its exit status and fills `output` with what
// it wrote to stdout and stderr.
int RunCommand(const std::string& command, std::string& output);

}  // namespace mirel_test
