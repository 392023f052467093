#include "PosixPortMonitor.h"

#include <chrono>
#include <cstdio>
#include <system_error>

#include "LostPortText.h"
#include "ManagerEvents.h"
#include "PosixMessageLoop.h"
#include "ProcessorServices.h"
#include "VelManagerProcessor.h"

namespace {

// The stop flag of the reader whose thread is the calling thread, if any.
thread_local const std::atomic<bool>* t_readerStop = nullptr;

constexpr int kJoinTimeoutMs = 15000;
// How long a reader waits for bytes before it looks at its stop flag again (a stop wakes it at once).
constexpr int kReadWaitMs = 1000;
// How long a reader rests while the line is closed (the processor's reopen failed).
constexpr auto kClosedRest = std::chrono::milliseconds(20);

}  // namespace

CPosixPortMonitor::CPosixPortMonitor(CPosixMessageLoop& loop, std::string lockFolder)
    : CPosixSerialLine(std::move(lockFolder)), m_loop(loop) {}

CPosixPortMonitor::~CPosixPortMonitor() {
  RetireReader(false);
  if (!WaitForStoppedReaders()) {
    // A reader still waits for an answer that will not come: release it, then join.
    m_loop.Close();
    for (auto& r : m_retired) r->thread.join();
    m_retired.clear();
  }
  Uninitialize();
  m_monitoring = 0;
}

void CPosixPortMonitor::SetProcessor(IProcessorServices* services, CVelManagerProcessor* processor) {
  m_processor = processor;
  SetReporting(services, processor);
}

bool CPosixPortMonitor::MayUsePort() const { return !(t_readerStop && *t_readerStop); }

std::string CPosixPortMonitor::LostText(const std::string& device, int error) {
  std::string text = FormatLostPortText(0, static_cast<unsigned long>(error));
  const std::size_t com = text.find("COM0");
  if (com != std::string::npos) text.replace(com, 4, device);
  return text;
}

int CPosixPortMonitor::StartMonitoring(unsigned long baudRate) {
  if (m_monitoring) {
    StopMonitoring();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ReapEndedReaders();
  const bool ok = Initialize(0, baudRate);
  m_monitoring = ok ? 1 : 0;
  if (!ok) return 0;

  int result = 1;
  auto reader = std::make_shared<Reader>();
  // Readers wait for their predecessors, so waiting for the newest one that runs is enough.
  if (!m_retired.empty()) reader->predecessor = m_retired.back();
  try {
    reader->thread = std::thread(&CPosixPortMonitor::ReaderLoop, this, reader);
    m_reader = reader;
  } catch (const std::system_error&) {
    ReportError("CVelComPort::StartMonitoring() - CreateThread() Failed");
    result = 0;
  }
  Notify("COM Port Monitoring Started");
  return result;
}

int CPosixPortMonitor::StopMonitoring() {
  const bool hadReader = m_reader != nullptr;
  RetireReader(true);
  if (!Uninitialize()) {
    if (hadReader) m_monitoring = 0;
    return 0;
  }
  m_monitoring = 0;
  Notify("COM port monitoring stopped");
  return 1;
}

void CPosixPortMonitor::RetireReader(bool wait) {
  std::shared_ptr<Reader> reader = std::move(m_reader);
  m_reader.reset();
  if (!reader) return;
  reader->stop = true;
  Wake();
  if (wait && WaitForReader(*reader, kJoinTimeoutMs)) {
    reader->thread.join();
    return;
  }
  m_retired.push_back(reader);
}

bool CPosixPortMonitor::WaitForReader(Reader& reader, int timeoutMs) {
  if (reader.thread.get_id() == std::this_thread::get_id()) return false;
  // The reader may be waiting for this very thread's answer: it ends once the answer is given.
  if (!m_loop.IsOwnerThread() || m_loop.InSend()) return false;
  return m_loop.WaitFor([&reader] { return reader.ended.load(); }, timeoutMs);
}

void CPosixPortMonitor::ReapEndedReaders() {
  for (auto it = m_retired.begin(); it != m_retired.end();) {
    if ((*it)->ended) {
      (*it)->thread.join();
      it = m_retired.erase(it);
    } else {
      ++it;
    }
  }
}

bool CPosixPortMonitor::WaitForStoppedReaders() {
  for (auto& r : m_retired) WaitForReader(*r, kJoinTimeoutMs);
  ReapEndedReaders();
  return m_retired.empty();
}

void CPosixPortMonitor::ReaderLoop(const std::shared_ptr<Reader>& reader) {
  t_readerStop = &reader->stop;
  if (reader->predecessor) {
    // Ends when the predecessor has ended (it was told to stop) or this reader is stopped too.
    while (!reader->predecessor->ended && !reader->stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    reader->predecessor.reset();
  }
  while (!reader->stop) {
    unsigned char byte = 0;
    const ReadResult got = ReadByte(&byte, kReadWaitMs);
    if (got == kByte) {
      if (m_processor && !reader->stop) m_processor->OnReceiveByte(byte);
    } else if (got == kLost) {
      if (!reader->stop) ReportLost();
      break;
    } else if (!IsOpen() && !reader->stop) {
      std::this_thread::sleep_for(kClosedRest);
    }
  }
  reader->ended = true;
  m_loop.Wake();
}

void CPosixPortMonitor::ReportLost() {
  // In the library's order: what found the loss, the lost line, the port closed and the
  // monitor stopped (unless the client stopped it meanwhile), then the processor idle.
  const std::string diagnostic = LossDiagnostic();
  if (!diagnostic.empty()) ReportError(diagnostic.c_str());
  ReportError(LostText(Device(), LostError()).c_str());
  Beep();
  if (MayUsePort() && Uninitialize() && MayUsePort()) {
    m_monitoring = 0;
    Notify("COM port monitoring stopped");
  }
  if (m_processor) m_processor->OnPortLost();
}
