#include "support/RandomDatabases.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

#include "common/SqlText.h"

namespace mirel_test {
namespace {

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error(text + " in " + sql);
  }
}

std::string Quote(const std::string& s) { return "'" + mirel_SbF::DoubleQuotes(s) + "'"; }

}  // namespace

RandomDatabases::RandomDatabases(std::mt19937& rng, const std::string& dir) : folder(dir) {
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
  sqlite3* raw = nullptr;
  sqlite3_open((folder + "/specs.db").c_str(), &raw);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> specs(raw, &sqlite3_close);
  Exec(specs.get(),
       "CREATE TABLE equipment(vehicle_id INTEGER NOT NULL, schema_id INTEGER NOT NULL, location INTEGER NOT NULL, "
       "data_value TEXT NOT NULL, option_id INTEGER NOT NULL);"
       "CREATE TABLE schema_info(schema_id INTEGER PRIMARY KEY, data_type INTEGER NOT NULL);"
       "CREATE TABLE schema_text(schema_id INTEGER, data_value TEXT, full_text TEXT, language_id INTEGER);"
       "CREATE TABLE version(vehicle_id INTEGER PRIMARY KEY, id_901 TEXT NOT NULL, name TEXT, model_year INTEGER, "
       "price REAL);"
       "INSERT INTO schema_info VALUES (106,3),(302,3),(111,3),(112,3),(117,3),(7401,3),(7402,3),(1101,1),(135,2),"
       "(902,2);BEGIN;");
  const int vehicles = 30 + static_cast<int>(rng() % 60);
  const int64_t base = chance(20) ? int64_t{3000000000} : 1 + static_cast<int64_t>(rng() % 1000);
  int64_t id = base;
  for (int i = 0; i < vehicles; ++i) {
    id += 1 + static_cast<int64_t>(rng() % 3);
    auto row = [&](int schema, const std::string& value, int location = 0) {
      Exec(specs.get(), "INSERT INTO equipment VALUES (" + std::to_string(id) + "," + std::to_string(schema) + "," +
                            std::to_string(location) + "," + Quote(value) + "," + (chance(25) ? "7" : "0") + ")");
    };
    if (chance(90)) row(106, chance(15) ? "A" : "N");
    if (chance(90)) row(302, pick({"(O)1970", "(+)1972", "1976", "1980"}));
    row(111, std::to_string(1 + rng() % 4));
    if (chance(80)) row(112, std::to_string(1 + rng() % 9));
    if (chance(80)) row(117, std::to_string(1 + rng() % 3));
    for (int schema : {7401, 7402}) {
      const int n = static_cast<int>(rng() % 3);  // none, one, or several values
      for (int k = 0; k < n; ++k) row(schema, pick(codedValues), chance(20) ? 1 : 0);
    }
    for (int schema : {1101, 135, 902}) {
      const int n = static_cast<int>(rng() % 3);
      for (int k = 0; k < n; ++k)
        row(schema, schema == 902 ? std::to_string(5000 + rng() % 20000) : chance(3) ? "-3" : pick(numberValues),
            chance(15) ? 1 : 0);
    }
    Exec(specs.get(), "INSERT INTO version VALUES (" + std::to_string(id) + ",'USD'," +
                          Quote("car " + std::to_string(rng() % 12)) + "," + std::to_string(1970 + rng() % 5) +
                          "," + (chance(20) ? "NULL" : std::to_string(5000 + rng() % 9000)) + ")");
  }
  for (const std::string& v : codedValues)
    for (int lang : {1, 3})
      if (chance(60))
        Exec(specs.get(), "INSERT INTO schema_text VALUES (7401," + Quote(v) + "," + Quote("name of " + v) + "," +
                              std::to_string(lang) + ")");
  Exec(specs.get(),
       "COMMIT;CREATE INDEX equipment_schema_value ON equipment(schema_id, data_value, vehicle_id);"
       "CREATE INDEX equipment_vehicle ON equipment(vehicle_id);");

  sqlite3_open((folder + "/prj.db").c_str(), &raw);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> prj(raw, &sqlite3_close);
  Exec(prj.get(),
       "CREATE TABLE search_by_features(row_id INTEGER, order_id INTEGER, category TEXT, criterion_schema_id INTEGER,"
       " criterion_location INTEGER, criterion_value TEXT, multi_select_style INTEGER, criterion_increment REAL,"
       " criterion_format INTEGER);"
       "CREATE TABLE search_by_features_segmentation(segment_id INTEGER, sbf_row_id INTEGER);"
       "CREATE TABLE search_by_features_text(sbf_row_id INTEGER, search_by_Features_text TEXT, language_id INTEGER);"
       "CREATE TABLE categories(category_name TEXT PRIMARY KEY, sbf_order_id INTEGER);"
       "CREATE TABLE application_texts(text_id TEXT, application_text TEXT, language_id INTEGER);"
       "CREATE TABLE currency_symbol(code TEXT PRIMARY KEY, symbol TEXT, symbolafter INTEGER, decimals INTEGER,"
       " conversion REAL);"
       "INSERT INTO categories VALUES ('Engine',1),('Body',2);"
       "INSERT INTO application_texts VALUES ('Engine','Engine',1),('Body','Body',1),('Engine','Motor',3),"
       "('Body','Karosserie',3);"
       "INSERT INTO currency_symbol VALUES ('USD','$',0,2,1.1),('EUR','E',0,2,1.0),('GBP','L',1,2,0.7);");
  struct Item {
    int schema;
    bool numeric;
  };
  const Item items[] = {{7401, false}, {7402, false}, {1101, true}, {135, true}, {902, true}};
  int rowId = 10;
  for (int r = 0; r < 7; ++r, rowId += 10) {
    const int orders = chance(30) ? 2 : 1;
    const std::string category = chance(50) ? "'Engine'" : "'Body'";
    for (int order = 1; order <= orders; ++order) {
      const Item item = items[rng() % 5];
      const std::string value =
          item.numeric ? pick({"", "*"}) : pick({"", "*", codedValues[rng() % codedValues.size()]});
      const int style = item.numeric ? (chance(60) ? 2 : 1) : static_cast<int>(rng() % 2);
      Exec(prj.get(), "INSERT INTO search_by_features VALUES (" + std::to_string(rowId) + "," +
                          std::to_string(order) + "," + category + "," +
                          std::to_string(item.schema) + "," + (chance(15) ? "1" : "0") + "," + Quote(value) + "," +
                          std::to_string(style) + "," + pick({"1", "0.5", "10"}) + "," +
                          pick({"NULL", "-1", "0", "1"}) + ")");
    }
    for (int lang : {1, 3})
      Exec(prj.get(), "INSERT INTO search_by_features_text VALUES (" + std::to_string(rowId) + ",'row " +
                          std::to_string(rowId) + "'," + std::to_string(lang) + ")");
    if (chance(50))
      Exec(prj.get(), "INSERT INTO search_by_features_segmentation VALUES (1," + std::to_string(rowId) + ")");
  }
}

}  // namespace mirel_test
