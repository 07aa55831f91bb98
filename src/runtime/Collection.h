// Collection<T>: the ordered collection behind Search (rows), Results (values) and the
// selection list. Entries keep the order of adding; an entry may carry a unique key,
// compared without regard to case in every script (Unicode case folding: "Élan" and
// "élan" are one key). Errors are the run time's: a position outside 1..Count raises 9,
// an unknown key 5, a duplicate key 457 (and the collection is left as it was).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/ErrorHandling.h"
#include "mirel_SbF/Enumerator.h"
#include "runtime/Unicode.h"

namespace mirel_SbF {

template <class T>
class Collection {
 public:
  int32_t Count() const { return static_cast<int32_t>(m_items.size()); }

  void Add(std::shared_ptr<T> item, const std::optional<std::string>& key = std::nullopt) {
    if (key) {
      std::string folded = mirel_platform::FoldCase(*key);
      if (m_keys.count(folded)) Raise(RuntimeError::DuplicateKey);
      m_keys.emplace(std::move(folded), m_items.size());
    }
    m_items.push_back(std::move(item));
  }

  // 1-based position.
  const std::shared_ptr<T>& Item(int32_t position) const {
    if (position < 1 || position > Count()) Raise(RuntimeError::SubscriptOutOfRange);
    return m_items[static_cast<size_t>(position - 1)];
  }

  const std::shared_ptr<T>& Item(const std::string& key) const {
    auto found = m_keys.find(mirel_platform::FoldCase(key));
    if (found == m_keys.end()) Raise(RuntimeError::InvalidCall);
    return m_items[found->second];
  }

  const std::vector<std::shared_ptr<T>>& Items() const { return m_items; }
  std::unique_ptr<Enumerator<T>> NewEnum() const { return std::make_unique<Enumerator<T>>(m_items); }

 private:
  std::vector<std::shared_ptr<T>> m_items;
  std::unordered_map<std::string, size_t> m_keys;
};

}  // namespace mirel_SbF
