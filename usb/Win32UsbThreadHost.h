// Win32UsbThreadHost.h - what the USB threads ask of the process on Win32: Sleep, the image file through CreateFile, CreateThread, MessageBox.
#pragma once

#include "UsbThreadHost.h"

class CWin32UsbThreadHost : public IUsbThreadHost {
 public:
  // The process-wide host; never destroyed, so threads ending late may still use it.
  static CWin32UsbThreadHost& Instance();

  void Pause(unsigned int ms, const std::atomic<unsigned char>* running) override;
  ImageFileHandle OpenImage(const char* path) override;
  bool ReadImage(ImageFileHandle file, void* buffer, uint32_t length, uint32_t* got) override;
  void CloseImage(ImageFileHandle file) override;
  bool StartThread(std::function<void()> body) override;
  // Caption "Stelvar V1.0.2", no owner (the calling thread has no window).
  void ShowMessageBox(const char* text, unsigned int type) override;
};
