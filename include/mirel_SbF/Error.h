// Error: what every failure of the library, its connector and its record sets raises.
//
// Hosts depend on three values: the number (an HRESULT-style 32-bit value such as
// 0x80040201, or a run-time error number such as 13), the source ("mirel_SbF",
// "mirel_SbF.<Procedure>" or a connector's own, e.g. "mirel_base.Connector") and an
// English description. what() returns the description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace mirel_SbF {

inline constexpr const char* kLibraryName = "mirel_SbF";

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string source, std::string description);

  int32_t Number() const { return m_number; }
  const std::string& Source() const { return m_source; }
  const std::string& Description() const { return m_description; }

 private:
  int32_t m_number;
  std::string m_source;
  std::string m_description;
};

// The numbers the library raises itself.
inline constexpr int32_t kErrObject = static_cast<int32_t>(0x80040201);          // most messages
inline constexpr int32_t kErrSchemaValue = static_cast<int32_t>(0x80040202);     // schema value without value
inline constexpr int32_t kErrPricing = static_cast<int32_t>(0x80040064);         // pricing, sort order
// The numbers the connector raises, as ADO does.
inline constexpr int32_t kErrBadSql = static_cast<int32_t>(0x80040E14);
inline constexpr int32_t kErrUnspecified = static_cast<int32_t>(0x80004005);

}  // namespace mirel_SbF
