#include "VelManagerProcessor.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "ClientWindow.h"
#include "ManagerEvents.h"
#include "ProcessorServices.h"

CVelManagerProcessor::CVelManagerProcessor(IProcessorServices* owner)
    : m_pOwner(owner), m_nProcessorID(9999) {
  std::strncpy(m_szName, "NONE Processor", sizeof m_szName);
}

CVelManagerProcessor::~CVelManagerProcessor() { FreeReceiveBuffer(); }

void CVelManagerProcessor::OnReceiveByte(unsigned char) { EnsureReceiveBuffer(); }

void CVelManagerProcessor::OnPortLost() {
  ClearReceiveBuffer();
  if (m_pParent) m_pParent->KillTimer(kSilenceTimerId);
  SendInProcessMsg(0);
}

unsigned char* CVelManagerProcessor::AllocateReceiveBuffer(std::size_t size) {
  return new (std::nothrow) unsigned char[size];
}

bool CVelManagerProcessor::EnsureReceiveBuffer() {
  if (m_pBuf) return true;
  m_pBuf = AllocateReceiveBuffer(kReceiveBufferSize);
  ClearReceiveBuffer();
  if (m_pBuf) return true;
  if (m_pOwner) {
    m_pOwner->NotifyParent(
        "CVelManagerProcessor::CVelManagerProcessor() - m_pBuf memory allocation failed!", EVENT_ERROR);
    m_pOwner->MessageBeep(box::kIconExclamation);
  }
  if (m_pCancel) *m_pCancel = 1;
  return false;
}

void CVelManagerProcessor::SetParentInfo(IClientWindow* parent, unsigned int msgEvent,
                                         unsigned int msgInProcess, volatile int* cancel) {
  m_pParent = parent;
  m_unMsgEvent = msgEvent;
  m_unMsgInProcess = msgInProcess;
  m_pCancel = cancel;
}

void CVelManagerProcessor::ClearReceiveBuffer() {
  if (m_pBuf) std::memset(m_pBuf, 0, kReceiveBufferSize);
  m_nReceived = 0;
}

void CVelManagerProcessor::FreeReceiveBuffer() {
  delete[] m_pBuf;
  m_pBuf = nullptr;
}

void CVelManagerProcessor::SendEventMsg(const char* text, long kind) {
  if (!m_pParent) return;
  m_pParent->Send(m_unMsgEvent, reinterpret_cast<uintptr_t>(text), kind);
  m_pParent->Update();
}

void CVelManagerProcessor::PostEventMsg(const char* text, long kind) {
  if (!m_pParent) return;
  m_pParent->Post(m_unMsgEvent, reinterpret_cast<uintptr_t>(text), kind);
  m_pParent->Update();
}

void CVelManagerProcessor::SendErrorMsg(const char* text) { SendEventMsg(text, EVENT_ERROR); }

void CVelManagerProcessor::SendInProcessMsg(unsigned int flag) {
  if (!m_pParent) return;
  m_pParent->Send(m_unMsgInProcess, flag, 0);
  m_pParent->Update();
}
