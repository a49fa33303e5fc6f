// bench_data.h — the bytes the benchmarks work on, made the same way on
// every run so that figures from two runs compare.
#ifndef TESSEL_BENCH_BENCH_DATA_H_
#define TESSEL_BENCH_BENCH_DATA_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// `n` bytes from a fixed-seed xorshift generator: table-like data in which
// the two bytes HDLC escapes turn up about as often as in any random file.
inline std::vector<uint8_t> random_bytes(size_t n, uint32_t seed = 0x7E55E1u) {
  std::vector<uint8_t> out(n);
  uint32_t x = seed;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = static_cast<uint8_t>(x >> 24);
  }
  return out;
}

}  // namespace bench

#endif  // TESSEL_BENCH_BENCH_DATA_H_
