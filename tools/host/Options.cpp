#include "Options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "Request.h"

namespace sbf_host {
namespace {

// A whole number in [low, high]: an optional minus and digits, nothing else.
bool WholeIn(const std::string& text, long long low, long long high) {
  errno = 0;
  char* end = nullptr;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && text.find_first_of(" \t+") == std::string::npos && *end == '\0' && errno == 0 && n >= low &&
         n <= high;
}

CLI::Validator Needs(const char* what, long long low, long long high) {
  return CLI::Validator(
      [=](std::string& text) {
        return WholeIn(text, low, high) ? std::string() : std::string("needs ") + what + ", not \"" + text + "\"";
      },
      "");
}

}  // namespace

void AddDataOptions(CLI::App& app, DataOptions& options) {
  app.add_option("--data", options.data);
  app.add_option("--connection,--conn", options.connection);
  app.add_option("--specs", options.specs);
  app.add_option("--project", options.project);
}

std::string ConnectionOf(const DataOptions& o) {
  if (o.connection) return *o.connection;
  namespace fs = std::filesystem;
  const std::string build =
      "build the sample databases with ./sample.sh in the source folder, or with\n"
      "  sampledb cars --cars node_modules/vega-datasets/data/cars.json --out " + o.data +
      "\n(or point --data at another folder)";
  std::error_code ec;
  if (!fs::is_directory(o.data, ec)) throw DataError("the data folder " + o.data + " does not exist: " + build);
  for (const std::string& name : {o.specs, o.project}) {
    const fs::path file = fs::path(o.data) / (name + ".db");
    if (!fs::is_regular_file(file, ec))
      throw DataError("the data folder " + o.data + " has no " + file.filename().string() + ": " + build);
  }
  return "Provider=SQLite;Data Source=" + o.data;
}

CLI::Validator NumberIn(const char* what, long long low, long long high) { return Needs(what, low, high); }

CLI::Validator WholeNumber() { return Needs("a whole number", INT32_MIN, INT32_MAX); }
CLI::Validator RowCount() { return Needs("a number of rows (0 or more)", 0, INT32_MAX); }
CLI::Validator PortNumber() { return Needs("a port number (0 to 65535)", 0, 65535); }

std::vector<std::string> ColumnList(const std::string& option, const std::string& text) {
  const std::vector<std::string> columns = SplitList(text);
  for (const auto& column : columns)
    if (column.empty()) throw UsageError(option + " has an empty column name: \"" + text + "\"");
  return columns;
}

std::string UsageText(const CLI::ParseError& e) {
  std::string what = e.what();
  if (dynamic_cast<const CLI::ValidationError*>(&e)) {
    const size_t colon = what.find(": ");
    if (colon != std::string::npos) what.erase(colon, 1);
    return what;
  }
  // CLI11 reports an unknown option, or a word where none belongs, as arguments it did not expect.
  if (what.rfind("The following argument", 0) == 0) {
    const std::string extra = what.substr(what.find(':') + 2);
    return (extra.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + extra;
  }
  return what;
}

}  // namespace sbf_host
