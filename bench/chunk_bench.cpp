// chunk_bench.cpp — building and framing one full 1024-byte write chunk: the
// steps mbim_SetSarValue and its framed_request take for every chunk
// (src/mbim_commands/table_write.cpp), called in the same order on the same
// functions:
//   chunk length, later-chunk flag, the chunk bytes and diag_crc16 into the
//   raw packet; build_command with room for kMaxFrameSize; diag_frame into
//   its InformationBuffer; set_info_length; the request freed once sent.
// The tool reads the chunk bytes from the table file; here they are copied
// from memory, so the figure is the tool's own work per chunk, without I/O.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "bench_data.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_format/build_command.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"
#include "byte_order/byte_order.h"

namespace {

constexpr size_t kChunk = 1024;
constexpr size_t kWriteHeaderSize = 15;
constexpr uint8_t kWriteHeader[] = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00};

std::array<uint8_t, 2048> g_packet{};

// Bytes 0..11 of the write packet, set once per table as the tool does.
void start_table(int item) {
  std::memcpy(g_packet.data(), kWriteHeader, sizeof kWriteHeader);
  tessel::put_le16(g_packet.data() + 8, 0);
  tessel::put_le16(g_packet.data() + 10, static_cast<uint16_t>(item));
}

// One chunk, built and framed; returns the framed InformationBufferLength.
size_t build_and_frame(const uint8_t* chunk, size_t n, bool first) {
  tessel::put_le16(g_packet.data() + 12, static_cast<uint16_t>(n));
  g_packet[14] = first ? 0 : 1;
  std::memcpy(g_packet.data() + kWriteHeaderSize, chunk, n);
  tessel::put_le16(g_packet.data() + kWriteHeaderSize + n,
                   tessel::diag_crc16(g_packet.data(), kWriteHeaderSize + n));
  tessel::MessagePtr request = tessel::build_command(tessel::kUuidQmbe, tessel::kCidDiagPacket,
                                                     tessel::kCommandSet, nullptr,
                                                     static_cast<uint32_t>(tessel::kMaxFrameSize));
  if (!request) return 0;
  const size_t framed = tessel::diag_frame(g_packet.data(), kWriteHeaderSize + n + 2,
                                           tessel::info_buffer(request));
  tessel::set_info_length(request.get(), static_cast<uint32_t>(framed));
  benchmark::DoNotOptimize(request.get());
  return framed;
}

// Walks a 64 KiB random table chunk by chunk, so the bytes change each time.
void BM_BuildAndFrameChunk(benchmark::State& state) {
  const auto table = bench::random_bytes(64 << 10);
  start_table(48001);
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
  start_table(48001);
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
