#include "support/RandomDatabases.h"

#include <cstdint>
#include <set>

#include "sql/SqlText.h"
#include "support/SampleData.h"

namespace mirel_test {
namespace {

std::string Quote(const std::string& s) { return "'" + mirel_SbF::DoubleQuotes(s) + "'"; }

// "INSERT INTO <table> VALUES (<values>);", the values already SQL.
std::string Insert(const std::string& table, const std::vector<std::string>& values) {
  std::string row;
  for (const std::string& v : values) row += (row.empty() ? "" : ",") + v;
  return "INSERT INTO " + table + " VALUES (" + row + ");";
}

// `count` vehicle ids, ascending, lying as `shape` says.
std::vector<int64_t> VehicleIds(std::mt19937& rng, RandomDatabases::Ids shape, int count) {
  using Ids = RandomDatabases::Ids;
  std::set<int64_t> ids;
  if (shape == Ids::Scattered || shape == Ids::RunAndEnds) ids = {INT64_MIN, INT64_MAX};
  if (shape == Ids::Scattered) {
    ids.insert(0);
    std::mt19937_64 wide(rng());
    while (static_cast<int>(ids.size()) < count) ids.insert(static_cast<int64_t>(wide()));
    return {ids.begin(), ids.end()};
  }
  int64_t id = shape == Ids::Small        ? 1 + static_cast<int64_t>(rng() % 1000)
               : shape == Ids::Past32Bits ? int64_t{3000000000}
               : shape == Ids::Past53Bits ? (int64_t{1} << 53) - 3
                                          : -count;
  while (static_cast<int>(ids.size()) < count) ids.insert(id += 1 + static_cast<int64_t>(rng() % 3));
  return {ids.begin(), ids.end()};
}

}  // namespace

RandomDatabases::RandomDatabases(std::mt19937& rng, const std::string& dir, Ids shape) {
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
  auto number = [](int64_t n) { return std::to_string(n); };
  std::string specs =
      "CREATE TABLE equipment(vehicle_id INTEGER NOT NULL, schema_id INTEGER NOT NULL, location INTEGER NOT NULL, "
      "data_value TEXT NOT NULL, option_id INTEGER NOT NULL);"
      "CREATE TABLE schema_info(schema_id INTEGER PRIMARY KEY, data_type INTEGER NOT NULL);"
      "CREATE TABLE schema_text(schema_id INTEGER, data_value TEXT, full_text TEXT, language_id INTEGER);"
      "CREATE TABLE version(vehicle_id INTEGER PRIMARY KEY, id_901 TEXT NOT NULL, name TEXT, model_year INTEGER, "
      "price REAL);"
      "INSERT INTO schema_info VALUES (106,3),(302,3),(111,3),(112,3),(117,3),(7401,3),(7402,3),(1101,1),(135,2),"
      "(902,2);";
  for (const int64_t id : VehicleIds(rng, shape, 30 + static_cast<int>(rng() % 60))) {
    // Some vehicles have optional equipment only: no standard row at all.
    const bool optionalOnly = chance(8);
    auto row = [&](int schema, const std::string& value, int location = 0) {
      specs += Insert("equipment", {number(id), number(schema), number(location), Quote(value),
                                    optionalOnly || chance(25) ? "7" : "0"});
    };
    if (chance(90)) row(106, chance(15) ? "A" : "N");
    // The old and built models' filter compares the name's first three letters.
    if (chance(90)) row(302, pick({"(O)1970", "(+)1972", "1976", "1980", "(O)", "(O", "(Ö)1971", "é(+)1974"}));
    row(111, number(1 + rng() % 4));
    if (chance(80)) row(112, number(1 + rng() % 9));
    if (chance(80)) row(117, number(1 + rng() % 3));
    // None, one or several values of each item.
    for (int schema : {7401, 7402})
      for (int k = static_cast<int>(rng() % 3); k > 0; --k) row(schema, pick(codedValues), chance(20) ? 1 : 0);
    for (int schema : {1101, 135, 902})
      for (int k = static_cast<int>(rng() % 3); k > 0; --k)
        row(schema, schema == 902 ? number(5000 + rng() % 20000) : chance(3) ? "-3" : pick(numberValues),
            chance(15) ? 1 : 0);
    specs += Insert("version", {number(id), "'USD'", Quote("car " + number(rng() % 12)), number(1970 + rng() % 5),
                                chance(20) ? "NULL" : number(5000 + rng() % 9000)});
  }
  for (const std::string& v : codedValues)
    for (int lang : {1, 3})
      if (chance(60)) specs += Insert("schema_text", {"7401", Quote(v), Quote("name of " + v), number(lang)});
  mirel_test::ExecSql(dir + "/specs.db",
                      "BEGIN;" + specs + "COMMIT;CREATE INDEX equipment_schema_value ON equipment(schema_id, "
                      "data_value, vehicle_id);CREATE INDEX equipment_vehicle ON equipment(vehicle_id);");

  // A criterion value compares with the values as its column declares: as text, without regard
  // to case or trailing blanks, or as a number where both read as one.
  const std::string criterionType = pick({"TEXT", "TEXT", "TEXT COLLATE NOCASE", "TEXT COLLATE RTRIM", "NUMERIC", ""});
  std::string prj =
      "CREATE TABLE search_by_features(row_id INTEGER, order_id INTEGER, category TEXT, criterion_schema_id INTEGER,"
      " criterion_location INTEGER, criterion_value " + criterionType + ", multi_select_style INTEGER,"
      " criterion_increment REAL, criterion_format INTEGER);"
      "CREATE TABLE search_by_features_segmentation(segment_id INTEGER, sbf_row_id INTEGER);"
      "CREATE TABLE search_by_features_text(sbf_row_id INTEGER, search_by_Features_text TEXT, language_id INTEGER);"
      "CREATE TABLE categories(category_name TEXT PRIMARY KEY, sbf_order_id INTEGER);"
      "CREATE TABLE application_texts(text_id TEXT, application_text TEXT, language_id INTEGER);"
      "CREATE TABLE currency_symbol(code TEXT PRIMARY KEY, symbol TEXT, symbolafter INTEGER, decimals INTEGER,"
      " conversion REAL);"
      "INSERT INTO categories VALUES ('Engine',1),('Body',2);"
      "INSERT INTO application_texts VALUES ('Engine','Engine',1),('Body','Body',1),('Engine','Motor',3),"
      "('Body','Karosserie',3);"
      "INSERT INTO currency_symbol VALUES ('USD','$',0,2,1.1),('EUR','E',0,2,1.0),('GBP','L',1,2,0.7);";
  const std::vector<std::string> coded = {"7401", "7402"}, numeric = {"1101", "135", "902"};
  for (int rowId = 10; rowId < 80; rowId += 10) {
    const std::string category = chance(50) ? "'Engine'" : "'Body'";
    const int orders = chance(30) ? 2 : 1;
    for (int order = 1; order <= orders; ++order) {
      const bool isNumber = rng() % 5 >= 2;
      // A range row over some of an item's values: named as written, or in another form.
      const std::string value = isNumber ? pick({"", "*", "", "*", pick(numberValues), "1e3", "abc", "7", "12.00"})
                                         : pick({"", "*", pick(codedValues)});
      const int style = isNumber ? (chance(60) ? 2 : 1) : static_cast<int>(rng() % 2);
      prj += Insert("search_by_features",
                    {number(rowId), number(order), category, isNumber ? pick(numeric) : pick(coded),
                     chance(15) ? "1" : "0", Quote(value), number(style), pick({"1", "0.5", "10"}),
                     pick({"NULL", "-1", "0", "1"})});
    }
    for (int lang : {1, 3})
      prj += Insert("search_by_features_text", {number(rowId), Quote("row " + number(rowId)), number(lang)});
    if (chance(50)) prj += Insert("search_by_features_segmentation", {"1", number(rowId)});
  }
  mirel_test::ExecSql(dir + "/prj.db", prj);
}

}  // namespace mirel_test
