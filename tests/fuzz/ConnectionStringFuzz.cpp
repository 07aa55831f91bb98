// Fuzzes the connection string. The properties: the driver string the ODBC connector builds
// from a string that parses (every value braced again) parses to the same entries less the
// connector's own, so that no value can add or change an entry on its way to the driver. The
// password is never shown.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SqlShape.h"
#include "mirel_SbF/Error.h"
#include "engines/ConnectionString.h"
#include "runtime/TextBasics.h"
#include "engines/odbc/OdbcProvider.h"

namespace {

bool Ours(const std::string& key) {
  const std::string lower = mirel_platform::LowerAscii(key);
  return lower == "provider" || lower == "connect timeout" || lower == "command timeout" || lower == "cache seconds" ||
         lower == "cache mb" || lower == "evaluation";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  mirel_platform::ConnectionString parsed;
  mirel_platform::OdbcSettings settings;
  try {
    parsed = mirel_platform::ParseConnectionString(text);
    settings = mirel_platform::OdbcSettingsOf(text);
  } catch (const mirel_SbF::Error&) {
    return 0;
  }
  std::vector<mirel_platform::ConnectionString::Pair> expected;
  for (const auto& pair : parsed.Pairs())
    if (!Ours(pair.first)) expected.push_back(pair);
  try {
    if (mirel_platform::ParseConnectionString(settings.driverString).Pairs() != expected)
      mirel_fuzz::Broken("the driver string holds other entries: " + settings.driverString, text);
  } catch (const mirel_SbF::Error& e) {
    mirel_fuzz::Broken("the driver string does not parse: " + e.Description(), text);
  }
  for (const auto& [key, value] : parsed.Pairs()) {
    const std::string lower = mirel_platform::LowerAscii(key);
    // Only a password that cannot be part of what is shown anyway (letters and digits,
    // written once) is looked for.
    const bool plain = value.size() >= 4 && mirel_platform::IsPlainName(value) && value.find('_') == std::string::npos;
    if ((lower == "pwd" || lower == "password") && plain && text.find(value) == text.rfind(value) &&
        settings.shownString.find(value) != std::string::npos)
      mirel_fuzz::Broken("the password is shown: " + settings.shownString, text);
  }
  return 0;
}
