// VelManagerProcessor.h - base of the protocol processors: receive buffer and notifications to the client window.
//
// Runs on the port's reader thread (OnReceiveByte and what it causes) and, for
// SetParentInfo, ClearReceiveBuffer and FreeReceiveBuffer, on the client's thread.
// The processor owns its receive buffer; the port, the window and the services are
// lent to it by the manager and outlive it.
#pragma once

#include <cstddef>

class IClientWindow;
class IProcessorServices;
class ISerialLine;

class CVelManagerProcessor {
 public:
  static constexpr int kReceiveBufferSize = 0x10000;

  explicit CVelManagerProcessor(IProcessorServices* owner);
  virtual ~CVelManagerProcessor();
  CVelManagerProcessor(const CVelManagerProcessor&) = delete;
  CVelManagerProcessor& operator=(const CVelManagerProcessor&) = delete;

  // Called by the reader thread for every received byte. The base only makes sure
  // that the receive buffer exists.
  virtual void OnReceiveByte(unsigned char byte);
  virtual bool IsProcessorID(int type) const = 0;
  // Called by the reader thread once the port's device has gone and the monitor has ended:
  // forgets what was received, stops the silence timer and tells the client it is idle.
  virtual void OnPortLost();

  void SetParentInfo(IClientWindow* parent, unsigned int msgEvent, unsigned int msgInProcess,
                     volatile int* cancel);
  void SetPort(ISerialLine* port) { m_pPort = port; }

  void ClearReceiveBuffer();
  void FreeReceiveBuffer();

  void SendEventMsg(const char* text, long kind);
  void PostEventMsg(const char* text, long kind);
  void SendErrorMsg(const char* text);
  void SendInProcessMsg(unsigned int flag);

  const char* GetName() const { return m_szName; }
  int GetProcessorID() const { return m_nProcessorID; }
  const unsigned char* GetReceiveBuffer() const { return m_pBuf; }
  int GetReceivedCount() const { return m_nReceived; }

 protected:
  // Allocates the receive buffer; null on failure.
  virtual unsigned char* AllocateReceiveBuffer(std::size_t size);
  bool EnsureReceiveBuffer();

  IClientWindow* m_pParent = nullptr;
  unsigned int m_unMsgEvent = 0;
  unsigned int m_unMsgInProcess = 0;
  volatile int* m_pCancel = nullptr;
  IProcessorServices* m_pOwner;
  ISerialLine* m_pPort = nullptr;
  char m_szName[32];
  unsigned char* m_pBuf = nullptr;
  int m_nReceived = 0;
  int m_nProcessorID;
};
