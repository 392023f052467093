#include "VelComPort.h"

#include <mmsystem.h>

#include "LibraryState.h"
#include "LostPortText.h"
#include "ManagerEvents.h"
#include "VelManager.h"
#include "VelManagerProcessor.h"

namespace {

// The reader whose thread is the calling thread, if any.
thread_local const volatile LONG* t_readerStop = nullptr;

constexpr DWORD kJoinTimeoutMs = 15000;

}  // namespace

CVelComPort::~CVelComPort() {
  // The library is being unloaded: no thread may be waited for now. A reader that still
  // runs is told to stop and finds the port closed; its records are left to it. Nothing is
  // sent to the client window from here.
  m_bUnloading = true;
  m_nRunning = 0;
  RetireReader(false);
  SetTimerResolution(false);
  Uninitialize();
  InterlockedExchange(&m_lMonitoring, 0);
  ReapEndedReaders();
}

bool CVelComPort::MayUsePort() const { return !(t_readerStop && *t_readerStop); }

bool CVelComPort::OnReaderThread() const { return t_readerStop != nullptr; }

void CVelComPort::SetTimerResolution(bool raised) {
  // Sleep(5) in the poll lasts a whole scheduler tick unless the resolution is raised.
  if (InterlockedExchange(&m_lTimerRaised, raised ? 1 : 0) == (raised ? 1 : 0)) return;
  if (raised)
    timeBeginPeriod(1);
  else
    timeEndPeriod(1);
}

int CVelComPort::StartMonitoring(unsigned short port, unsigned long baudRate) {
  if (m_lMonitoring) {
    StopMonitoring();
    Sleep(500);
  }
  // A reader that ended the monitor on a lost port: the new one waits for it to end.
  RetireReader(true);
  ReapEndedReaders();
  const bool ok = Initialize(port, baudRate);
  InterlockedExchange(&m_lMonitoring, ok ? 1 : 0);
  if (!ok) return 0;

  int result = 1;
  Reader* reader = new Reader;
  reader->port = this;
  // Readers wait for their predecessors, so waiting for the newest one that runs is enough.
  if (!m_retired.empty()) {
    Reader* newest = m_retired.back();
    DuplicateHandle(GetCurrentProcess(), newest->thread, GetCurrentProcess(), &reader->predecessor,
                    SYNCHRONIZE, FALSE, 0);
  }
  m_nRunning = 1;
  reader->thread = CreateThread(nullptr, 0, ReaderThreadProc, reader, 0, &m_dwThreadID);
  if (!reader->thread) {
    if (reader->predecessor) CloseHandle(reader->predecessor);
    delete reader;
    NotifyParent(Library().hParent, "CVelComPort::StartMonitoring() - CreateThread() Failed",
                 EVENT_ERROR);
    m_nRunning = 0;
    result = 0;
  } else {
    m_pReader = reader;
    SetTimerResolution(true);
  }
  Notify("COM Port Monitoring Started");
  return result;
}

int CVelComPort::StopMonitoring() {
  m_nRunning = 0;
  const bool hadReader = m_pReader != nullptr;
  RetireReader(true);
  SetTimerResolution(false);
  if (!Uninitialize()) {
    if (hadReader) InterlockedExchange(&m_lMonitoring, 0);
    return 0;
  }
  InterlockedExchange(&m_lMonitoring, 0);
  Notify("COM port monitoring stopped");
  return 1;
}

void CVelComPort::RetireReader(bool wait) {
  Reader* reader = m_pReader;
  m_pReader = nullptr;
  if (!reader) return;
  InterlockedExchange(&reader->stop, 1);
  if (wait && WaitForReader(reader, kJoinTimeoutMs)) {
    CloseHandle(reader->thread);
    if (reader->predecessor) CloseHandle(reader->predecessor);
    delete reader;
    return;
  }
  m_retired.push_back(reader);
}

bool CVelComPort::WaitForStoppedReaders() {
  if (!m_lMonitoring) RetireReader(true);  // one that ended the monitor on a lost port
  for (Reader* r : m_retired) WaitForReader(r, kJoinTimeoutMs);
  ReapEndedReaders();
  return m_retired.empty();
}

void CVelComPort::ReapEndedReaders() {
  for (auto it = m_retired.begin(); it != m_retired.end();) {
    Reader* r = *it;
    if (WaitForSingleObject(r->thread, 0) == WAIT_OBJECT_0) {
      CloseHandle(r->thread);
      if (r->predecessor) CloseHandle(r->predecessor);
      delete r;
      it = m_retired.erase(it);
    } else {
      ++it;
    }
  }
}

bool CVelComPort::WaitForReader(Reader* reader, DWORD timeoutMs) {
  if (GetCurrentThreadId() == GetThreadId(reader->thread)) return false;
  // The reader may be waiting in SendMessage for this very thread's answer: it ends on
  // its own once the answer is given, and may no longer touch the port meanwhile.
  if (InSendMessage()) return false;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    const DWORD r = MsgWaitForMultipleObjects(1, &reader->thread, FALSE, timeoutMs - elapsed,
                                              QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

DWORD WINAPI CVelComPort::ReaderThreadProc(LPVOID param) {
  Reader* reader = static_cast<Reader*>(param);
  t_readerStop = &reader->stop;
  if (reader->predecessor) WaitForSingleObject(reader->predecessor, INFINITE);

  CVelManagerProcessor* processor = CVelManager::GetCurProcessor();
  CVelComPort* port = reader->port;
  while (!reader->stop) {
    unsigned char byte = 0;
    if (port->ReadByte(&byte)) {
      if (processor && !reader->stop) processor->OnReceiveByte(byte);
    } else if (!reader->stop && !port->IsLost()) {
      Sleep(5);  // the port is closed or the read failed: try again
    }
    // Found by the poll, by a write of the protocol, or by its reopen.
    if (!reader->stop && port->IsLost()) {
      port->EndLostMonitor(reader, processor);
      break;
    }
  }
  return 0;
}

void CVelComPort::EndLostMonitor(Reader* reader, CVelManagerProcessor* processor) {
  std::string diagnostic;
  unsigned long error = 0;
  GetLoss(diagnostic, error);
  const HWND parent = Library().hParent;
  if (!diagnostic.empty()) NotifyParent(parent, diagnostic.c_str(), EVENT_ERROR);
  NotifyParent(parent, FormatLostPortText(GetPortNumber(), error).c_str(), EVENT_ERROR);
  MessageBeep(MB_ICONEXCLAMATION);
  // The client may have stopped or re-armed the monitor from either message: then its own
  // StopTransfer closed the port and reported it.
  if (!reader->stop) {
    Uninitialize();  // "Uninitialize COM Port" unless a failed reopen left it closed
    if (!reader->stop) {
      SetTimerResolution(false);
      InterlockedExchange(&m_lMonitoring, 0);
      Notify("COM port monitoring stopped");
    }
  }
  // A reader armed meanwhile waits for this one to end, so the processor is still ours.
  if (processor) processor->OnPortLost();
}
