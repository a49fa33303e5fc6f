// md5_bench.cpp — MD5 throughput over table-sized inputs, as GetFileMd5
// feeds it (whole buffers) and in the 16 KiB pieces the file read hands it.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_data.h"
#include "md5/md5.h"

namespace {

void BM_Md5Digest(benchmark::State& state) {
  const auto data = bench::random_bytes(static_cast<size_t>(state.range(0)));
  uint8_t digest[tessel::kMd5DigestSize];
  for (auto _ : state) {
    tessel::md5_digest(data.data(), data.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Md5Digest)->Arg(1024)->Arg(64 << 10)->Arg(1 << 20);

// The file digest's own pattern: 16 KiB reads absorbed one after another.
void BM_Md5In16KiBPieces(benchmark::State& state) {
  const auto data = bench::random_bytes(1 << 20);
  constexpr size_t kPiece = 16384;
  uint8_t digest[tessel::kMd5DigestSize];
  for (auto _ : state) {
    tessel::Md5Context ctx;
    tessel::md5_init(&ctx);
    for (size_t at = 0; at < data.size(); at += kPiece) tessel::md5_update(&ctx, data.data() + at, kPiece);
    tessel::md5_final(&ctx, digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_Md5In16KiBPieces);

}  // namespace
