#include "RecordingHost.h"

#include <cstdio>

std::string HostAction::Describe() const {
  char buf[64];
  switch (kind) {
    case kSend: return std::to_string(number) + ":" + text;
    case kPost: return std::to_string(number) + "*:" + text;
    case kInProcess: return "busy " + std::to_string(number);
    case kComplete: return "complete";
    case kUpdate: return "update";
    case kSetTimer: return "set timer " + std::to_string(number) + " " + std::to_string(value);
    case kKillTimer: return "kill timer " + std::to_string(number);
    case kBox: return "box " + text + " | " + caption + " | " + std::to_string(number);
    case kBeep: return "beep " + std::to_string(number);
    case kPause: return "pause " + std::to_string(number);
    case kNotify: return "notify " + std::to_string(number) + ":" + text;
    case kCancel: return "cancel event";
    case kOpen: return "open COM" + std::to_string(number) + " " + std::to_string(value);
    case kClose: return "close";
    case kPurge: return "purge";
    case kWrite: {
      std::string s = "write";
      for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, " %02x", b);
        s += buf;
      }
      return s;
    }
    case kReadFile: return "read " + text;
  }
  return "?";
}

intptr_t RecordingHost::Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  HostAction a{};
  if (msg == kInProcessMsg) {
    a.kind = HostAction::kInProcess;
    a.number = static_cast<long>(wParam);
  } else if (wParam == 0) {
    a.kind = HostAction::kComplete;
    a.number = static_cast<long>(lParam);
  } else {
    a.kind = HostAction::kSend;
    a.number = static_cast<long>(lParam);
    a.text = reinterpret_cast<const char*>(wParam);
  }
  log.push_back(a);
  if (onEvent) onEvent(log.back());
  return 0;
}

void RecordingHost::Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  HostAction a{};
  a.kind = HostAction::kPost;
  a.number = static_cast<long>(lParam);
  a.text = wParam ? reinterpret_cast<const char*>(wParam) : "";
  log.push_back(a);
}

void RecordingHost::Update() { log.push_back({HostAction::kUpdate}); }

void RecordingHost::SetTimer(unsigned int id, unsigned int periodMs) {
  HostAction a{HostAction::kSetTimer};
  a.number = id;
  a.value = periodMs;
  log.push_back(a);
}

void RecordingHost::KillTimer(unsigned int id) {
  HostAction a{HostAction::kKillTimer};
  a.number = id;
  log.push_back(a);
}

int RecordingHost::ShowMessageBox(const char* text, const char* caption, unsigned int type) {
  HostAction a{HostAction::kBox};
  a.text = text ? text : "";
  a.caption = caption ? caption : "(none)";
  a.number = static_cast<long>(type);
  log.push_back(a);
  return 1;
}

void RecordingHost::GetComportInfo(unsigned short* port, unsigned long* baudRate) {
  *port = configuredPort;
  *baudRate = configuredBaud;
}

void RecordingHost::SignalCancel() { log.push_back({HostAction::kCancel}); }

void RecordingHost::NotifyParent(const char* text, long kind) {
  HostAction a{HostAction::kNotify};
  a.number = kind;
  a.text = text;
  log.push_back(a);
}

void RecordingHost::MessageBeep(unsigned int type) {
  HostAction a{HostAction::kBeep};
  a.number = static_cast<long>(type);
  log.push_back(a);
}

void RecordingHost::Pause(unsigned int ms) {
  HostAction a{HostAction::kPause};
  a.number = static_cast<long>(ms);
  log.push_back(a);
}

IProcessorServices::FileRead RecordingHost::ReadFile(const char* path,
                                                     std::vector<unsigned char>& contents) {
  HostAction a{HostAction::kReadFile};
  a.text = path ? path : "(null)";
  log.push_back(a);
  auto it = path ? files.find(path) : files.end();
  if (it == files.end()) return FileRead::CannotOpen;
  contents = it->second;
  return FileRead::Ok;
}

bool RecordingHost::Initialize(unsigned short port, unsigned long baudRate) {
  HostAction a{HostAction::kOpen};
  a.number = port;
  a.value = baudRate;
  log.push_back(a);
  lineBaud = baudRate;
  if (lineOpen) return false;
  lineOpen = true;
  return true;
}

bool RecordingHost::Uninitialize() {
  log.push_back({HostAction::kClose});
  const bool was = lineOpen;
  lineOpen = false;
  return was;
}

bool RecordingHost::WriteData(const unsigned char* data, unsigned long length) {
  HostAction a{HostAction::kWrite};
  a.bytes.assign(data, data + length);
  log.push_back(a);
  return !writesFail && lineOpen;
}

bool RecordingHost::WriteByte(unsigned char byte) { return WriteData(&byte, 1); }

void RecordingHost::PurgePort() { log.push_back({HostAction::kPurge}); }

std::vector<std::string> RecordingHost::Described(bool withHousekeeping) const {
  std::vector<std::string> out;
  for (const HostAction& a : log) {
    if (!withHousekeeping &&
        (a.kind == HostAction::kUpdate || a.kind == HostAction::kSetTimer ||
         (a.kind == HostAction::kKillTimer && a.number == 10)))
      continue;
    out.push_back(a.Describe());
  }
  return out;
}

std::vector<unsigned char> RecordingHost::Written() const {
  std::vector<unsigned char> out;
  for (const HostAction& a : log)
    if (a.kind == HostAction::kWrite) out.insert(out.end(), a.bytes.begin(), a.bytes.end());
  return out;
}

std::vector<std::string> RecordingHost::EventTexts(long kind) const {
  std::vector<std::string> out;
  for (const HostAction& a : log)
    if ((a.kind == HostAction::kSend || a.kind == HostAction::kPost) && a.number == kind)
      out.push_back(a.text);
  return out;
}
