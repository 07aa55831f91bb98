// Fuzzes the dialect rewrite. For a text the rewrite accepts, on each target: the output is
// well-formed UTF-8; its literals are those of the input with the same contents, in the
// same order; and it holds no comment and no second statement (a ";" only at the end).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SqlShape.h"
#include "mirel_SbF/Error.h"
#include "sql/TsqlRewrite.h"
#include "runtime/Unicode.h"

namespace {

std::vector<std::string> Literals(const std::vector<mirel_fuzz::SqlToken>& tokens) {
  std::vector<std::string> out;
  for (const auto& tok : tokens)
    if (tok.kind == mirel_fuzz::SqlToken::Literal) out.push_back(tok.text);
  return out;
}

void Check(const std::string& sql, mirel_platform::Dialect target) {
  std::string out;
  try {
    out = mirel_platform::RewriteTsql(sql, target);
  } catch (const mirel_SbF::Error& e) {
    if (!mirel_platform::IsCleanUtf8(e.Description())) mirel_fuzz::Broken("a refusal that is not UTF-8", sql);
    return;
  }
  if (!mirel_platform::IsCleanUtf8(out)) mirel_fuzz::Broken("output that is not UTF-8: " + out, sql);
  const auto in = mirel_fuzz::ReadSql(sql);
  const auto tokens = mirel_fuzz::ReadSql(out);
  if (Literals(in) != Literals(tokens)) mirel_fuzz::Broken("literals changed: " + out, sql);
  for (size_t t = 0; t < tokens.size(); ++t) {
    const auto& tok = tokens[t];
    if (tok.kind == mirel_fuzz::SqlToken::Unterminated) mirel_fuzz::Broken("an unterminated quote: " + out, sql);
    if (tok.kind != mirel_fuzz::SqlToken::Operator) continue;
    const bool next = t + 1 < tokens.size() && tokens[t + 1].kind == mirel_fuzz::SqlToken::Operator;
    if (next && ((tok.text == "-" && tokens[t + 1].text == "-") || (tok.text == "/" && tokens[t + 1].text == "*")))
      mirel_fuzz::Broken("a comment: " + out, sql);
    if (tok.text == ";" && t + 1 != tokens.size()) mirel_fuzz::Broken("a second statement: " + out, sql);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string sql(reinterpret_cast<const char*>(data), size);
  Check(sql, mirel_platform::Dialect::SQLite);
  Check(sql, mirel_platform::Dialect::PostgreSQL);
  return 0;
}
