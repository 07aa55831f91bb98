// The driver string: the connection string's entries that go to the driver, each value
// written so that the driver reads it as written, and the password hidden for messages.
#include "engines/odbc/OdbcInternal.h"

#include "engines/ConnectionString.h"
#include "engines/EngineSettings.h"
#include "runtime/TextBasics.h"

namespace mirel_platform::odbc_detail {

// A value the driver would read otherwise than as written: one holding a separator or a
// brace, with blanks at its ends, or opening with a quote (read as a quoted value).
namespace {

bool NeedsBraces(const std::string& value) {
  constexpr std::string_view kBlanks = " \t\r\n";  // what a parser drops around a value
  return value.find_first_of(";{}=") != std::string::npos ||
         (!value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                             kBlanks.find(value.back()) != std::string_view::npos || value.front() == '"'));
}

}  // namespace

std::string DriverValue(const std::string& value) {
  if (!NeedsBraces(value)) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}


}  // namespace mirel_platform::odbc_detail

namespace mirel_platform {

using odbc_detail::DriverValue;
using odbc_detail::Fail;

OdbcSettings OdbcSettingsOf(const std::string& strDbConn) {
  const ConnectionString conn = ParseConnectionString(strDbConn);
  if (LowerAscii(conn.Provider()) != "odbc")
    Fail("The ODBC connector cannot run a connection string for Provider=" + conn.Provider() + ".");
  OdbcSettings settings;
  static_cast<EngineSettings&>(settings) = EngineSettingsOf(conn);
  bool namesSource = false;
  for (const auto& [key, value] : conn.Pairs()) {
    const std::string lower = LowerAscii(key);
    if (lower == "provider" || IsEngineSetting(key)) continue;
    if (lower == "driver" || lower == "dsn" || lower == "filedsn") namesSource = namesSource || !value.empty();
    const std::string entry = key + "=" + DriverValue(value) + ";";
    settings.driverString += entry;
    settings.shownString += (lower == "pwd" || lower == "password") ? key + "=***;" : entry;
  }
  if (!settings.shownString.empty()) settings.shownString.pop_back();  // the last ";"
  if (!namesSource)
    Fail("The connection string for Provider=ODBC names no Driver or DSN (e.g. \"Driver={PostgreSQL Unicode}\").");
  return settings;
}

}  // namespace mirel_platform
