// ProcessorServices.h - what the processors ask of the library around them besides the line and the client window.
#pragma once

#include <vector>

class IProcessorServices {
 public:
  virtual ~IProcessorServices() = default;

  // The configured COM port number and download baud rate.
  virtual void GetComportInfo(unsigned short* port, unsigned long* baudRate) = 0;
  // Signals the manager's cancel event.
  virtual void SignalCancel() = 0;
  // Library-wide event notification to the module's parent window (dropped when there is none).
  virtual void NotifyParent(const char* text, long kind) = 0;
  // Modal message box owned by the module's parent window; type takes MB_ flag values.
  virtual int ShowMessageBox(const char* text, const char* caption, unsigned int type) = 0;
  virtual void MessageBeep(unsigned int type) = 0;
  virtual void Pause(unsigned int ms) = 0;
  enum class FileRead { Ok, CannotOpen, OutOfMemory };
  // Reads a whole file into contents (only the low 32 bits of its size count).
  virtual FileRead ReadFile(const char* path, std::vector<unsigned char>& contents) = 0;
};
