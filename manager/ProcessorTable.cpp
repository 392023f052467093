#include "ProcessorTable.h"

#include "VelManagerProcessor.h"

CProcessorTable::~CProcessorTable() { DeleteAll(); }

void CProcessorTable::Resize(std::size_t n) { m_processors.resize(n, nullptr); }

void CProcessorTable::Set(std::size_t index, CVelManagerProcessor* processor) {
  if (index < m_processors.size()) m_processors[index] = processor;
}

CVelManagerProcessor* CProcessorTable::At(std::size_t index) const {
  return index < m_processors.size() ? m_processors[index] : nullptr;
}

void CProcessorTable::DeleteAll() {
  for (CVelManagerProcessor* p : m_processors) delete p;
  m_processors.clear();
  m_processors.shrink_to_fit();
}

CVelManagerProcessor* CProcessorTable::Current() {
  const int current = m_nCurrentID;
  const int previous = m_nPreviousID;
  if (!InRange(current)) return nullptr;
  if (current != previous && InRange(previous) && m_processors[previous])
    m_processors[previous]->FreeReceiveBuffer();
  return m_processors[current];
}

void CProcessorTable::SetCurrentID(int id) {
  m_nPreviousID = m_nCurrentID;
  m_nCurrentID = id;
}
