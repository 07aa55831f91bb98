// modMisc: the list and text helpers shared by the query builders.
//
// Lists are comma-separated texts as hosts supply them. Entries are split at every comma
// (empty entries kept) and trimmed of blanks (the space character only).
#pragma once

#include <cstdint>
#include <string>

namespace mirel_SbF {

// "(f op N'a') conj (f op N'b') ... (f op N'z')". A single quote inside an entry is doubled
// so that every entry stays one literal. Errors: "Missing or empty column list", "Missing
// field (column) name" (source "mirel_SbF.ConvertListToSQLClause").
std::string ConvertListToSQLClause(const std::string& strFieldName, const std::string& strList,
                                   const std::string& strOperator,
                                   const std::string& strConjunction);

// "p.a, p.b, p.c". Each non-empty entry must be a column name (letters, digits, "_", not
// starting with a digit); an empty entry is passed on as "p." for the database to refuse.
// Errors: "Missing or empty column list", "Missing table prefix", a bad column name
// (source "mirel_SbF.AddTablePrefixToCommaDelimitedList").
std::string AddTablePrefixToCommaDelimitedList(const std::string& strTablePrefix,
                                               const std::string& strList);

// Cleans `strList` in place: trims it, drops one blank on each side of a delimiter and
// delimiters at both ends; with bAddQuotes the entries become N'..' literals (quotes
// doubled) joined by the delimiter.
void TidyList(std::string& strList, const std::string& strDelimiter, bool bAddQuotes);

// Trims blanks and upper-cases the first character, except for the languages whose
// texts are not capitalised (German, Japanese, Korean, Hebrew, Croatian, Chinese).
std::string Capitalize(const std::string& strText, int32_t lLanguageId);

// Blanks (the space character only) removed at both ends.
std::string TrimBlanks(const std::string& text);

}  // namespace mirel_SbF
