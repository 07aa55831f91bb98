// Fuzzes the values that flow into statements. The first byte picks a text argument, the
// rest is its value. The property: the library either refuses the value or composes
// statements of exactly the shape it composes from a harmless value in the same place,
// in the SQL Server text and in the texts the rewrite makes for SQLite and PostgreSQL. A
// value that ended its literal early, or changed an unquoted number or name, changes the
// shape.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SqlShape.h"
#include "common/modMisc.h"
#include "mirel_SbF/mirel_SbF.h"
#include "runtime/TextBasics.h"
#include "sql/TsqlRewrite.h"
#include "support/HostileMatrix.h"
#include "support/RecordingProvider.h"

namespace {

using Kind = mirel_test::ValueKind;

std::string Join(const std::vector<std::string>& parts, char separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? std::string(1, separator) : "") + parts[i];
  return out;
}

// How a harmless value in the same place is made from the fuzzed one: it must have the
// same structure (empty or not, "!!" for no bound, as many list entries), so that only an
// escape changes the shape.
std::string Harmless(Kind kind, const std::string& v) {
  switch (kind) {
    case Kind::Number: return v.empty() || v == "!!" ? v : "1";
    case Kind::Text: return v.empty() ? v : "x";
    case Kind::Name: return mirel_platform::IsPlainName(v) ? v : "prj";
    case Kind::List:
    case Kind::SortList:
    case Kind::Currencies: {
      std::vector<std::string> entries = mirel_SbF::SplitText(v, ',');
      for (auto& entry : entries) {
        const std::string trimmed = mirel_SbF::TrimBlanks(entry);
        if (trimmed.empty()) continue;
        // A sort column is a name in the statement: one that reads as a single word stays
        // (the shape keeps words), anything else becomes a name that does.
        const auto tokens = mirel_fuzz::ReadSql(trimmed);
        const bool word = tokens.size() == 1 && tokens[0].kind == mirel_fuzz::SqlToken::Word && tokens[0].text == trimmed;
        entry = kind == Kind::Currencies ? "USD" : kind == Kind::SortList && word ? trimmed : "x";
      }
      return v.empty() ? v : Join(entries, ',');
    }
    case Kind::InState: return v;  // not fuzzed
    case Kind::State: {
      std::vector<std::string> fields = mirel_SbF::SplitText(v, '~');
      for (size_t i = 0; i + 5 < fields.size(); i += 6) {
        bool range = false;
        try {
          range = mirel_SbF::CInt(mirel_SbF::Variant(fields[i])) == 1;
        } catch (const mirel_SbF::Error&) {
        }
        fields[i + 1] = Harmless(Kind::Number, fields[i + 1]);
        fields[i + 2] = Harmless(Kind::Number, fields[i + 2]);
        fields[i + 3] = Harmless(Kind::Text, fields[i + 3]);
        fields[i + 4] = Harmless(range ? Kind::Number : Kind::List, fields[i + 4]);
        fields[i + 5] = Harmless(Kind::Number, fields[i + 5]);
      }
      return v.empty() ? v : Join(fields, '~');
    }
  }
  return v;
}

// The texts the library sends for `value` in `argument`, or nothing when it refused.
bool Compose(const mirel_test::TextArgument& argument, const std::string& value, std::vector<std::string>& texts) {
  mirel_test::RecordingProvider recorder;
  try {
    argument.ask({mirel_test::RecordingProvider::kConnection, "specs", "prj"}, value);
  } catch (const mirel_SbF::Error&) {
    return false;
  }
  for (const auto& query : recorder.Queries()) texts.push_back(query.sql);
  return true;
}

// The shape of `sql` as `target` receives it; "refused" when the rewrite refuses it.
std::string EngineShape(const std::string& sql, mirel_platform::Dialect target) {
  try {
    return mirel_fuzz::ShapeOf(mirel_platform::RewriteTsql(sql, target));
  } catch (const mirel_SbF::Error&) {
    return "refused";
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto& arguments = mirel_test::TextArguments();
  const mirel_test::TextArgument& argument = arguments[data[0] % arguments.size()];
  const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  // A field inside a saved state: the state's own argument covers what the field can do.
  if (argument.kind == Kind::InState) return 0;
  std::vector<std::string> harmless, fuzzed;
  if (!Compose(argument, value, fuzzed)) return 0;
  if (!Compose(argument, Harmless(argument.kind, value), harmless))
    mirel_fuzz::Broken("the harmless value " + Harmless(argument.kind, value) + " was refused", value);
  if (fuzzed.size() != harmless.size()) mirel_fuzz::Broken("another number of statements", value);
  // A database name that is not a plain name is refused by every engine as the database
  // of a query, which loading the currencies from the project database is; only the
  // recording engine here lets it through.
  if (argument.kind == Kind::Name && !mirel_platform::IsPlainName(value)) return 0;
  for (size_t i = 0; i < fuzzed.size(); ++i) {
    if (mirel_fuzz::ShapeOf(fuzzed[i]) != mirel_fuzz::ShapeOf(harmless[i]))
      mirel_fuzz::Broken("statement " + std::to_string(i + 1) + " changed shape: " + fuzzed[i], value);
    for (auto target : {mirel_platform::Dialect::SQLite, mirel_platform::Dialect::PostgreSQL}) {
      const std::string shape = EngineShape(fuzzed[i], target);
      if (shape != "refused" && shape != EngineShape(harmless[i], target))
        mirel_fuzz::Broken("statement " + std::to_string(i + 1) + " changed shape after the rewrite: " +
                               mirel_platform::RewriteTsql(fuzzed[i], target),
                           value);
    }
  }
  return 0;
}
