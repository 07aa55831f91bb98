// modMisc: the list and text helpers shared by the query builders.
//
// Lists are comma-separated texts as hosts supply them. Entries are split at every comma
// (empty entries kept) and trimmed of blanks (the space character only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirel_SbF {

// "(f op N'a') conj (f op N'b') ... (f op N'z')". A single quote inside an entry is doubled
// so that every entry stays one literal. Errors: "Missing or empty column list", "Missing
// field (column) name" (source "mirel_SbF.ConvertListToSQLClause").
std::string ConvertListToSQLClause(const std::string& strFieldName, const std::string& strList,
                                   const std::string& strOperator,
                                   const std::string& strConjunction);

// "p.a, p.b, p.[c d]". Each non-empty entry must be a column name: letters, digits, "_",
// not starting with a digit, or any name in brackets ("[list price]", "]" written "]]";
// a comma always splits, even inside brackets). An empty entry is passed on as "p." for
// the database to refuse.
// Errors: "Missing or empty column list", "Missing table prefix", a bad column name
// (source "mirel_SbF.AddTablePrefixToCommaDelimitedList").
std::string AddTablePrefixToCommaDelimitedList(const std::string& strTablePrefix,
                                               const std::string& strList);

// Cleans `strList` in place: trims it, drops one blank on each side of a delimiter and
// delimiters at both ends; with bAddQuotes the entries become N'..' literals (quotes
// doubled) joined by the delimiter.
void TidyList(std::string& strList, const std::string& strDelimiter, bool bAddQuotes);

// Trims blanks and upper-cases the first character (Unicode's simple mapping: "ı" gives
// "I"), except for the languages whose texts are not capitalised (German, Japanese, Korean, Hebrew, Croatian, Chinese).
std::string Capitalize(const std::string& strText, int32_t lLanguageId);

// The text split at every `separator`, empty fields kept: k separators give k + 1 fields.
std::vector<std::string> SplitText(const std::string& text, char separator);

// Blanks (the space character only) removed at both ends.
std::string TrimBlanks(const std::string& text);

}  // namespace mirel_SbF

namespace mirel_SbF {

// The Windows locale id of a language id (0, the system default, for 22 and for any id
// outside 1..38).
int32_t ConvertLanguageIdToLCID(int32_t lngLangId);

// One item of a locale's regional settings as text (source "mirel_SbF.GetRegionalSettings").
std::string GetRegionalSettings(int32_t lLCID, int32_t lLCType);

}  // namespace mirel_SbF
