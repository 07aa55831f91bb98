// Runs the sampledb tool into temporary folders and checks the databases it
// writes with the sqlite3 C API.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const fs::path kCarsFile =
    fs::path(MIREL_SOURCE_DIR) / "node_modules" / "vega-datasets" / "data" / "cars.json";

// A fresh folder of its own for each user, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("sampledb_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the tool with `args`; its output goes to files in `scratch`.
RunResult RunTool(const std::vector<std::string>& args, const fs::path& scratch) {
  const fs::path outFile = scratch / "stdout.txt";
  const fs::path errFile = scratch / "stderr.txt";
  std::string command = ShellQuote(MIREL_SAMPLEDB_EXE);
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on " " + std::string at -O2.
  for (const std::string& a : args) {
    command += ' ';
    command += ShellQuote(a);
  }
  command += " >";
  command += ShellQuote(outFile.string());
  command += " 2>";
  command += ShellQuote(errFile.string());
  const int status = std::system(command.c_str());
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadFile(outFile);
  r.err = ReadFile(errFile);
  fs::remove(outFile);
  fs::remove(errFile);
  return r;
}

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

class Db {
 public:
  explicit Db(const fs::path& file) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + file.string());
  }

  StmtPtr Prepare(const std::string& sql) const {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      throw std::runtime_error(std::string(sqlite3_errmsg(db_.get())) + " in: " + sql);
    }
    return StmtPtr(raw);
  }

  // The first column of the first row as a number (0 when there is no row).
  std::int64_t Int(const std::string& sql) const {
    StmtPtr s = Prepare(sql);
    return sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int64(s.get(), 0) : 0;
  }

  // The first column of every row, as text.
  std::vector<std::string> Column(const std::string& sql) const {
    StmtPtr s = Prepare(sql);
    std::vector<std::string> out;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(s.get(), 0);
      out.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
    }
    return out;
  }

  // FNV-1a over every column of every row of `sql`, with separators, so that
  // two databases with the same content give the same figure.
  std::uint64_t Checksum(const std::string& sql) const {
    StmtPtr s = Prepare(sql);
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](unsigned char c) {
      h ^= c;
      h *= 1099511628211ull;
    };
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(s.get()); ++c) {
        const unsigned char* t = sqlite3_column_text(s.get(), c);
        for (const unsigned char* p = t; p && *p; ++p) mix(*p);
        mix(0x1F);
      }
      mix(0x1E);
    }
    return h;
  }

 private:
  std::unique_ptr<sqlite3, DbCloser> db_;
};

// Files of a folder, by name.
std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The databases of the real cars, built once for all the tests that read them.
class CarsDatabase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    const RunResult r =
        RunTool({"cars", "--cars", kCarsFile.string(), "--out", (folder_->Path() / "db").string()},
                folder_->Path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    summary_ = new std::string(r.out);
    specs_ = new Db(folder_->Path() / "db" / "specs.db");
    prj_ = new Db(folder_->Path() / "db" / "prj.db");
  }
  static void TearDownTestSuite() {
    delete specs_;
    delete prj_;
    delete summary_;
    delete folder_;
  }
  void SetUp() override { ASSERT_NE(specs_, nullptr); }

  static TempFolder* folder_;
  static std::string* summary_;
  static Db* specs_;
  static Db* prj_;
};
TempFolder* CarsDatabase::folder_ = nullptr;
std::string* CarsDatabase::summary_ = nullptr;
Db* CarsDatabase::specs_ = nullptr;
Db* CarsDatabase::prj_ = nullptr;

// Each rule as the rows that would break it: none is right.
TEST_F(CarsDatabase, BreaksNoRuleOfTheData) {
  const std::string filterItems =
      "select count(*) from version v cross join (select 106 i union select 302 union select 111 union select 112 "
      "union select 117 union select 1102) f where (select count(*) from equipment e where e.vehicle_id = "
      "v.vehicle_id and e.schema_id = f.i) <> 1";
  struct Rule {
    const char* what;
    bool project;  // in prj.db, else specs.db
    std::string violations;
  } rules[] = {
      {"one row of each filter item per vehicle", false, filterItems},
      {"prices in USD", false, "select count(*) from version where id_901 <> 'USD'"},
      {"equipment of vehicles only", false,
       "select count(*) from equipment where vehicle_id not in (select vehicle_id from version)"},
      {"numbers read back as themselves: no exponent, separator or padding", false,
       "select count(*) from equipment e join schema_info i using (schema_id) where i.data_type in (1, 2) and "
       "(cast(cast(e.data_value as real) as text) <> e.data_value and cast(cast(e.data_value as integer) as text) "
       "<> e.data_value)"},
      {"the version's price is the equipment's", false,
       "select count(*) from version v join equipment e on e.vehicle_id = v.vehicle_id and e.schema_id = 902 "
       "where v.price <> cast(e.data_value as real)"},
      {"air conditioning standard only on US cars from 1978", false,
       "select count(*) from equipment e join version v using (vehicle_id) where e.schema_id = 7403 and "
       "e.option_id <> case when v.origin = 'US' and v.model_year >= 1978 then 0 else 1 end"},
      {"no air conditioning before 1975", false,
       "select count(*) from equipment e join version v using (vehicle_id) where e.schema_id = 7403 and "
       "v.model_year < 1975"},
      {"a title per row id and language", true,
       "select count(*) from (select distinct row_id from search_by_features where order_id = 1) r cross join "
       "(select 1 l union select 3 union select 5 union select 7) g where not exists (select 1 from "
       "search_by_features_text t where t.sbf_row_id = r.row_id and t.language_id = g.l and "
       "trim(t.search_by_Features_text) <> '')"},
      {"ranges step up", true,
       "select count(*) from search_by_features where multi_select_style = 2 and not (criterion_increment > 0)"},
      {"the all segment shows every row", true,
       "select count(distinct row_id) - (select count(*) from search_by_features_segmentation where segment_id = 2) "
       "from search_by_features"},
  };
  for (const auto& r : rules) EXPECT_EQ((r.project ? prj_ : specs_)->Int(r.violations), 0) << r.what;
}

// Figures of the real data set and of the screen built over it.
TEST_F(CarsDatabase, HoldsTheFiguresOfTheDataSet) {
  struct Figure {
    const char* what;
    bool project;
    std::string sql;
    std::int64_t expected;
  } figures[] = {
      {"cars", false, "select count(*) from version", 406},
      {"cars with a horsepower (six have none)", false, "select count(*) from equipment where schema_id = 135", 400},
      {"cars with a fuel economy", false, "select count(*) from equipment where schema_id = 1106", 398},
      {"cars without a price", false, "select count(*) from version where price is null", 6},
      {"air conditioning as standard and as option", false,
       "select count(distinct option_id) from equipment where schema_id = 7403", 2},
      {"a row of two coded criteria", true,
       "select count(*) > 0 from search_by_features a join search_by_features b on b.row_id = a.row_id and "
       "a.order_id = 1 and b.order_id = 2 where a.multi_select_style = 1 and b.multi_select_style = 1", 1},
      {"a row of a range and a numeric list", true,
       "select count(*) > 0 from search_by_features a join search_by_features b on b.row_id = a.row_id and "
       "a.order_id = 1 and b.order_id = 2 where a.multi_select_style = 2 and b.multi_select_style = 1", 1},
      {"a compact segment of fewer rows", true,
       "select (select count(*) from search_by_features_segmentation where segment_id = 1) between 1 and "
       "(select count(distinct row_id) - 1 from search_by_features)", 1},
      {"German titles", true,
       "select count(*) from search_by_features_text where language_id = 3 and search_by_Features_text like "
       "'Hubraum%'", 1},
  };
  for (const auto& f : figures) EXPECT_EQ((f.project ? prj_ : specs_)->Int(f.sql), f.expected) << f.what;
  EXPECT_NE(summary_->find("406 vehicles"), std::string::npos) << *summary_;
}

TEST_F(CarsDatabase, MarksAFewCarsAdvancedOldOrBuilt) {
  struct Case {
    int item;
    const char* like;
    const char* yearRule;  // must hold for every marked car
  };
  const Case cases[] = {
      {106, "A", "v.model_year = 1982"},
      {302, "(O)%", "v.model_year in (1970, 1971) and e.data_value = '(O)' || v.model_year"},
      {302, "(+)%", "v.model_year = 1972 and e.data_value = '(+)' || v.model_year"},
  };
  for (const Case& c : cases) {
    const std::string marked = "from equipment e join version v on v.vehicle_id = e.vehicle_id "
                               "where e.schema_id = " + std::to_string(c.item) +
                               " and e.data_value like '" + c.like + "'";
    const std::int64_t n = specs_->Int("select count(*) " + marked);
    EXPECT_GT(n, 0) << c.like;
    EXPECT_LT(n, 406 / 4) << c.like;
    EXPECT_EQ(specs_->Int("select count(*) " + marked + " and not (" + c.yearRule + ")"), 0)
        << c.like;
  }
  // Unmarked cars carry "N" and the plain year.
  EXPECT_EQ(specs_->Int("select count(*) from equipment where schema_id = 106 and "
                        "data_value not in ('A', 'N')"),
            0);
  EXPECT_EQ(specs_->Int("select count(*) from equipment e join version v using (vehicle_id) "
                        "where e.schema_id = 302 and v.model_year > 1972 and "
                        "e.data_value <> cast(v.model_year as text)"),
            0);
}

TEST_F(CarsDatabase, EveryCodedValueHasATextInEveryLanguage) {
  for (const int item : {106, 111, 112, 117, 7401, 7402, 7403, 7404}) {
    for (const int language : {1, 3, 5, 7}) {
      EXPECT_EQ(specs_->Int("select count(distinct e.data_value) from equipment e where "
                            "e.schema_id = " + std::to_string(item) +
                            " and not exists (select 1 from schema_text t where t.schema_id = "
                            "e.schema_id and t.data_value = e.data_value and t.full_text <> '' "
                            "and t.language_id = " + std::to_string(language) + ")"),
                0)
          << "item " << item << ", language " << language;
    }
    EXPECT_EQ(specs_->Int("select data_type from schema_info where schema_id = " +
                          std::to_string(item)),
              3);
  }
}

TEST_F(CarsDatabase, NormalisesMakesAndTranslatesTexts) {
  struct Case {
    int item;
    int language;
    const char* text;
    std::int64_t minCars;  // cars whose value has this text
  };
  const Case cases[] = {
      {111, 1, "Chevrolet", 43},  // with "chevy" and "chevroelt"
      {111, 1, "Volkswagen", 22}, // with "vw" and "vokswagen"
      {111, 1, "Toyota", 26},     // with "toyouta"
      {111, 1, "Mazda", 12},      // with "maxda"
      {111, 1, "Mercury", 12},    // with "capri ii"
      {111, 1, "International", 1},
      {117, 1, "General Motors", 90},
      {7401, 1, "United States", 200},
      {7401, 3, "Europa", 60},
      {7401, 5, "États-Unis", 200},
      {7401, 5, "Japon", 70},
  };
  for (const Case& c : cases) {
    EXPECT_GE(specs_->Int("select count(*) from equipment e join schema_text t on t.schema_id = "
                          "e.schema_id and t.data_value = e.data_value where e.schema_id = " +
                          std::to_string(c.item) + " and t.language_id = " +
                          std::to_string(c.language) + " and t.full_text = '" + c.text + "'"),
              c.minCars)
        << c.text;
  }
  const std::vector<std::string> makes =
      specs_->Column("select t.full_text from schema_text t where t.schema_id = 111 and "
                     "t.language_id = 1");
  for (const char* wrong : {"Chevy", "Chevroelt", "Vw", "Vokswagen", "Toyouta", "Maxda", "Hi",
                            "Capri", "Mercedes-benz"})
    EXPECT_EQ(std::count(makes.begin(), makes.end(), wrong), 0) << wrong;
  // Codes are numbered by name and of one width, so that ordered as text (as the screen
  // lists values) they read in name order: AMC, Audi, ... not AMC, Dodge, Fiat, ... Audi.
  for (const int item : {111, 112, 117}) {
    const std::string texts = "select full_text from schema_text where schema_id = " + std::to_string(item) +
                              " and language_id = 1 order by ";
    EXPECT_EQ(specs_->Column(texts + "data_value"), specs_->Column(texts + "cast(data_value as integer)")) << item;
    EXPECT_EQ(specs_->Int("select count(distinct length(data_value)) from schema_text where schema_id = " +
                          std::to_string(item)), 1) << item;
  }
  EXPECT_EQ(specs_->Column("select full_text from schema_text where schema_id = 111 and "
                           "language_id = 1 order by data_value limit 2"),
            (std::vector<std::string>{"AMC", "Audi"}));
}

TEST_F(CarsDatabase, WritesNumbersAsPlainTextAndLeavesNullsOut) {
  // The second car, "buick skylark 320", exactly as the data set has it.
  struct Case {
    int item;
    const char* value;
  };
  const Case cases[] = {{1101, "8"},    {1103, "350"},  {135, "165"},  {1104, "3693"},
                        {1105, "11.5"}, {1106, "15"},   {1102, "1970"}, {7402, "V"},
                        {7404, "H"},    {902, "7790"},  {7401, "US"}};
  for (const Case& c : cases) {
    EXPECT_EQ(specs_->Column("select data_value from equipment where vehicle_id = 2 and "
                             "schema_id = " + std::to_string(c.item)),
              std::vector<std::string>{c.value})
        << "item " << c.item;
  }
  EXPECT_EQ(specs_->Int("select count(*) from equipment where vehicle_id = 2 and schema_id = 7403"),
            0);  // no air conditioning before 1975
}

TEST_F(CarsDatabase, EachCategoryHasCodedRangeAndNumericListRows) {
  ASSERT_TRUE(fs::exists(folder_->Path() / "db" / "specs.db"));
  // The kinds are told apart by the item's data type, which lives in specs.db.
  std::vector<std::string> types;
  for (const std::string& id : specs_->Column("select schema_id || ':' || data_type from schema_info"))
    types.push_back(id);
  auto typeOf = [&](const std::string& schemaId) {
    for (const std::string& t : types)
      if (t.rfind(schemaId + ":", 0) == 0) return std::stoi(t.substr(schemaId.size() + 1));
    return 0;
  };
  for (const char* category : {"General", "Engine", "Body"}) {
    int coded = 0, range = 0, numericList = 0;
    for (const std::string& row :
         prj_->Column(std::string("select criterion_schema_id || ':' || multi_select_style from "
                                  "search_by_features where category = '") + category + "'")) {
      const std::string id = row.substr(0, row.find(':'));
      const int style = std::stoi(row.substr(row.find(':') + 1));
      const int type = typeOf(id);
      ASSERT_NE(type, 0) << "item " << id << " is not in schema_info";
      if (type == 3) ++coded;
      else if (style == 2) ++range;
      else if (style == 1) ++numericList;
    }
    EXPECT_GT(coded, 0) << category;
    EXPECT_GT(range, 0) << category;
    EXPECT_GT(numericList, 0) << category;
    EXPECT_EQ(prj_->Int(std::string("select count(*) from application_texts where text_id = '") +
                        category + "'"),
              4);
  }
  EXPECT_EQ(prj_->Column("select category_name from categories order by sbf_order_id"),
            (std::vector<std::string>{"General", "Engine", "Body"}));
}

TEST_F(CarsDatabase, CurrencyTableHoldsTheUsualCurrencies) {
  struct Case {
    const char* code;
    const char* row;
  };
  const Case cases[] = {{"EUR", "€|0|1.0"}, {"USD", "$|0|1.08"}, {"GBP", "£|0|0.86"},
                        {"JPY", "¥|0|158.0"}, {"CHF", "CHF|1|0.96"}, {"SEK", "kr|1|11.3"}};
  for (const Case& c : cases) {
    EXPECT_EQ(prj_->Column(std::string("select symbol || '|' || symbolafter || '|' || conversion "
                                       "from currency_symbol where code = '") + c.code + "'"),
              std::vector<std::string>{c.row});
  }
  EXPECT_GE(prj_->Int("select count(*) from currency_symbol"), 11);
}

// A small cars file of our own: the rules for names, nulls and derived items.
TEST(SampledbCarsFile, AppliesTheRulesToEachRecord) {
  TempFolder tmp;
  WriteFile(tmp.Path() / "cars.json", R"([
    {"Name":"chevy c20", "Miles_per_Gallon":10, "Cylinders":8, "Displacement":307,
     "Horsepower":200, "Weight_in_lbs":4376, "Acceleration":15, "Year":"1970-01-01", "Origin":"USA"},
    {"Name":"vw rabbit", "Miles_per_Gallon":null, "Cylinders":4, "Displacement":97.5,
     "Horsepower":null, "Weight_in_lbs":1937, "Acceleration":14.2, "Year":"1976-01-01",
     "Origin":"Europe"},
    {"Name":"capri ii", "Miles_per_Gallon":25, "Cylinders":6, "Displacement":140,
     "Horsepower":92, "Weight_in_lbs":2572, "Acceleration":14.9, "Year":"1972-01-01",
     "Origin":"Europe"},
    {"Name":"maxda rx3", "Miles_per_Gallon":18, "Cylinders":3, "Displacement":70,
     "Horsepower":90, "Weight_in_lbs":2124, "Acceleration":13.5, "Year":"1978-01-01",
     "Origin":"Japan"},
    {"Name":"amc hornet", "Miles_per_Gallon":19, "Cylinders":6, "Displacement":232,
     "Horsepower":100, "Weight_in_lbs":3000, "Acceleration":16, "Year":"1975-01-01",
     "Origin":"USA"}
  ])");
  const RunResult r = RunTool(
      {"cars", "--cars", (tmp.Path() / "cars.json").string(), "--out", tmp.Path().string()},
      tmp.Path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Db specs(tmp.Path() / "specs.db");
  struct Case {
    int vehicle;
    std::string expected;  // make|model|age|layout|weight class|price|aircon option
  };
  const Case cases[] = {
      {1, "Chevrolet|C20|(O)1970|V|H|9040|"},
      {2, "Volkswagen|Rabbit|1976|I|L||1"},
      {3, "Mercury|Capri II|(+)1972|I|M|5770|"},
      {4, "Mazda|RX3|1978|R|L|6230|1"},
      {5, "AMC|Hornet|1975|V|M|6750|1"},
  };
  auto value = [](int item) {
    return "coalesce((select data_value from equipment e where e.vehicle_id = v.vehicle_id and "
           "e.schema_id = " + std::to_string(item) + "), '')";
  };
  for (const Case& c : cases) {
    const std::string sql =
        "select v.make || '|' || v.model || '|' || " + value(302) + " || '|' || " + value(7402) +
        " || '|' || " + value(7404) + " || '|' || " + value(902) +
        " || '|' || coalesce((select option_id from equipment e where e.vehicle_id = "
        "v.vehicle_id and e.schema_id = 7403), '') from version v where v.vehicle_id = " +
        std::to_string(c.vehicle);
    EXPECT_EQ(specs.Column(sql), std::vector<std::string>{c.expected}) << "vehicle " << c.vehicle;
  }
  EXPECT_EQ(specs.Column("select data_value from equipment where vehicle_id = 2 and schema_id = 1103"),
            std::vector<std::string>{"97.5"});
  EXPECT_EQ(specs.Int("select count(*) from equipment where vehicle_id = 2 and schema_id in (135, 1106, 902)"), 0);
  // Only the makes and models that occur get codes, each with a text.
  EXPECT_EQ(specs.Int("select count(*) from schema_text where schema_id = 111 and language_id = 1"), 5);
  EXPECT_EQ(specs.Int("select count(*) from schema_text where schema_id = 112 and language_id = 5"), 5);
}

struct SyntheticRun {
  std::int64_t vehicles = 0;
  std::int64_t equipment = 0;
  std::uint64_t checksum = 0;
  std::int64_t advanced = 0;
};

SyntheticRun BuildSynthetic(const TempFolder& tmp, const std::string& name, const std::string& count,
                            const std::string& seed) {
  const fs::path out = tmp.Path() / name;
  const RunResult r =
      RunTool({"synthetic", "--vehicles", count, "--seed", seed, "--out", out.string()}, tmp.Path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  SyntheticRun s;
  if (r.exitCode != 0) return s;
  const Db specs(out / "specs.db");
  s.vehicles = specs.Int("select count(*) from version");
  s.equipment = specs.Int("select count(*) from equipment");
  s.checksum = specs.Checksum(
      "select e.vehicle_id, e.schema_id, e.data_value, e.option_id, v.name, v.price from "
      "equipment e join version v using (vehicle_id) order by e.vehicle_id, e.schema_id");
  EXPECT_EQ(specs.Int("select count(*) from version v where (select count(*) from equipment e "
                      "where e.vehicle_id = v.vehicle_id and e.schema_id in (106, 302)) <> 2"),
            0);
  s.advanced = specs.Int("select count(*) from equipment where schema_id = 106 and data_value = 'A'");
  EXPECT_EQ(specs.Int("select count(*) from equipment where schema_id = 135 and "
                      "(cast(data_value as integer) < 46 or cast(data_value as integer) > 230)"),
            0);
  EXPECT_EQ(specs.Int("select count(distinct e.data_value) from equipment e where e.schema_id = 112 "
                      "and not exists (select 1 from schema_text t where t.schema_id = 112 and "
                      "t.data_value = e.data_value and t.language_id = 7)"),
            0);
  return s;
}

TEST(SampledbSynthetic, IsDeterministicForASeed) {
  TempFolder tmp;
  const SyntheticRun a = BuildSynthetic(tmp, "a", "500", "42");
  const SyntheticRun b = BuildSynthetic(tmp, "b", "500", "42");
  const SyntheticRun c = BuildSynthetic(tmp, "c", "500", "43");
  EXPECT_EQ(a.vehicles, 500);
  EXPECT_GT(a.advanced, 0);
  EXPECT_LT(a.advanced, a.vehicles / 4);
  EXPECT_EQ(a.equipment, b.equipment);
  EXPECT_EQ(a.checksum, b.checksum);
  EXPECT_NE(a.checksum, c.checksum);
  EXPECT_EQ(BuildSynthetic(tmp, "d", "37", "42").vehicles, 37);
  // The screen does not depend on the vehicles.
  EXPECT_EQ(Db(tmp.Path() / "a" / "prj.db").Checksum("select * from search_by_features order by row_id, order_id"),
            Db(tmp.Path() / "c" / "prj.db").Checksum("select * from search_by_features order by row_id, order_id"));
}

TEST(SampledbArguments, RefusesBadInputAndWritesNothing) {
  TempFolder tmp;
  WriteFile(tmp.Path() / "truncated.json", R"([{"Name": "ford pinto", "Year": )");
  WriteFile(tmp.Path() / "notarray.json", R"({"Name": "ford pinto"})");
  WriteFile(tmp.Path() / "badorigin.json", R"([{"Name": "ford pinto", "Year": "1971-01-01", "Origin": "Mars"}])");
  const std::string out = (tmp.Path() / "out").string();
  const std::string missing = (tmp.Path() / "no-such.json").string();
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{}, "no mode"},
      {{"bogus", "--out", out}, "unknown mode 'bogus'"},
      {{"cars", "--cars", kCarsFile.string()}, "missing option --out"},
      {{"synthetic", "--vehicles", "10"}, "missing option --out"},
      {{"cars", "--out", out}, "missing option --cars"},
      {{"synthetic", "--out", out}, "missing option --vehicles"},
      {{"synthetic", "--vehicles", "12x", "--out", out}, "--vehicles: Value 12x not in range 1 to 10000000"},
      {{"synthetic", "--vehicles", "-5", "--out", out}, "--vehicles: Value -5 not in range"},
      {{"synthetic", "--vehicles", "0", "--out", out}, "--vehicles: Value 0 not in range"},
      {{"synthetic", "--vehicles", "10", "--seed", "abc", "--out", out}, "--seed = abc"},
      {{"synthetic", "--vehicles", "10", "--seed", "-1", "--out", out}, "a seed is a whole number of 0 or more"},
      {{"synthetic", "--vehicles", "10", "--vehicles", "11", "--out", out}, "--vehicles: At Most 1"},
      {{"synthetic", "--vehicles", "10", "--out"}, "--out: 1 required"},
      {{"cars", "--vehicles", "10", "--out", out}, "not expected: 10 --vehicles"},
      {{"synthetic", "--vehicles", "10", "--items", "2001", "--out", out}, "--items: Value 2001 not in range 0 to 2000"},
      {{"cars", "--cars", missing, "--out", out}, "cannot open the cars file"},
      {{"cars", "--cars", (tmp.Path() / "truncated.json").string(), "--out", out}, "malformed JSON"},
      {{"cars", "--cars", (tmp.Path() / "notarray.json").string(), "--out", out}, "expected an array"},
      {{"cars", "--cars", (tmp.Path() / "badorigin.json").string(), "--out", out}, "unknown Origin \"Mars\""},
      {{"cars", "--cars", tmp.Path().string(), "--out", out}, "is a folder"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    const RunResult r = RunTool(c.args, tmp.Path());
    EXPECT_NE(r.exitCode, 0) << shown;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << "\nstderr: " << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_FALSE(fs::exists(out)) << shown;
  }
}

TEST(SampledbArguments, AFailedBuildKeepsTheExistingDatabases) {
  TempFolder tmp;
  const fs::path out = tmp.Path() / "out";
  ASSERT_EQ(RunTool({"synthetic", "--vehicles", "20", "--out", out.string()}, tmp.Path()).exitCode, 0);
  const std::vector<std::string> before = Listing(out);
  EXPECT_EQ(before, (std::vector<std::string>{"prj.db", "specs.db"}));
  WriteFile(tmp.Path() / "bad.json", "[{\"Name\": \"ford pinto\", \"Year\": \"1971-01-01\"},]");
  const RunResult r =
      RunTool({"cars", "--cars", (tmp.Path() / "bad.json").string(), "--out", out.string()}, tmp.Path());
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("line 1"), std::string::npos) << r.err;
  EXPECT_EQ(Listing(out), before);
  EXPECT_EQ(Db(out / "specs.db").Int("select count(*) from version"), 20);
  // A successful build replaces them.
  ASSERT_EQ(RunTool({"synthetic", "--vehicles", "30", "--out", out.string()}, tmp.Path()).exitCode, 0);
  EXPECT_EQ(Db(out / "specs.db").Int("select count(*) from version"), 30);
  EXPECT_EQ(Listing(out), before);
}

TEST(SampledbArguments, HelpPrintsUsage) {
  TempFolder tmp;
  const RunResult r = RunTool({"--help"}, tmp.Path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("sampledb cars --cars"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sampledb synthetic --vehicles"), std::string::npos) << r.out;
}

}  // namespace

namespace {

void ExecOn(const fs::path& file, const char* sql) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
  std::unique_ptr<sqlite3, DbCloser> db(raw);
  char* message = nullptr;
  ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
}

}  // namespace

// The script that loads the databases into PostgreSQL: COPY's escapes, types, keys and
// indexes, grants; and bad input writes no script.
TEST(SampledbPgScript, CarriesEveryValueTypeKeyAndIndex) {
  TempFolder tmp;
  const fs::path from = tmp.Path() / "from";
  fs::create_directories(from);
  ExecOn(from / "specs.db",
         "CREATE TABLE Version(vehicle_id INTEGER PRIMARY KEY, Name TEXT NOT NULL, price REAL);"
         "CREATE INDEX version_name ON Version(Name, price);"
         "INSERT INTO Version VALUES (1, 'tab\there\\back' || char(10) || 'line', 1.08), (2, 'Général', NULL);");
  ExecOn(from / "prj.db", "CREATE TABLE categories(category_name TEXT PRIMARY KEY, sbf_order_id INTEGER);");
  const fs::path script = tmp.Path() / "load.sql";
  const RunResult r = RunTool({"pgscript", "--from", from.string(), "--out", script.string(), "--reader", "reader"}, tmp.Path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string text = ReadFile(script);
  for (const char* expected : {
           "DROP SCHEMA IF EXISTS \"specs\" CASCADE;\nCREATE SCHEMA \"specs\";\n",
           "CREATE TABLE \"specs\".\"version\" (\"vehicle_id\" bigint, \"name\" text NOT NULL, \"price\" double "
           "precision, PRIMARY KEY (\"vehicle_id\"));\n",
           "COPY \"specs\".\"version\" (\"vehicle_id\", \"name\", \"price\") FROM stdin WITH (FREEZE);\n"
           "1\ttab\\there\\\\back\\nline\t1.08\n2\tGénéral\t\\N\n\\.\n",
           "CREATE INDEX \"version_name\" ON \"specs\".\"version\" (\"name\", \"price\");\n",
           "GRANT SELECT ON ALL TABLES IN SCHEMA \"prj\" TO \"reader\";\n",
       })
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;

  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"pgscript", "--out", script.string()}, "missing option --from"},
      {{"pgscript", "--from", (tmp.Path() / "none").string(), "--out", (tmp.Path() / "x.sql").string()}, "cannot open"},
      {{"pgscript", "--from", from.string(), "--out", (tmp.Path() / "y.sql").string(), "--reader", "a b"},
       "not a plain name"},
  };
  for (const Case& c : cases) {
    const RunResult bad = RunTool(c.args, tmp.Path());
    EXPECT_NE(bad.exitCode, 0) << c.message;
    EXPECT_NE(bad.err.find(c.message), std::string::npos) << bad.err;
  }
  EXPECT_FALSE(fs::exists(tmp.Path() / "x.sql"));
  EXPECT_FALSE(fs::exists(tmp.Path() / "y.sql"));
  EXPECT_EQ(Listing(tmp.Path()), (std::vector<std::string>{"from", "load.sql"}));
}
