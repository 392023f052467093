#include "Win32StationPlatform.h"

#include "Win32Terminal.h"

namespace {

// How long the pipes of an ended child may take to reach their end: its last lines are
// in them already.
constexpr DWORD kDrainMs = 500;

// One argument as the C runtime's command-line parser will give it back.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

std::string ErrorText(DWORD code) {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                 nullptr);
  std::string s = text;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s.empty() ? "error " + std::to_string(code) : s + " (error " + std::to_string(code) + ")";
}

}  // namespace

CWin32StationPlatform::CWin32StationPlatform() = default;

CWin32StationPlatform::~CWin32StationPlatform() {
  for (std::unique_ptr<Child>& child : m_children) {
    if (!child) continue;
    if (WaitForSingleObject(child->process, 0) == WAIT_TIMEOUT) TerminateProcess(child->process, 130);
    WaitForSingleObject(child->waiter, INFINITE);  // ends within 3 s of the process
    CloseHandle(child->waiter);
    for (Pipe& pipe : child->pipes) {
      CloseHandle(pipe.thread);
      CloseHandle(pipe.handle);
    }
    if (child->input) CloseHandle(child->input);
    CloseHandle(child->process);
  }
}

void CWin32StationPlatform::RequestStop() {
  Event e;
  e.kind = Event::kStop;
  m_queue.Push(e);
}

bool CWin32StationPlatform::StartChild(int index, const std::vector<std::string>& args, std::string& reason) {
  if (static_cast<std::size_t>(index) >= m_children.size()) m_children.resize(index + 1);
  char self[MAX_PATH * 4] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string command = Quote(self);
  for (const std::string& a : args) command += " " + Quote(a);

  // The child's ends are inheritable, ours are not; children start one after the other,
  // so no child inherits another's pipes.
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr, errRead = nullptr,
         errWrite = nullptr;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
      !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    reason = "cannot make its pipes: " + ErrorText(GetLastError());
    for (HANDLE h : {inRead, inWrite, outRead, outWrite, errRead, errWrite})
      if (h) CloseHandle(h);
    return false;
  }
  for (HANDLE h : {inWrite, outRead, errRead}) SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inRead;
  si.hStdOutput = outWrite;
  si.hStdError = errWrite;
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  // A process group of its own: the console's Ctrl-C reaches this process only, which
  // passes it on as a "stop" line.
  const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                                      nullptr, nullptr, &si, &pi);
  const DWORD error = GetLastError();
  CloseHandle(inRead);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (!started) {
    reason = ErrorText(error);
    CloseHandle(inWrite);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return false;
  }
  CloseHandle(pi.hThread);
  m_children[index].reset(new Child);
  Child* child = m_children[index].get();
  child->platform = this;
  child->index = index;
  child->process = pi.hProcess;
  child->input = inWrite;
  child->pipes[0] = Pipe{this, index, outRead, IFlashPlatform::kOut, nullptr};
  child->pipes[1] = Pipe{this, index, errRead, IFlashPlatform::kErr, nullptr};
  for (Pipe& pipe : child->pipes) pipe.thread = CreateThread(nullptr, 0, ReadProc, &pipe, 0, nullptr);
  child->waiter = CreateThread(nullptr, 0, WaitProc, child, 0, nullptr);
  return true;
}

void CWin32StationPlatform::Push(int index, IFlashPlatform::Stream stream, const std::string& text) {
  Event e;
  e.kind = Event::kLine;
  e.child = index;
  e.stream = stream;
  e.text = text;
  if (!e.text.empty() && e.text.back() == '\r') e.text.pop_back();
  m_queue.Push(e);
}

DWORD WINAPI CWin32StationPlatform::ReadProc(LPVOID param) {
  Pipe& pipe = *static_cast<Pipe*>(param);
  std::string pending;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe.handle, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    pending.append(buffer, got);
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
      pipe.platform->Push(pipe.index, pipe.stream, pending.substr(0, end));
  }
  if (!pending.empty()) pipe.platform->Push(pipe.index, pipe.stream, pending);
  return 0;
}

DWORD WINAPI CWin32StationPlatform::WaitProc(LPVOID param) {
  Child& child = *static_cast<Child*>(param);
  WaitForSingleObject(child.process, INFINITE);  // the station ends a child that does not end
  HANDLE readers[2] = {child.pipes[0].thread, child.pipes[1].thread};
  // A process the child started may hold a pipe open: its last lines have come by now.
  for (int tries = 0; WaitForMultipleObjects(2, readers, TRUE, tries ? 200 : kDrainMs) == WAIT_TIMEOUT; ++tries)
    for (HANDLE reader : readers) CancelSynchronousIo(reader);
  DWORD status = 1;
  GetExitCodeProcess(child.process, &status);
  Event e;
  e.kind = Event::kEnded;
  e.child = child.index;
  e.status = static_cast<int>(status);
  child.platform->m_queue.Push(e);
  return 0;
}

void CWin32StationPlatform::StopChild(int index) {
  Child& child = *m_children[index];
  if (!child.input) return;
  DWORD written = 0;
  WriteFile(child.input, "stop\n", 5, &written, nullptr);
  CloseHandle(child.input);  // the end of its input also means stop
  child.input = nullptr;
}

void CWin32StationPlatform::KillChild(int index) {
  Child& child = *m_children[index];
  if (child.process) TerminateProcess(child.process, 130);
}

IStationPlatform::Event CWin32StationPlatform::Next(unsigned waitMs) { return m_queue.Pop(waitMs); }

double CWin32StationPlatform::Now() { return CWin32Terminal::Now(); }

std::string CWin32StationPlatform::LocalClock() { return CWin32Terminal::LocalClock(); }

void CWin32StationPlatform::Write(IFlashPlatform::Stream stream, const std::string& text) {
  CWin32Terminal::Write(stream, text);
}

bool CWin32StationPlatform::OutputIsConsole() { return CWin32Terminal::OutputIsConsole(); }
