// BoxAnswerer.h - answers the library's message boxes in this process so that no box waits for a person.
//
// A thread of its own looks for message boxes of this process every 10 ms, keeps their text
// and caption, presses their default button and posts a wake-up message to the client
// window. The client takes the texts on its own thread. Stops and joins in the destructor.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class CBoxAnswerer {
 public:
  struct Box {
    std::string text;
    std::string caption;
  };

  // wakeMsg is posted to hNotify after each box found.
  CBoxAnswerer(HWND hNotify, UINT wakeMsg);
  ~CBoxAnswerer();
  CBoxAnswerer(const CBoxAnswerer&) = delete;
  CBoxAnswerer& operator=(const CBoxAnswerer&) = delete;

  // The boxes found since the last call.
  std::vector<Box> Take();

 private:
  static DWORD WINAPI ThreadProc(LPVOID param);
  // Answers the message boxes of this process now on the screen.
  void Look();
  void Answer(HWND box);

  HWND m_hNotify;
  UINT m_wakeMsg;
  HANDLE m_hStop = nullptr;
  HANDLE m_hThread = nullptr;
  std::mutex m_mutex;
  std::vector<Box> m_found;
  std::vector<HWND> m_answered;  // boxes already pressed, until they are gone
};
