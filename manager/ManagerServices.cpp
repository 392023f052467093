#include "ManagerServices.h"

#include <new>

#include "LibraryState.h"
#include "VelManager.h"

CManagerServices::~CManagerServices() {
  if (m_hCancel) CloseHandle(m_hCancel);
}

HANDLE CManagerServices::NewCancelEventHandle() {
  // Managers are made on the client's thread, before any reader thread that signals it runs.
  if (!m_hCancel) m_hCancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE copy = nullptr;
  if (m_hCancel)
    DuplicateHandle(GetCurrentProcess(), m_hCancel, GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  return copy;
}

unsigned int CManagerServices::EventMessage() { return CVelManager::m_unMsgEvent; }

void CManagerServices::GetComportInfo(unsigned short* port, unsigned long* baudRate) {
  *port = CVelManager::m_nPort;
  *baudRate = CVelManager::m_dwBaudRate;
}

void CManagerServices::SignalCancel() {
  if (m_hCancel) SetEvent(m_hCancel);
}

void CManagerServices::NotifyParent(const char* text, long kind) {
  ::NotifyParent(Library().hParent, text, kind);
}

int CManagerServices::ShowMessageBox(const char* text, const char* caption, unsigned int type) {
  return MessageBoxA(BoxOwner(), text, caption, type);
}

void CManagerServices::MessageBeep(unsigned int type) { ::MessageBeep(type); }

void CManagerServices::Pause(unsigned int ms) { Sleep(ms); }

IProcessorServices::FileRead CManagerServices::ReadFile(const char* path,
                                                        std::vector<unsigned char>& contents) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FileRead::CannotOpen;
  const DWORD size = GetFileSize(h, nullptr);
  FileRead result = FileRead::Ok;
  try {
    contents.resize(size == INVALID_FILE_SIZE ? 0 : size);
  } catch (const std::bad_alloc&) {
    result = FileRead::OutOfMemory;
  }
  if (result == FileRead::Ok && !contents.empty()) {
    DWORD got = 0;
    ::ReadFile(h, contents.data(), static_cast<DWORD>(contents.size()), &got, nullptr);
    contents.resize(got);
  }
  CloseHandle(h);
  return result;
}

void NotifyParent(HWND hWnd, const char* text, long kind) {
  if (!hWnd) return;
  SendMessageA(hWnd, CManagerServices::EventMessage(), reinterpret_cast<WPARAM>(text), kind);
  UpdateWindow(hWnd);
}
