#include "engines/EngineSettings.h"

#include <optional>
#include <string>

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Error.h"
#include "runtime/TextBasics.h"

namespace mirel_platform {

namespace {

constexpr int64_t kMaxSeconds = 86400;
constexpr int64_t kMaxMegabytes = int64_t{1} << 20;

int32_t Seconds(const ConnectionString& conn, std::string_view key, int32_t fallback) {
  return static_cast<int32_t>(WholeNumberSetting(conn, key, fallback, kMaxSeconds, "seconds"));
}

int64_t Bytes(const ConnectionString& conn, std::string_view key, int64_t fallback) {
  return WholeNumberSetting(conn, key, fallback >> 20, kMaxMegabytes, "megabytes") << 20;
}

}  // namespace

EngineSettings EngineSettingsOf(const ConnectionString& conn) {
  EngineSettings settings;
  settings.commandTimeoutSeconds = Seconds(conn, "Command Timeout", settings.commandTimeoutSeconds);
  settings.connectTimeoutSeconds = Seconds(conn, "Connect Timeout", settings.connectTimeoutSeconds);
  settings.cacheSeconds = Seconds(conn, "Cache Seconds", settings.cacheSeconds);
  settings.cacheBytes = Bytes(conn, "Cache MB", settings.cacheBytes);
  settings.maxResultBytes = Bytes(conn, "Max Result MB", settings.maxResultBytes);
  if (const std::optional<std::string> mode = conn.Get("Evaluation")) {
    if (EqualsNoCase(*mode, "Facets")) settings.evaluation = facets::Evaluation::Facets;
    else if (EqualsNoCase(*mode, "Levels")) settings.evaluation = facets::Evaluation::Levels;
    else if (EqualsNoCase(*mode, "Plain")) settings.evaluation = facets::Evaluation::Plain;
    else
      throw mirel_SbF::Error(mirel_SbF::kErrUnspecified, mirel_base::kConnectorSource,
                             "The connection string's \"Evaluation\" is \"" + *mode +
                                 "\"; it must be Facets, Levels or Plain.");
  }
  return settings;
}

bool IsEngineSetting(std::string_view key) {
  for (std::string_view known : {"Command Timeout", "Connect Timeout", "Cache MB", "Cache Seconds", "Max Result MB",
                                 "Evaluation"})
    if (EqualsNoCase(key, known)) return true;
  return false;
}

}  // namespace mirel_platform
