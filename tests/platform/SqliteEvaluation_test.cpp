// The SQLite engine's faster forms against the texts as written: random databases, random
// searches through the library, every text the library composes run three ways (as written,
// level by level, and from postings) and the record sets compared row by row.
#include <gtest/gtest.h>

#include <random>

#include "common/SqlText.h"
#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "platform/FacetEvaluator.h"
#include "platform/sqlite/SqliteProvider.h"
#include "support/SameRecordSets.h"
#include "support/SampleData.h"

namespace {

std::string Quote(const std::string& s) { return "'" + mirel_SbF::DoubleQuotes(s) + "'"; }

// "INSERT INTO <table> VALUES (<values>);", the values already SQL.
std::string Insert(const std::string& table, const std::vector<std::string>& values) {
  std::string row;
  for (const std::string& v : values) row += (row.empty() ? "" : ",") + v;
  return "INSERT INTO " + table + " VALUES (" + row + ");";
}

// One random pair of databases of the library's schema: a few dozen vehicles with filter
// items, coded and numeric items (multi-valued, at two locations, standard or optional),
// value texts with quotes, blanks and non-ASCII letters, numbers the cast reads oddly, and a
// screen of criteria rows of every kind, in two sections and a segment.
struct RandomDatabases {
  std::vector<std::string> codedValues = {"EU", "US", "JP", "O'Brien", "x y", "\xC3\xA9t\xC3\xA9", "*", ""};
  std::vector<std::string> numberValues = {"12", "12.0", "1.5", "100", "250", "7", "abc", "", "1e3", "0", "7 "};

  RandomDatabases(std::mt19937& rng, const std::string& folder) {
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
    const int vehicles = 30 + static_cast<int>(rng() % 60);
    int64_t id = chance(20) ? int64_t{3000000000} : 1 + static_cast<int64_t>(rng() % 1000);
    for (int i = 0; i < vehicles; ++i) {
      id += 1 + static_cast<int64_t>(rng() % 3);
      auto row = [&](int schema, const std::string& value, int location = 0) {
        specs += Insert("equipment", {number(id), number(schema), number(location), Quote(value), chance(25) ? "7" : "0"});
      };
      if (chance(90)) row(106, chance(15) ? "A" : "N");
      if (chance(90)) row(302, pick({"(O)1970", "(+)1972", "1976", "1980"}));
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
    mirel_test::ExecSql(folder + "/specs.db",
                        "BEGIN;" + specs + "COMMIT;CREATE INDEX equipment_schema_value ON equipment(schema_id, "
                        "data_value, vehicle_id);CREATE INDEX equipment_vehicle ON equipment(vehicle_id);");

    std::string prj =
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
        "INSERT INTO currency_symbol VALUES ('USD','$',0,2,1.1),('EUR','E',0,2,1.0),('GBP','L',1,2,0.7);";
    const std::vector<std::string> coded = {"7401", "7402"}, numeric = {"1101", "135", "902"};
    for (int rowId = 10; rowId < 80; rowId += 10) {
      const std::string category = chance(50) ? "'Engine'" : "'Body'";
      const int orders = chance(30) ? 2 : 1;
      for (int order = 1; order <= orders; ++order) {
        const bool isNumber = rng() % 5 >= 2;
        const std::string value = isNumber ? pick({"", "*"}) : pick({"", "*", pick(codedValues)});
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
    mirel_test::ExecSql(folder + "/prj.db", prj);
  }
};

TEST(SqliteEvaluation, RandomSearchesGiveTheSameRecordSetsInEveryForm) {
  // Each text as written, level by level, and twice from postings (the second run answers
  // from what the first one kept), also with nothing kept.
  mirel_test::DifferentialProvider provider(
      "Differential", "Evaluation=Plain",
      {"Evaluation=Levels", "Evaluation=Facets", "Evaluation=Facets", "Evaluation=Facets;Cache MB=0"},
      [](const std::string& sql, const std::string& db, const std::string& conn, const std::string& setting) {
        return mirel_platform::SqliteExecuteQuery(sql, db, conn.substr(conn.find("Data Source=")) + ";" + setting);
      });
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  std::mt19937 rng(20261207);
  int failures = 0;
  for (int database = 0; database < 6; ++database) {
    const std::string folder = mirel_test::MakeTempFolder("sbf_differential");
    RandomDatabases data(rng, folder);
    auto pick = [&](std::vector<std::string> v) { return v[rng() % v.size()]; };
    for (int search = 0; search < 30; ++search) {
      mirel_SbF::Search s;
      const int lang = rng() % 2 ? 1 : 3;
      s.SetDatabaseInfo("Provider=Differential;Data Source=" + folder, "specs", "prj", lang,
                        pick({"USD", "EUR,USD", "GBP,EUR,USD"}));
      s.ExcludeAdvancedVehicles(rng() % 2);
      s.ExcludeOldVehicles(rng() % 2);
      s.ExcludeBuiltVehicles(rng() % 2);
      if (rng() % 3 == 0) s.MakeInclusionList(pick({"1", "2,3", "1, 4", "9"}));
      if (rng() % 4 == 0) s.OEMInclusionList(pick({"1", "2,3"}));
      if (rng() % 4 == 0) s.ModelExclusionList(pick({"1", "2,5"}));
      if (rng() % 4 == 0) s.SegmentId(1);
      for (int c = static_cast<int>(rng() % 6); c > 0; --c) {
        switch (rng() % 4) {
          case 0: s.AddSelection(pick({"7401", "7402"}), pick({"0", "1"}), "", pick(data.codedValues)); break;
          case 1: s.AddMinMax(pick({"1101", "135"}), "0", "", pick({"-5", "0", "10"}), pick({"12", "100", "300"})); break;
          case 2: s.AddMin("902", "0", "", pick({"6000", "12000.5"})); break;
          default: s.AddMax(pick({"135", "1101"}), pick({"0", "1"}), "", pick({"1.5", "50"})); break;
        }
      }
      const bool standard = rng() % 3 == 0;
      const bool reduce = rng() % 4 != 0;
      try {
        s.DoSearch(standard, pick({"", "Engine", "Body"}), reduce);
        s.GetNumberOfMatchingVehicles(standard, reduce);
        s.GetMatchingVehicles(standard, reduce, pick({"", "name", "model_year,name", "price"}))->Close();
        s.GetSbFHeadings()->Close();
      } catch (const mirel_SbF::Error&) {
        ++failures;  // the same failure in every form was checked by the provider
      }
      if (::testing::Test::HasFailure()) return;
    }
  }
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 800);
  EXPECT_LT(failures, 45);
  // Both faster forms were really taken, not only the text as written.
  EXPECT_GT(after.facets - before.facets, 300);
  EXPECT_GT(after.levels - before.levels, 50);
}

}  // namespace
