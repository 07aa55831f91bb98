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

// The blanks every engine reads as blanks (form feed and vertical tab are not blanks to
// all of them, so they are refused like any other unknown character).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Characters that PostgreSQL joins into one operator when they are written together
// ("->", "*=", "=-"), which T-SQL and SQLite read as separate tokens.
bool IsOperatorCharacter(char c) { return std::string_view("+-*/<>=").find(c) != std::string_view::npos; }

// PostgreSQL cuts longer names to this many bytes, so two names the other engines tell
// apart could become one.
constexpr size_t kMaxNameBytes = 63;
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c); }

enum class Kind { Word, QuotedName, BracketName, String, Number, Operator };

struct Token {
  Kind kind;
  size_t blankBegin;  // where the blanks before the token start
  size_t begin;
  size_t end;         // one past the last character
  std::string lower;  // words: the text in lower case; operators: the operator
};

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
    Lex();
    if (m_tokens.empty()) Refuse(0, "an empty text (a select statement is expected)");
    const Token& first = m_tokens.front();
    if (first.kind != Kind::Word || first.lower != "select")
      Refuse(first.begin, "a text that does not start with \"select\"");

    m_out.reserve(m_sql.size() + 16);
    for (m_t = 0; m_t < m_tokens.size(); ++m_t) {
      const Token& tok = m_tokens[m_t];
      EmitBlanks(tok);
      switch (tok.kind) {
        case Kind::Word: Word(tok); break;
        case Kind::QuotedName:
          if (NextIs(m_t, "(")) Refuse(tok.begin, "the unknown function " + Raw(tok));
          m_out += Folded(Raw(tok));
          break;
        case Kind::BracketName:
          if (NextIs(m_t, "(")) Refuse(tok.begin, "the unknown function " + Raw(tok));
          m_out += BracketToQuoted(tok);
          break;
        case Kind::String:
          // N'…' is the same literal without the prefix; '' inside stays the escaped quote.
          m_out.append(m_sql, m_sql[tok.begin] == '\'' ? tok.begin : tok.begin + 1,
                       tok.end - (m_sql[tok.begin] == '\'' ? tok.begin : tok.begin + 1));
          break;
        case Kind::Number: m_out += Raw(tok); break;
        case Kind::Operator: Operator(tok); break;
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

  std::string Raw(const Token& tok) const { return m_sql.substr(tok.begin, tok.end - tok.begin); }

  bool IsOp(size_t t, std::string_view op) const {
    return t < m_tokens.size() && m_tokens[t].kind == Kind::Operator && m_tokens[t].lower == op;
  }
  bool NextIs(size_t t, std::string_view op) const { return IsOp(t + 1, op); }
  static bool IsName(const Token& tok) {
    return tok.kind == Kind::Word || tok.kind == Kind::QuotedName || tok.kind == Kind::BracketName;
  }
  // ".." written without blanks, starting at token t.
  bool IsDoubleDot(size_t t) const {
    return IsOp(t, ".") && IsOp(t + 1, ".") && m_tokens[t + 1].begin == m_tokens[t].end;
  }

  void EmitBlanks(const Token& tok) { m_out.append(m_sql, tok.blankBegin, tok.begin - tok.blankBegin); }

  // ---- lexer ----

  void Push(Kind kind, size_t blankBegin, size_t begin, size_t end, std::string lower = {}) {
    m_tokens.push_back(Token{kind, blankBegin, begin, end, std::move(lower)});
  }

  // The end of a quoted token whose opening quote is at `open`; a doubled quote is the
  // quote itself.
  size_t EndOfQuoted(size_t tokenBegin, size_t open, char quote, const char* what) const {
    size_t i = open + 1;
    while (true) {
      const size_t q = m_sql.find(quote, i);
      if (q == std::string::npos) Refuse(tokenBegin, std::string("an unterminated ") + what);
      if (q + 1 < m_sql.size() && m_sql[q + 1] == quote) {
        i = q + 2;
        continue;
      }
      // SQL Server reads a backslash before a line break in a literal as a continuation
      // and drops both; the other engines keep them.
      for (size_t k = open + 1; k + 1 < q; ++k)
        if (m_sql[k] == '\\' && (m_sql[k + 1] == '\n' || m_sql[k + 1] == '\r'))
          Refuse(k, "a backslash before a line break inside a quoted text");
      return q + 1;
    }
  }

  // A quoted or bracketed name: ASCII only (the engines fold other letters differently)
  // and short enough for every engine to keep whole.
  void CheckName(size_t begin, size_t end) const {
    for (size_t i = begin; i < end; ++i)
      if (static_cast<unsigned char>(m_sql[i]) >= 0x80) Refuse(begin, "a name with characters outside ASCII");
    if (end - begin > kMaxNameBytes + 2) Refuse(begin, "a name longer than 63 characters");
  }

  static std::string DescribeCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x21 && u < 0x7F) return std::string("the character \"") + c + "\"";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "the byte 0x%02X", u);
    return buffer;
  }

  void Lex() {
    const size_t n = m_sql.size();
    size_t i = 0;
    while (true) {
      const size_t blank = i;
      while (i < n && IsBlank(m_sql[i])) ++i;
      if (i >= n) {
        m_trailingBlanks = blank;
        return;
      }
      const size_t start = i;
      const char c = m_sql[i];
      const char next = i + 1 < n ? m_sql[i + 1] : '\0';

      if (c == '-' && next == '-') Refuse(start, "a comment (\"--\")");
      if (c == '/' && next == '*') Refuse(start, "a comment (\"/*\")");
      if (c == '*' && next == '/') Refuse(start, "the end of a comment (\"*/\")");

      if (c == '\'' || ((c == 'N' || c == 'n') && next == '\'')) {
        // PostgreSQL joins literals separated by a line break, and 'a'N'b' must not read as
        // one literal holding a quote: a literal never follows another.
        if (!m_tokens.empty() && m_tokens.back().kind == Kind::String)
          Refuse(start, "a string literal right after another string literal");
        i = EndOfQuoted(start, c == '\'' ? i : i + 1, '\'', "string literal");
        Push(Kind::String, blank, start, i);
      } else if (c == '"') {
        i = EndOfQuoted(start, i, '"', "quoted name");
        if (i - start == 2) Refuse(start, "an empty quoted name");
        CheckName(start, i);
        Push(Kind::QuotedName, blank, start, i);
      } else if (c == '[') {
        i = EndOfQuoted(start, i, ']', "bracketed name");
        if (i - start == 2) Refuse(start, "an empty bracketed name");
        CheckName(start, i);
        Push(Kind::BracketName, blank, start, i);
      } else if (IsWordStart(c)) {
        while (i < n && IsWordChar(m_sql[i])) ++i;
        if (i - start > kMaxNameBytes) Refuse(start, "a name longer than 63 characters");
        if (i < n && (m_sql[i] == '\'' || m_sql[i] == '"'))
          Refuse(start, "a quote right after the word \"" + m_sql.substr(start, i - start) +
                            "\" (a typed literal such as X'…')");
        Push(Kind::Word, blank, start, i, LowerAscii(std::string_view(m_sql).substr(start, i - start)));
      } else if (IsDigit(c)) {
        // The numbers of TextBasics.h's IsStatementNumber (the sign is an operator here).
        i += UnsignedNumberLength(std::string_view(m_sql).substr(i));
        if (i < n && (IsWordChar(m_sql[i]) || m_sql[i] == '.' || m_sql[i] == '\'' || m_sql[i] == '"'))
          Refuse(start, "a malformed number (only integers and decimals such as 12 or 1.5)");
        Push(Kind::Number, blank, start, i);
      } else if (c == '.' && IsDigit(next)) {
        Refuse(start, "a number that starts with a point (write 0.5, not .5)");
      } else if (c == '@') {
        size_t e = i + 1;
        while (e < n && (IsWordChar(m_sql[e]) || m_sql[e] == '@')) ++e;
        Refuse(start, "the variable \"" + m_sql.substr(start, e - start) + "\"");
      } else if (c == '#') {
        size_t e = i + 1;
        while (e < n && (IsWordChar(m_sql[e]) || m_sql[e] == '#')) ++e;
        Refuse(start, "the temporary table \"" + m_sql.substr(start, e - start) + "\"");
      } else if (IsOperatorCharacter(c) && !m_tokens.empty() && m_tokens.back().kind == Kind::Operator &&
                 m_tokens.back().end == start && IsOperatorCharacter(m_sql[start - 1])) {
        Refuse(m_tokens.back().begin, "the operator characters \"" +
                                          m_sql.substr(m_tokens.back().begin, start + 1 - m_tokens.back().begin) +
                                          "\" written together (PostgreSQL reads them as one operator)");
      } else if (c == '<' || c == '>' || c == '=') {
        size_t len = 1;
        if ((c == '<' && (next == '>' || next == '=')) || (c == '>' && next == '=')) len = 2;
        if (i + len < n && std::string_view("<>=!").find(m_sql[i + len]) != std::string_view::npos)
          Refuse(start, "the operator \"" + m_sql.substr(start, len + 1) + "\"");
        i += len;
        Push(Kind::Operator, blank, start, i, m_sql.substr(start, len));
      } else if (std::string_view("+-*/,.();").find(c) != std::string_view::npos) {
        ++i;
        Push(Kind::Operator, blank, start, i, std::string(1, c));
      } else {
        Refuse(start, DescribeCharacter(c));
      }
    }
  }

  // ---- rewrite ----

  std::string BracketToQuoted(const Token& tok) const {
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

  void Word(const Token& tok) {
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
      if (typeAt >= m_tokens.size() || m_tokens[typeAt].kind != Kind::Word)
        Refuse(tok.begin, "a cast without a type after \"as\"");
      const Token& type = m_tokens[typeAt];
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
    const Token& first = m_tokens[j];
    if (IsOp(j, "(")) return pastGroup(j);
    if (first.kind == Kind::String) return j + 1;
    if (!IsName(first))
      Refuse(first.begin, "\"" + Raw(first) + "\" after '…'+ (a column, literal or function is expected)");
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
  void Concatenation(const Token& plus) {
    if (m_t == 0 || m_tokens[m_t - 1].kind != Kind::String)
      Refuse(plus.begin, "a \"+\" that is not string concatenation (only '…'+expr is supported)");
    if (m_t >= 2 && (IsOp(m_t - 2, "*") || IsOp(m_t - 2, "/") || IsOp(m_t - 2, "-")))
      Refuse(m_tokens[m_t - 2].begin, "a string literal between \"" + m_tokens[m_t - 2].lower +
                                          "\" and \"+\" (the engines group it differently)");
    const size_t j = m_t + 1;
    if (j >= m_tokens.size()) Refuse(plus.begin, "a \"+\" at the end of the text");
    const Token& first = m_tokens[j];
    if (first.kind == Kind::Number || IsOp(j, "-") || IsOp(j, "+"))
      Refuse(first.begin, "a number after '…'+ (that is an addition in T-SQL, not concatenation)");
    const size_t after = EndOfOperand(j);
    if (IsOp(after, "*") || IsOp(after, "/"))
      Refuse(m_tokens[after].begin, "a \"" + m_tokens[after].lower +
                                        "\" after '…'+expr (the engines group it differently)");
    m_out += m_map.concatenation;
  }

  void Operator(const Token& tok) {
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
  std::vector<Token> m_tokens;
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
