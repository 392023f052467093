#include "PosixFlashHost.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "FlashSession.h"
#include "PosixFlashPlatform.h"
#include "PosixSignals.h"
#include "PosixStationPlatform.h"
#include "PosixTerminal.h"
#include "SerialPortList.h"
#include "Station.h"
#include "StelvarVersion.h"

CPosixFlashHost::CPosixFlashHost(std::string program) : m_program(std::move(program)) {
  if (pipe2(m_pipe, O_CLOEXEC) == 0) m_watcher = std::thread(&CPosixFlashHost::Watch, this);
}

CPosixFlashHost::~CPosixFlashHost() {
  if (m_watcher.joinable()) {
    const char quit = 0;
    ssize_t ignored = write(m_pipe[1], &quit, 1);
    (void)ignored;
    m_watcher.join();
  }
  for (int fd : m_pipe)
    if (fd >= 0) close(fd);
}

void CPosixFlashHost::Watch() {
  // Ends on the quit byte from the destructor.
  std::string input;
  for (;;) {
    const bool watchInput = m_watchInput;
    struct pollfd p[2] = {{m_pipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(p, watchInput ? 2 : 1, 1000) <= 0) continue;
    if (p[0].revents & POLLIN) {
      unsigned char bytes[16];
      const ssize_t n = read(m_pipe[0], bytes, sizeof bytes);
      for (ssize_t i = 0; i < n; ++i) {
        if (bytes[i] == 0) return;
        RequestStop();
      }
    }
    if (watchInput && (p[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buffer[64];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n > 0) input.append(buffer, static_cast<std::size_t>(n));
      // "stop", or the parent gone.
      if (n <= 0 || input.find("stop") != std::string::npos) {
        m_watchInput = false;
        RequestStop();
      }
    }
  }
}

void CPosixFlashHost::RequestStop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_stops;
  if (m_station)
    m_station->RequestStop();
  else if (m_session)
    m_session->RequestStop();
}

std::string CPosixFlashHost::LibraryVersion() {
  // No library to load: the processor is linked into this program.
  return "VelManager " STELVAR_VERSION " (the library's serial processor, built in)";
}

std::vector<std::string> CPosixFlashHost::ListPorts() {
  std::vector<std::string> lines;
  for (const CSerialPortList::Port& port : CSerialPortList::Find()) lines.push_back(CSerialPortList::Format(port));
  return lines;
}

int64_t CPosixFlashHost::UnixTimeMs() { return CPosixTerminal::UnixTimeMs(); }

void CPosixFlashHost::Write(IFlashPlatform::Stream stream, const std::string& text) {
  CPosixTerminal::Write(stream, text);
}

int CPosixFlashHost::RunSession(const CFlashOptions& options, CRunLog* log) {
  CPosixFlashPlatform platform(options.device, options.baud);
  CFlashSession session(options, platform, log);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_session = &platform;
    if (m_stops > 0) platform.RequestStop();
  }
  const int status = platform.Run(session);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_session = nullptr;
  return status;
}

int CPosixFlashHost::RunStation(const CFlashOptions& options, CRunLog* log) {
  // The station ends its children itself on a second Ctrl-C.
  CPosixSignals::SetExitOnSecond(false);
  CPosixStationPlatform platform(m_program);
  CStation station(options, platform, log);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_station = &platform;
    if (m_stops > 0) platform.RequestStop();
  }
  const int status = station.Run();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_station = nullptr;
  return status;
}
