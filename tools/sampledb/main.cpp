// sampledb: builds the sample databases specs.db and prj.db.
//
//   sampledb cars --cars <cars.json> --out <folder>
//   sampledb synthetic --vehicles N [--items N] [--seed S] --out <folder>
//   sampledb pgscript --from <folder> --out <file.sql> [--reader ROLE]
//
// The input is read and checked before the output folder is touched. Both
// databases are then written to scratch files in the output folder and only
// renamed over the existing ones once both are complete, so a failed build
// leaves the previous databases (or nothing) behind, never a partial one.
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CarsData.h"
#include "PgScript.h"
#include "Schema.h"
#include "Synthetic.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitBuildFailed = 1;
constexpr int kExitUsage = 2;

// Large enough for any benchmark, small enough that a typing slip cannot
// exhaust the memory of the machine.
constexpr std::uint64_t kMaxVehicles = 10'000'000;
constexpr std::uint64_t kDefaultSeed = 1;
// Rows per vehicle of items no criterion reads: a real specifications database carries
// hundreds per vehicle.
constexpr int kDefaultExtraItems = 200;
constexpr std::uint64_t kMaxExtraItems = 2000;

const char kUsage[] =
    "usage:\n"
    "  sampledb cars --cars <path to cars.json> --out <folder>\n"
    "  sampledb synthetic --vehicles N [--items N] [--seed S] --out <folder>\n"
    "  sampledb pgscript --from <folder> --out <file.sql> [--reader ROLE]\n"
    "  sampledb --help\n"
    "\n"
    "Writes <folder>/specs.db and <folder>/prj.db, creating the folder if needed.\n"
    "Existing databases are replaced only when the build succeeds.\n"
    "  cars       the vehicles of the vega-datasets cars data set\n"
    "  synthetic  N generated vehicles (1 to 10000000); the same N and seed\n"
    "             (default 1) always give the same databases; --items N rows per\n"
    "             vehicle of items no criterion reads (default 200, 0 to 2000)\n"
    "  pgscript   a script that loads <folder>/specs.db and prj.db into PostgreSQL\n"
    "             as schemas specs and prj (psql -1 -f <file.sql>), granting\n"
    "             read access to ROLE\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Mode { Cars, Synthetic, PgScript };

struct Options {
  Mode mode = Mode::Cars;
  fs::path cars;
  fs::path from;
  std::string reader;
  fs::path out;
  std::uint64_t vehicles = 0;
  std::uint64_t seed = kDefaultSeed;
  int items = kDefaultExtraItems;
};

// A whole decimal number, nothing else: no sign, no blanks, no suffix.
std::optional<std::uint64_t> ParseCount(std::string_view text) {
  std::uint64_t value = 0;
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

Options ParseArguments(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("no mode given (expected 'cars' or 'synthetic')");
  Options o;
  if (args[0] == "cars") o.mode = Mode::Cars;
  else if (args[0] == "synthetic") o.mode = Mode::Synthetic;
  else if (args[0] == "pgscript") o.mode = Mode::PgScript;
  else throw UsageError("unknown mode '" + args[0] + "' (expected 'cars', 'synthetic' or 'pgscript')");

  // Options allowed per mode; each may be given once and takes a value.
  const std::vector<std::string> allowed =
      o.mode == Mode::Cars        ? std::vector<std::string>{"--cars", "--out"}
      : o.mode == Mode::Synthetic ? std::vector<std::string>{"--vehicles", "--items", "--seed", "--out"}
                                  : std::vector<std::string>{"--from", "--out", "--reader"};
  std::map<std::string, std::string> values;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& name = args[i];
    bool known = false;
    for (const std::string& a : allowed) known = known || a == name;
    if (!known) throw UsageError("unknown option '" + name + "' for mode '" + args[0] + "'");
    if (values.count(name)) throw UsageError("option " + name + " is given twice");
    if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
    values[name] = args[++i];
  }

  auto required = [&](const std::string& name) -> const std::string& {
    const auto it = values.find(name);
    if (it == values.end()) throw UsageError("missing option " + name);
    if (it->second.empty()) throw UsageError("option " + name + " has an empty value");
    return it->second;
  };
  o.out = required("--out");
  if (o.mode == Mode::Cars) {
    o.cars = required("--cars");
  } else if (o.mode == Mode::PgScript) {
    o.from = required("--from");
    if (values.count("--reader")) o.reader = required("--reader");
  } else {
    const std::string& count = required("--vehicles");
    const std::optional<std::uint64_t> n = ParseCount(count);
    if (!n || *n < 1 || *n > kMaxVehicles)
      throw UsageError("--vehicles must be a whole number from 1 to " +
                       std::to_string(kMaxVehicles) + ", not '" + count + "'");
    o.vehicles = *n;
    if (const auto it = values.find("--items"); it != values.end()) {
      const std::optional<std::uint64_t> n = ParseCount(it->second);
      if (!n || *n > kMaxExtraItems)
        throw UsageError("--items must be a whole number from 0 to " + std::to_string(kMaxExtraItems) + ", not '" +
                         it->second + "'");
      o.items = static_cast<int>(*n);
    }
    if (const auto it = values.find("--seed"); it != values.end()) {
      const std::optional<std::uint64_t> s = ParseCount(it->second);
      if (!s) throw UsageError("--seed must be a whole number, not '" + it->second + "'");
      o.seed = *s;
    }
  }
  return o;
}

// Scratch files in the output folder, removed unless the build is committed.
// Also removes the output folder when this run created it and the build failed.
class ScratchFiles {
 public:
  ScratchFiles(fs::path folder, bool createdFolder)
      : folder_(std::move(folder)), createdFolder_(createdFolder) {}
  ScratchFiles(const ScratchFiles&) = delete;
  ScratchFiles& operator=(const ScratchFiles&) = delete;

  ~ScratchFiles() {
    if (committed_) return;
    std::error_code ec;
    for (const fs::path& f : files_) fs::remove(f, ec);
    if (createdFolder_ && fs::is_empty(folder_, ec)) fs::remove(folder_, ec);
  }

  // A fresh path for `finalName`, unique to this process.
  fs::path Add(const std::string& finalName) {
    fs::path p = folder_ / ("." + finalName + ".building-" + std::to_string(::getpid()));
    fs::remove(p);  // a leftover of an earlier, killed run with the same process id
    files_.push_back(p);
    return p;
  }

  void Commit() { committed_ = true; }

 private:
  fs::path folder_;
  bool createdFolder_;
  std::vector<fs::path> files_;
  bool committed_ = false;
};

// The script is written beside its final name and renamed over it when complete.
int WriteScript(const Options& o) {
  const fs::path temp = o.out.string() + ".writing-" + std::to_string(::getpid());
  try {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot create '" + temp.string() + "'");
    sampledb::WritePgScript({o.from, {"specs", "prj"}, o.reader}, file);
    file.close();
    if (!file) throw std::runtime_error("cannot write '" + temp.string() + "'");
    fs::rename(temp, o.out);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  std::cout << "sampledb: wrote " << o.out.string() << "\n";
  return 0;
}

int Run(const Options& o) {
  if (o.mode == Mode::PgScript) return WriteScript(o);
  // Read the input first: bad input must not touch the output folder.
  const std::vector<sampledb::Vehicle> vehicles =
      o.mode == Mode::Cars ? sampledb::LoadCarsFile(o.cars)
                           : sampledb::GenerateVehicles(o.vehicles, o.seed);

  std::error_code ec;
  const bool existed = fs::exists(o.out, ec);
  if (existed && !fs::is_directory(o.out, ec))
    throw std::runtime_error("the output path '" + o.out.string() + "' is not a folder");
  if (!existed && !fs::create_directories(o.out, ec) && ec)
    throw std::runtime_error("cannot create the output folder '" + o.out.string() +
                             "': " + ec.message());

  ScratchFiles scratch(o.out, !existed);
  const fs::path specsTemp = scratch.Add("specs.db");
  const fs::path prjTemp = scratch.Add("prj.db");
  const sampledb::SpecsSummary summary = sampledb::WriteSpecsDatabase(specsTemp, vehicles, o.mode == Mode::Synthetic ? o.items : 0);
  sampledb::WriteProjectDatabase(prjTemp);

  const fs::path specs = o.out / "specs.db";
  const fs::path prj = o.out / "prj.db";
  fs::rename(specsTemp, specs);  // replaces an existing file in one step
  fs::rename(prjTemp, prj);
  scratch.Commit();

  std::cout << "sampledb: built " << summary.vehicles << " vehicles (" << summary.makes
            << " makes, " << summary.models << " models, " << summary.equipmentRows
            << " equipment rows) into " << specs.string() << " and " << prj.string() << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  try {
    return Run(ParseArguments(args));
  } catch (const UsageError& e) {
    std::cerr << "sampledb: " << e.what() << "\n\n" << kUsage;
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "sampledb: " << e.what() << "\n";
    return kExitBuildFailed;
  }
}
