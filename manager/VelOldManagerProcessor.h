// VelOldManagerProcessor.h - the serial download protocol: the box leads, the processor answers byte by byte.
//
// Runs on the port's reader thread; SetTransferFile and the state reset of StopTransfer
// come from the client's thread while no byte is being handled.
#pragma once

#include <cstdint>
#include <vector>

#include "VelManagerProcessor.h"

class CVelOldManagerProcessor : public CVelManagerProcessor {
 public:
  enum State { kIdle = 0, kWaitSync = 1, kWaitReady = 3, kWaitFunc = 5, kWaitHeaderRep = 9,
               kWaitFuncEcho = 10, kWaitDataHeader = 12 };

  explicit CVelOldManagerProcessor(IProcessorServices* owner);
  ~CVelOldManagerProcessor() override;

  void OnReceiveByte(unsigned char byte) override;
  bool IsProcessorID(int type) const override { return type == m_nProcessorID; }

  // Keeps a copy of the path and waits for the box's SYNC.
  bool SetTransferFile(const char* path);

  int GetState() const { return m_nState; }
  void SetState(int state) { m_nState = state; }
  const char* GetTransferFile() const { return m_pszFilePath; }

 private:
  int m_nImageKind = 0;
  volatile int m_nState = kIdle;
  int m_nDigSize64K = 0;
  int m_nDigSize1K = 0;
  int m_nBlockCounter = 0;
  char* m_pszFilePath = nullptr;
};
