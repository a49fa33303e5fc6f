// md5.cpp — the MD5 block function, padding and buffering; see md5.h.
//
// The 64 steps are unrolled at compile time from the constexpr tables below,
// and whole blocks are hashed straight from the caller's bytes, so a large
// file costs no copy and no call per byte.
#include "md5/md5.h"

#include "byte_order/byte_order.h"

#include <cstring>

namespace tessel {
namespace {

// T[i] = floor(2^32 * |sin(i + 1)|), i in radians.
constexpr std::array<uint32_t, 64> kT = {
    // Round 1
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    // Round 2
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    // Round 3
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    // Round 4
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation of each step; the four values of a round repeat four times.
constexpr std::array<int, 64> kShift = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,  // Round 1
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,  // Round 2
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,  // Round 3
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,  // Round 4
};

// Message word X[k] of each step: k = i, 1 + 5i, 5 + 3i, 7i (mod 16) by round.
constexpr std::array<int, 64> kWord = {
    0, 1, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,  // Round 1
    1, 6, 11, 0,  5,  10, 15, 4,  9,  14, 3,  8,  13, 2,  7,  12,  // Round 2
    5, 8, 11, 14, 1,  4,  7,  10, 13, 0,  3,  6,  9,  12, 15, 2,   // Round 3
    0, 7, 14, 5,  12, 3,  10, 1,  8,  15, 6,  13, 4,  11, 2,  9,   // Round 4
};

constexpr std::array<uint32_t, 4> kInitialState = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

inline uint32_t rotl(uint32_t v, int s) { return (v << s) | (v >> (32 - s)); }

// Step i: a = b + ((a + f(b, c, d) + X[k] + T[i]) <<< s). F and G are written
// in their equivalent select forms, which need one operation fewer.
template <int i>
inline void step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, const uint32_t* x) {
  uint32_t f;
  if constexpr (i < 16) {
    f = d ^ (b & (c ^ d));  // F = (b & c) | (~b & d)
  } else if constexpr (i < 32) {
    f = c ^ (d & (b ^ c));  // G = (b & d) | (c & ~d)
  } else if constexpr (i < 48) {
    f = b ^ c ^ d;  // H
  } else {
    f = c ^ (b | ~d);  // I
  }
  a = b + rotl(a + f + x[kWord[i]] + kT[i], kShift[i]);
}

// Steps i .. i+3, with the words rotating through the roles a, b, c, d.
template <int i>
inline void four_steps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* x) {
  step<i>(a, b, c, d, x);
  step<i + 1>(d, a, b, c, x);
  step<i + 2>(c, d, a, b, x);
  step<i + 3>(b, c, d, a, x);
}

// Hashes `count` whole 64-byte blocks at `data` into `state`.
void process_blocks(std::array<uint32_t, 4>& state, const uint8_t* data, size_t count) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count > 0; --count, data += kMd5BlockSize) {
    uint32_t x[16];
    for (int k = 0; k < 16; ++k) x[k] = get_le32(data + 4 * k);
    const uint32_t aa = a, bb = b, cc = c, dd = d;
    four_steps<0>(a, b, c, d, x);
    four_steps<4>(a, b, c, d, x);
    four_steps<8>(a, b, c, d, x);
    four_steps<12>(a, b, c, d, x);
    four_steps<16>(a, b, c, d, x);
    four_steps<20>(a, b, c, d, x);
    four_steps<24>(a, b, c, d, x);
    four_steps<28>(a, b, c, d, x);
    four_steps<32>(a, b, c, d, x);
    four_steps<36>(a, b, c, d, x);
    four_steps<40>(a, b, c, d, x);
    four_steps<44>(a, b, c, d, x);
    four_steps<48>(a, b, c, d, x);
    four_steps<52>(a, b, c, d, x);
    four_steps<56>(a, b, c, d, x);
    four_steps<60>(a, b, c, d, x);
    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state = {a, b, c, d};
}

// Zeroes through a volatile pointer: the context is dead once md5_final
// returns, and plain stores to dead memory may be dropped by the optimiser.
void wipe(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  while (n-- > 0) *v++ = 0;
}

}  // namespace

void md5_init(Md5Context* ctx) {
  ctx->length = 0;
  ctx->state = kInitialState;
  ctx->block.fill(0);
}

void md5_update(Md5Context* ctx, const void* data, size_t length) {
  if (length == 0) return;  // also keeps a null `data` away from memcpy
  const uint8_t* in = static_cast<const uint8_t*>(data);
  size_t used = static_cast<size_t>(ctx->length % kMd5BlockSize);
  ctx->length += length;

  if (used > 0) {
    size_t take = kMd5BlockSize - used;
    if (length < take) {
      std::memcpy(ctx->block.data() + used, in, length);
      return;
    }
    std::memcpy(ctx->block.data() + used, in, take);
    process_blocks(ctx->state, ctx->block.data(), 1);
    in += take;
    length -= take;
  }

  size_t whole = length / kMd5BlockSize;
  process_blocks(ctx->state, in, whole);
  in += whole * kMd5BlockSize;
  length -= whole * kMd5BlockSize;

  if (length > 0) std::memcpy(ctx->block.data(), in, length);
}

void md5_final(Md5Context* ctx, uint8_t digest[kMd5DigestSize]) {
  // The message length in bits, modulo 2^64, goes into the last 8 bytes.
  const uint64_t bits = ctx->length << 3;
  size_t used = static_cast<size_t>(ctx->length % kMd5BlockSize);
  constexpr size_t kLengthOffset = kMd5BlockSize - 8;

  ctx->block[used++] = 0x80;
  if (used > kLengthOffset) {
    // No room left for the length: it goes into one more block of padding.
    std::memset(ctx->block.data() + used, 0, kMd5BlockSize - used);
    process_blocks(ctx->state, ctx->block.data(), 1);
    used = 0;
  }
  std::memset(ctx->block.data() + used, 0, kLengthOffset - used);
  put_le32(ctx->block.data() + kLengthOffset, static_cast<uint32_t>(bits));
  put_le32(ctx->block.data() + kLengthOffset + 4, static_cast<uint32_t>(bits >> 32));
  process_blocks(ctx->state, ctx->block.data(), 1);

  for (size_t k = 0; k < 4; ++k) put_le32(digest + 4 * k, ctx->state[k]);
  wipe(ctx, sizeof(*ctx));
}

void md5_digest(const void* data, size_t length, uint8_t digest[kMd5DigestSize]) {
  Md5Context ctx;
  md5_init(&ctx);
  md5_update(&ctx, data, length);
  md5_final(&ctx, digest);
}

}  // namespace tessel
