// Helpers the host's files share: ASCII case, membership, and the one number form a bound
// of a statement has.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace sbf_host::detail {

inline std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

inline bool SameWithoutCase(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

inline bool Contains(const std::vector<std::string>& items, const std::string& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// A bound as a number: the one form the library puts into a statement (an optional minus,
// digits, optionally a point and digits), as the ladder gives them.
inline std::optional<double> Number(const std::string& text) {
  const size_t digits = text.rfind('-', 0) == 0 ? 1 : 0;
  const size_t point = text.find('.');
  const auto allDigits = [&](size_t from, size_t to) {
    return to > from && text.find_first_not_of("0123456789", from) >= to;
  };
  if (point == std::string::npos ? !allDigits(digits, text.size())
                                 : !allDigits(digits, point) || !allDigits(point + 1, text.size()))
    return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [at, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc() || at != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace sbf_host::detail
