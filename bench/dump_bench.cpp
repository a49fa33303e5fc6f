// dump_bench.cpp — dump_message in verbose mode into a log that formats each
// record and drops it (discard_log.cpp), and with verbose off, which must
// cost nothing.
//
// The 2 KiB message is a COMMAND_DONE of the vendor QMBE service, CID 25,
// Status 0, with a 2000-byte InformationBuffer: the kind of answer a table
// read brings. The write request is what every full chunk sends.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_data.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_dump/dump_message.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"
#include "byte_order/byte_order.h"

namespace {

// MBIM_COMMAND_DONE of QMBE CID 25: 48-byte header, then `info_length` bytes.
std::vector<uint8_t> qmbe_command_done(uint32_t info_length) {
  std::vector<uint8_t> m = bench::random_bytes(tessel::kCommandHeaderSize + info_length);
  uint8_t* p = m.data();
  tessel::put_le32(p + tessel::kMessageTypeOffset, tessel::MBIM_COMMAND_DONE);
  tessel::put_le32(p + tessel::kMessageLengthOffset, static_cast<uint32_t>(m.size()));
  tessel::put_le32(p + tessel::kTransactionIdOffset, 42);
  tessel::put_le32(p + tessel::kTotalFragmentsOffset, 1);
  tessel::put_le32(p + tessel::kCurrentFragmentOffset, 0);
  std::memcpy(p + tessel::kServiceIdOffset, tessel::kUuidQmbe.bytes.data(),
              tessel::kServiceIdSize);
  tessel::put_le32(p + tessel::kCidOffset, tessel::kCidDiagPacket);
  tessel::put_le32(p + tessel::kCommandDoneStatusOffset, 0);
  tessel::put_le32(p + tessel::kInfoLengthOffset, info_length);
  return m;
}

// MBIM_COMMAND_MSG of QMBE CID 25 set, the size of a full framed chunk.
std::vector<uint8_t> qmbe_write_request() {
  std::vector<uint8_t> m = qmbe_command_done(1051);
  tessel::put_le32(m.data() + tessel::kMessageTypeOffset, tessel::MBIM_COMMAND_MSG);
  tessel::put_le32(m.data() + tessel::kCommandTypeOffset, tessel::kCommandSet);
  return m;
}

void BM_Dump2KiBCommandDoneVerbose(benchmark::State& state) {
  const auto m = qmbe_command_done(2048 - tessel::kCommandHeaderSize);
  for (auto _ : state) tessel::dump_message(m.data(), m.size(), /*verbose=*/1);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(m.size()));
}
BENCHMARK(BM_Dump2KiBCommandDoneVerbose);

void BM_DumpChunkRequestVerbose(benchmark::State& state) {
  const auto m = qmbe_write_request();
  for (auto _ : state) tessel::dump_message(m.data(), m.size(), /*verbose=*/1);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(m.size()));
}
BENCHMARK(BM_DumpChunkRequestVerbose);

void BM_Dump2KiBCommandDoneQuiet(benchmark::State& state) {
  const auto m = qmbe_command_done(2048 - tessel::kCommandHeaderSize);
  for (auto _ : state) {
    tessel::dump_message(m.data(), m.size(), /*verbose=*/0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Dump2KiBCommandDoneQuiet);

}  // namespace
