// Plain and JSON output of sbf.
#pragma once

#include <ostream>
#include <string>

#include <mirel_SbF/mirel_SbF.h>

namespace sbf {

std::string JsonString(const std::string& text);
std::string JsonValue(const mirel_SbF::Variant& value);
// "0x80040201": an error number as Windows writes an HRESULT.
std::string HexNumber(int32_t number);

// Every row of `rs`: columns aligned for a person, or {"columns":[..],"rows":[[..]],"count":N}.
void PrintRecords(std::ostream& out, mirel_SbF::Recordset& rs, bool json);

}  // namespace sbf
