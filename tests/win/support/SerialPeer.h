// SerialPeer.h - the far end of one of the harness's serial pairs, opened as a COM port: plays the box in tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class SerialPeer {
 public:
  explicit SerialPeer(int port);
  ~SerialPeer();
  SerialPeer(const SerialPeer&) = delete;
  SerialPeer& operator=(const SerialPeer&) = delete;

  bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
  bool Write(const std::vector<unsigned char>& bytes);
  bool WriteByte(unsigned char b) { return Write({b}); }
  // Reads until count bytes have arrived or timeoutMs passed; returns what arrived.
  std::vector<unsigned char> Read(size_t count, DWORD timeoutMs);
  // Everything that arrives within quietMs of silence.
  std::vector<unsigned char> Drain(DWORD quietMs = 100);
  void Purge();

 private:
  HANDLE m_h = INVALID_HANDLE_VALUE;
};
