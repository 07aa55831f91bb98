// The command line of sbf: parsed into one Command, checked before the library is called.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sbf {

// A bad command line: the message says what was wrong.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Selection {
  enum Kind { Value, Range, Min, Max } kind;
  std::vector<std::string> parts;  // schema, location, schema value, then value / bounds
};

struct Command {
  std::string name;  // count, vehicles, state
  std::string data = "data/sample";
  std::optional<std::string> conn;
  std::string specs = "specs";
  std::string project = "prj";
  int32_t language = 1;
  std::string currencies = "USD";
  bool includeAdvanced = false, includeOld = false, includeBuilt = false;
  std::optional<std::string> oem, make, excludeModel;
  std::optional<int32_t> segment;
  bool standardOnly = false;
  bool noReduce = false;
  std::optional<std::string> state;
  std::vector<Selection> selections;
  std::string sort;
  bool json = false;
  bool help = false;
};

Command ParseCommand(const std::vector<std::string>& args);
const char* Usage();

}  // namespace sbf
