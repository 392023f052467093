// FlashSession.h - one run of the flasher: a hidden client window, the library's manager and the downloads it follows.
//
// Everything runs on the thread that calls Run: the library's notifications arrive there
// by SendMessage from its reader thread, the boxes it shows are answered by a CBoxAnswerer
// and reported here, and a stop request from the console's control handler is posted here.
// Run closes the port, deletes the manager and destroys the window before it returns.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DownloadTracker.h"
#include "FlashOptions.h"

class CBoxAnswerer;
class CVelManager;

class CFlashSession {
 public:
  explicit CFlashSession(const CFlashOptions& options);
  ~CFlashSession();
  CFlashSession(const CFlashSession&) = delete;
  CFlashSession& operator=(const CFlashSession&) = delete;

  // Downloads until an outcome; returns the exit status.
  int Run();
  // Asks the running session to stop as Ctrl-C does; callable from any thread.
  void RequestStop();

 private:
  static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnEvent(const char* text, long kind);
  void OnBoxes();
  void Arm();
  void Stop();
  // The current box is decided: report it, then arm for the next one or finish.
  void EndBox(CDownloadTracker::Outcome outcome);
  void Finish(int exitCode);

  void PrintLine(const char* prefix, const std::string& text);
  void ShowProgress(bool force);
  void ClearProgress();
  double Now() const;

  const CFlashOptions& m_options;
  HWND volatile m_hWnd = nullptr;
  volatile LONG m_stopRequested = 0;
  CVelManager* m_manager = nullptr;
  std::unique_ptr<CBoxAnswerer> m_answerer;
  volatile int m_cancel = 0;
  std::unique_ptr<CDownloadTracker> m_tracker;
  int m_boxNumber = 0;
  int m_firstFailure = 0;  // exit status of the first box that did not download, in line mode
  bool m_finished = false;
  std::vector<std::string> m_closingLines;  // printed once the library has gone quiet
  int m_exitCode = 1;
  bool m_stopping = false;
  bool m_progressShown = false;
  std::size_t m_progressWidth = 0;
  double m_lastProgress = -1;
  LARGE_INTEGER m_frequency{};
  LARGE_INTEGER m_start{};
};
