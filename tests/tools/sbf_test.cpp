// The command-line host, run as a user runs it, on the sample databases; counts are
// checked against SQL written here from the data's meaning, not against the library.
#include <gtest/gtest.h>
#include <sqlite3.h>

#ifdef MIREL_SBF_EXE

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "support/SampleData.h"

namespace {

struct SbfRun {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// Runs sbf through the shell, stdout and stderr kept apart.
SbfRun Sbf(const std::string& args, bool withData = true) {
  static const std::string errFile = mirel_test::MakeTempFolder("sbf-test") + "/stderr";
  std::string command = Quote(MIREL_SBF_EXE) + " " + args;
  if (withData) command += " --data " + Quote(mirel_test::SampleFolder());
  command += " 2>" + Quote(errFile);
  SbfRun run{-1, "", ""};
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.out.append(chunk, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::ifstream in(errFile);
  std::stringstream err;
  err << in.rdbuf();
  run.err = err.str();
  return run;
}

// --- the independent count ---------------------------------------------------------

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using Stmt = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Runs `sql` on the sample's specs.db and returns every row's first column as text.
std::vector<std::string> Column(const std::string& sql) {
  sqlite3* raw = nullptr;
  const std::string file = mirel_test::SampleFolder() + "/specs.db";
  int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Db db(raw, sqlite3_close);
  EXPECT_EQ(rc, SQLITE_OK) << file;
  sqlite3_stmt* rawStmt = nullptr;
  rc = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &rawStmt, nullptr);
  Stmt stmt(rawStmt, sqlite3_finalize);
  EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(db.get()) << "\n" << sql;
  std::vector<std::string> values;
  while (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW)
    values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
  return values;
}

// The vehicle has an equipment row of `schema` for which `condition` holds.
std::string Has(int schema, const std::string& condition) {
  return "exists (select 1 from equipment e where e.vehicle_id = v.vehicle_id and e.schema_id = " +
         std::to_string(schema) + " and (" + condition + "))";
}
const std::string kNotAdvanced = Has(106, "e.data_value <> 'A'");
const std::string kNotOld = Has(302, "substr(e.data_value, 1, 3) <> '(O)'");
const std::string kNotBuilt = Has(302, "substr(e.data_value, 1, 3) <> '(+)'");
const std::string kDefaults = kNotAdvanced + " and " + kNotOld + " and " + kNotBuilt;

std::string Where(const std::string& conditions) {
  return "from version v where " + conditions;
}
int ExpectedCount(const std::string& conditions) {
  return std::stoi(Column("select count(*) " + Where(conditions)).at(0));
}

// --- a small JSON reader, enough to check the tool's output is valid JSON -------------

struct Json {
  enum Type { Null, Bool, Number, String, Array, Object } type = Null;
  double number = 0;
  std::string text;
  std::vector<Json> items;                            // Array
  std::vector<std::pair<std::string, Json>> members;  // Object
  const Json* Get(const std::string& key) const {
    for (const auto& [k, v] : members)
      if (k == key) return &v;
    return nullptr;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : s(text) {}
  // False when the text is not exactly one JSON value (blanks around allowed).
  bool Read(Json& value) {
    try {
      value = Value();
      Blanks();
      return at == s.size();
    } catch (const std::runtime_error&) {
      return false;
    }
  }

 private:
  void Blanks() {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\t' || s[at] == '\r')) ++at;
  }
  char Next() {
    if (at >= s.size()) throw std::runtime_error("end");
    return s[at++];
  }
  void Expect(const std::string& word) {
    if (s.compare(at, word.size(), word) != 0) throw std::runtime_error("word");
    at += word.size();
  }
  std::string Text() {
    std::string out;
    for (char c; (c = Next()) != '"';) {
      if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("control");
      if (c != '\\') {
        out += c;
        continue;
      }
      switch (char e = Next()) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          const std::string hex = s.substr(at, 4);
          if (hex.size() != 4 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw std::runtime_error("\\u");
          at += 4;
          out += static_cast<char>(std::stoi(hex, nullptr, 16));  // the tool escapes only < 0x80
          break;
        }
        case '"': case '\\': case '/': out += e; break;
        default: throw std::runtime_error("escape");
      }
    }
    return out;
  }
  Json Value() {
    Blanks();
    Json v;
    const char c = Next();
    if (c == '{') {
      v.type = Json::Object;
      Blanks();
      if (at < s.size() && s[at] == '}') return ++at, v;
      for (;;) {
        Blanks();
        if (Next() != '"') throw std::runtime_error("key");
        std::string key = Text();
        Blanks();
        if (Next() != ':') throw std::runtime_error(":");
        v.members.emplace_back(key, Value());
        Blanks();
        const char sep = Next();
        if (sep == '}') return v;
        if (sep != ',') throw std::runtime_error(",");
      }
    }
    if (c == '[') {
      v.type = Json::Array;
      Blanks();
      if (at < s.size() && s[at] == ']') return ++at, v;
      for (;;) {
        v.items.push_back(Value());
        Blanks();
        const char sep = Next();
        if (sep == ']') return v;
        if (sep != ',') throw std::runtime_error(",");
      }
    }
    if (c == '"') return v.type = Json::String, v.text = Text(), v;
    if (c == 'n') return --at, Expect("null"), v;
    if (c == 't') return --at, Expect("true"), v.type = Json::Bool, v.number = 1, v;
    if (c == 'f') return --at, Expect("false"), v.type = Json::Bool, v;
    // -?(0|[1-9]d*)(.d+)?([eE][+-]?d+)?
    const size_t start = --at;
    auto digits = [&] {
      const size_t from = at;
      while (at < s.size() && isdigit(static_cast<unsigned char>(s[at]))) ++at;
      if (at == from) throw std::runtime_error("digits");
    };
    if (s[at] == '-') ++at;
    if (at < s.size() && s[at] == '0') ++at; else digits();
    if (at < s.size() && s[at] == '.') ++at, digits();
    if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
      ++at;
      if (at < s.size() && (s[at] == '+' || s[at] == '-')) ++at;
      digits();
    }
    v.type = Json::Number;
    v.number = std::stod(s.substr(start, at - start));
    return v;
  }
  const std::string& s;
  size_t at = 0;
};

Json ParseJson(const std::string& text) {
  Json value;
  EXPECT_TRUE(JsonReader(text).Read(value)) << "not one JSON value: " << text;
  return value;
}

// --- tests -------------------------------------------------------------------------

TEST(Sbf, CountsWhatTheDataSays) {
  struct Case {
    std::string args;
    std::string conditions;
  } cases[] = {
      {"", kDefaults},
      {"--include-old --include-built --include-advanced", "1"},
      {"--include-old", kNotAdvanced + " and " + kNotBuilt},
      {"--include-advanced --include-built", kNotOld},
      {"--value 7401:0::EU --range 135:0::70:100",
       kDefaults + " and " + Has(7401, "e.location = 0 and e.data_value = 'EU'") + " and " +
           Has(135, "e.location = 0 and cast(e.data_value as real) between 70 and 100")},
      {"--value 7404:0::H --max 1106:0::14.5",
       kDefaults + " and " + Has(7404, "e.data_value = 'H'") + " and " +
           Has(1106, "cast(e.data_value as real) <= 14.5")},
      {"--state 2~7401~0~~JP~ --min 1104:0::2000",
       kDefaults + " and " + Has(7401, "e.data_value = 'JP'") + " and " +
           Has(1104, "cast(e.data_value as real) >= 2000")},
      {"--make 1,2", kDefaults + " and " + Has(111, "e.data_value in ('1', '2')")},
      {"--oem 1 --exclude-model 1,2,3",
       kDefaults + " and " + Has(117, "e.data_value = '1'") + " and " +
           Has(112, "e.data_value not in ('1', '2', '3')")},
      {"--value 7401:0::EU --no-reduce", kDefaults},
  };
  for (const auto& c : cases) {
    const int expected = ExpectedCount(c.conditions);
    SbfRun json = Sbf("count " + c.args + " --json");
    EXPECT_EQ(json.status, 0) << c.args << ": " << json.err;
    EXPECT_EQ(json.out, "{\"count\":" + std::to_string(expected) + "}\n") << c.args;
    SbfRun plain = Sbf("count " + c.args);
    EXPECT_EQ(plain.out, std::to_string(expected) + " vehicles match\n") << c.args;
  }
  // --conn wins over --data.
  SbfRun conn = Sbf("count --data nowhere --conn " + Quote(mirel_test::SampleConnection()), false);
  EXPECT_EQ(conn.status, 0) << conn.err;
  EXPECT_EQ(conn.out, std::to_string(ExpectedCount(kDefaults)) + " vehicles match\n");
}

TEST(Sbf, ListsVehiclesAsJson) {
  struct Case {
    std::string args;
    std::vector<std::string> columns;
    std::string conditions;
  } cases[] = {
      {"--sort name", {"vehicle_id", "name"}, kDefaults},
      {"--value 7401:0::EU --max 135:0::60 --sort name,price",
       {"vehicle_id", "name", "price"},
       kDefaults + " and " + Has(7401, "e.data_value = 'EU'") + " and " +
           Has(135, "cast(e.data_value as real) <= 60")},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf("vehicles " + c.args + " --json");
    ASSERT_EQ(run.status, 0) << c.args << ": " << run.err;
    const Json json = ParseJson(run.out);
    std::vector<std::string> columns;
    if (const Json* cols = json.Get("columns"))
      for (const auto& col : cols->items) columns.push_back(col.text);
    EXPECT_EQ(columns, c.columns) << c.args;
    const Json* rows = json.Get("rows");
    ASSERT_NE(rows, nullptr) << run.out;
    const std::vector<std::string> ids = Column("select v.vehicle_id " + Where(c.conditions));
    ASSERT_EQ(rows->items.size(), ids.size()) << c.args;
    ASSERT_NE(json.Get("count"), nullptr);
    EXPECT_EQ(json.Get("count")->number, static_cast<double>(ids.size()));
    std::set<std::string> listed;
    std::string previous;
    for (const Json& row : rows->items) {
      ASSERT_EQ(row.items.size(), c.columns.size());
      ASSERT_EQ(row.items[0].type, Json::Number) << c.args;
      EXPECT_EQ(row.items[1].type, Json::String) << c.args;
      EXPECT_LE(previous, row.items[1].text) << "not sorted by name: " << c.args;
      previous = row.items[1].text;
      if (c.columns.size() > 2) {
        EXPECT_EQ(row.items[2].type, Json::Number) << "price";
      }
      listed.insert(std::to_string(static_cast<long long>(row.items[0].number)));
    }
    EXPECT_EQ(listed, std::set<std::string>(ids.begin(), ids.end())) << c.args;
  }
}

TEST(Sbf, ListsVehiclesForAPerson) {
  SbfRun run = Sbf("vehicles --value 7401:0::EU --max 135:0::60 --sort name");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const int n = ExpectedCount(kDefaults + " and " + Has(7401, "e.data_value = 'EU'") + " and " +
                              Has(135, "cast(e.data_value as real) <= 60"));
  ASSERT_GT(n, 1);
  ASSERT_EQ(lines.size(), static_cast<size_t>(n) + 2) << run.out;
  EXPECT_EQ(lines.front().rfind("vehicle_id  name", 0), 0u) << lines.front();
  EXPECT_EQ(lines.back(), std::to_string(n) + " vehicles");
  const size_t nameAt = lines.front().find("name");
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    EXPECT_NE(lines[i][nameAt], ' ') << "name column not aligned: " << lines[i];
    EXPECT_EQ(lines[i][nameAt - 1], ' ') << lines[i];
  }
}

TEST(Sbf, PrintsAndRestoresTheState) {
  struct Case {
    std::string args;
    std::string expected;
  } cases[] = {
      {"--value 740:0::D --range 135:0::100:250 --max 136:1::4.5",
       "2~740~0~~D~~1~135~0~~100~250~1~136~1~~!!~4.5"},
      {"--value 7401:0::US", "2~7401~0~~US~"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf("state " + c.args, false);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, c.expected + "\n") << c.args;
    SbfRun json = Sbf("state " + c.args + " --json", false);
    EXPECT_EQ(json.out, "{\"state\":\"" + c.expected + "\"}\n") << c.args;
    SbfRun back = Sbf("state --state " + Quote(c.expected), false);
    EXPECT_EQ(back.out, c.expected + "\n") << "round trip of " << c.expected;
  }
  // --state comes first, whatever its place, and later selections append to it.
  SbfRun both = Sbf("state --value 7401:0::JP --min 1104:0::2000", false);
  SbfRun first = Sbf("state --value 7401:0::JP", false);
  first.out.pop_back();
  SbfRun restored = Sbf("state --min 1104:0::2000 --state " + Quote(first.out), false);
  EXPECT_EQ(restored.out, both.out);
}

TEST(Sbf, FailuresSayWhatWentWrong) {
  struct Case {
    std::string args;
    int status;
    std::string err;  // part of stderr
    std::string out;  // part of stdout ("" = stdout stays empty)
  } cases[] = {
      {"count --value 7401:0", 64, "--value needs SCHEMA:LOCATION:SCHEMAVALUE:VALUE", ""},
      {"count --range 135:0::100", 64, "--range needs SCHEMA:LOCATION:SCHEMAVALUE:MIN:MAX", ""},
      {"count --bogus", 64, "unknown option --bogus", ""},
      {"fly", 64, "unknown command \"fly\"", ""},
      {"count --lang x", 64, "--lang needs a whole number", ""},
      {"count --segment 99999999999", 64, "--segment needs a whole number", ""},
      {"count --json=yes", 64, "--json takes no value", ""},
      {"state --sort name", 64, "--sort goes with the vehicles command only", ""},
      {"count vehicles", 64, "unexpected argument", ""},
      // The command line is checked whole before the library is asked anything.
      {"count --value :0::US --bogus", 64, "unknown option --bogus", ""},
      {"count --value :0::US", 2, "error 0x80040201 (mirel_SbF.AddSelection): Missing Schema ID\n", ""},
      {"count --value :0::US --json", 2, "Missing Schema ID",
       "{\"error\":{\"number\":-2147220991,\"hex\":\"0x80040201\",\"source\":\"mirel_SbF.AddSelection\","
       "\"description\":\"Missing Schema ID\"}}\n"},
      {"vehicles --sort nosuch", 2, "error 0x80040E14 (mirel_base.Connector): ", ""},
      {"state --state x~1~0~~D~ --json", 2, "(mirel_SbF.ParseState)", "\"source\":\"mirel_SbF.ParseState\""},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
    if (c.status == 64) {
      EXPECT_NE(run.err.find("sbf --help"), std::string::npos) << c.args;
    }
    if (c.out.empty()) {
      EXPECT_EQ(run.out, "") << c.args;
    } else {
      EXPECT_NE(run.out.find(c.out), std::string::npos) << c.args << ": " << run.out;
      ParseJson(run.out);
    }
  }
}

TEST(Sbf, PricesInEveryCurrencyForTheLanguage) {
  // The sample's rates: EUR 1, GBP 0.86, USD 1.08 per euro.
  struct Case {
    std::string args;
    int status;
    std::string out;
  } cases[] = {
      {"price 86 GBP --currencies GBP,EUR,USD --lang 1", 0, "\u00a386.00 (\u20ac100.00, $108.00)\n"},
      {"price 1234567.891 EUR --currencies EUR --lang 3", 0, "\u20ac1.234.567,89\n"},
      {"price 1234567.891 EUR --currencies EUR --lang 5", 0, "\u20ac1\u00a0234\u00a0567,89\n"},
      {"price -10.8 USD --currencies USD,EUR --lang 3 --json", 0, "{\"price\":\"-10,80 $ (-10,00 \u20ac)\"}\n"},
      {"price 1 XXX --currencies USD", 2, ""},
      {"price one USD", 64, ""},
      {"price 1", 64, ""},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << c.args;
  }
}

TEST(Sbf, DrawsTheSearchScreenAndHeadings) {
  struct Case {
    std::string args;
    std::vector<std::string> shown;
  } cases[] = {
      {"headings --lang 3", {"Allgemein", "Motor", "Karosserie", "3 headings"}},
      {"search --lang 1 --currencies GBP,USD --value 7401:0::EU", {"== General ==", "== Engine ==", "Horsepower", "[x] Europe", "\u00a3", "vehicles match"}},
      {"search --lang 3 --currencies EUR,USD", {"Hubraum", "\u20ac", "Zylinder"}},
      {"search --lang 5 --currencies EUR,USD --category Body", {"== Body ==", "Consommation"}},
  };
  for (const auto& c : cases) {
    SbfRun run = Sbf(c.args);
    EXPECT_EQ(run.status, 0) << c.args << ": " << run.err;
    for (const auto& text : c.shown) EXPECT_NE(run.out.find(text), std::string::npos) << c.args << " lacks " << text;
  }
  SbfRun body = Sbf("search --lang 5 --category Body");
  EXPECT_EQ(body.out.find("== Engine =="), std::string::npos);
  SbfRun json = Sbf("search --lang 1 --min 135:0::100 --json");
  ASSERT_EQ(json.status, 0) << json.err;
  ParseJson(json.out);
  EXPECT_NE(json.out.find("\"minMax\":true"), std::string::npos);
  EXPECT_NE(json.out.find("{\"text\":\"100\",\"value\":\"100\",\"selected\":true}"), std::string::npos) << json.out;
}

TEST(Sbf, MissingDataNamesTheFolderAndHowToBuildIt) {
  const std::string empty = mirel_test::MakeTempFolder("sbf-empty");
  for (const std::string& folder : {empty, empty + "/none"}) {
    SbfRun run = Sbf("count --data " + Quote(folder), false);
    EXPECT_EQ(run.status, 2) << folder;
    EXPECT_NE(run.err.find(folder), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("sampledb cars"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  SbfRun json = Sbf("vehicles --json --data " + Quote(empty + "/none"), false);
  EXPECT_EQ(json.status, 2);
  EXPECT_NE(ParseJson(json.out).Get("error"), nullptr) << json.out;
}

TEST(Sbf, HelpListsEveryCommandAndOption) {
  SbfRun run = Sbf("--help", false);
  EXPECT_EQ(run.status, 0);
  for (const char* word :
       {"count", "vehicles", "state", "--data", "--conn", "--specs", "--project", "--lang",
        "--currencies", "--include-advanced", "--include-old", "--include-built", "--oem",
        "--make", "--exclude-model", "--segment", "--standard-only", "--no-reduce", "--value",
        "--range", "--min", "--max", "--state", "--sort", "--json"})
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
  EXPECT_EQ(Sbf("", false).status, 64);
}

}  // namespace

#endif  // MIREL_SBF_EXE
