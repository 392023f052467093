// Throughput of the data block checksum against Boost.CRC's table-driven CRC with the same
// parameters, over the 1024 data bytes of a block. The ratio is printed as a counter.
#include <benchmark/benchmark.h>

#include <boost/crc.hpp>

#include <cstdint>
#include <vector>

#include "Crc32.h"

namespace {

std::vector<unsigned char> Blocks() {
  std::vector<unsigned char> data(1024 * 256);
  uint32_t x = 12345;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<unsigned char>(x >> 16);
  }
  return data;
}

using BoostCrc = boost::crc_optimal<32, 0x04C11DB7, 0, 0, false, false>;

void Boost(benchmark::State& state) {
  const auto data = Blocks();
  for (auto _ : state) {
    for (std::size_t off = 0; off < data.size(); off += 1024) {
      BoostCrc crc;
      crc.process_bytes(data.data() + off, 1024);
      benchmark::DoNotOptimize(crc.checksum());
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void Sliced(benchmark::State& state) {
  const auto data = Blocks();
  for (auto _ : state) {
    for (std::size_t off = 0; off < data.size(); off += 1024)
      benchmark::DoNotOptimize(CCrc32::Compute(data.data() + off, 1024));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void ByteWise(benchmark::State& state) {
  const auto data = Blocks();
  uint32_t table[256];
  CCrc32::BuildTable(table);
  for (auto _ : state) {
    for (std::size_t off = 0; off < data.size(); off += 1024)
      benchmark::DoNotOptimize(CCrc32::Update(table, 0, data.data() + off, 1024));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

}  // namespace

BENCHMARK(Boost);
BENCHMARK(Sliced);
BENCHMARK(ByteWise);

int main(int argc, char** argv) {
  // Both implementations must agree before their speed means anything.
  const auto data = Blocks();
  BoostCrc crc;
  crc.process_bytes(data.data(), 1024);
  if (crc.checksum() != CCrc32::Compute(data.data(), 1024)) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
