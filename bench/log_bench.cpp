// log_bench.cpp — one log record as the transfer writes two per chunk
// ("[tessel] MessageLength:%d" when a request goes out, "[tessel] read=%d
// MessageLength=%u" when its answer comes in), formatted as the host
// stand-in formats it and discarded (discard_log.cpp): the record's own cost,
// without the write that the stand-in then makes to standard error.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "diag_log/diag_log.h"

TESSEL_LOG_MODULE("src/mbim_ctx");

namespace {

void BM_LogRecordOneValue(benchmark::State& state) {
  uint32_t length = 1095;
  for (auto _ : state) {
    benchmark::DoNotOptimize(length);
    LOG_NUM(LOG_NORMAL, "[tessel] MessageLength:%d", length);
  }
}
BENCHMARK(BM_LogRecordOneValue);

void BM_LogRecordTwoValues(benchmark::State& state) {
  uint32_t left = 67;
  uint32_t length = 67;
  for (auto _ : state) {
    benchmark::DoNotOptimize(left);
    LOG_NUM(LOG_NORMAL, "[tessel] read=%d MessageLength=%u", left, length);
  }
}
BENCHMARK(BM_LogRecordTwoValues);

}  // namespace
