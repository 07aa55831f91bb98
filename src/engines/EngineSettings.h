// EngineSettings: the connection string's settings that the engines read themselves (keys
// compared without regard to case); every other entry belongs to the provider (the SQLite
// folder, or the ODBC driver's own keys).
//
//   Command Timeout=N   seconds a query may run (default 30; 0 = no limit), as in ADO
//   Connect Timeout=N   seconds to open a server connection (default 15; 0 = no limit; ODBC)
//   Cache MB=N          what an engine keeps between queries for these databases (default
//                       256; 0 = nothing)
//   Cache Seconds=N     how long a server's answers may be given out again (default 0: a
//                       server's answers are never kept; ODBC)
//   Max Result MB=N     the most one result may hold in memory (default 512; SQLite)
//   Evaluation=Facets|Levels|Plain   how texts run (default Facets): Plain hands every text
//                       to the engine as written; Levels evaluates the nested vehicle levels
//                       one at a time; Facets also answers the library's list, counting and
//                       vehicle queries from kept postings. All three give the same record
//                       sets; Plain is there to compare against.
// A value out of range raises Error 0x80004005 (source "mirel_base.Connector") naming the
// key, the text and what it must be.
#pragma once

#include <cstdint>
#include <string_view>

#include "engines/ConnectionString.h"
#include "index/Evaluator.h"

namespace mirel_platform {

struct EngineSettings {
  int32_t commandTimeoutSeconds = 30;
  int32_t connectTimeoutSeconds = 15;
  int64_t cacheBytes = int64_t{256} << 20;
  int32_t cacheSeconds = 0;
  int64_t maxResultBytes = int64_t{512} << 20;
  facets::Evaluation evaluation = facets::Evaluation::Facets;
};

EngineSettings EngineSettingsOf(const ConnectionString& conn);

// Whether `key` is one of the settings above (a provider does not hand it on to a driver).
bool IsEngineSetting(std::string_view key);

}  // namespace mirel_platform
