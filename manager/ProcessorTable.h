// ProcessorTable.h - the library's processor array, indexed by transfer type, with the current and previous processor IDs.
//
// Module-wide: one table for the loaded library. The array changes only while no
// reader thread runs (manager construction and destruction); the IDs are single words
// read by the reader thread and written by the client's thread.
#pragma once

#include <cstddef>
#include <vector>

class CVelManagerProcessor;

class CProcessorTable {
 public:
  CProcessorTable() = default;
  CProcessorTable(const CProcessorTable&) = delete;
  CProcessorTable& operator=(const CProcessorTable&) = delete;
  ~CProcessorTable();

  // Makes the array exactly n slots long; new slots are null.
  void Resize(std::size_t n);
  void Set(std::size_t index, CVelManagerProcessor* processor);
  CVelManagerProcessor* At(std::size_t index) const;
  std::size_t Size() const { return m_processors.size(); }
  // Deletes every processor and frees the array.
  void DeleteAll();

  // The processor of the current ID, or null when the ID is outside the array. When the
  // current ID differs from the previous one, the previous processor loses its receive buffer.
  CVelManagerProcessor* Current();
  int CurrentID() const { return m_nCurrentID; }
  int PreviousID() const { return m_nPreviousID; }
  // previous := current; current := id.
  void SetCurrentID(int id);
  void ResetIDs() { m_nCurrentID = m_nPreviousID = 0; }

 private:
  bool InRange(int id) const { return id >= 0 && static_cast<std::size_t>(id) < m_processors.size(); }

  std::vector<CVelManagerProcessor*> m_processors;
  volatile int m_nCurrentID = 0;
  volatile int m_nPreviousID = 0;
};
