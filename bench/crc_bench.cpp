// crc_bench.cpp — diag_crc16 (the FCS of every DIAG packet) over one full
// write packet and over a large buffer.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_data.h"
#include "mbim_format/diag_frame.h"

namespace {

void BM_DiagCrc16(benchmark::State& state) {
  const auto data = bench::random_bytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    uint16_t fcs = tessel::diag_crc16(data.data(), data.size());
    benchmark::DoNotOptimize(fcs);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
// 1039: the header and chunk of a full write packet, what the FCS covers.
BENCHMARK(BM_DiagCrc16)->Arg(1039)->Arg(64 << 10)->Arg(1 << 20);

}  // namespace
