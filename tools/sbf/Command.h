// The command line of sbf: parsed (CLI11) into one Command and checked before the library
// is called, so a bad command line never half-runs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Options.h"
#include "Request.h"
#include "Vehicles.h"

namespace sbf {

using sbf_host::UsageError;

// The commands sbf knows, each a CLI11 subcommand with its own options. A new command gets
// a row here (for the parser and --help) and a function in main.cpp's table.
struct CommandInfo {
  const char* name;
  const char* summary;
  bool needsDatabase;     // false: no catalog, no checks against the data (price)
};
std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(const std::string& name);

struct Command {
  std::string name;                    // one of Commands()
  std::string amount, from;            // price: AMOUNT FROM
  sbf_host::DataOptions data;
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
  bool checkOnly = false;  // index: check the index file, write nothing
  bool json = false;
  bool help = false;
};

// Options may be written "--name VALUE" or "--name=VALUE", anywhere after the command (the
// shared ones before it too).
Command ParseCommand(const std::vector<std::string>& args);
std::string Usage();

}  // namespace sbf
