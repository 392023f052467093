#include "ComPort.h"

#include <cstdio>

#include "LibraryState.h"
#include "ManagerEvents.h"
#include "VelManager.h"
#include "VelManagerProcessor.h"

namespace {

class PortLock {
 public:
  explicit PortLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
  ~PortLock() { LeaveCriticalSection(&m_cs); }
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;

 private:
  CRITICAL_SECTION& m_cs;
};

// Purging after writes keeps what was written: a synchronous write has handed its bytes to the
// port, but the port (a USB adapter's buffer, a pty the far end has not read yet) may still
// hold them, and clearing its output would cut the frame just sent, the completion's end
// header for one. Only input is purged: the writes are synchronous, so no write is pending to
// abort, and Wine clears the output for an abort of writes as for a clear.
constexpr DWORD kPurgeInput = PURGE_RXABORT | PURGE_RXCLEAR;

}  // namespace

CComPort::CComPort() { InitializeCriticalSection(&m_csPort); }

CComPort::~CComPort() {
  CComPort::Uninitialize();
  DeleteCriticalSection(&m_csPort);
}

void CComPort::SeedSettings(unsigned short port, unsigned long baudRate) {
  m_nPort = port;
  m_dwBaudRate = baudRate;
}

bool CComPort::Reinitialize() { return Initialize(m_nPort, m_dwBaudRate); }

void CComPort::ShowError(const char* text) {
  MessageBoxA(BoxOwner(), text, nullptr, MB_ICONERROR);
}

void CComPort::GetLoss(std::string& diagnostic, unsigned long& error) const {
  PortLock lock(m_csPort);
  diagnostic = m_szLostDiagnostic;
  error = m_dwLostError;
}

void CComPort::RecordLoss(DWORD error, const char* diagnostic) {
  if (m_bLost) return;
  m_dwLostError = error;
  std::snprintf(m_szLostDiagnostic, sizeof m_szLostDiagnostic, "%s", diagnostic ? diagnostic : "");
  m_bLost = true;
}

bool CComPort::ConfirmLoss(DWORD error, const char* diagnostic) {
  // GetCommState, not GetCommModemStatus: a healthy port without modem lines (a virtual one)
  // refuses the latter, while a port whose device has gone refuses both.
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(m_hPort, &dcb)) return false;
  RecordLoss(error ? error : GetLastError(), diagnostic);
  return true;
}

void CComPort::OpenFailed(const char* text, DWORD error) {
  if (!OnReaderThread()) {
    ShowError(text);
    return;
  }
  // The protocol's own reopen found no device: the reader must not wait on a box, and the
  // monitor cannot go on without its port. The reader reports it with the loss.
  PortLock lock(m_csPort);
  RecordLoss(error, text);
}

void CComPort::Notify(const char* text) const {
  if (m_bUnloading) return;
  if (CVelManagerProcessor* processor = CVelManager::GetCurProcessor())
    processor->SendEventMsg(text, EVENT_MESSAGE);
}

bool CComPort::Initialize(unsigned short port, unsigned long baudRate) {
  char name[32];
  HANDLE h;
  DWORD error = 0;
  {
    PortLock lock(m_csPort);
    if (m_hPort || !MayUsePort()) return false;
    m_nPort = port;
    m_dwBaudRate = baudRate;
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", port);
    h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE)
      m_hPort = h;
    else
      error = GetLastError();
  }
  if (h == INVALID_HANDLE_VALUE) {
    char text[128];
    std::snprintf(text, sizeof text, "Failed to open com port : %s, Error No. - %lul", name,
                  static_cast<unsigned long>(error));
    OpenFailed(text, error);
    return false;
  }

  SetCommMask(h, EV_RXCHAR | EV_RLSD);
  SetupComm(h, 8192, 8192);
  PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 5000;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 5000;
  SetCommTimeouts(h, &timeouts);

  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) {
    // A device name that opens yet answers no serial call has no device behind it.
    OpenFailed("CComPort::Initialize() - GetCommState() Failed", GetLastError());
    Uninitialize();
    return false;
  }
  dcb.BaudRate = baudRate;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(h, &dcb)) {
    const DWORD error = GetLastError();
    char text[96];
    std::snprintf(text, sizeof text, "CComPort::Initialize() - SetCommState() Failed : %lu",
                  static_cast<unsigned long>(error));
    // A rate the port refuses is shown in a box; a device gone meanwhile is a lost port.
    DCB probe = {};
    probe.DCBlength = sizeof probe;
    if (GetCommState(h, &probe))
      ShowError(text);
    else
      OpenFailed(text, error);
    Uninitialize();
    return false;
  }
  {
    PortLock lock(m_csPort);
    m_bLost = false;
    m_dwLostError = 0;
    m_szLostDiagnostic[0] = '\0';
  }
  m_bClosing = false;

  char text[64];
  std::snprintf(text, sizeof text, "Initialize COM Port [%d, %d]", port, static_cast<int>(baudRate));
  Notify(text);
  return true;
}

bool CComPort::Uninitialize() {
  {
    PortLock lock(m_csPort);
    if (!m_hPort || !MayUsePort()) return false;
    m_bClosing = true;
  }
  // A polling ReadByte sees the closing flag within 5 ms.
  Sleep(20);
  HANDLE h;
  {
    PortLock lock(m_csPort);
    h = m_hPort;
    m_hPort = nullptr;
    if (h) {
      SetCommMask(h, 0);
      EscapeCommFunction(h, CLRDTR);
      PurgeComm(h, kPurgeInput);
      CloseHandle(h);
    }
  }
  if (!h) return false;
  Notify("Uninitialize COM Port");
  return true;
}

bool CComPort::WriteData(const unsigned char* data, unsigned long length) {
  BOOL ok;
  DWORD written = 0;
  DWORD error = 0;
  {
    PortLock lock(m_csPort);
    // A lost port: the reader reports it and ends the monitor after the step in hand.
    if (!m_hPort || !MayUsePort() || m_bLost) return false;
    ok = WriteFile(m_hPort, data, length, &written, nullptr);
    if (!ok) error = GetLastError();
  }
  if (ok && written == length) return true;

  char text[96];
  if (!ok)
    std::snprintf(text, sizeof text, "CComPort::WriteData() - WriteFile() Failed : %u",
                  static_cast<unsigned>(error));
  else
    std::snprintf(text, sizeof text, "CComPort::WriteData() - WriteFile() wrote %lu of %lu bytes",
                  static_cast<unsigned long>(written), length);
  {
    // A port whose device has gone: the reader reports this write with the loss.
    PortLock lock(m_csPort);
    if (m_hPort && MayUsePort() && ConfirmLoss(error, text)) return false;
  }
  NotifyParent(Library().hParent, text, EVENT_ERROR);
  MessageBeep(MB_ICONEXCLAMATION);
  return false;
}

bool CComPort::WriteByte(unsigned char byte) { return WriteData(&byte, 1); }

bool CComPort::ReadByte(unsigned char* out) {
  char diagnostic[96];
  for (;;) {
    {
      PortLock lock(m_csPort);
      if (!m_hPort || m_bClosing || m_bLost || !MayUsePort()) return false;
      DWORD errors = 0;
      COMSTAT status = {};
      if (!ClearCommError(m_hPort, &errors, &status)) {
        const DWORD error = GetLastError();
        std::snprintf(diagnostic, sizeof diagnostic, "CComPort::ReadByte() - ClearCommError() Failed : %u",
                      static_cast<unsigned>(error));
        if (ConfirmLoss(error, diagnostic)) return false;
      } else if (status.cbInQue) {
        DWORD got = 0;
        if (::ReadFile(m_hPort, out, 1, &got, nullptr)) return got == 1;
        const DWORD error = GetLastError();
        std::snprintf(diagnostic, sizeof diagnostic, "CComPort::ReadByte() - ReadFile() Failed : %u",
                      static_cast<unsigned>(error));
        ConfirmLoss(error, diagnostic);
        return false;
      }
    }
    Sleep(5);
  }
}

void CComPort::PurgePort() {
  PortLock lock(m_csPort);
  if (m_hPort && MayUsePort())
    PurgeComm(m_hPort, kPurgeInput);
}
