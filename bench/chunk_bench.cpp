// chunk_bench.cpp — building and framing one full 1024-byte write chunk: the
// steps mbim_SetSarValue and its framed_request take for every chunk
// (src/mbim_commands/diag_transfer_write.cpp, diag_exchange.cpp), called in the same
// order on the same functions:
//   build_write_packet into a DiagPacket; build_command with room for
//   kMaxFrameSize; diag_frame into its InformationBuffer; set_info_length;
//   the request freed once sent.
// The tool reads the chunk bytes from the table file; here they are copied
// from memory, so the figure is the tool's own work per chunk, without I/O.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "bench_data.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_format/build_command.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/diag_request.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"

namespace {

constexpr size_t kChunk = 1024;

tessel::DiagPacket g_packet;

// One chunk, built and framed; returns the framed InformationBufferLength.
size_t build_and_frame(const uint8_t* chunk, size_t n, bool first) {
  if (!tessel::build_write_packet(&g_packet, 48001, first, chunk, n)) return 0;
  tessel::MessagePtr request = tessel::build_command(tessel::kUuidQmbe, tessel::kCidDiagPacket,
                                                     tessel::kCommandSet, nullptr,
                                                     static_cast<uint32_t>(tessel::kMaxFrameSize));
  if (!request) return 0;
  const size_t framed =
      tessel::diag_frame(g_packet.bytes.data(), g_packet.length, tessel::info_buffer(request));
  tessel::set_info_length(request.get(), static_cast<uint32_t>(framed));
  benchmark::DoNotOptimize(request.get());
  return framed;
}

// Walks a 64 KiB random table chunk by chunk, so the bytes change each time.
void BM_BuildAndFrameChunk(benchmark::State& state) {
  const auto table = bench::random_bytes(64 << 10);
  size_t offset = 0;
  for (auto _ : state) {
    const size_t framed = build_and_frame(table.data() + offset, kChunk, offset == 0);
    benchmark::DoNotOptimize(framed);
    offset = (offset + kChunk) % table.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kChunk));
}
BENCHMARK(BM_BuildAndFrameChunk);

// The worst case for framing: every chunk byte is a flag and escaped.
void BM_BuildAndFrameChunkAllFlags(benchmark::State& state) {
  const std::array<uint8_t, kChunk> flags = [] {
    std::array<uint8_t, kChunk> a{};
    a.fill(0x7E);
    return a;
  }();
  for (auto _ : state) {
    const size_t framed = build_and_frame(flags.data(), kChunk, false);
    benchmark::DoNotOptimize(framed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kChunk));
}
BENCHMARK(BM_BuildAndFrameChunkAllFlags);

// The request alone: the 2131-byte block from the C allocator, its header and
// the zeroed room for a worst-case frame, then freed; the part of the steps
// above that does not depend on the table's bytes.
void BM_BuildRequestOnly(benchmark::State& state) {
  for (auto _ : state) {
    tessel::MessagePtr request = tessel::build_command(tessel::kUuidQmbe, tessel::kCidDiagPacket,
                                                       tessel::kCommandSet, nullptr,
                                                       static_cast<uint32_t>(tessel::kMaxFrameSize));
    benchmark::DoNotOptimize(request.get());
  }
}
BENCHMARK(BM_BuildRequestOnly);

}  // namespace
