#include "StbsimSession.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

volatile sig_atomic_t g_signal = 0;

void OnSignal(int signal) { g_signal = signal; }

long long MonotonicNs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000000ll + ts.tv_nsec;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the image " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read the image " + path;
    return false;
  }
  return true;
}

// Written beside the target and renamed, so a reader never sees half an image.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
      error = "cannot write " + temp;
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

CStbsimSession::CStbsimSession(const CStbsimOptions& options) : m_options(options) { sigemptyset(&m_pollMask); }

CStbsimSession::~CStbsimSession() {
  if (m_report && !m_reportIsStdout) std::fclose(m_report);
}

BoxTime CStbsimSession::Now() const { return (MonotonicNs() - m_startNs) / 1000; }

int CStbsimSession::Run(std::string& reason) {
  if (!Setup(reason)) return kUsage;
  Loop();
  m_tty.Close();
  return Verdict(reason);
}

bool CStbsimSession::Setup(std::string& reason) {
  if (!m_options.report.empty()) {
    m_reportIsStdout = m_options.report == "-";
    m_report = m_reportIsStdout ? stdout : std::fopen(m_options.report.c_str(), "w");
    if (!m_report) {
      reason = "cannot write the report " + m_options.report + ": " + std::strerror(errno);
      return false;
    }
  }
  SBoxSettings settings = m_options.box;
  if (!m_options.image.empty()) {
    if (!ReadFile(m_options.image, settings.reference, reason)) return false;
    settings.compare = true;
  }
  if (!m_tty.Open(m_options.tty, 9600, reason)) return false;

  // Signals are taken only inside the poll, so the loop never misses one nor is torn mid-step.
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGTERM);
  sigprocmask(SIG_BLOCK, &block, &m_pollMask);
  sigdelset(&m_pollMask, SIGINT);
  sigdelset(&m_pollMask, SIGTERM);

  m_startNs = MonotonicNs();
  m_box.reset(new CSerialBox(settings, 0));
  Line(std::string("stbsim on ") + m_options.tty + (settings.pace ? ", paced" : ", not paced") +
       (settings.compare ? ", comparing with " + m_options.image : std::string()));
  for (const SBoxFault& fault : settings.faults)
    Line("misbehaviour: " + fault.Describe() +
         (fault.download ? " in download " + std::to_string(fault.download) : std::string(" in every download")));
  return true;
}

void CStbsimSession::Loop() {
  BoxTime deadline = m_options.timeoutSec ? BoxTime(m_options.timeoutSec) * 1000000 : kBoxNever;
  BoxTime finishBy = kBoxNever;
  uint8_t buffer[4096];
  for (;;) {
    BoxTime now = Now();
    if (g_signal) {
      m_stop = kBySignal;
      break;
    }
    if (now >= deadline) {
      m_stop = kByTimeout;
      break;
    }
    std::vector<uint8_t> out = m_box->TakeOutput(now);
    m_pending.insert(m_pending.end(), out.begin(), out.end());
    if (!FlushOutput()) break;
    if (m_pending.empty() && m_box->LineRate() != m_ttyRate) {
      std::string error;
      m_ttyRate = m_box->LineRate();
      if (!m_tty.SetRate(m_ttyRate, error)) Line("warning: " + error);
    }
    DrainLog();
    OnResults();

    // Once enough downloads have ended, let what the box still has to say leave the line, then stop.
    if (finishBy == kBoxNever && m_resultsSeen >= m_options.downloads) finishBy = now + 2000 * kBoxMs;
    if (finishBy != kBoxNever && ((m_box->PendingOutput() == 0 && m_pending.empty()) || now >= finishBy)) break;

    BoxTime wake = std::min({m_box->NextEventTime(), deadline, finishBy});
    struct timespec timeout, *timeoutPtr = nullptr;
    if (wake != kBoxNever) {
      BoxTime wait = std::max<BoxTime>(wake - now, 0);
      timeout.tv_sec = wait / 1000000;
      timeout.tv_nsec = (wait % 1000000) * 1000;
      timeoutPtr = &timeout;
    }
    struct pollfd fd = {m_tty.Fd(), short(POLLIN | (m_pending.empty() ? 0 : POLLOUT)), 0};
    int ready = ppoll(&fd, 1, timeoutPtr, &m_pollMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      m_lineError = std::string("poll failed: ") + std::strerror(errno);
      m_stop = kByHangup;
      break;
    }
    if (fd.revents & POLLIN) {
      for (;;) {
        ssize_t n = m_tty.Read(buffer, sizeof buffer);
        if (n > 0) {
          m_box->Feed(buffer, size_t(n), Now());
          if (size_t(n) < sizeof buffer) break;
          continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
        m_lineError = n == 0 ? "the line was closed" : std::string("cannot read the line: ") + std::strerror(errno);
        m_stop = kByHangup;
        break;
      }
      if (m_stop != kNone) break;
    } else if (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      m_lineError = "the line was hung up";
      m_stop = kByHangup;
      break;
    }
  }
  DrainLog();
  OnResults();
}

bool CStbsimSession::FlushOutput() {
  while (!m_pending.empty()) {
    ssize_t n = m_tty.Write(m_pending.data(), m_pending.size());
    if (n > 0) {
      m_pending.erase(m_pending.begin(), m_pending.begin() + n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
    m_lineError = std::string("cannot write the line: ") + std::strerror(errno);
    m_stop = kByHangup;
    return false;
  }
  return true;
}

void CStbsimSession::OnResults() {
  const std::vector<SBoxDownloadResult>& results = m_box->Results();
  for (; m_resultsSeen < results.size(); ++m_resultsSeen) {
    if (results[m_resultsSeen].outcome != SBoxDownloadResult::kCompleted || m_options.received.empty()) continue;
    std::string error;
    if (WriteFile(m_options.received, m_box->LastImage(), error))
      Line("received image of download " + std::to_string(results[m_resultsSeen].download) + " written to " +
           m_options.received);
    else
      Line("warning: " + error);
  }
}

void CStbsimSession::DrainLog() {
  for (const SBoxLogEntry& entry : m_box->TakeLog()) Line(entry.Format());
  if (m_report) std::fflush(m_report);
}

void CStbsimSession::Line(const std::string& text) {
  if (m_report) std::fprintf(m_report, "%s\n", text.c_str());
}

int CStbsimSession::Verdict(std::string& reason) {
  const std::vector<SBoxDownloadResult>& results = m_box->Results();
  size_t considered = std::min<size_t>(results.size(), m_options.downloads);
  int completed = 0, interrupted = 0;
  const SBoxDownloadResult* failed = nullptr;
  for (size_t i = 0; i < considered; ++i) {
    const SBoxDownloadResult& r = results[i];
    if (r.outcome == SBoxDownloadResult::kInterrupted) ++interrupted;
    if (r.outcome == SBoxDownloadResult::kCompleted) ++completed;
    if (!failed && r.outcome != SBoxDownloadResult::kInterrupted && !r.Good()) failed = &r;
  }
  bool endless = considered < m_options.downloads && m_box->InEndlessFault();
  if (endless) ++interrupted;

  int code = kPass;
  if (failed) {
    code = kFail;
    if (failed->outcome == SBoxDownloadResult::kFailed)
      reason = "download " + std::to_string(failed->download) + " failed: " + failed->reason;
    else
      reason = "download " + std::to_string(failed->download) + ": the received image differs from " +
               m_options.image + (failed->differences.empty() ? "" : ": " + failed->differences[0]);
  } else if (considered < m_options.downloads && !endless) {
    std::string where = "download " + std::to_string(m_box->Download()) + " was " + m_box->Activity();
    if (m_stop == kByTimeout) {
      code = kTimeout;
      reason = "timeout after " + std::to_string(m_options.timeoutSec) + " s: " + where;
    } else if (m_stop == kBySignal) {
      code = kStopped;
      reason = std::string("stopped by ") + (g_signal == SIGINT ? "SIGINT" : "SIGTERM") + ": " + where;
    } else {
      code = kFail;
      reason = (m_lineError.empty() ? std::string("the line failed") : m_lineError) + ": " + where;
    }
  }

  std::string summary = std::to_string(considered + (endless ? 1 : 0)) + " of " +
                        std::to_string(m_options.downloads) + " downloads ended: " + std::to_string(completed) +
                        " completed, " + std::to_string(interrupted) + " ended as asked by a misbehaviour";
  if (m_report) {
    Line(code == kPass ? "verdict: pass: " + summary : "verdict: fail: " + reason + " (" + summary + ")");
    std::fflush(m_report);
  }
  return code;
}
