#include "support/HostileMatrix.h"

#include <memory>

#include "mirel_SbF/mirel_SbF.h"

namespace mirel_test {
namespace {

using mirel_SbF::Search;

const std::string kDrop = ")) ; COMMIT; BEGIN READ WRITE; DROP TABLE specs.canary; COMMIT; --";

struct Databases {
  const std::string& connection;
  const std::string& specs;
  const std::string& prj;
};

std::unique_ptr<Search> Open(const Databases& db) {
  auto search = std::make_unique<Search>();
  search->SetDatabaseInfo(db.connection, db.specs, db.prj, 1, "USD");
  return search;
}

std::string Count(Search& search) { return "count " + std::to_string(search.GetNumberOfMatchingVehicles()); }

// One text argument: what it does with a value, and a value that matches nothing there.
struct Argument {
  const char* name;
  const char* harmless;
  std::function<std::string(const Databases&, const std::string&)> ask;
  bool harmlessFails = false;  // no such database or currency: any clear error will do
  // A sort list: a well-formed bracketed name ("[x]") is a column reference the engine
  // looks up as one name, so "no such column" is its right answer.
  bool namesColumns = false;
};

bool EngineFoundNoSuchColumn(const std::string& answer) {
  return answer.find("no such column") != std::string::npos ||
         (answer.find("column") != std::string::npos && answer.find("does not exist") != std::string::npos);
}

// Shorthand for the arguments that add one selection and count.
Argument Selecting(const char* name, const char* harmless, std::function<void(Search&, const std::string&)> add) {
  return {name, harmless, [add](const Databases& db, const std::string& v) {
            auto search = Open(db);
            add(*search, v);
            return Count(*search);
          }};
}

const std::vector<Argument>& Arguments() {
  static const std::vector<Argument> arguments = {
      Selecting("AddSelection schema", "99999", [](Search& s, const std::string& v) { s.AddSelection(v, "0", "", "US"); }),
      Selecting("AddSelection location", "99999", [](Search& s, const std::string& v) { s.AddSelection("7401", v, "", "US"); }),
      Selecting("AddSelection schema value", "zzz", [](Search& s, const std::string& v) { s.AddSelection("7401", "0", v, "US"); }),
      Selecting("AddSelection value", "zzz", [](Search& s, const std::string& v) { s.AddSelection("7401", "0", "", v); }),
      Selecting("AddMinMax schema", "99999", [](Search& s, const std::string& v) { s.AddMinMax(v, "0", "", "70", "100"); }),
      Selecting("AddMinMax location", "99999", [](Search& s, const std::string& v) { s.AddMinMax("135", v, "", "70", "100"); }),
      Selecting("AddMinMax schema value", "zzz", [](Search& s, const std::string& v) { s.AddMinMax("135", "0", v, "70", "100"); }),
      Selecting("AddMinMax minimum", "99999999", [](Search& s, const std::string& v) { s.AddMinMax("135", "0", "", v, "100000"); }),
      Selecting("AddMinMax maximum", "-99999999", [](Search& s, const std::string& v) { s.AddMinMax("135", "0", "", "-99999999", v); }),
      Selecting("AddMin schema", "99999", [](Search& s, const std::string& v) { s.AddMin(v, "0", "", "70"); }),
      Selecting("AddMin location", "99999", [](Search& s, const std::string& v) { s.AddMin("135", v, "", "70"); }),
      Selecting("AddMin schema value", "zzz", [](Search& s, const std::string& v) { s.AddMin("135", "0", v, "70"); }),
      Selecting("AddMin minimum", "99999999", [](Search& s, const std::string& v) { s.AddMin("135", "0", "", v); }),
      Selecting("AddMax schema", "99999", [](Search& s, const std::string& v) { s.AddMax(v, "0", "", "100"); }),
      Selecting("AddMax location", "99999", [](Search& s, const std::string& v) { s.AddMax("135", v, "", "100"); }),
      Selecting("AddMax schema value", "zzz", [](Search& s, const std::string& v) { s.AddMax("135", "0", v, "100"); }),
      Selecting("AddMax maximum", "-99999999", [](Search& s, const std::string& v) { s.AddMax("135", "0", "", v); }),
      Selecting("OEMInclusionList", "zzz", [](Search& s, const std::string& v) { s.OEMInclusionList(v); }),
      Selecting("MakeInclusionList", "zzz", [](Search& s, const std::string& v) { s.MakeInclusionList(v); }),
      Selecting("ModelExclusionList", "zzz", [](Search& s, const std::string& v) { s.ModelExclusionList(v); }),
      Selecting("CurrentState value", "zzz", [](Search& s, const std::string& v) { s.CurrentState("2~7401~0~~" + v + "~"); }),
      Selecting("CurrentState minimum", "99999999", [](Search& s, const std::string& v) { s.CurrentState("1~135~0~~" + v + "~!!"); }),
      Selecting("CurrentState text", "", [](Search& s, const std::string& v) { s.CurrentState(v); }),
      Selecting("EitherOr schema", "99999", [](Search& s, const std::string& v) {
        s.EitherOr(v, "0", true);
        s.AddSelection(v, "0", "", "US");
        s.AddSelection(v, "0", "", "EU");
      }),
      Selecting("EitherOr location", "99999", [](Search& s, const std::string& v) {
        s.EitherOr("7401", v, true);
        s.AddSelection("7401", v, "", "US");
        s.AddSelection("7401", v, "", "EU");
      }),
      // The counting texts: an either-or value beside another, counted on the whole screen.
      {"counted either-or value", "zzz",
       [](const Databases& db, const std::string& v) {
         auto search = Open(db);
         search->CountVehicles(true);
         search->EitherOr("7401", "0", true);
         search->AddSelection("7401", "0", "", v);
         search->AddSelection("7401", "0", "", "US");
         search->DoSearch();
         int64_t counted = 0;
         for (const auto& row : *search)
           for (const auto& value : *row) counted += value->VehicleCount();
         return Count(*search) + ", counted " + std::to_string(counted);
       }},
      {"DoSearch section", "zzz",
       [](const Databases& db, const std::string& v) {
         auto search = Open(db);
         search->DoSearch(false, v);
         return "rows " + std::to_string(search->Count());
       }},
      {"GetMatchingVehicles sort list", "name",
       [](const Databases& db, const std::string& v) {
         auto search = Open(db);
         return "rows " + std::to_string(search->GetMatchingVehicles(false, true, v)->RecordCount());
       },
       false, true},
      {"SetDatabaseInfo specifications database", "nosuchdb",
       [](const Databases& db, const std::string& v) {
         Search search;
         search.SetDatabaseInfo(db.connection, v, db.prj, 1, "USD");
         return Count(search);
       },
       true},
      {"SetDatabaseInfo project database", "nosuchdb",
       [](const Databases& db, const std::string& v) {
         Search search;
         search.SetDatabaseInfo(db.connection, db.specs, v, 1, "USD");
         search.DoSearch();
         return "rows " + std::to_string(search.Count());
       },
       true},
      {"SetDatabaseInfo currencies", "ZZZ",
       [](const Databases& db, const std::string& v) {
         Search search;
         search.SetDatabaseInfo(db.connection, db.specs, db.prj, 1, v);
         search.DoSearch();
         return "rows " + std::to_string(search.Count());
       },
       true},  // prices cannot be shown in a currency that does not exist
  };
  return arguments;
}

// The answer, or how the call was refused. A refusal counts only when the library itself
// refused the text, or the connector's rewrite did before sending it: an error from the
// engine's parser would mean the text changed the statement.
struct Outcome {
  std::string answer;
  bool error = false;
  bool refused = false;  // an error, and one of those above
};

Outcome Ask(const Argument& argument, const Databases& db, const std::string& value) {
  try {
    return {argument.ask(db, value)};
  } catch (const mirel_SbF::Error& e) {
    const std::string text = std::to_string(e.Number()) + " " + e.Source() + ": " + e.Description();
    const bool ours = e.Source().rfind(mirel_SbF::kLibraryName, 0) == 0 && !e.Description().empty();
    const bool beforeSending = e.Source() == mirel_base::kConnectorSource &&
                               (e.Description().find("cannot be run on") != std::string::npos ||
                                e.Description().find("not a plain name") != std::string::npos);
    return {text, true, ours || beforeSending};
  }
}

}  // namespace

const std::vector<std::string>& HostileValues() {
  static const std::vector<std::string> values = {
      // Quotes that end the literal, and look-alikes: overlong "'" (the second counts everything
      // if decoded as quotes), a backslash escape where strings are not standard, fullwidth and
      // modifier-letter apostrophes (letters, they stay inside).
      "x' OR '1'='1", "x'" + kDrop, "x\xC0\xA7" + kDrop, "x\xC0\xA7 or data_value <> \xC0\xA7", "x\\'" + kDrop,
      "x\\'' OR 1=1 OR ''='", "\\", "x\\\n", "x\xEF\xBC\x87 OR 1=1", "x\xCA\xBC OR 1=1",
      // Adjacent literals; text that is not UTF-8 (a NUL, a lone byte, a surrogate, past U+10FFFF).
      "x'N'y", "x'\n'y", "x' 'y", std::string("x\0y", 3), "\xFF", "x\xED\xA0\x80", "x\xF4\x90\x80\x80",
      // Numbers and names the engines read differently, second statements, comments, other
      // dialects' quoting.
      "1; DROP TABLE specs.canary", "7401 OR 1=1", "0) OR (1=1", "+5", ".5", "5.", "1e5", "0x41", "--5", "5--", "[x]",
      "\"x\"", "x$$; DROP TABLE specs.canary; $$", "E'\\x27'", "U&'\\0027'", "x::text", "x'||'y", "x/*", "*/", ";", "~",
      "\t\r\n", std::string(3000, '\''),
  };
  return values;
}

std::vector<HostileFinding> RunHostileMatrix(const std::string& connection, const std::string& specs,
                                             const std::string& prj) {
  const Databases db{connection, specs, prj};
  std::vector<HostileFinding> findings;
  for (const Argument& argument : Arguments()) {
    const Outcome harmless = Ask(argument, db, argument.harmless);
    if (harmless.error != argument.harmlessFails)
      findings.push_back({argument.name, argument.harmless, "the harmless value gave " + harmless.answer});
    for (const std::string& value : HostileValues()) {
      const Outcome hostile = Ask(argument, db, value);
      const bool fine = hostile.error ? (hostile.refused || argument.harmlessFails ||
                                         (argument.namesColumns && EngineFoundNoSuchColumn(hostile.answer)))
                                      : hostile.answer == harmless.answer;
      if (!fine)
        findings.push_back({argument.name, value, hostile.answer + " where the harmless value gave " + harmless.answer});
    }
  }
  return findings;
}

}  // namespace mirel_test
