// Plain and JSON output of sbf. Every function builds its whole text before anything is
// written, so a value that cannot be shown raises before a half-printed table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <mirel_SbF/mirel_SbF.h>

#include "Request.h"

namespace sbf {

// The rest of the record set (which is closed after): a header of column names, one
// aligned line per row and a closing "N vehicles"; or with json
// {"columns":[...],"rows":[[...],...],"count":N}.
std::string FormatRecords(mirel_SbF::Recordset& rs, bool json, const char* noun = "vehicle");

// The search screen: per category its rows, each row's title with the option that picks
// from it (and "either-or" when marked), then one value per line with its code, [x] on the
// picked ones, [-] on a value no matching vehicle has, and its count "(29)" when counted;
// or every property as JSON (a value's count null when not counted).
std::string FormatScreen(const std::vector<sbf_host::Row>& rows, int32_t matching, bool json);

// Errors for stderr ("error 0x80040201 (source): description") and for --json.
std::string PlainError(const mirel_SbF::Error& e);
std::string JsonError(const mirel_SbF::Error& e);
std::string JsonError(const std::string& source, const std::string& description);

}  // namespace sbf
