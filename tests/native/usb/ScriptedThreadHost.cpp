#include "ScriptedThreadHost.h"

#include <cstring>

void ScriptedThreadHost::Pause(unsigned int ms, const std::atomic<unsigned char>*) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pauses.push_back(ms);
  }
  if (onPause) onPause(ms);
}

ImageFileHandle ScriptedThreadHost::OpenImage(const char* path) {
  if (onOpenImage) onOpenImage(path);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (files.find(path) == files.end()) return kNoImageFile;
  for (const auto& o : m_open)
    if (o.second.path == path) return kNoImageFile;  // shared with nobody
  ImageFileHandle h = m_next++;
  m_open[h] = Open{path, 0};
  return h;
}

bool ScriptedThreadHost::ReadImage(ImageFileHandle file, void* buffer, uint32_t length, uint32_t* got) {
  std::lock_guard<std::mutex> lock(m_mutex);
  *got = 0;
  auto it = m_open.find(file);
  if (it == m_open.end()) return false;
  const std::vector<unsigned char>& data = files[it->second.path];
  std::size_t left = data.size() > it->second.offset ? data.size() - it->second.offset : 0;
  std::size_t n = left < length ? left : length;
  if (n) std::memcpy(buffer, data.data() + it->second.offset, n);
  it->second.offset += n;
  *got = static_cast<uint32_t>(n);
  return true;
}

void ScriptedThreadHost::CloseImage(ImageFileHandle file) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_open.erase(file);
}

void ScriptedThreadHost::ShowMessageBox(const char* text, unsigned int) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.push_back(text);
  }
  if (onBox) onBox(text);
}

std::vector<unsigned int> ScriptedThreadHost::Pauses() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_pauses;
}

std::vector<std::string> ScriptedThreadHost::Boxes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_boxes;
}

int ScriptedThreadHost::OpenFiles() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_open.size());
}

bool ScriptedThreadHost::StartThread(std::function<void()> body) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_started;
    if (realThreads) {
      m_threads.emplace_back(std::move(body));
      return true;
    }
  }
  body();
  return true;
}

void ScriptedThreadHost::JoinThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    threads.swap(m_threads);
  }
  for (std::thread& t : threads) t.join();
}

int ScriptedThreadHost::ThreadsStarted() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_started;
}
