// StationQueue.h - the events of a station's children, handed from the platform's reader threads to the station's thread.
//
// Push from any thread; Pop on the station's thread only, waiting at most the time given.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "StationPlatform.h"

class CStationQueue {
 public:
  void Push(IStationPlatform::Event event);
  // The oldest event, or kNothing when none comes within waitMs.
  IStationPlatform::Event Pop(unsigned waitMs);

 private:
  std::mutex m_mutex;
  std::condition_variable m_ready;
  std::deque<IStationPlatform::Event> m_events;
};
