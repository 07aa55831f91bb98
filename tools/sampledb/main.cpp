// sampledb: builds the sample databases specs.db and prj.db.
//
//   sampledb cars --cars <cars.json> --out <folder>
//   sampledb synthetic --vehicles N [--items N] [--criteria N] [--seed S] --out <folder>
//   sampledb pgscript --from <folder> --out <file.sql> [--reader ROLE]
//
// The input is read and checked before the output folder is touched. Both
// databases are then written to scratch files in the output folder and only
// renamed over the existing ones once both are complete, so a failed build
// leaves the previous databases (or nothing) behind, never a partial one.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>

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
    "  sampledb synthetic --vehicles N [--items N] [--criteria N] [--seed S] --out <folder>\n"
    "  sampledb pgscript --from <folder> --out <file.sql> [--reader ROLE]\n"
    "  sampledb --help\n"
    "\n"
    "Writes <folder>/specs.db and <folder>/prj.db, creating the folder if needed.\n"
    "Existing databases are replaced only when the build succeeds.\n"
    "  cars       the vehicles of the vega-datasets cars data set\n"
    "  synthetic  N generated vehicles (1 to 10000000); the same N and seed\n"
    "             (default 1) always give the same databases; --items N rows per\n"
    "             vehicle of items no criterion reads (default 200, 0 to 2000);\n"
    "             --criteria N makes N of those items criteria rows of the screen\n"
    "             (default 0, at most --items): lists of equipment values, some\n"
    "             ranges and lists of numbers, in eight more categories\n"
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
  int criteria = 0;
};

// The command line, read by CLI11: one subcommand per mode, each option once with a value,
// numbers in their ranges; an option of another mode is named as not expected.
Options ParseArguments(int argc, char** argv) {
  if (argc < 2) throw UsageError("no mode given (expected 'cars', 'synthetic' or 'pgscript')");
  const std::string mode = argv[1];
  if (mode != "cars" && mode != "synthetic" && mode != "pgscript")
    throw UsageError("unknown mode '" + mode + "' (expected 'cars', 'synthetic' or 'pgscript')");
  Options o;
  std::string out, cars, from;
  CLI::App app("builds the sample databases", "sampledb");
  app.set_help_flag();  // the usage text below is the help
  auto once = [](CLI::App* sub, const char* name, auto& value) {
    return sub->add_option(name, value)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  };
  CLI::App* carsMode = app.add_subcommand("cars");
  once(carsMode, "--cars", cars);
  once(carsMode, "--out", out);
  CLI::App* synthetic = app.add_subcommand("synthetic");
  once(synthetic, "--vehicles", o.vehicles)->check(CLI::Range(std::uint64_t{1}, kMaxVehicles));
  once(synthetic, "--items", o.items)->check(CLI::Range(0, static_cast<int>(kMaxExtraItems)));
  once(synthetic, "--criteria", o.criteria)->check(CLI::Range(0, static_cast<int>(kMaxExtraItems)));
  once(synthetic, "--seed", o.seed)->check([](const std::string& v) {
    return !v.empty() && v[0] == '-' ? std::string("a seed is a whole number of 0 or more, not " + v) : std::string();
  });
  once(synthetic, "--out", out);
  CLI::App* pgscript = app.add_subcommand("pgscript");
  once(pgscript, "--from", from);
  once(pgscript, "--out", out);
  once(pgscript, "--reader", o.reader);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  CLI::App* chosen = carsMode->parsed() ? carsMode : synthetic->parsed() ? synthetic : pgscript;
  o.mode = chosen == carsMode ? Mode::Cars : chosen == synthetic ? Mode::Synthetic : Mode::PgScript;
  const char* required[] = {"--out", o.mode == Mode::Cars ? "--cars" : o.mode == Mode::Synthetic ? "--vehicles" : "--from"};
  for (const char* name : required) {
    const CLI::Option* option = chosen->get_option(name);
    if (option->count() == 0) throw UsageError(std::string("missing option ") + name);
    if (option->as<std::string>().empty()) throw UsageError(std::string("option ") + name + " has an empty value");
  }
  if (o.criteria > o.items)
    throw UsageError("--criteria " + std::to_string(o.criteria) + " is more than the " + std::to_string(o.items) +
                     " extra items (--items)");
  o.out = out;
  o.cars = cars;
  o.from = from;
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
  const std::vector<sampledb::ExtraCriterion> criteria = sampledb::MakeExtraCriteria(o.criteria, sampledb::kFirstExtraItem);
  const sampledb::SpecsSummary summary =
      sampledb::WriteSpecsDatabase(specsTemp, vehicles, o.mode == Mode::Synthetic ? o.items : 0, criteria);
  sampledb::WriteProjectDatabase(prjTemp, criteria);

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
    return Run(ParseArguments(argc, argv));
  } catch (const UsageError& e) {
    std::cerr << "sampledb: " << e.what() << "\n\n" << kUsage;
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "sampledb: " << e.what() << "\n";
    return kExitBuildFailed;
  }
}
