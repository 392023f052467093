#include "Win32UsbThreadHost.h"

#include <windows.h>

#include <memory>

namespace {

constexpr DWORD kPauseSliceMs = 50;  // how soon a stopped thread notices
const char* const kCaption = "Stelvar V1.0.2";

HANDLE AsHandle(ImageFileHandle h) { return reinterpret_cast<HANDLE>(h); }

DWORD WINAPI RunBody(LPVOID param) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(param));
  (*body)();
  return 0;
}

}  // namespace

CWin32UsbThreadHost& CWin32UsbThreadHost::Instance() {
  static CWin32UsbThreadHost* instance = new CWin32UsbThreadHost;
  return *instance;
}

void CWin32UsbThreadHost::Pause(unsigned int ms, const std::atomic<unsigned char>* running) {
  if (!running) {
    Sleep(ms);
    return;
  }
  DWORD start = GetTickCount();
  while (*running != 0) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) break;
    DWORD left = ms - elapsed;
    Sleep(left < kPauseSliceMs ? left : kPauseSliceMs);
  }
}

ImageFileHandle CWin32UsbThreadHost::OpenImage(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kNoImageFile : reinterpret_cast<ImageFileHandle>(h);
}

bool CWin32UsbThreadHost::ReadImage(ImageFileHandle file, void* buffer, uint32_t length, uint32_t* got) {
  DWORD n = 0;
  BOOL ok = ReadFile(AsHandle(file), buffer, length, &n, nullptr);
  *got = ok ? n : 0;
  return ok != FALSE;
}

void CWin32UsbThreadHost::CloseImage(ImageFileHandle file) {
  if (file != kNoImageFile) CloseHandle(AsHandle(file));
}

bool CWin32UsbThreadHost::StartThread(std::function<void()> body) {
  auto* heap = new std::function<void()>(std::move(body));
  HANDLE h = CreateThread(nullptr, 0, RunBody, heap, 0, nullptr);
  if (!h) {
    delete heap;
    return false;
  }
  CloseHandle(h);
  return true;
}

void CWin32UsbThreadHost::ShowMessageBox(const char* text, unsigned int type) {
  MessageBoxA(nullptr, text, kCaption, type | MB_SETFOREGROUND);
}
