// ConnectionString: the Key=Value list a host passes as strDbConn.
//
// Entries are separated by ";". Keys compare without regard to case; blanks around keys
// and values are dropped; empty entries (a trailing ";", ";;") are skipped. A value that
// must hold ";" or "=" or keep its outer blanks is wrapped in {...} (a "}" inside written
// "}}") or in "..." (a '"' inside written '""'). A key may appear once only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirel_platform {

class ConnectionString {
 public:
  using Pair = std::pair<std::string, std::string>;

  ConnectionString() = default;
  // REQUIRES: no two keys equal without regard to case (ParseConnectionString checks it).
  explicit ConnectionString(std::vector<Pair> pairs) : m_pairs(std::move(pairs)) {}

  // The value of `key`, unquoted; nullopt when the key is absent.
  std::optional<std::string> Get(std::string_view key) const;
  // The engine to use: the Provider value, "SQLite" when it is absent or empty.
  std::string Provider() const;
  // Every entry in the order written, keys as written, values unquoted. An engine that
  // hands the string on to a driver rebuilds it from these.
  const std::vector<Pair>& Pairs() const { return m_pairs; }

 private:
  std::vector<Pair> m_pairs;
};

// The whole number of `key` within [0, max]; `fallback` when the key is absent. Anything
// else raises Error 0x80004005 (source "mirel_base.Connector") naming the key, the text and
// "a whole number of <unit> from 0 to <max>".
int64_t WholeNumberSetting(const ConnectionString& conn, std::string_view key, int64_t fallback, int64_t max,
                           std::string_view unit);

// Parses `text`; a malformed entry raises Error 0x80004005 with the source
// "mirel_base.Connector" and a description naming the entry.
ConnectionString ParseConnectionString(std::string_view text);

}  // namespace mirel_platform
