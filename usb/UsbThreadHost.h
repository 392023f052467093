// UsbThreadHost.h - what the USB threads ask of the process around them: pauses, the image file, threads, the status thread's box.
//
// One implementation serves every USB thread and outlives them all.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

using ImageFileHandle = std::intptr_t;
constexpr ImageFileHandle kNoImageFile = -1;

class IUsbThreadHost {
 public:
  virtual ~IUsbThreadHost() = default;

  // Waits ms milliseconds; when running is given, returns early once it reads 0.
  virtual void Pause(unsigned int ms, const std::atomic<unsigned char>* running) = 0;

  // Opens the image file for reading, shared with nobody; kNoImageFile on failure.
  virtual ImageFileHandle OpenImage(const char* path) = 0;
  // Reads up to length bytes; got is 0 at the end of the file.
  virtual bool ReadImage(ImageFileHandle file, void* buffer, uint32_t length, uint32_t* got) = 0;
  virtual void CloseImage(ImageFileHandle file) = 0;

  // Runs body on a thread of its own that nobody waits for; false if none could start.
  virtual bool StartThread(std::function<void()> body) = 0;

  // Modal message box with the program's caption, shown from the calling thread; type takes MB_ values.
  virtual void ShowMessageBox(const char* text, unsigned int type) = 0;
};
