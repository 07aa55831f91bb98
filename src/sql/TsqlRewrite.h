// TsqlRewrite: turns the library's SQL Server (T-SQL) texts into another engine's dialect.
//
// The library only ever composes single select statements from a handful of constructs.
// A small lexer reads the text, maps those constructs to the target dialect and refuses
// everything else rather than guess what it means there:
//
//   T-SQL                      SQLite                     PostgreSQL
//   N'…'                       '…'                        '…'
//   X..t                       X.t  (X attached)          X.t  (schema X)
//   '…'+expr                   '…'||expr                  '…'||expr
//   LEFT(x, n)                 substr(x, 1, n)            LEFT(x, n)
//   [name]                     "name"                     "name"  (lower case)
//   cast(e as float)           cast(e as real)            cast(e as double precision)
//
// Identifiers, "quoted names", numbers, string literals, the operators
// = <> < > <= >= + - * / , . ( ) ; and the words select distinct from where and or not
// inner left join on as in order by group cast float coalesce min max count is null asc
// desc case when then else end pass through. A refusal raises Error 0x80040E14 (kErrBadSql) with the source
// "mirel_base.Connector" and a description naming the construct and its position
// (1-based byte offset into the text).
#pragma once

#include <string>
#include <vector>

namespace mirel_platform {

enum class Dialect { SQLite, PostgreSQL };

// Returns `sql` in the `target` dialect, blanks and line breaks kept as written. When
// `databasesReferenced` is given it receives the distinct X of every three-part name X..t
// (compared without regard to case, first spelling kept, in order of first appearance),
// so that the engine can attach them; it is left unchanged when the text is refused.
std::string RewriteTsql(const std::string& sql, Dialect target,
                        std::vector<std::string>* databasesReferenced = nullptr);

}  // namespace mirel_platform
