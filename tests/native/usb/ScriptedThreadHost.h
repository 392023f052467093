// ScriptedThreadHost.h - the USB threads' host for tests: files in memory, pauses recorded and not waited, threads inline or real, boxes recorded.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UsbThreadHost.h"

class ScriptedThreadHost : public IUsbThreadHost {
 public:
  ~ScriptedThreadHost() override { JoinThreads(); }
  void Pause(unsigned int ms, const std::atomic<unsigned char>* running) override;
  ImageFileHandle OpenImage(const char* path) override;
  bool ReadImage(ImageFileHandle file, void* buffer, uint32_t length, uint32_t* got) override;
  void CloseImage(ImageFileHandle file) override;
  // Runs body at once on the calling thread, or on a real thread with realThreads.
  bool StartThread(std::function<void()> body) override;
  void ShowMessageBox(const char* text, unsigned int type) override;

  // Files that can be opened; a path not listed cannot.
  std::map<std::string, std::vector<unsigned char>> files;
  // Called after each pause is recorded (on the pausing thread).
  std::function<void(unsigned int ms)> onPause;
  // Called on the opening thread before each image open, without the host's lock.
  std::function<void(const std::string&)> onOpenImage;
  // Called after each box is recorded, while it is "shown".
  std::function<void(const std::string&)> onBox;
  bool realThreads = false;
  // Waits for the threads StartThread started.
  void JoinThreads();
  int ThreadsStarted() const;

  std::vector<unsigned int> Pauses() const;
  std::vector<std::string> Boxes() const;
  int OpenFiles() const;

 private:
  struct Open {
    std::string path;
    std::size_t offset;
  };
  mutable std::mutex m_mutex;
  std::vector<unsigned int> m_pauses;
  std::vector<std::string> m_boxes;
  std::map<ImageFileHandle, Open> m_open;
  ImageFileHandle m_next = 1;
  std::vector<std::thread> m_threads;
  int m_started = 0;
};
