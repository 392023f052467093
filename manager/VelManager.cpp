#include "VelManager.h"

#include <string>

#include "LibraryState.h"
#include "ManagerEvents.h"
#include "IOSetupDialog.h"
#include "ReadyText.h"
#include "VelOldManagerProcessor.h"

unsigned short CVelManager::m_nPort = 1;
unsigned long CVelManager::m_dwBaudRate = 115200;
unsigned int CVelManager::m_unMsgEvent = 0;
unsigned int CVelManager::m_unMsgInProcess = 0;

CVelManager::CVelManager() : m_hCancelEvent(nullptr), m_nTransType(VELMAN_TRANS_SERIAL) {
  LibraryState& lib = Library();
  lib.port.SeedSettings(m_nPort, m_dwBaudRate);
  if (lib.managers++ == 0) {
    // The first manager sets up the module-wide state; later ones share it.
    lib.hParent = nullptr;
    lib.parentWindow.Attach(nullptr);
    lib.processors.ResetIDs();
    m_unMsgEvent = 0;
    m_unMsgInProcess = 0;
    InitProcessorArray();
  }
  // One event for the loaded library, without a name: a name would make it the session's,
  // shared with every other program that uses this library (another port's download, its
  // cancels and its resets). The process's managers share it through handles of their own.
  m_hCancelEvent = lib.services.NewCancelEventHandle();
  // The event outlives the manager: a cancel confirmed after its client stopped waiting
  // left it signalled. A new manager starts clear.
  if (m_hCancelEvent) ResetEvent(m_hCancelEvent);
}

namespace {
HANDLE DuplicateEvent(HANDLE hEvent) {
  HANDLE copy = nullptr;
  if (hEvent)
    DuplicateHandle(GetCurrentProcess(), hEvent, GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  return copy;
}
}  // namespace

// A copy shares the cancel event through a handle of its own, so that each object closes
// only what it holds, and counts as a live manager.
CVelManager::CVelManager(const CVelManager& other)
    : m_hCancelEvent(DuplicateEvent(other.m_hCancelEvent)), m_nTransType(other.m_nTransType) {
  ++Library().managers;
}

CVelManager& CVelManager::operator=(const CVelManager& other) {
  if (this != &other) {
    HANDLE copy = DuplicateEvent(other.m_hCancelEvent);
    if (m_hCancelEvent) CloseHandle(m_hCancelEvent);
    m_hCancelEvent = copy;
    m_nTransType = other.m_nTransType;
  }
  return *this;
}

CVelManager::~CVelManager() {
  LibraryState& lib = Library();
  if (--lib.managers == 0) {
    // Stop the reader before the processors go, so that no thread calls a deleted one.
    if (IsConnectedComport()) UnInitialize();
    if (lib.port.WaitForStoppedReaders())
      ResetProcessorArray();
    else
      lib.processors.Resize(0);  // a reader still runs one of them: leave them alive
  }
  if (m_hCancelEvent) CloseHandle(m_hCancelEvent);
}

void CVelManager::SetParentInfo(HWND hParent, unsigned int unMsgEvent, unsigned int unMsgInProcess,
                                volatile int* pCancel) {
  LibraryState& lib = Library();
  lib.hParent = hParent;
  lib.parentWindow.Attach(hParent);
  m_unMsgEvent = unMsgEvent;
  m_unMsgInProcess = unMsgInProcess;
  IClientWindow* window = hParent ? &lib.parentWindow : nullptr;
  for (std::size_t i = 0; i < lib.processors.Size(); ++i)
    if (CVelManagerProcessor* p = lib.processors.At(i))
      p->SetParentInfo(window, unMsgEvent, unMsgInProcess, pCancel);
}

void CVelManager::SetComportInfo(unsigned short nPort, unsigned long dwBaudRate) {
  m_nPort = nPort;
  m_dwBaudRate = dwBaudRate;
}

int CVelManager::GetComportInfo(unsigned short* pnPort, unsigned long* pdwBaudRate) {
  if (!pnPort || !pdwBaudRate) return 0;
  *pnPort = m_nPort;
  *pdwBaudRate = m_dwBaudRate;
  return 1;
}

int CVelManager::IsConnectedComport() { return Library().port.IsMonitoring(); }

int CVelManager::ReadyToTransfer(VELMAN_TRANS_TYPE nTransType, const char* lpszFilePath) {
  if (!lpszFilePath) return 0;
  // Only the serial processor exists; any other type would select an empty slot.
  if (nTransType != VELMAN_TRANS_SERIAL) return 0;

  SetCurProcessorID(nTransType);
  m_nTransType = nTransType;
  CVelManagerProcessor* processor = GetCurProcessor();
  int result = 1;

  HANDLE h = CreateFileA(lpszFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const std::string text =
        std::string("CVelManager::ReadyToTransfer() - CreateFile(\"") + lpszFilePath + "\") Failed!";
    MessageBoxA(BoxOwner(), text.c_str(), nullptr, MB_ICONERROR);
    result = 0;
  }
  if (processor && processor->IsProcessorID(VELMAN_TRANS_SERIAL))
    if (auto* serial = dynamic_cast<CVelOldManagerProcessor*>(processor))
      serial->SetTransferFile(lpszFilePath);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);

  Initialize(nTransType);

  const std::string ready = FormatReadyText(lpszFilePath);
  if (processor) {
    processor->SendEventMsg(ready.c_str(), EVENT_MESSAGE);
    processor->SendInProcessMsg(0);
  }
  return result;
}

int CVelManager::StopTransfer() { return UnInitialize(); }

void CVelManager::DoIOConfig() {
  LibraryState& lib = Library();
  CIOSetupDialog::s_nPortSelection = m_nPort;
  CIOSetupDialog::s_nBaudSelection = static_cast<int>(m_dwBaudRate);
  CIOSetupDialog dialog(lib.hInstance, BoxOwner());
  if (dialog.DoModal() != IDOK) return;

  const unsigned short oldPort = m_nPort;
  const unsigned long oldBaud = m_dwBaudRate;
  m_nPort = static_cast<unsigned short>(dialog.m_nPort);
  m_dwBaudRate = static_cast<unsigned long>(dialog.m_nBaudRate);
  if (!lib.port.IsMonitoring()) return;
  // The open port moves to the new number; if it cannot be opened, the old settings return.
  lib.port.StopMonitoring();
  if (!lib.port.StartMonitoring(m_nPort, 9600)) {
    m_nPort = oldPort;
    m_dwBaudRate = oldBaud;
    lib.port.StartMonitoring(oldPort, 9600);
  }
}

CVelManagerProcessor* CVelManager::GetCurProcessor() { return Library().processors.Current(); }

int CVelManager::GetCurProcessorID() { return Library().processors.CurrentID(); }

void CVelManager::SetCurProcessorID(int nID) { Library().processors.SetCurrentID(nID); }

int CVelManager::Initialize(VELMAN_TRANS_TYPE nTransType) {
  if (nTransType != VELMAN_TRANS_SERIAL) return 0;
  return Library().port.StartMonitoring(m_nPort, 9600);
}

int CVelManager::UnInitialize() {
  if (m_nTransType != VELMAN_TRANS_SERIAL) return 0;
  const int result = Library().port.StopMonitoring();
  if (CVelManagerProcessor* processor = GetCurProcessor()) {
    processor->ClearReceiveBuffer();
    if (auto* serial = dynamic_cast<CVelOldManagerProcessor*>(processor))
      serial->SetState(CVelOldManagerProcessor::kWaitSync);
  }
  return result;
}

void CVelManager::InitProcessorArray() {
  LibraryState& lib = Library();
  lib.processors.Resize(1);
  auto* processor = new CVelOldManagerProcessor(&lib.services);
  processor->SetPort(&lib.port);
  lib.processors.Set(0, processor);
}

void CVelManager::ResetProcessorArray() { Library().processors.DeleteAll(); }

void VELMAN_AboutBox(HWND hOwner) {
  CSNDialog about(101, Library().hInstance, hOwner);
  about.DoModal();
}
