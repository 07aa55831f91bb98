// The sampledb tool: the cars databases every other test reads, checked with SQL of this
// test's own; a small cars file of its own; bad input, which leaves the databases already
// built untouched; the PostgreSQL script.
#include <gtest/gtest.h>

#include <algorithm>
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
      {{"synthetic", "--vehicles", "10", "--items", "5", "--criteria", "6", "--out", out}, "--criteria 6 is more than the 5"},
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

// Synthetic data with extra items made criteria (--criteria): a wide screen shaped like real
// equipment, more criteria than the catalogue holds so that it starts again; the rules as the
// rows that would break them, and figures of the shape. Without --criteria the extra items are
// what they always were.
TEST(SampledbSynthetic, MakesCriteriaShapedLikeEquipment) {
  const std::string tmp = mirel_test::MakeTempFolder("sampledb");
  const std::string wide = tmp + "/wide", again = tmp + "/again", plain = tmp + "/plain";
  for (const std::string& out : {wide, again}) {
    const auto run = Sampledb({"synthetic", "--vehicles", "400", "--items", "175", "--criteria", "170", "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  ASSERT_EQ(Sampledb({"synthetic", "--vehicles", "3", "--items", "4", "--criteria", "0", "--out", plain}).status, 0);
  for (const char* file : {"/specs.db", "/prj.db"}) {
    std::ifstream a(wide + file, std::ios::binary), b(again + file, std::ios::binary);
    EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b), {}))
        << file << " differs between two builds of the same data";
  }
  const std::string criteria = "(select * from prj.search_by_features where row_id >= 1000)";
  const std::string languages = "(select 1 l union select 3 union select 5 union select 7)";
  const std::string items = "schema_id between 20001 and 20170";
  struct Case {
    const char* what;
    std::string folder, sql, expected;
  } figures[] = {
      // Rules.
      {"one row per item, the first extra items", wide,
       "select count(*), count(distinct row_id), min(criterion_schema_id), max(criterion_schema_id), max(criterion_location) "
       "from " + criteria, "170|170|20001|20170|0"},
      {"each category's rows together", wide,
       "select count(*) from (select category, (max(row_id) - min(row_id)) / 10 + 1 - count(*) gap from " + criteria +
       " group by category) where gap <> 0", "0"},
      {"a title in every language, each used once", wide,
       "select count(*) from " + criteria + " f, " + languages + " g where (select count(*) from "
       "prj.search_by_features_text t where t.sbf_row_id = f.row_id and t.language_id = g.l and t.search_by_Features_text "
       "<> '' and (select count(*) from prj.search_by_features_text u where u.language_id = g.l and "
       "u.search_by_Features_text = t.search_by_Features_text) = 1) <> 1", "0"},
      {"a heading for every category in every language", wide,
       "select count(*), sum((select count(*) from prj.application_texts a where a.text_id = c.category_name and "
       "a.application_text <> '') = 4) from prj.categories c", "11|11"},
      {"ranges with a step and decimals, over numbers", wide,
       "select count(*) from " + criteria + " f join schema_info si on si.schema_id = f.criterion_schema_id where "
       "multi_select_style = 2 and (criterion_increment is null or criterion_increment <= 0 or criterion_format is null "
       "or si.data_type not in (1, 2))", "0"},
      {"every coded value has a text in every language", wide,
       "select count(*) from (select distinct schema_id, data_value from equipment join schema_info using (schema_id) "
       "where " + items + " and data_type = 3) e, " + languages + " g where not exists (select 1 from schema_text t where "
       "t.schema_id = e.schema_id and t.data_value = e.data_value and t.full_text <> '' and t.language_id = g.l)", "0"},
      {"numbers written plainly", wide,
       "select count(*) from equipment join schema_info using (schema_id) where " + items + " and data_type in (1, 2) and "
       "(data_value glob '*[^0-9.]*' or data_value glob '*.*0' or data_value = '' or location <> 0)", "0"},
      {"several values on one vehicle only in the lists of several", wide,
       "select group_concat(search_by_Features_text, ', ') from (select distinct t.search_by_Features_text from equipment e "
       "join prj.search_by_features f on f.criterion_schema_id = e.schema_id join prj.search_by_features_text t on "
       "t.sbf_row_id = f.row_id and t.language_id = 1 where e." + items + " group by e.vehicle_id, e.schema_id having "
       "count(*) > 1 order by 1)", "Interior colours, Paint colours, Trim levels"},
      {"larger cars are longer", wide,
       "select avg(case when w.data_value = '3' then cast(l.data_value as real) end) > avg(case when w.data_value = '1' "
       "then cast(l.data_value as real) end) + 500 from equipment l join equipment w using (vehicle_id) where w.schema_id "
       "= 7404 and l.schema_id = (select criterion_schema_id from prj.search_by_features f join "
       "prj.search_by_features_text t on t.sbf_row_id = f.row_id where t.search_by_Features_text = 'Length (mm)')", "1"},
      // The shape: rows by kind (list or range, type of data), items missing on some
      // vehicles, items an option on some, rows per vehicle.
      {"rows by kind", wide,
       "select group_concat(n, ' ') from (select multi_select_style || '/' || data_type || ':' || count(*) n from " +
       criteria + " f join schema_info si on si.schema_id = f.criterion_schema_id group by multi_select_style, data_type "
       "order by 1)",
       "1/1:8 1/3:134 2/1:19 2/2:9"},
      {"items missing on some vehicles, an option on some", wide,
       "select sum(n < 400), sum(options > 0) from (select count(distinct vehicle_id) n, sum(option_id > 0) options from "
       "equipment where " + items + " group by schema_id)", "170|119"},
      {"rows per vehicle", wide, "select count(*) / 400 from equipment", "125"},
      // Without criteria: the sample's screen, and the extra items' values as they always were.
      {"the sample's screen", plain, "select count(*), (select count(*) from prj.categories) from prj.search_by_features",
       "14|3"},
      {"the extra items", plain,
       "select group_concat(schema_id || '=' || data_value || '/' || option_id, ' ') from (select * from equipment where "
       "schema_id >= 20001 order by vehicle_id, schema_id)",
       "20001=v1/0 20002=v2/0 20003=v1/0 20004=v2/3 20001=v1/3 20002=v1/0 20003=v2/0 20004=v1/0 20001=v1/0 20002=v2/0 "
       "20003=v0/0 20004=v1/3"},
  };
  for (const auto& f : figures) EXPECT_EQ(Figure(f.folder, f.sql), f.expected) << f.what;
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
