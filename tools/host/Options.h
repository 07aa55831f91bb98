// The command-line options both hosts share (CLI11): where the data is, and the checks of
// typed values that give the hosts' own words ("--limit needs a number of rows (0 or
// more), not "-1"").
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace sbf_host {

// A bad command line: the message says what was wrong (exit kExitUsage).
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The data cannot be read before the library is asked: a data folder that does not exist
// or lacks a database file (exit kExitLibrary, as a library error).
struct DataError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct DataOptions {
  std::string data = "data/sample";
  std::optional<std::string> connection;
  std::string specs = "specs";
  std::string project = "prj";
};

// --data, --connection (--conn), --specs, --project.
void AddDataOptions(CLI::App& app, DataOptions& options);

// The connection string: --connection as given, else the SQLite files of --data, which must
// exist (DataError naming what is missing and how to build the sample).
std::string ConnectionOf(const DataOptions& options);

// Checks for typed options; each refuses with "needs ..., not "TEXT"" (see UsageText).
CLI::Validator WholeNumber();  // an int32_t
CLI::Validator RowCount();     // 0 or more, within int32_t
CLI::Validator PortNumber();   // 0 to 65535
// A whole number from `low` to `high`, refused as "needs WHAT, not ...".
CLI::Validator NumberIn(const char* what, long long low, long long high);

// "a,b" -> {"a", "b"}, refusing an empty name (UsageError naming the option).
std::vector<std::string> ColumnList(const std::string& option, const std::string& text);

// A CLI11 parse error in the hosts' words: "--lang: needs a whole number" -> "--lang needs
// a whole number", an unexpected word named as an unknown option or argument.
std::string UsageText(const CLI::ParseError& e);

}  // namespace sbf_host
