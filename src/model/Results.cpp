#include "mirel_SbF/Results.h"

#include "runtime/Collection.h"
#include "runtime/ErrorHandling.h"

namespace mirel_SbF {

struct Results::Values {
  Collection<Info> items;
};

Results::Results() : m_values(std::make_unique<Values>()) {}
Results::~Results() = default;

int32_t Results::Count() const { return m_values->items.Count(); }

std::shared_ptr<Info> Results::Item() const { Raise(kErrObject, "Missing Item Index"); }
std::shared_ptr<Info> Results::Item(int32_t Index) const { return m_values->items.Item(Index); }
std::shared_ptr<Info> Results::Item(const std::string& Index) const {
  return m_values->items.Item(Index);
}

void Results::Add(std::shared_ptr<Info> oClass, const std::string& Key) {
  m_values->items.Add(std::move(oClass), Key);
}

std::unique_ptr<Enumerator<Info>> Results::NewEnum() const {
  try {
    return m_values->items.NewEnum();
  } catch (...) {
    return nullptr;  // an enumerator that cannot be had is no error for the host
  }
}

}  // namespace mirel_SbF
