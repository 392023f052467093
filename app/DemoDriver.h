// DemoDriver.h - drives the dry-run program once through a USB download as a user would, by window messages, and reports the phases it sees.
//
// Used only by StelvarDemo when the run command asks for an unattended run: it switches
// to USB mode on the banner, picks the image in the file dialog, presses Download and
// writes "download", "erase", "write" and "done" to the phase file as the bars move.
#pragma once

#include <windows.h>

#include <string>

class CDemoDriver {
 public:
  // Starts the driving thread; imagePath is the file to pick, phaseFile where the phases go.
  static void Start(const std::string& imagePath, const std::string& phaseFile);

 private:
  CDemoDriver(std::string imagePath, std::string phaseFile)
      : m_imagePath(std::move(imagePath)), m_phaseFile(std::move(phaseFile)) {}
  static DWORD WINAPI ThreadProc(LPVOID param);
  void Run();
  void Phase(const char* name);

  std::string m_imagePath;
  std::string m_phaseFile;
};
