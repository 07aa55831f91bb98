#include "mirel_SbF/Error.h"

namespace mirel_SbF {

Error::Error(int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      m_number(number),
      m_source(std::move(source)),
      m_description(std::move(description)) {}

}  // namespace mirel_SbF
