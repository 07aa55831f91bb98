#include "support/HostileMatrix.h"

#include <memory>

#include "mirel_SbF/mirel_SbF.h"

namespace mirel_test {
namespace {

using mirel_SbF::Search;
using Value = const std::string&;

const std::string kDrop = ")) ; COMMIT; BEGIN READ WRITE; DROP TABLE specs.canary; COMMIT; --";

std::unique_ptr<Search> Open(const Databases& db) {
  auto search = std::make_unique<Search>();
  search->SetDatabaseInfo(db.connection, db.specs, db.prj, 1, "USD");
  return search;
}

std::string Count(Search& search) { return "count " + std::to_string(search.GetNumberOfMatchingVehicles()); }

bool EngineFoundNoSuchColumn(const std::string& answer) {
  return answer.find("no such column") != std::string::npos ||
         (answer.find("column") != std::string::npos && answer.find("does not exist") != std::string::npos);
}

// Shorthand for the arguments that add one selection and count.
TextArgument Selecting(const char* name, ValueKind kind, const char* harmless,
                       std::function<void(Search&, const std::string&)> add) {
  return {name, kind, harmless, [add](const Databases& db, const std::string& v) {
            auto search = Open(db);
            add(*search, v);
            return Count(*search);
          }};
}

// One of SetDatabaseInfo's names (0 the specifications database, 1 the project database, 2 the
// currencies), then a screen. The harmless name names nothing (prices cannot be shown in a
// currency that does not exist), so any clear error will do.
TextArgument Naming(const char* name, int which) {
  return {name, which == 2 ? ValueKind::Currencies : ValueKind::Name, which == 2 ? "ZZZ" : "nosuchdb",
          [which](const Databases& db, const std::string& v) {
            Search search;
            search.SetDatabaseInfo(db.connection, which == 0 ? v : db.specs, which == 1 ? v : db.prj, 1,
                                   which == 2 ? v : "USD");
            search.DoSearch();
            return "rows " + std::to_string(search.Count());
          },
          true};
}

}  // namespace

// The first twenty in the order the fuzzer's seeds (tests/fuzz/corpus/values) pick them.
const std::vector<TextArgument>& TextArguments() {
  using K = ValueKind;
  static const std::vector<TextArgument> arguments = {
      Selecting("AddSelection schema", K::Number, "99999", [](Search& s, Value v) { s.AddSelection(v, "0", "", "US"); }),
      Selecting("AddSelection location", K::Number, "99999", [](Search& s, Value v) { s.AddSelection("7401", v, "", "US"); }),
      Selecting("AddSelection schema value", K::Text, "zzz", [](Search& s, Value v) { s.AddSelection("7401", "0", v, "US"); }),
      Selecting("AddSelection value", K::List, "zzz", [](Search& s, Value v) { s.AddSelection("7401", "0", "", v); }),
      Selecting("AddMinMax schema", K::Number, "99999", [](Search& s, Value v) { s.AddMinMax(v, "0", "", "70", "100"); }),
      Selecting("AddMinMax location", K::Number, "99999", [](Search& s, Value v) { s.AddMinMax("135", v, "", "70", "100"); }),
      Selecting("AddMinMax minimum", K::Number, "99999999", [](Search& s, Value v) { s.AddMinMax("135", "0", "", v, "100000"); }),
      Selecting("AddMinMax maximum", K::Number, "-99999999", [](Search& s, Value v) { s.AddMinMax("135", "0", "", "-99999999", v); }),
      Selecting("AddMin minimum", K::Number, "99999999", [](Search& s, Value v) { s.AddMin("135", "0", "", v); }),
      Selecting("AddMax maximum", K::Number, "-99999999", [](Search& s, Value v) { s.AddMax("135", "0", "", v); }),
      Selecting("OEMInclusionList", K::List, "zzz", [](Search& s, Value v) { s.OEMInclusionList(v); }),
      Selecting("MakeInclusionList", K::List, "zzz", [](Search& s, Value v) { s.MakeInclusionList(v); }),
      Selecting("ModelExclusionList", K::List, "zzz", [](Search& s, Value v) { s.ModelExclusionList(v); }),
      {"DoSearch section", K::Text, "zzz",
       [](const Databases& db, const std::string& v) {
         auto search = Open(db);
         search->DoSearch(false, v);
         return "rows " + std::to_string(search->Count());
       }},
      {"GetMatchingVehicles sort list", K::SortList, "name",
       [](const Databases& db, const std::string& v) {
         auto search = Open(db);
         return "rows " + std::to_string(search->GetMatchingVehicles(false, true, v)->RecordCount());
       },
       false, true},
      Selecting("CurrentState text", K::State, "", [](Search& s, Value v) { s.CurrentState(v); }),
      Naming("SetDatabaseInfo project database", 1),
      Naming("SetDatabaseInfo currencies", 2),
      Selecting("EitherOr schema", K::Number, "99999", [](Search& s, Value v) {
        s.EitherOr(v, "0", true);
        s.AddSelection(v, "0", "", "US");
        s.AddSelection(v, "0", "", "EU");
      }),
      // The counting texts: an either-or value beside another, counted on the whole screen.
      {"counted either-or value", K::List, "zzz",
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
      Selecting("AddMinMax schema value", K::Text, "zzz", [](Search& s, Value v) { s.AddMinMax("135", "0", v, "70", "100"); }),
      Selecting("CurrentState value", K::InState, "zzz", [](Search& s, Value v) { s.CurrentState("2~7401~0~~" + v + "~"); }),
      Selecting("CurrentState minimum", K::InState, "99999999", [](Search& s, Value v) { s.CurrentState("1~135~0~~" + v + "~!!"); }),
      Naming("SetDatabaseInfo specifications database", 0),
  };
  return arguments;
}

namespace {

// The answer, or how the call was refused. A refusal counts only when the library itself
// refused the text, or the connector's rewrite did before sending it: an error from the
// engine's parser would mean the text changed the statement.
struct Outcome {
  std::string answer;
  bool error = false;
  bool refused = false;  // an error, and one of those above
};

Outcome Ask(const TextArgument& argument, const Databases& db, const std::string& value) {
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
      // Quotes that end the literal, and look-alikes: overlong "'" (counting everything if
      // decoded as quotes), a backslash escape where strings are not standard, a fullwidth
      // apostrophe (a letter, it stays inside).
      "x' OR '1'='1", "x'" + kDrop, "x\xC0\xA7 or data_value <> \xC0\xA7", "x\\'" + kDrop, "x\\'' OR 1=1 OR ''='",
      "x\\\n", "x\xEF\xBC\x87 OR 1=1",
      // Adjacent literals; text that is not UTF-8 (a NUL, a lone byte, a surrogate).
      "x'N'y", "x'\n'y", std::string("x\0y", 3), "\xFF", "x\xED\xA0\x80",
      // Numbers and names the engines read differently, second statements, comments, other
      // dialects' quoting.
      "1; DROP TABLE specs.canary", "7401 OR 1=1", "0) OR (1=1", "+5", ".5", "5.", "1e5", "0x41", "--5", "[x]",
      "\"x\"", "x$$; DROP TABLE specs.canary; $$", "E'\\x27'", "U&'\\0027'", "x::text", "x'||'y", "x/*", ";", "~",
      "\t\r\n", std::string(3000, '\''),
  };
  return values;
}

std::vector<HostileFinding> RunHostileMatrix(const std::string& connection, const std::string& specs,
                                             const std::string& prj) {
  const Databases db{connection, specs, prj};
  std::vector<HostileFinding> findings;
  for (const TextArgument& argument : TextArguments()) {
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
