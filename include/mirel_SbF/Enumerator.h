// Enumerator: walks a snapshot of a collection's entries in order (the hidden NewEnum of
// a collection). PositionIterator lets range-for walk a collection through Item(i).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

namespace mirel_SbF {

template <class T>
class Enumerator {
 public:
  explicit Enumerator(std::vector<std::shared_ptr<T>> items) : m_items(std::move(items)) {}
  // Gives the next entry and true, or false at the end.
  bool Next(std::shared_ptr<T>& item) {
    if (m_next >= m_items.size()) return false;
    item = m_items[m_next++];
    return true;
  }
  void Reset() { m_next = 0; }

 private:
  std::vector<std::shared_ptr<T>> m_items;
  size_t m_next = 0;
};

template <class Owner, class T>
class PositionIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = std::shared_ptr<T>;
  using difference_type = std::ptrdiff_t;
  using pointer = const value_type*;
  using reference = value_type;

  PositionIterator(const Owner* owner, int32_t position) : m_owner(owner), m_position(position) {}
  value_type operator*() const { return m_owner->Item(m_position + 1); }
  PositionIterator& operator++() {
    ++m_position;
    return *this;
  }
  bool operator==(const PositionIterator& other) const { return m_position == other.m_position; }

 private:
  const Owner* m_owner;
  int32_t m_position;
};

}  // namespace mirel_SbF
