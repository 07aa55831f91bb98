// The sampledb tool: the cars databases every other test reads, checked with SQL of this
// test's own; a small cars file of its own; bad input, which leaves the databases already
// built untouched; the PostgreSQL script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/SampleData.h"

namespace fs = std::filesystem;

namespace {

using mirel_test::RowsOf;

mirel_test::CommandRun Sampledb(const std::vector<std::string>& args) {
  std::string command = mirel_test::ShellQuote(MIREL_SAMPLEDB_EXE);
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on " " + std::string at -O2.
  for (const std::string& a : args) {
    command += ' ';
    command += mirel_test::ShellQuote(a);
  }
  return mirel_test::RunApart(command);
}

// The rows of `sql` on the databases in `folder`, columns joined by "|" and rows by " ".
std::string Figure(const std::string& folder, const std::string& sql) {
  std::string out;
  for (const auto& row : RowsOf(folder, sql)) {
    std::string line;
    for (const auto& value : row) line += (line.empty() ? "" : "|") + value;
    out += (out.empty() ? "" : " ") + line;
  }
  return out;
}

// The cars databases (the sample the other tests read): the rules of the data, each as the
// rows that would break it, and figures of the data set.
TEST(SampledbCars, HoldsTheFiguresAndBreaksNoRuleOfTheData) {
  const std::string coded = "(106, 111, 112, 117, 7401, 7402, 7403, 7404)";
  struct Case {
    const char* what;
    std::string sql;
    std::string expected;
  } figures[] = {
      // Rules.
      {"one row of each filter item per vehicle",
       "select count(*) from version v, (select 106 i union select 302 union select 111 union select 112 union select "
       "117 union select 1102) f where (select count(*) from equipment e where e.vehicle_id = v.vehicle_id and "
       "e.schema_id = f.i) <> 1", "0"},
      {"air conditioning standard only on US cars from 1978, none before 1975",
       "select count(*) from equipment e join version v using (vehicle_id) where e.schema_id = 7403 and (v.model_year < 1975 "
       "or e.option_id <> case when v.origin = 'US' and v.model_year >= 1978 then 0 else 1 end)", "0"},
      {"every coded value has a text in every language",
       "select count(*) from (select distinct schema_id, data_value from equipment where schema_id in " + coded + ") e, "
       "(select 1 l union select 3 union select 5 union select 7) g where not exists (select 1 from schema_text t where "
       "t.schema_id = e.schema_id and t.data_value = e.data_value and t.full_text <> '' and t.language_id = g.l)", "0"},
      // The screen: each item in one row, and every part of a row of several items named.
      {"items in more than one row",
       "select criterion_schema_id from prj.search_by_features group by criterion_schema_id, criterion_location "
       "having count(distinct row_id) > 1", ""},
      {"parts of a shared row without a name in every language",
       "select count(*) from prj.search_by_features f, (select 1 l union select 3 union select 5 union select 7) g where "
       "(select count(*) from prj.search_by_features o where o.row_id = f.row_id) > 1 and not exists (select 1 from "
       "schema_text t where t.schema_id = f.criterion_schema_id and t.data_value = '' and t.language_id = g.l)", "0"},
      // Advanced (106 "A", some of 1982), old ("(O)", 1970 and 1971) and built ("(+)", 1972): a few
      // cars each, the others "N" and the plain year.
      {"cars marked advanced, old, built",
       "select count(*) from equipment where (schema_id = 106 and data_value = 'A') or (schema_id = 302 and data_value "
       "like '(%') group by schema_id, substr(data_value, 1, 3) order by schema_id, substr(data_value, 1, 3)", "30 28 64"},
      // Figures of the data set.
      // Makes normalised ("chevy", "chevroelt", "vw", "vokswagen", "toyouta", "maxda", "capri ii")
      // and texts translated, by the cars that carry them.
      {"makes",
       "select t.full_text, count(*) from equipment e join schema_text t using (schema_id, data_value) where e.schema_id = "
       "111 and t.language_id = 1 and t.full_text in ('Chevrolet', 'Volkswagen', 'Toyota', 'Mazda', 'Mercury', "
       "'International') group by t.full_text", "Chevrolet|48 International|1 Mazda|12 Mercury|12 Toyota|26 Volkswagen|23"},
  };
  for (const auto& f : figures) EXPECT_EQ(Figure(mirel_test::SampleFolder(), f.sql), f.expected) << f.what;
}

// A small cars file of our own: the rules for names, nulls and derived items.
TEST(SampledbCars, AppliesTheRulesToEachRecord) {
  const std::string tmp = mirel_test::MakeTempFolder("sampledb");
  std::ofstream(tmp + "/cars.json") << R"([
    {"Name":"chevy c20", "Miles_per_Gallon":10, "Cylinders":8, "Displacement":307, "Horsepower":200,
     "Weight_in_lbs":4376, "Acceleration":15, "Year":"1970-01-01", "Origin":"USA"},
    {"Name":"vw rabbit", "Miles_per_Gallon":null, "Cylinders":4, "Displacement":97.5, "Horsepower":null,
     "Weight_in_lbs":1937, "Acceleration":14.2, "Year":"1976-01-01", "Origin":"Europe"},
    {"Name":"maxda rx3", "Miles_per_Gallon":18, "Cylinders":3, "Displacement":70, "Horsepower":90,
     "Weight_in_lbs":2124, "Acceleration":13.5, "Year":"1978-01-01", "Origin":"Japan"},
    {"Name":"amc hornet", "Miles_per_Gallon":19, "Cylinders":6, "Displacement":232, "Horsepower":100,
     "Weight_in_lbs":3000, "Acceleration":16, "Year":"1975-01-01", "Origin":"USA"}
  ])";
  const auto run = Sampledb({"cars", "--cars", tmp + "/cars.json", "--out", tmp});
  ASSERT_EQ(run.status, 0) << run.err;
  auto value = [](int item, const char* column = "data_value") {
    return " || '|' || coalesce((select " + std::string(column) + " from equipment e where e.vehicle_id = v.vehicle_id "
           "and e.schema_id = " + std::to_string(item) + "), '')";
  };
  // make|model|age|layout|weight class|price|air conditioning option|displacement, per vehicle.
  EXPECT_EQ(Figure(tmp, "select v.make || '|' || v.model" + value(302) + value(7402) + value(7404) + value(902) +
                            value(7403, "option_id") + value(1103) + " from version v order by v.vehicle_id"),
            "Chevrolet|C20|(O)1970|V|3|9040||307 Volkswagen|Rabbit|1976|I|1||1|97.5 Mazda|RX3|1978|R|1|6230|1|70 "
            "AMC|Hornet|1975|V|2|6750|1|232");
  EXPECT_EQ(Figure(tmp, "select count(*) from equipment where vehicle_id = 2 and schema_id in (135, 1106, 902)"), "0");
}

// Bad input: a message, and the databases already in the output folder (or no script)
// stay as they were; a successful build replaces them.
TEST(SampledbArguments, RefusesBadInputAndKeepsTheExistingDatabases) {
  const std::string tmp = mirel_test::MakeTempFolder("sampledb");
  const std::string out = tmp + "/out";
  ASSERT_EQ(Sampledb({"synthetic", "--vehicles", "20", "--out", out}).status, 0);
  std::ofstream(tmp + "/truncated.json") << R"([{"Name": "ford pinto", "Year": )";
  std::ofstream(tmp + "/badorigin.json") << R"([{"Name": "ford pinto", "Year": "1971-01-01", "Origin": "Mars"}])";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "no mode"},
      {{"bogus", "--out", out}, "unknown mode 'bogus'"},
      {{"synthetic", "--vehicles", "10", "--seed", "-1", "--out", out}, "a seed is a whole number of 0 or more"},
      {{"cars", "--cars", tmp + "/no-such.json", "--out", out}, "cannot open the cars file"},
      {{"cars", "--cars", tmp + "/truncated.json", "--out", out}, "truncated.json': parse error at line 1"},
      {{"cars", "--cars", tmp + "/badorigin.json", "--out", out}, "unknown Origin \"Mars\""},
      {{"pgscript", "--from", tmp + "/none", "--out", tmp + "/x.sql"}, "cannot open"},
      {{"pgscript", "--from", out, "--out", tmp + "/x.sql", "--reader", "a b"}, "not a plain name"},
  };
  for (const Case& c : cases) {
    const auto run = Sampledb(c.args);
    EXPECT_NE(run.status, 0) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.message << "\nstderr: " << run.err;
    EXPECT_EQ(run.out, "") << c.message;
    // The two databases, no file left half-written beside them, the vehicles as they were.
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2) << c.message;
    EXPECT_EQ(Figure(out, "select count(*) from version"), "20") << c.message;
  }
  EXPECT_FALSE(fs::exists(tmp + "/x.sql"));
  ASSERT_EQ(Sampledb({"synthetic", "--vehicles", "30", "--out", out}).status, 0);
  EXPECT_EQ(Figure(out, "select count(*) from version"), "30");
  const auto help = Sampledb({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("sampledb synthetic --vehicles"), std::string::npos) << help.out;
}

// The script that loads the databases into PostgreSQL: COPY's escapes, types, keys and
// grants. (The sample loaded by it: the ODBC server tests; bad input, which writes no
// script: RefusesBadInputAndKeepsTheExistingDatabases.)
TEST(SampledbPgScript, CarriesEveryValueTypeAndKey) {
  const std::string tmp = mirel_test::MakeTempFolder("sampledb");
  const std::string from = tmp + "/from";
  fs::create_directories(from);
  mirel_test::ExecSql(from + "/specs.db",
                      "CREATE TABLE Version(vehicle_id INTEGER PRIMARY KEY, Name TEXT NOT NULL, price REAL);"
                      "INSERT INTO Version VALUES (1, 'tab\there\\back' || char(10) || 'line', 1.08), (2, 'Général', NULL);");
  mirel_test::ExecSql(from + "/prj.db", "CREATE TABLE categories(category_name TEXT PRIMARY KEY, sbf_order_id INTEGER);");
  const auto run = Sampledb({"pgscript", "--from", from, "--out", tmp + "/load.sql", "--reader", "reader"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::ifstream in(tmp + "/load.sql");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* expected : {
           "CREATE TABLE \"specs\".\"version\" (\"vehicle_id\" bigint, \"name\" text NOT NULL, \"price\" double "
           "precision, PRIMARY KEY (\"vehicle_id\"));\n",
           "COPY \"specs\".\"version\" (\"vehicle_id\", \"name\", \"price\") FROM stdin WITH (FREEZE);\n"
           "1\ttab\\there\\\\back\\nline\t1.08\n2\tGénéral\t\\N\n\\.\n",
           "GRANT SELECT ON ALL TABLES IN SCHEMA \"prj\" TO \"reader\";\n",
       })
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
}

}  // namespace
