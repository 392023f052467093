#include "StationQueue.h"

#include <chrono>
#include <utility>

void CStationQueue::Push(IStationPlatform::Event event) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(std::move(event));
  }
  m_ready.notify_one();
}

IStationPlatform::Event CStationQueue::Pop(unsigned waitMs) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_ready.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !m_events.empty(); }))
    return IStationPlatform::Event();
  IStationPlatform::Event event = std::move(m_events.front());
  m_events.pop_front();
  return event;
}
