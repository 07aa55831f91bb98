// The sample databases for tests: built once per test program from the real cars by the
// project's own builder, into a temporary folder that is removed at exit.
#pragma once

#include <string>

namespace mirel_test {

// Folder with specs.db and prj.db. Fails the calling test (and every later one) with the
// builder's output when the databases cannot be built.
const std::string& SampleFolder();

// "Provider=SQLite;Data Source=<SampleFolder()>", or, when the environment variable
// MIREL_TEST_CONNECTION_FILE names a file, the connection string on its first line (a
// server that holds the same sample).
std::string SampleConnection();

// A new empty folder under the system's temporary folder, removed at exit.
std::string MakeTempFolder(const std::string& prefix);

// Runs `command` through the shell; returns its exit status and fills `output` with what
// it wrote to stdout and stderr.
int RunCommand(const std::string& command, std::string& output);

}  // namespace mirel_test
