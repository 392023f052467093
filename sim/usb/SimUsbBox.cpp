#include "SimUsbBox.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "StbDevice.h"

namespace {

std::string Num(uint32_t v) { return std::to_string(v); }

std::atomic<int> g_instances{0};

uint32_t BigEndian32(const unsigned char* b) {
  return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

}  // namespace

std::string SimTraffic::Describe() const {
  std::string s;
  switch (kind) {
    case kOpenDevice: s = "open device"; break;
    case kOpenPipe: s = "open " + pipe; break;
    case kClose: s = "close " + (pipe.empty() ? std::string("device") : pipe); break;
    case kWriteRequest:
      if (request == STB_REQ_DOWNLOAD_HEADER && data.size() == kDownloadHeaderLength) {
        std::string name(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()), 256));
        s = "header " + name + " " + Num(BigEndian32(&data[256]));
      } else if (request == STB_REQ_DATA_TRANSFER && data.size() == kTransferDescriptorLength) {
        s = "announce " + Num(uint32_t(data[3]) | (uint32_t(data[4]) << 8));
      } else if (request == STB_REQ_END_OF_DATA) {
        s = "end of data";
      } else {
        s = "write request " + Num(request) + " " + Num(length);
      }
      break;
    case kReadRequest:
      if (request == STB_REQ_FIRMWARE_VERSION)
        s = "firmware";
      else if (request == STB_REQ_FLASH_STATUS && data.size() == 2)
        s = "flash " + std::to_string(static_cast<signed char>(data[0])) + "," +
            std::to_string(static_cast<signed char>(data[1]));
      else
        s = "read request " + Num(request) + " " + Num(length);
      break;
    case kResetPipe: s = "reset " + pipe; break;
    case kPipeWrite: s = done == length ? "bulk " + Num(done) : "bulk " + Num(done) + " of " + Num(length); break;
    case kPipeRead: s = "status " + Num(done); break;
    case kAbort: s = "abort " + (pipe.empty() ? std::string("device") : pipe); break;
  }
  if (!ok) s += " failed";
  return s;
}

CSimUsbBox::CSimUsbBox() : m_flashScript{{1, 50}, {1, 100}, {2, 50}, {2, 100}, {0, 0}} { ++g_instances; }

CSimUsbBox::~CSimUsbBox() { --g_instances; }

int CSimUsbBox::Instances() { return g_instances; }

void CSimUsbBox::Plug() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_plugged) return;
  m_plugged = true;
  ++m_plugGeneration;
}

void CSimUsbBox::Unplug() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plugged = false;
    ++m_plugGeneration;
  }
  m_statusArrived.notify_all();
}

void CSimUsbBox::FailRequest(uint32_t request, unsigned int after) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failFrom[request] = m_seen[request] + after;
}

void CSimUsbBox::AnswerZeroCount(uint32_t request) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_zeroCount[request] = true;
}

void CSimUsbBox::FailOpens(UsbOpenFailure why) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_openFailure = why;
}

void CSimUsbBox::FailDeviceOpens(bool fail) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failDevice = fail;
}

void CSimUsbBox::FailPipeOpens(const std::string& pipeName, bool fail) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failPipe[pipeName] = fail;
}

void CSimUsbBox::SetFlashScript(std::vector<FlashReply> replies) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_flashScript = std::move(replies);
  m_flashStep = 0;
}

void CSimUsbBox::QueueWriteLimit(uint32_t maxBytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_writeLimits.push_back(maxBytes);
}

void CSimUsbBox::StallWrites(bool stall) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_stall = stall;
}

void CSimUsbBox::FailWrite(unsigned int index) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failWriteIndex = static_cast<long>(index);
}

void CSimUsbBox::QueueStatusRecord(std::vector<unsigned char> record) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status.push_back(std::move(record));
  }
  m_statusArrived.notify_all();
}

void CSimUsbBox::ReportResultAtEndOfData(unsigned char result) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_reportResult = true;
  m_result = result;
}

void CSimUsbBox::SetIdleStatusReadHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_idleHook = std::move(hook);
}

void CSimUsbBox::HoldRequest(uint32_t request, bool hold) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held[request] = hold;
  }
  m_statusArrived.notify_all();
}

void CSimUsbBox::HoldWrites(bool hold) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holdWrites = hold;
  }
  m_statusArrived.notify_all();
}

void CSimUsbBox::HoldStatusReads(bool hold) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holdStatus = hold;
  }
  m_statusArrived.notify_all();
}

void CSimUsbBox::KeepAbortedCalls(bool keep) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_keepAborted = keep;
}

void CSimUsbBox::SetHeldRequestHook(std::function<void(uint32_t)> hook) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_heldHook = std::move(hook);
}

bool CSimUsbBox::WaitWhileHeldLocked(std::unique_lock<std::mutex>& lock, UsbHandle handle, bool isPipe, uint32_t what,
                                     const std::function<bool()>& held) {
  if (!held()) return true;
  OpenHandle* h = LiveLocked(handle, isPipe);
  if (!h) return true;  // fails on its own below
  unsigned int aborts = h->aborts;
  unsigned int generation = m_plugGeneration;
  if (m_heldHook) {
    std::function<void(uint32_t)> hook = m_heldHook;
    lock.unlock();
    hook(what);
    lock.lock();
  }
  auto interrupted = [&] {
    auto it = m_handles.find(handle);
    return m_plugGeneration != generation || it == m_handles.end() || (it->second.aborts != aborts && !m_keepAborted);
  };
  m_statusArrived.wait(lock, [&] { return !held() || interrupted(); });
  return !interrupted();
}

std::vector<SimTraffic> CSimUsbBox::Traffic() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_traffic;
}

std::vector<std::string> CSimUsbBox::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> out;
  for (const SimTraffic& t : m_traffic) {
    if (t.kind == SimTraffic::kWriteRequest || t.kind == SimTraffic::kReadRequest ||
        t.kind == SimTraffic::kPipeWrite || t.kind == SimTraffic::kResetPipe)
      out.push_back(t.Describe());
  }
  return out;
}

std::vector<unsigned char> CSimUsbBox::ReceivedImage() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_image;
}

std::string CSimUsbBox::HeaderName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_headerName;
}

uint32_t CSimUsbBox::HeaderSize() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_headerSize;
}

int CSimUsbBox::OpenHandleCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_handles.size());
}

std::vector<std::string> CSimUsbBox::Violations() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_violations;
}

UsbHandle CSimUsbBox::OpenLocked(const std::string& pipe, UsbOpenFailure* why) {
  UsbOpenFailure failure = UsbOpenFailure::kNone;
  if (!m_plugged)
    failure = UsbOpenFailure::kNotFound;
  else if (m_openFailure != UsbOpenFailure::kNone)
    failure = m_openFailure;
  else if (pipe.empty() ? m_failDevice : m_failPipe[pipe])
    failure = UsbOpenFailure::kNotFound;
  if (!pipe.empty() && pipe != kStatusPipeName && pipe != kDataPipeName)
    failure = UsbOpenFailure::kNotFound;  // the box has no such pipe
  SimTraffic t;
  t.kind = pipe.empty() ? SimTraffic::kOpenDevice : SimTraffic::kOpenPipe;
  t.pipe = pipe;
  t.ok = failure == UsbOpenFailure::kNone;
  Log(t);
  if (why) *why = failure;
  if (failure != UsbOpenFailure::kNone) return kInvalidUsbHandle;
  UsbHandle h = m_nextHandle++;
  m_handles[h] = OpenHandle{pipe, m_plugGeneration};
  return h;
}

CSimUsbBox::OpenHandle* CSimUsbBox::LiveLocked(UsbHandle h, bool wantPipe) {
  auto it = m_handles.find(h);
  if (it == m_handles.end()) return nullptr;
  if (it->second.pipe.empty() == wantPipe) return nullptr;
  if (!m_plugged || it->second.plugGeneration != m_plugGeneration) return nullptr;
  return &it->second;
}

bool CSimUsbBox::CountedFailureLocked(uint32_t request) {
  unsigned int n = m_seen[request]++;
  auto it = m_failFrom.find(request);
  return it != m_failFrom.end() && n >= it->second;
}

UsbHandle CSimUsbBox::OpenStbDevice(UsbOpenFailure* why) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return OpenLocked(std::string(), why);
}

UsbHandle CSimUsbBox::OpenStbPipe(const char* pipeName, UsbOpenFailure* why) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return OpenLocked(pipeName ? pipeName : "", why);
}

void CSimUsbBox::Close(UsbHandle handle) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(handle);
    SimTraffic t;
    t.kind = SimTraffic::kClose;
    t.ok = it != m_handles.end();
    if (t.ok) {
      t.pipe = it->second.pipe;
      m_handles.erase(it);
    }
    Log(t);
  }
  m_statusArrived.notify_all();  // a transfer waiting on the handle ends
}

bool CSimUsbBox::WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                              uint32_t* bytesReturned) {
  bool queued = false;
  bool ok;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    SimTraffic t;
    t.kind = SimTraffic::kWriteRequest;
    t.request = request;
    t.length = length;
    if (data && length) {
      const unsigned char* b = static_cast<const unsigned char*>(data);
      t.data.assign(b, b + length);
    }
    bool known = (request == STB_REQ_DOWNLOAD_HEADER && length == kDownloadHeaderLength && data) ||
                 (request == STB_REQ_DATA_TRANSFER && length == kTransferDescriptorLength && data) ||
                 (request == STB_REQ_END_OF_DATA && length == 0);
    ok = LiveLocked(device, false) && known && !CountedFailureLocked(request);
    t.ok = ok;
    if (ok) {
      const unsigned char* b = t.data.data();
      if (request == STB_REQ_DOWNLOAD_HEADER) {
        m_headerName.assign(reinterpret_cast<const char*>(b), strnlen(reinterpret_cast<const char*>(b), 256));
        m_headerSize = BigEndian32(b + 256);
        m_image.clear();
        m_endOfData = false;
        m_flashStep = 0;
        m_haveAnnouncement = false;
      } else if (request == STB_REQ_DATA_TRANSFER) {
        m_announced = uint32_t(b[3]) | (uint32_t(b[4]) << 8);
        m_haveAnnouncement = true;
      } else if (request == STB_REQ_END_OF_DATA) {
        m_endOfData = true;
        m_flashStep = 0;
        if (m_reportResult) {
          uint32_t n = static_cast<uint32_t>(m_image.size());
          m_status.push_back({static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                              static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n), m_result, 0, 0, 0,
                              0, 0, 0, 0, 0, 0, 0, 0});
          queued = true;
        }
      }
      if (bytesReturned) *bytesReturned = m_zeroCount[request] ? 0 : length;
    } else if (bytesReturned) {
      *bytesReturned = 0;
    }
    if (ok && m_held[request]) {
      // Taken, but not completed until released; an unplug or abort fails it.
      if (queued) m_statusArrived.notify_all();
      if (!WaitWhileHeldLocked(lock, device, false, request, [&] { return m_held[request]; })) {
        ok = t.ok = false;
        if (bytesReturned) *bytesReturned = 0;
      }
    }
    Log(std::move(t));
  }
  if (queued) m_statusArrived.notify_all();
  return ok;
}

bool CSimUsbBox::ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data,
                             uint32_t* bytesReturned) {
  std::unique_lock<std::mutex> lock(m_mutex);
  bool answered = WaitWhileHeldLocked(lock, device, false, request, [&] { return m_held[request]; });
  SimTraffic t;
  t.kind = SimTraffic::kReadRequest;
  t.request = request;
  t.length = length;
  bool known = (request == STB_REQ_FIRMWARE_VERSION && length == kFirmwareReplyLength) ||
               (request == STB_REQ_FLASH_STATUS && length == kFlashReplyLength);
  bool ok = answered && LiveLocked(device, false) && known && data && !CountedFailureLocked(request);
  t.ok = ok;
  if (ok) {
    unsigned char* out = static_cast<unsigned char*>(data);
    if (request == STB_REQ_FIRMWARE_VERSION) {
      out[0] = 0x12;
    } else {
      FlashReply r{5, 0};
      if (m_endOfData && !m_flashScript.empty()) {
        r = m_flashScript[m_flashStep];
        if (m_flashStep + 1 < m_flashScript.size()) ++m_flashStep;
      }
      out[0] = static_cast<unsigned char>(r.phase);
      out[1] = static_cast<unsigned char>(r.value);
      t.data.assign(out, out + 2);
    }
  }
  if (bytesReturned) *bytesReturned = ok ? length : 0;
  Log(std::move(t));
  return ok;
}

void CSimUsbBox::ResetPipe(UsbHandle pipe) {
  std::lock_guard<std::mutex> lock(m_mutex);
  SimTraffic t;
  t.kind = SimTraffic::kResetPipe;
  auto it = m_handles.find(pipe);
  t.ok = it != m_handles.end() && !it->second.pipe.empty();
  if (t.ok) t.pipe = it->second.pipe;
  Log(t);
}

bool CSimUsbBox::ReadPipe(UsbHandle pipe, void* buffer, uint32_t length, uint32_t* got) {
  if (got) *got = 0;
  std::unique_lock<std::mutex> lock(m_mutex);
  OpenHandle* h = LiveLocked(pipe, true);
  if (!h || h->pipe != kStatusPipeName) {
    SimTraffic t;
    t.kind = SimTraffic::kPipeRead;
    t.length = length;
    t.ok = false;
    Log(t);
    return false;
  }
  unsigned int aborts = h->aborts;
  unsigned int generation = m_plugGeneration;
  if (m_status.empty() && m_idleHook) {
    std::function<void()> hook = m_idleHook;
    lock.unlock();
    hook();
    lock.lock();
  }
  m_statusArrived.wait(lock, [&] {
    auto it = m_handles.find(pipe);
    return (!m_status.empty() && !m_holdStatus) || m_plugGeneration != generation || it == m_handles.end() ||
           it->second.aborts != aborts;
  });
  SimTraffic t;
  t.kind = SimTraffic::kPipeRead;
  t.pipe = kStatusPipeName;
  t.length = length;
  auto it = m_handles.find(pipe);
  t.ok = m_plugGeneration == generation && it != m_handles.end() && it->second.aborts == aborts;
  if (t.ok) {
    std::vector<unsigned char> rec = std::move(m_status.front());
    m_status.pop_front();
    uint32_t n = static_cast<uint32_t>(rec.size() < length ? rec.size() : length);
    if (n) std::memcpy(buffer, rec.data(), n);
    t.done = n;
    if (got) *got = n;
  }
  Log(t);
  return t.ok;
}

bool CSimUsbBox::WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) {
  if (written) *written = 0;
  std::unique_lock<std::mutex> lock(m_mutex);
  const bool taken = WaitWhileHeldLocked(lock, pipe, true, kHeldPipeWrite, [&] { return m_holdWrites; });
  SimTraffic t;
  t.kind = SimTraffic::kPipeWrite;
  t.pipe = kDataPipeName;
  t.length = length;
  OpenHandle* h = LiveLocked(pipe, true);
  unsigned int index = m_writes++;
  t.ok = taken && h && h->pipe == kDataPipeName && static_cast<long>(index) != m_failWriteIndex;
  if (t.ok) {
    uint32_t take = length;
    if (!m_writeLimits.empty()) {
      if (m_writeLimits.front() < take) take = m_writeLimits.front();
      m_writeLimits.pop_front();
    }
    if (m_stall) take = 0;
    if (!m_haveAnnouncement)
      m_violations.push_back("bulk write of " + Num(length) + " bytes without an announcement");
    else if (length > m_announced)
      m_violations.push_back("bulk write of " + Num(length) + " bytes after an announcement of " + Num(m_announced));
    const unsigned char* b = static_cast<const unsigned char*>(data);
    if (take) m_image.insert(m_image.end(), b, b + take);
    m_haveAnnouncement = false;
    t.done = take;
    if (written) *written = take;
  }
  Log(t);
  return t.ok;
}

void CSimUsbBox::AbortTransfer(UsbHandle handle) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    SimTraffic t;
    t.kind = SimTraffic::kAbort;
    auto it = m_handles.find(handle);
    t.ok = it != m_handles.end();
    if (t.ok) {
      t.pipe = it->second.pipe;
      ++it->second.aborts;
    }
    Log(t);
  }
  m_statusArrived.notify_all();
}
