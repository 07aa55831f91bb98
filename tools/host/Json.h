// The JSON both hosts write, through nlohmann/json.
#pragma once

#include <cstdint>
#include <string>

#include <mirel_SbF/mirel_SbF.h>
#include <nlohmann/json.hpp>

namespace sbf_host {

// JSON objects keep their members in the order written.
using Json = nlohmann::ordered_json;

// A document as one line and a newline. Texts from the data or from a request may hold
// bytes that are not UTF-8: they become U+FFFD, so the output is always valid JSON; "<", ">"
// and "&" are written as \u003c, \u003e and \u0026.
std::string Dump(const Json& doc);

// A record-set value: numbers as numbers (non-finite ones, which JSON lacks, as null),
// texts as strings, Null and Empty as null.
Json ToJson(const mirel_SbF::Variant& value);

// "0x80040201": an error number as 8 hex digits.
std::string HexNumber(int32_t number);

// {"number":..., "hex":"0x...", "source":..., "description":...} of a library error; of a
// host's own error (number and hex null).
Json ErrorJson(const mirel_SbF::Error& e);
Json ErrorJson(const std::string& source, const std::string& description);

}  // namespace sbf_host
