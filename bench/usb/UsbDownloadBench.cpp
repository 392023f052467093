// A whole USB download (header, 4096-byte passes with their announcements, end of data,
// one flash poll) against the simulated box, whose transport answers at once; the
// baseline copies the same image in 4096-byte chunks into the same kind of sink.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "DownloadWorker.h"
#include "SimUsbBox.h"
#include "UsbDownloadView.h"
#include "UsbState.h"
#include "UsbThreadHost.h"

namespace {

constexpr std::size_t kImageSize = 8 * 1024 * 1024;

const std::vector<unsigned char>& TheImage() {
  static std::vector<unsigned char> image = [] {
    std::vector<unsigned char> v(kImageSize);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<unsigned char>(i * 31 + (i >> 12));
    return v;
  }();
  return image;
}

// The image in memory; pauses return at once.
class MemoryHost : public IUsbThreadHost {
 public:
  void Pause(unsigned int, const std::atomic<unsigned char>*) override {}
  ImageFileHandle OpenImage(const char*) override {
    m_offset = 0;
    return 1;
  }
  bool ReadImage(ImageFileHandle, void* buffer, uint32_t length, uint32_t* got) override {
    const std::vector<unsigned char>& image = TheImage();
    std::size_t n = image.size() - m_offset < length ? image.size() - m_offset : length;
    std::memcpy(buffer, image.data() + m_offset, n);
    m_offset += n;
    *got = static_cast<uint32_t>(n);
    return true;
  }
  void CloseImage(ImageFileHandle) override {}
  bool StartThread(std::function<void()> body) override {
    body();
    return true;
  }
  void ShowMessageBox(const char*, unsigned int) override {}

 private:
  std::size_t m_offset = 0;
};

class QuietView : public IUsbDownloadView {
 public:
  void AddMessage(const char*) override {}
  void SetBarPos(UsbProgressBar, int pos) override { benchmark::DoNotOptimize(pos); }
  void SetBarText(UsbProgressBar, const char*) override {}
  intptr_t SendViewMessage(unsigned int) override { return 0; }
  void RunDownloadCommand() override {}
  void ControlsToData() override {}
  void DataToControls() override {}
};

void BM_UsbDownload(benchmark::State& state) {
  MemoryHost host;
  QuietView view;
  for (auto _ : state) {
    CSimUsbBox box;
    box.SetFlashScript({{0, 0}});
    DownloadJob job(box, host);
    g_downloadKind = 0;
    if (StartDownload(job, view, "C:\\fw\\bench.img", static_cast<uint32_t>(kImageSize)) != 1 ||
        DownloadWorker(&job) != kImageSize) {
      state.SkipWithError("download failed");
      break;
    }
    benchmark::DoNotOptimize(box.HeaderSize());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kImageSize));
}
BENCHMARK(BM_UsbDownload)->Unit(benchmark::kMillisecond);

void BM_PlainChunkedCopy(benchmark::State& state) {
  MemoryHost host;
  for (auto _ : state) {
    std::vector<unsigned char> sink;
    unsigned char buffer[4096];
    ImageFileHandle f = host.OpenImage("bench.img");
    uint32_t n = 0;
    while (host.ReadImage(f, buffer, sizeof buffer, &n) && n > 0) sink.insert(sink.end(), buffer, buffer + n);
    host.CloseImage(f);
    benchmark::DoNotOptimize(sink.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kImageSize));
}
BENCHMARK(BM_PlainChunkedCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
