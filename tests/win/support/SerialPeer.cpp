#include "SerialPeer.h"

#include <cstdio>

SerialPeer::SerialPeer(int port) {
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", port);
  m_h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (m_h == INVALID_HANDLE_VALUE) return;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  GetCommState(m_h, &dcb);
  dcb.BaudRate = 115200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  SetCommState(m_h, &dcb);
  Purge();
}

SerialPeer::~SerialPeer() {
  if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
}

void SerialPeer::Purge() {
  PurgeComm(m_h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

bool SerialPeer::Write(const std::vector<unsigned char>& bytes) {
  DWORD written = 0;
  return WriteFile(m_h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::vector<unsigned char> SerialPeer::Read(size_t count, DWORD timeoutMs) {
  std::vector<unsigned char> out;
  const DWORD start = GetTickCount();
  while (out.size() < count) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) break;
    COMMTIMEOUTS t = {};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = timeoutMs - elapsed;
    SetCommTimeouts(m_h, &t);
    unsigned char buf[4096];
    DWORD want = static_cast<DWORD>(std::min(count - out.size(), sizeof buf));
    DWORD got = 0;
    if (!ReadFile(m_h, buf, want, &got, nullptr)) break;
    out.insert(out.end(), buf, buf + got);
  }
  return out;
}

std::vector<unsigned char> SerialPeer::Drain(DWORD quietMs) {
  std::vector<unsigned char> out;
  for (;;) {
    std::vector<unsigned char> more = Read(4096, quietMs);
    if (more.empty()) return out;
    out.insert(out.end(), more.begin(), more.end());
  }
}
