// The command line of sbf: parsed (CLI11) into one Command and checked before the library
// is called, so a bad command line never half-runs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Request.h"
#include "Vehicles.h"

namespace sbf {

// A bad command line: the message says what was wrong.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The commands sbf knows. A new command gets a row here (for the parser and --help) and a
// function in main.cpp's table.
struct CommandInfo {
  const char* name;
  const char* summary;
  bool needsDatabase;     // false: works without the data (no SetDatabaseInfo)
  bool takesSort;         // --sort, --columns, --limit and --offset apply
  const char* arguments;  // the words after the command, e.g. "AMOUNT FROM"; "" for none
};
std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(const std::string& name);

struct Command {
  std::string name;                    // one of Commands()
  std::vector<std::string> arguments;  // the words after the command
  std::string data = "data/sample";
  std::optional<std::string> connection;
  sbf_host::Settings settings;  // connection set by main from --connection or --data
  bool noReduce = false;
  std::optional<std::string> state;               // replaces the default marks; before `selections`
  std::vector<sbf_host::Selection> selections;    // in command-line order
  std::vector<sbf_host::Criterion> eitherOr;      // marked after the state, before the selections
  std::vector<sbf_host::Criterion> allOf;         // unmarked likewise (--and)
  bool counts = false;   // search: matching vehicles per value and range step
  bool keepAll = false;  // search: also the values no matching vehicle has (count 0); counts too
  std::string sort;
  std::vector<std::string> columns = sbf_host::kDefaultColumns;  // vehicles: the version columns shown
  size_t offset = 0;                 // vehicles: the first row shown (0-based)
  std::optional<size_t> limit;       // vehicles: at most this many rows
  std::string category;  // search: one category (name or heading), empty for all
  bool json = false;
  bool help = false;
};

// Options may be written "--name VALUE" or "--name=VALUE", anywhere on the line.
Command ParseCommand(const std::vector<std::string>& args);
std::string Usage();

}  // namespace sbf
