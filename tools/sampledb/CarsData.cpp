#include "CarsData.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "Catalog.h"

namespace sampledb {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ReadWholeFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec))
    throw std::runtime_error("cannot read the cars file '" + file.string() + "': it is a folder");
  errno = 0;
  FilePtr f(std::fopen(file.c_str(), "rb"));
  if (!f) {
    throw std::runtime_error("cannot open the cars file '" + file.string() +
                             "': " + std::strerror(errno));
  }
  std::string text;
  char buf[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(buf, 1, sizeof buf, f.get());
    text.append(buf, n);
    if (n < sizeof buf) break;
  }
  if (std::ferror(f.get()))
    throw std::runtime_error("cannot read the cars file '" + file.string() + "'");
  return text;
}

// FNV-1a, 32 bits: a fixed hash, independent of the standard library's.
std::uint32_t Fnv1a(std::string_view s) {
  std::uint32_t h = 2166136261u;
  for (const char c : s) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

using Json = nlohmann::json;

// "a number", "an object", ... for messages.
std::string KindName(const Json& v) {
  const std::string name = v.is_number() ? "number" : v.type_name();
  return (name[0] == 'a' || name[0] == 'o' ? "an " : "a ") + name;
}

class RecordReader {
 public:
  RecordReader(const Json& record, std::size_t index, const std::string& source)
      : record_(record), index_(index), source_(source) {}

  [[noreturn]] void Fail(const std::string& what) const {
    std::string where = source_ + ": record " + std::to_string(index_ + 1);
    if (!name_.empty()) where += " (\"" + name_ + "\")";
    throw std::runtime_error(where + ": " + what);
  }

  // A member that is absent or null reads as nullptr.
  const Json* Get(const char* member) const {
    const auto found = record_.find(member);
    return (found == record_.end() || found->is_null()) ? nullptr : &*found;
  }

  std::string RequiredString(const char* member) const {
    const Json* v = Get(member);
    if (v == nullptr) Fail(std::string("the member ") + member + " is missing");
    if (!v->is_string()) Fail(std::string(member) + " must be a string, not " + KindName(*v));
    return v->get<std::string>();
  }

  std::optional<double> Number(const char* member) const {
    const Json* v = Get(member);
    if (v == nullptr) return std::nullopt;
    if (!v->is_number()) Fail(std::string(member) + " must be a number or null, not " + KindName(*v));
    const double d = v->get<double>();
    if (!(d > 0)) Fail(std::string(member) + " must be positive, not " + FormatNumber(d));
    return d;
  }

  std::optional<int> WholeNumber(const char* member) const {
    const std::optional<double> d = Number(member);
    if (!d) return std::nullopt;
    if (*d != std::floor(*d) || *d > 1e6)
      Fail(std::string(member) + " must be a whole number below 1000000, not " + FormatNumber(*d));
    return static_cast<int>(*d);
  }

  void SetName(std::string name) { name_ = std::move(name); }

 private:
  const Json& record_;
  std::size_t index_;
  const std::string& source_;
  std::string name_;
};

Vehicle ReadRecord(const Json& record, std::size_t index, const std::string& source) {
  RecordReader r(record, index, source);
  if (!record.is_object()) r.Fail("expected an object, found " + KindName(record));

  const std::string rawName = r.RequiredString("Name");
  r.SetName(rawName);
  if (rawName.find_first_not_of(" \t\r\n") == std::string::npos) r.Fail("the Name is empty");
  const SplitName split = SplitVehicleName(rawName);

  Vehicle v;
  v.makeKey = split.makeKey;
  v.model = split.model;

  // "1970-01-01": the model year is the year of the date.
  const std::string date = r.RequiredString("Year");
  if (date.size() < 4 || !std::isdigit(static_cast<unsigned char>(date[0])) ||
      !std::isdigit(static_cast<unsigned char>(date[1])) ||
      !std::isdigit(static_cast<unsigned char>(date[2])) ||
      !std::isdigit(static_cast<unsigned char>(date[3])) || (date.size() > 4 && date[4] != '-'))
    r.Fail("Year must be a date such as \"1970-01-01\", not \"" + date + "\"");
  v.year = std::stoi(date.substr(0, 4));
  if (v.year < 1900) r.Fail("Year " + date + " is before 1900");

  if (const Json* o = r.Get("Origin")) {
    if (!o->is_string()) r.Fail("Origin must be a string, not " + KindName(*o));
    const std::string& s = o->get_ref<const std::string&>();
    if (s == "USA") v.origin = Origin::US;
    else if (s == "Europe") v.origin = Origin::EU;
    else if (s == "Japan") v.origin = Origin::JP;
    else r.Fail("unknown Origin \"" + s + "\" (expected USA, Europe or Japan)");
  }

  v.cylinders = r.WholeNumber("Cylinders");
  v.displacement = r.Number("Displacement");
  v.horsepower = r.WholeNumber("Horsepower");
  v.weight = r.WholeNumber("Weight_in_lbs");
  v.acceleration = r.Number("Acceleration");
  v.mpg = r.Number("Miles_per_Gallon");

  // Advance models: the cars of the last model year of the data set (1982) whose
  // name hashes to an even number, about half of them and some 7% of all cars.
  v.advanced = v.year == 1982 && Fnv1a(rawName) % 2 == 0;
  return v;
}

}  // namespace

std::vector<Vehicle> ParseCars(std::string_view jsonText, const std::string& sourceName) {
  Json records;
  try {
    records = Json::parse(jsonText);
  } catch (const Json::parse_error& e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 31: ...": the part
    // after the library's tag.
    const std::string what = e.what();
    throw std::runtime_error("malformed JSON in " + sourceName + ": " + what.substr(what.find(']') + 2));
  }
  if (!records.is_array())
    throw std::runtime_error(sourceName + ": expected an array of cars, found " + KindName(records));
  if (records.empty()) throw std::runtime_error(sourceName + ": the file holds no cars");
  std::vector<Vehicle> vehicles;
  vehicles.reserve(records.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    vehicles.push_back(ReadRecord(records[i], i, sourceName));
  return vehicles;
}

std::vector<Vehicle> LoadCarsFile(const std::filesystem::path& file) {
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "'" + std::string at -O2.
  std::string name = "'";
  name += file.string();
  name += '\'';
  return ParseCars(ReadWholeFile(file), name);
}

}  // namespace sampledb
