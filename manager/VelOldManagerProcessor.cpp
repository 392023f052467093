#include "VelOldManagerProcessor.h"

#include <cstring>

#include "ClientWindow.h"
#include "ManagerEvents.h"

CVelOldManagerProcessor::CVelOldManagerProcessor(IProcessorServices* owner)
    : CVelManagerProcessor(owner) {
  m_nProcessorID = 0;
  std::strncpy(m_szName, "VelOldDownloadManager", sizeof m_szName);
}

CVelOldManagerProcessor::~CVelOldManagerProcessor() { delete[] m_pszFilePath; }

bool CVelOldManagerProcessor::SetTransferFile(const char* path) {
  delete[] m_pszFilePath;
  m_pszFilePath = nullptr;
  if (path) {
    const std::size_t n = std::strlen(path) + 1;
    m_pszFilePath = new char[n];
    std::memcpy(m_pszFilePath, path, n);
  }
  m_nState = kWaitSync;
  if (m_pParent) m_pParent->KillTimer(kSilenceTimerId);
  return true;
}

void CVelOldManagerProcessor::OnReceiveByte(unsigned char byte) {
  if (!EnsureReceiveBuffer()) return;
  if (m_nReceived < kReceiveBufferSize) m_pBuf[m_nReceived++] = byte;
}
