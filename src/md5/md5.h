// md5.h — the MD5 message digest (RFC 1321) of local data, such as the SAR
// table file whose digest is compared with the one the modem reports.
//
// The usual three calls over 64-byte blocks: md5_init sets up a context,
// md5_update absorbs any number of bytes in any number of pieces, md5_final
// pads, writes the 16-byte digest and wipes the context. md5_digest does all
// three over one buffer. The digest bytes are in RFC 1321 order, the order
// in which `md5sum` prints them as hexadecimal pairs.
//
// Input bytes are read one by one and assembled into little-endian words, so
// data of any alignment is fine on any host, the 32-bit ARM target included.
// Nothing here allocates, logs or fails.
#ifndef TESSEL_MD5_MD5_H_
#define TESSEL_MD5_MD5_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr size_t kMd5DigestSize = 16;
constexpr size_t kMd5BlockSize = 64;

struct Md5Context {
  uint64_t length;                           // bytes absorbed so far
  std::array<uint32_t, 4> state;             // A, B, C, D
  std::array<uint8_t, kMd5BlockSize> block;  // the partial block, length % 64 bytes used
};

// Sets `ctx` up for a new message.
void md5_init(Md5Context* ctx);

// Absorbs `length` bytes at `data`, which may be null only when `length` is 0.
void md5_update(Md5Context* ctx, const void* data, size_t length);

// Writes the 16-byte digest of everything absorbed into `digest`, then sets
// every byte of `*ctx` to zero; call md5_init before using it again.
void md5_final(Md5Context* ctx, uint8_t digest[kMd5DigestSize]);

// The digest of the `length` bytes at `data` (null only when `length` is 0).
void md5_digest(const void* data, size_t length, uint8_t digest[kMd5DigestSize]);

}  // namespace tessel

#endif  // TESSEL_MD5_MD5_H_
