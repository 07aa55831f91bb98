// Plain and JSON output of sbf. Every function builds its whole text before anything is
// written, so a value that cannot be shown raises before a half-printed table.
#pragma once

#include <cstdint>
#include <string>

#include <mirel_SbF/mirel_SbF.h>

namespace sbf {

// A JSON string literal, quotes included; UTF-8 passes through, control characters escaped.
std::string JsonString(const std::string& text);
// A JSON value: numbers as numbers (non-finite ones, which JSON lacks, as null), texts as
// strings, Null and Empty as null.
std::string JsonValue(const mirel_SbF::Variant& value);
// "0x80040201": an error number as 8 hex digits.
std::string HexNumber(int32_t number);

// The rest of the record set (which is closed after): a header of column names, one
// aligned line per row and a closing "N vehicles"; or with json
// {"columns":[...],"rows":[[...],...],"count":N}.
std::string FormatRecords(mirel_SbF::Recordset& rs, bool json, const char* noun = "vehicle");

// A library error for stderr ("error 0x80040201 (source): description") and for --json.
std::string PlainError(const mirel_SbF::Error& e);
std::string JsonError(const mirel_SbF::Error& e);
// An error of sbf itself (e.g. a missing data folder) for --json.
std::string JsonError(const std::string& description);

}  // namespace sbf
