#include "engines/ConnectionString.h"

#include <algorithm>
#include <charconv>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "runtime/TextBasics.h"

namespace mirel_platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}


[[noreturn]] void Fail(const std::string& what) {
  throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, mirel_base::kConnectorSource,
                         "Invalid connection string: " + what);
}

// Reads a {...} or "..." value starting at text[pos] (the opening character) and leaves
// pos just after the closing one.
std::string ReadQuoted(std::string_view text, size_t& pos, std::string_view key) {
  const char open = text[pos];
  const char close = open == '{' ? '}' : '"';
  std::string value;
  for (size_t i = pos + 1; i < text.size(); ++i) {
    if (text[i] != close) {
      value += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == close) {  // doubled: the character itself
      value += close;
      ++i;
      continue;
    }
    pos = i + 1;
    return value;
  }
  Fail("the value of \"" + std::string(key) + "\" opens with '" + std::string(1, open) +
       "' but has no closing '" + std::string(1, close) + "'");
}

}  // namespace

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
  const std::string_view wanted = Trim(key);
  for (const auto& [k, v] : m_pairs) {
    if (EqualsNoCase(k, wanted)) return v;
  }
  return std::nullopt;
}

std::string ConnectionString::Provider() const {
  auto provider = Get("Provider");
  if (!provider || provider->empty()) return "SQLite";
  return *provider;
}

ConnectionString ParseConnectionString(std::string_view text) {
  std::vector<ConnectionString::Pair> pairs;
  size_t pos = 0;
  while (pos < text.size()) {
    // The key: everything up to "=", or to ";" when the entry has none.
    const size_t stop = text.find_first_of("=;", pos);
    if (stop == std::string_view::npos || text[stop] == ';') {
      const size_t end = stop == std::string_view::npos ? text.size() : stop;
      const std::string_view entry = Trim(text.substr(pos, end - pos));
      if (!entry.empty()) Fail("the entry \"" + std::string(entry) + "\" has no \"=\"");
      pos = end + 1;
      continue;
    }
    const std::string key(Trim(text.substr(pos, stop - pos)));
    if (key.empty()) {
      const size_t end = std::min(text.find(';', stop), text.size());
      Fail("the entry \"" + std::string(Trim(text.substr(pos, end - pos))) + "\" has no key before \"=\"");
    }
    for (const auto& existing : pairs) {
      if (EqualsNoCase(existing.first, key)) Fail("the key \"" + key + "\" is given more than once");
    }

    // The value: quoted, or everything up to the next ";".
    pos = stop + 1;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::string value;
    if (pos < text.size() && (text[pos] == '{' || text[pos] == '"')) {
      value = ReadQuoted(text, pos, key);
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      if (pos < text.size() && text[pos] != ';')
        Fail("the value of \"" + key + "\" has text after its closing quote");
    } else {
      const size_t end = std::min(text.find(';', pos), text.size());
      value = std::string(Trim(text.substr(pos, end - pos)));
      pos = end;
    }
    pairs.emplace_back(key, std::move(value));
    ++pos;  // past the ";" (or the end)
  }
  return ConnectionString(std::move(pairs));
}

int64_t WholeNumberSetting(const ConnectionString& conn, std::string_view key, int64_t fallback, int64_t max,
                           std::string_view unit) {
  const std::optional<std::string> text = conn.Get(key);
  if (!text) return fallback;
  int64_t value = -1;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (text->empty() || ec != std::errc() || end != text->data() + text->size() || value < 0 || value > max)
    throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, mirel_base::kConnectorSource,
                           "The connection string's \"" + std::string(key) + "\" is \"" + *text +
                               "\"; it must be a whole number of " + std::string(unit) + " from 0 to " +
                               std::to_string(max) + ".");
  return value;
}

}  // namespace mirel_platform
