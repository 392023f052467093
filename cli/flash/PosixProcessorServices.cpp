#include "PosixProcessorServices.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <thread>

#include "PosixClientWindow.h"
#include "PosixMessageLoop.h"

namespace {

// A descriptor of a regular file open for reading, or -1.
int OpenFile(const char* path) {
  if (!path) return -1;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

void CPosixProcessorServices::GetComportInfo(unsigned short* port, unsigned long* baudRate) {
  *port = 0;  // the line knows its device
  *baudRate = m_baud;
}

void CPosixProcessorServices::SignalCancel() {
  m_cancel = true;
  m_loop.Wake();
}

void CPosixProcessorServices::NotifyParent(const char* text, long kind) {
  if (m_eventMsg) m_window.Send(m_eventMsg, reinterpret_cast<uintptr_t>(text), kind);
}

int CPosixProcessorServices::ShowMessageBox(const char* text, const char* caption, unsigned int type) {
  return m_window.ShowMessageBox(text, caption, type);
}

void CPosixProcessorServices::Pause(unsigned int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool CPosixProcessorServices::CanOpen(const char* path) {
  const int fd = OpenFile(path);
  if (fd < 0) return false;
  close(fd);
  return true;
}

IProcessorServices::FileRead CPosixProcessorServices::ReadFile(const char* path, std::vector<unsigned char>& contents) {
  const int fd = OpenFile(path);
  if (fd < 0) return FileRead::CannotOpen;
  struct stat st;
  fstat(fd, &st);
  // As on Windows, only the low 32 bits of the size count.
  const uint32_t size = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size));
  FileRead result = FileRead::Ok;
  try {
    contents.resize(size);
  } catch (const std::bad_alloc&) {
    result = FileRead::OutOfMemory;
  }
  if (result == FileRead::Ok) {
    size_t got = 0;
    while (got < contents.size()) {
      const ssize_t n = read(fd, contents.data() + got, contents.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    contents.resize(got);
  }
  close(fd);
  return result;
}
