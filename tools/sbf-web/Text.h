// The escaping and encoding every text of the web host writes goes through: HTML text and
// attribute values, URL query parameters of its links (JSON goes through nlohmann/json,
// sbf_host::Dump; a request's parameters are cpp-httplib's, decoded by it).
#pragma once

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

// "a=1&b=x%20y": the pairs encoded and joined in the order given.
std::string BuildQuery(const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace sbf_web
