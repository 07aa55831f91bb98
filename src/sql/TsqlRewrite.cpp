#include "sql/TsqlRewrite.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "runtime/TextBasics.h"
#include "runtime/Unicode.h"
#include "sql/Lexer.h"

namespace mirel_platform {

namespace {

// What differs between the target dialects; everything else the rewrite does is shared.
struct DialectMapping {
  const char* name;           // for messages
  const char* concatenation;  // replaces "+" after a string literal
  const char* leftFunction;   // replaces LEFT; nullptr keeps the name as written
  const char* leftSeparator;  // replaces the comma between LEFT's two arguments
  const char* floatType;      // replaces float in cast(e as float)
  // SQL Server compares names without regard to case; PostgreSQL folds unquoted names to
  // lower case but keeps a quoted name's case, so quoted names are written in lower case.
  bool foldQuotedNames;
};

constexpr DialectMapping kSqliteMapping{"SQLite", "||", "substr", ", 1,", "real", false};
constexpr DialectMapping kPostgresMapping{"PostgreSQL", "||", nullptr, ",", "double precision", true};

const DialectMapping& MappingFor(Dialect target) {
  return target == Dialect::PostgreSQL ? kPostgresMapping : kSqliteMapping;
}

// The words the library's texts use.
bool IsKnownKeyword(std::string_view w) {
  static const std::unordered_set<std::string_view> kWords{
      "select", "distinct", "from", "where", "and",   "or",       "not", "inner", "left",
      "join",   "on",       "as",   "in",    "order", "by",       "group", "cast", "float",
      "coalesce", "min",    "max",  "count", "is",    "null",     "asc", "desc",
      "case",   "when",     "then", "else",  "end"};
  return kWords.count(w) != 0;
}

bool IsKnownFunction(std::string_view w) {
  return w == "cast" || w == "coalesce" || w == "min" || w == "max" || w == "count" || w == "left";
}

// Words that start or change a statement.
bool IsStatementKeyword(std::string_view w) {
  static const std::unordered_set<std::string_view> kWords{
      "insert", "update", "delete", "drop",   "create",  "alter", "exec",  "execute",
      "attach", "detach", "pragma", "replace", "union",  "top",   "into",  "merge",
      "truncate", "grant", "revoke", "declare", "set",   "use",   "begin", "commit",
      "rollback", "savepoint", "release", "vacuum", "reindex", "analyze", "explain",
      "with", "values", "returning", "waitfor", "shutdown", "dbcc", "backup", "restore",
      "kill", "bulk", "openrowset", "opendatasource", "openquery", "openxml", "print",
      "raiserror", "goto", "while", "if", "return", "checkpoint", "reconfigure"};
  return kWords.count(w) != 0;
}

// The other reserved words of SQL Server, SQLite and PostgreSQL: an engine reads them as
// syntax whose meaning this rewrite never checked, so they are refused too.
bool IsOtherKeyword(std::string_view w) {
  static const std::unordered_set<std::string_view> kWords{
      "abort", "action", "add", "after", "all", "always", "any", "array", "asymmetric",
      "authorization", "autoincrement", "before", "between", "both", "break", "browse",
      "cascade", "check", "close", "clustered", "collate", "column", "compute",
      "conflict", "constraint", "contains", "containstable", "continue", "convert", "cross",
      "current", "current_date", "current_time", "current_timestamp", "current_user",
      "cursor", "database", "deallocate", "default", "deferrable", "deferred", "deny", "disk",
      "distributed", "do", "double", "dump", "each", "errlvl", "escape",
      "except", "exclude", "exclusive", "exists", "exit", "external", "fail", "fetch", "file",
      "fillfactor", "filter", "first", "following", "for", "foreign", "freetext",
      "freetexttable", "full", "function", "generated", "glob", "groups", "having",
      "holdlock", "identity", "identity_insert", "identitycol", "ignore", "ilike",
      "immediate", "index", "indexed", "initially", "instead", "intersect", "isnull", "key",
      "last", "lateral", "leading", "like", "limit", "lineno", "load", "match",
      "materialized", "national", "natural", "no", "nocheck", "nonclustered", "nothing",
      "notnull", "nullif", "nulls", "of", "off", "offset", "offsets", "only", "open",
      "option", "others", "outer", "over", "partition", "percent", "pivot", "plan",
      "preceding", "precision", "primary", "proc", "procedure", "public", "query", "raise",
      "range", "read", "readtext", "recursive", "references", "regexp", "rename",
      "replication", "restrict", "revert", "right", "row", "rowcount", "rowguidcol", "rows",
      "rule", "save", "schema", "securityaudit", "session_user", "setuser", "similar", "some",
      "statistics", "symmetric", "system_user", "table", "tablesample", "temp", "temporary",
      "textsize", "ties", "to", "tran", "trailing", "transaction", "trigger",
      "try_convert", "tsequal", "unbounded", "unique", "unpivot", "updatetext", "user",
      "using", "varying", "view", "virtual", "window", "within", "without",
      "writetext"};
  return kWords.count(w) != 0;
}

// What an open parenthesis belongs to; LEFT and cast need their arguments checked.
enum class FrameType { Group, Call, Left, Cast };

struct Frame {
  FrameType type;
  size_t open;         // position of "("
  int commas = 0;      // top-level commas seen (LEFT)
  bool typed = false;  // "as float" seen (cast)
};

class Rewriter {
 public:
  Rewriter(const std::string& sql, const DialectMapping& map) : m_sql(sql), m_map(map) {}

  std::string Run(std::vector<std::string>& databases) {
    const size_t bad = Utf8ErrorOffset(m_sql);
    if (bad < m_sql.size())
      Refuse(bad, m_sql[bad] == '\0' ? "a NUL character" : "bytes that are not well-formed UTF-8");
    try {
      SqlTokens lexed = LexTsql(m_sql);
      m_tokens = std::move(lexed.tokens);
      m_trailingBlanks = lexed.trailingBlanks;
    } catch (const SqlLexError& e) {
      Refuse(e.position, e.what);
    }
    if (m_tokens.empty()) Refuse(0, "an empty text (a select statement is expected)");
    const SqlToken& first = m_tokens.front();
    if (first.kind != SqlToken::Kind::Word || first.lower != "select")
      Refuse(first.begin, "a text that does not start with \"select\"");

    m_out.reserve(m_sql.size() + 16);
    for (m_t = 0; m_t < m_tokens.size(); ++m_t) {
      const SqlToken& tok = m_tokens[m_t];
      EmitBlanks(tok);
      switch (tok.kind) {
        case SqlToken::Kind::Word: Word(tok); break;
        case SqlToken::Kind::QuotedName:
          if (NextIs(m_t, "(")) Refuse(tok.begin, "the unknown function " + Raw(tok));
          m_out += Folded(Raw(tok));
          break;
        case SqlToken::Kind::BracketName:
          if (NextIs(m_t, "(")) Refuse(tok.begin, "the unknown function " + Raw(tok));
          m_out += BracketToQuoted(tok);
          break;
        case SqlToken::Kind::String:
          // N'…' is the same literal without the prefix; '' inside stays the escaped quote.
          m_out.append(m_sql, m_sql[tok.begin] == '\'' ? tok.begin : tok.begin + 1,
                       tok.end - (m_sql[tok.begin] == '\'' ? tok.begin : tok.begin + 1));
          break;
        case SqlToken::Kind::Number: m_out += Raw(tok); break;
        case SqlToken::Kind::Symbol: Operator(tok); break;
      }
    }
    if (!m_frames.empty()) Refuse(m_frames.back().open, "a \"(\" that is never closed");
    m_out.append(m_sql, m_trailingBlanks, std::string::npos);
    databases = std::move(m_databases);
    return std::move(m_out);
  }

 private:
  [[noreturn]] void Refuse(size_t pos, const std::string& what) const {
    throw mirel_SbF::Error(mirel_SbF::kErrBadSql, mirel_base::kConnectorSource,
                           "The SQL text cannot be run on " + std::string(m_map.name) + ": " + what +
                               " at position " + std::to_string(pos + 1) + Near(pos) + ".");
  }

  // A short excerpt of the text at `pos`, cut at a character boundary, on one line.
  std::string Near(size_t pos) const {
    if (pos >= m_sql.size()) return " (at the end)";
    constexpr size_t kMax = 24;
    size_t end = std::min(m_sql.size(), pos + kMax);
    while (end < m_sql.size() && end > pos && (static_cast<unsigned char>(m_sql[end]) & 0xC0) == 0x80) --end;
    std::string excerpt = m_sql.substr(pos, end - pos);
    for (char& c : excerpt) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';  // line breaks, NUL, ...
    }
    // The text may be what is refused for not being UTF-8; the message must still be.
    return " (near \"" + ToWellFormedUtf8(excerpt) + (end < m_sql.size() ? "...\")" : "\")");
  }

  std::string Raw(const SqlToken& tok) const { return m_sql.substr(tok.begin, tok.end - tok.begin); }

  bool IsOp(size_t t, std::string_view op) const {
    return t < m_tokens.size() && m_tokens[t].kind == SqlToken::Kind::Symbol && m_tokens[t].lower == op;
  }
  bool NextIs(size_t t, std::string_view op) const { return IsOp(t + 1, op); }
  static bool IsName(const SqlToken& tok) {
    return tok.kind == SqlToken::Kind::Word || tok.kind == SqlToken::Kind::QuotedName || tok.kind == SqlToken::Kind::BracketName;
  }
  // ".." written without blanks, starting at token t.
  bool IsDoubleDot(size_t t) const {
    return IsOp(t, ".") && IsOp(t + 1, ".") && m_tokens[t + 1].begin == m_tokens[t].end;
  }

  void EmitBlanks(const SqlToken& tok) { m_out.append(m_sql, tok.blankBegin, tok.begin - tok.blankBegin); }

  // ---- rewrite ----

  std::string BracketToQuoted(const SqlToken& tok) const {
    std::string out = "\"";
    for (size_t i = tok.begin + 1; i + 1 < tok.end; ++i) {
      const char c = m_sql[i];
      if (c == ']') ++i;  // "]]" is one "]"
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
    return Folded(std::move(out));
  }

  std::string Folded(std::string name) const {
    if (m_map.foldQuotedNames)
      for (char& c : name) c = LowerAscii(c);
    return name;
  }

  void AddDatabase(const std::string& name) {
    for (const auto& known : m_databases) {
      if (EqualsNoCase(known, name)) return;
    }
    m_databases.push_back(name);
  }

  void Word(const SqlToken& tok) {
    const std::string& w = tok.lower;
    const bool known = IsKnownKeyword(w);
    if (!known && IsStatementKeyword(w))
      Refuse(tok.begin, "the statement keyword \"" + Raw(tok) + "\" (only a single select is accepted)");
    if (!known && IsOtherKeyword(w))
      Refuse(tok.begin, "the keyword \"" + Raw(tok) + "\", which the library's texts do not use (write [" +
                            Raw(tok) + "] for a name)");

    // X..t: database X, table t; the engine reaches X as a schema.
    if (IsDoubleDot(m_t + 1) && m_tokens[m_t + 1].begin == tok.end) {
      if (known) Refuse(tok.begin, "the keyword \"" + Raw(tok) + "\" as a database name");
      const size_t nameAt = m_t + 3;
      if (nameAt >= m_tokens.size() || !IsName(m_tokens[nameAt]) ||
          m_tokens[nameAt].begin != m_tokens[m_t + 2].end)
        Refuse(m_tokens[m_t + 1].begin, "a \"..\" that is not followed by a table name");
      m_out += Raw(tok);
      m_out += '.';
      AddDatabase(Raw(tok));
      m_t += 2;  // the table name is the next token handled
      return;
    }

    if (w == "float") Refuse(tok.begin, "\"float\" outside cast(... as float)");
    if (NextIs(m_t, "(")) {
      if (w == "cast") {
        m_pending = FrameType::Cast;
      } else if (w == "left") {
        m_pending = FrameType::Left;
        m_out += m_map.leftFunction ? m_map.leftFunction : Raw(tok);
        return;
      } else if (IsKnownFunction(w)) {
        m_pending = FrameType::Call;
      } else if (known) {
        m_pending = FrameType::Group;  // on (…), in (…), and (…), from (select …)
      } else {
        Refuse(tok.begin, "the unknown function \"" + Raw(tok) +
                              "\" (only cast, coalesce, min, max, count and left are known)");
      }
      m_out += Raw(tok);
      return;
    }
    if (IsKnownFunction(w) && w != "left")  // "left" alone is the join
      Refuse(tok.begin, "\"" + Raw(tok) + "\" without \"(\"");

    if (w == "as" && !m_frames.empty() && m_frames.back().type == FrameType::Cast) {
      const size_t typeAt = m_t + 1;
      if (typeAt >= m_tokens.size() || m_tokens[typeAt].kind != SqlToken::Kind::Word)
        Refuse(tok.begin, "a cast without a type after \"as\"");
      const SqlToken& type = m_tokens[typeAt];
      if (type.lower != "float")
        Refuse(type.begin, "a cast to \"" + Raw(type) + "\" (only cast(... as float) is supported)");
      if (!NextIs(typeAt, ")")) Refuse(type.end, "text after \"float\" in a cast");
      m_out += Raw(tok);
      EmitBlanks(type);
      m_out += m_map.floatType;
      m_frames.back().typed = true;
      ++m_t;
      return;
    }
    m_out += Raw(tok);
  }

  // The index just past the operand that starts at token j (the right side of '…'+).
  size_t EndOfOperand(size_t j) const {
    auto pastGroup = [&](size_t open) {
      int depth = 0;
      for (size_t k = open; k < m_tokens.size(); ++k) {
        if (IsOp(k, "(")) ++depth;
        if (IsOp(k, ")") && --depth == 0) return k + 1;
      }
      return m_tokens.size();  // never closed: refused when the walk reaches the end
    };
    const SqlToken& first = m_tokens[j];
    if (IsOp(j, "(")) return pastGroup(j);
    if (first.kind == SqlToken::Kind::String) return j + 1;
    if (!IsName(first))
      Refuse(first.begin, std::string("\"").append(Raw(first)).append(
                              "\" after '…'+ (a column, literal or function is expected)"));
    if (NextIs(j, "(")) return pastGroup(j + 1);
    size_t k = j + 1;
    while (IsOp(k, ".") && k + 1 < m_tokens.size()) {
      k = IsOp(k + 1, ".") ? k + 2 : k + 1;  // a.b or X..t
      if (k >= m_tokens.size() || !IsName(m_tokens[k])) return k;
      ++k;
    }
    return k;
  }

  // '…'+expr is the one "+" the library writes: concatenation of a literal and a text.
  void Concatenation(const SqlToken& plus) {
    if (m_t == 0 || m_tokens[m_t - 1].kind != SqlToken::Kind::String)
      Refuse(plus.begin, "a \"+\" that is not string concatenation (only '…'+expr is supported)");
    if (m_t >= 2 && (IsOp(m_t - 2, "*") || IsOp(m_t - 2, "/") || IsOp(m_t - 2, "-")))
      Refuse(m_tokens[m_t - 2].begin, "a string literal between \"" + m_tokens[m_t - 2].lower +
                                          "\" and \"+\" (the engines group it differently)");
    const size_t j = m_t + 1;
    if (j >= m_tokens.size()) Refuse(plus.begin, "a \"+\" at the end of the text");
    const SqlToken& first = m_tokens[j];
    if (first.kind == SqlToken::Kind::Number || IsOp(j, "-") || IsOp(j, "+"))
      Refuse(first.begin, "a number after '…'+ (that is an addition in T-SQL, not concatenation)");
    const size_t after = EndOfOperand(j);
    if (IsOp(after, "*") || IsOp(after, "/"))
      Refuse(m_tokens[after].begin, "a \"" + m_tokens[after].lower +
                                        "\" after '…'+expr (the engines group it differently)");
    m_out += m_map.concatenation;
  }

  void Operator(const SqlToken& tok) {
    const std::string& op = tok.lower;
    if (op == "(") {
      m_frames.push_back(Frame{m_pending.value_or(FrameType::Group), tok.begin});
      m_pending.reset();
    } else if (op == ")") {
      if (m_frames.empty()) Refuse(tok.begin, "a \")\" without a matching \"(\"");
      const Frame frame = m_frames.back();
      m_frames.pop_back();
      if (frame.type == FrameType::Left && frame.commas != 1)
        Refuse(frame.open, "LEFT with " + std::to_string(frame.commas + 1) + " arguments (it takes 2)");
      if (frame.type == FrameType::Cast && !frame.typed) Refuse(frame.open, "a cast without \"as float\"");
    } else if (op == ",") {
      if (!m_frames.empty() && m_frames.back().type == FrameType::Left && m_frames.back().commas++ == 0) {
        m_out += m_map.leftSeparator;
        return;
      }
    } else if (op == "+") {
      Concatenation(tok);
      return;
    } else if (op == ";") {
      if (m_t + 1 != m_tokens.size())
        Refuse(tok.begin, "a \";\" before the end of the text (only one statement is accepted)");
    } else if (op == "." && IsDoubleDot(m_t)) {
      Refuse(tok.begin, "a \"..\" that does not follow a database name");
    }
    m_out += op;
  }

  const std::string& m_sql;
  const DialectMapping& m_map;
  std::vector<SqlToken> m_tokens;
  size_t m_trailingBlanks = 0;
  size_t m_t = 0;  // the token being rewritten
  std::vector<Frame> m_frames;
  std::optional<FrameType> m_pending;  // set by a function name, taken by its "("
  std::vector<std::string> m_databases;
  std::string m_out;
};

}  // namespace

std::string RewriteTsql(const std::string& sql, Dialect target, std::vector<std::string>* databasesReferenced) {
  std::vector<std::string> databases;
  std::string out = Rewriter(sql, MappingFor(target)).Run(databases);
  if (databasesReferenced) *databasesReferenced = std::move(databases);
  return out;
}

}  // namespace mirel_platform
