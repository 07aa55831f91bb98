// Plain and JSON output of sbf. Every function builds its whole text before anything is
// written, so a value that cannot be shown raises before a half-printed table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <mirel_SbF/mirel_SbF.h>

#include <optional>

#include "Request.h"
#include "Vehicles.h"
#include "Words.h"

namespace sbf {

// The rest of the record set (which is closed after): a header of column names, one
// aligned line per row and a closing "N vehicles"; or with json
// {"columns":[...],"rows":[[...],...],"count":N}.
std::string FormatRecords(mirel_SbF::Recordset& rs, bool json, const char* noun = "vehicle");

// The vehicle table: a header of the columns' titles in the language, one aligned line per
// vehicle as shown, and "284 vehicles" (or which rows of how many, when a page was asked
// for); or as JSON {"columns", "titles", "rows" (as the data holds them), "texts" (as
// shown), "count" (all of them), "offset", "limit"}.
std::string FormatVehicles(const sbf_host::VehicleTable& table, const sbf_host::Words& words,
                           std::optional<size_t> limit, bool json);

// The search screen: per category (its heading in the language) its rows, each row's title
// with the option that picks from it (and "either-or" when marked), the parts of a row of
// several items under their labels, then one value per line with its code, [x] on the
// picked ones, [-] on a value no matching vehicle has, and its count "(29)" when counted;
// or every property as JSON (a value's count null when not counted).
std::string FormatScreen(const std::vector<sbf_host::Row>& rows, const std::vector<sbf_host::Category>& categories,
                         int32_t matching, const sbf_host::Words& words, bool json);

// Errors for stderr ("error 0x80040201 (source): description") and for --json.
std::string PlainError(const mirel_SbF::Error& e);
std::string JsonError(const mirel_SbF::Error& e);
std::string JsonError(const std::string& source, const std::string& description);

}  // namespace sbf
