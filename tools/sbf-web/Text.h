// The escaping and encoding every text of the web host goes through: HTML text and
// attribute values, URL query parameters (JSON goes through nlohmann/json, sbf_host::Dump).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sbf_web {

// Text for an HTML element or a quoted attribute value: & < > " ' become entities.
std::string HtmlEscape(std::string_view text);

// One query-string component: every byte except the unreserved A-Z a-z 0-9 - . _ ~
// becomes %XX (upper-case hex), so "~"-separated state texts stay readable.
std::string UrlEncode(std::string_view text);

// The inverse for a query-string component: %XX decoded, "+" read as a blank (as HTML
// forms send it). A "%" not followed by two hex digits is a bad request.
std::string UrlDecode(std::string_view text);

// "a=1&b=x%20y" as ordered pairs, decoded; empty pieces ("a=1&&b=2") are skipped and a
// piece without "=" is a key with an empty value.
std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query);

// "a=1&b=x%20y": the pairs encoded and joined in the order given.
std::string BuildQuery(const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace sbf_web
