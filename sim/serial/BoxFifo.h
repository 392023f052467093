// BoxFifo.h - a first-in first-out queue kept in one vector: once grown, queueing allocates nothing.
#pragma once

#include <cstddef>
#include <vector>

// The engine queues every byte of the line in each direction; a queue that allocates per chunk of
// elements (std::deque) costs more than the exchange itself. Taken elements are dropped from the
// vector's front once they are the larger part of it, so memory stays proportional to what is queued.
template <typename T>
class CBoxFifo {
 public:
  bool empty() const { return m_head == m_items.size(); }
  size_t size() const { return m_items.size() - m_head; }
  const T& front() const { return m_items[m_head]; }
  const T& back() const { return m_items.back(); }
  const T& operator[](size_t i) const { return m_items[m_head + i]; }
  typename std::vector<T>::const_iterator begin() const { return m_items.begin() + std::ptrdiff_t(m_head); }
  typename std::vector<T>::const_iterator end() const { return m_items.end(); }

  void push_back(const T& item) { m_items.push_back(item); }
  // Takes the first `count` elements (at most size()).
  void pop_front(size_t count = 1) {
    m_head += count < size() ? count : size();
    if (m_head == m_items.size()) {
      m_items.clear();
      m_head = 0;
    } else if (m_head >= kCompactFrom && 2 * m_head >= m_items.size()) {
      m_items.erase(m_items.begin(), m_items.begin() + std::ptrdiff_t(m_head));
      m_head = 0;
    }
  }

 private:
  static constexpr size_t kCompactFrom = 4096;

  std::vector<T> m_items;
  size_t m_head = 0;
};
