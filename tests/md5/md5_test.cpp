// md5_test.cpp — the MD5 digest against the RFC 1321 test suite and against
// the system's `md5sum` for every short length and a few megabytes fed in
// awkward pieces, and the wipe of the context after md5_final.
#include "md5/md5.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tessel {
namespace {

std::string to_hex(const uint8_t* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < kMd5DigestSize; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0x0f];
  }
  return hex;
}

std::string digest_hex(const void* data, size_t length) {
  uint8_t digest[kMd5DigestSize];
  md5_digest(data, length, digest);
  return to_hex(digest);
}

// Deterministic bytes (xorshift32), so a failure reproduces.
std::vector<uint8_t> pseudo_random_bytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  uint32_t s = seed;
  for (auto& b : bytes) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    b = static_cast<uint8_t>(s >> 24);
  }
  return bytes;
}

// A temporary directory that removes itself and the files written into it.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/md5_test.XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    for (const auto& f : files_) unlink(f.c_str());
    if (!path_.empty()) rmdir(path_.c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }

  // Writes `bytes` to a new file in the directory and returns its path.
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string file = path_ + "/" + name;
    files_.push_back(file);
    FILE* f = fopen(file.c_str(), "wb");
    if (f == nullptr) return file;
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return file;
  }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// Runs one `md5sum` over all `files` and returns the hex digest of each, in
// order; an entry stays empty when md5sum did not report that file.
std::vector<std::string> md5sum_of(const std::vector<std::string>& files) {
  std::string command = "md5sum";
  for (const auto& f : files) command += " '" + f + "'";
  std::vector<std::string> digests;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return std::vector<std::string>(files.size());
  char line[4096];
  while (digests.size() < files.size() && fgets(line, sizeof line, p) != nullptr) {
    digests.emplace_back(line, strnlen(line, 2 * kMd5DigestSize));
  }
  pclose(p);
  digests.resize(files.size());
  return digests;
}

TEST(Md5, Rfc1321TestSuiteGivesItsPublishedDigests) {
  struct Case {
    const char* message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890"
       "1234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const size_t n = strlen(c.message);
    EXPECT_EQ(digest_hex(c.message, n), c.digest);

    // The same message one byte per update.
    Md5Context ctx;
    md5_init(&ctx);
    for (size_t i = 0; i < n; ++i) md5_update(&ctx, c.message + i, 1);
    uint8_t digest[kMd5DigestSize];
    md5_final(&ctx, digest);
    EXPECT_EQ(to_hex(digest), c.digest);
  }
}

TEST(Md5, EmptyInputMayBeNull) {
  EXPECT_EQ(digest_hex(nullptr, 0), "d41d8cd98f00b204e9800998ecf8427e");

  Md5Context ctx;
  md5_init(&ctx);
  md5_update(&ctx, "abc", 3);
  md5_update(&ctx, nullptr, 0);
  uint8_t digest[kMd5DigestSize];
  md5_final(&ctx, digest);
  EXPECT_EQ(to_hex(digest), "900150983cd24fb0d6963f7d28e17f72");
}

// Every length from 0 to 200 crosses the padding boundaries (55/56 and
// 119/120 bytes, where the length no longer fits and an extra block is
// needed) and the block boundaries at 64, 128 and 192. Each message also
// starts at a different offset from an aligned address.
TEST(Md5, EveryLengthUpTo200MatchesMd5sumAtAnyAlignment) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  constexpr size_t kMaxLength = 200;
  std::vector<std::vector<uint8_t>> messages;
  std::vector<std::string> files;
  for (size_t n = 0; n <= kMaxLength; ++n) {
    messages.push_back(pseudo_random_bytes(n, 0x9e3779b9u + static_cast<uint32_t>(n)));
    files.push_back(dir.write("m" + std::to_string(n), messages.back()));
  }
  const std::vector<std::string> expected = md5sum_of(files);

  std::vector<uint8_t> storage(kMaxLength + 8);
  for (size_t n = 0; n <= kMaxLength; ++n) {
    SCOPED_TRACE("length " + std::to_string(n));
    ASSERT_EQ(expected[n].size(), 2 * kMd5DigestSize) << "md5sum gave no digest";
    uint8_t* shifted = storage.data() + 1 + n % 7;
    if (n > 0) memcpy(shifted, messages[n].data(), n);
    EXPECT_EQ(digest_hex(shifted, n), expected[n]);
  }
}

// A few megabytes in pieces of sizes that land on, just short of and just
// past block boundaries, so every path of md5_update runs many times: the
// partial block topped up, whole blocks hashed in place from odd addresses,
// and a remainder kept for the next piece.
TEST(Md5, MegabytesFedInOddPiecesMatchMd5sumAndTheOneShotDigest) {
  const std::vector<uint8_t> data = pseudo_random_bytes(3 * 1024 * 1024 + 12345, 0x12345678u);
  const std::vector<size_t> kPieces = {1, 63, 64, 65, 4097, 0, 2, 127, 128, 129, 65536 + 3, 7, 1000};

  Md5Context ctx;
  md5_init(&ctx);
  size_t offset = 0;
  for (size_t i = 0; offset < data.size(); ++i) {
    size_t piece = std::min(kPieces[i % kPieces.size()], data.size() - offset);
    md5_update(&ctx, data.data() + offset, piece);
    offset += piece;
  }
  uint8_t pieced[kMd5DigestSize];
  md5_final(&ctx, pieced);

  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::vector<std::string> expected = md5sum_of({dir.write("large", data)});
  ASSERT_EQ(expected[0].size(), 2 * kMd5DigestSize) << "md5sum gave no digest";

  EXPECT_EQ(to_hex(pieced), expected[0]);
  EXPECT_EQ(digest_hex(data.data(), data.size()), expected[0]);
}

TEST(Md5, FinalLeavesEveryByteOfTheContextZero) {
  // 80 bytes: one whole block and a partial one left in the context.
  const char kMessage[] =
      "1234567890123456789012345678901234567890"
      "1234567890123456789012345678901234567890";
  Md5Context ctx;
  md5_init(&ctx);
  md5_update(&ctx, kMessage, 80);
  uint8_t digest[kMd5DigestSize];
  md5_final(&ctx, digest);

  const auto* bytes = reinterpret_cast<const uint8_t*>(&ctx);
  for (size_t i = 0; i < sizeof ctx; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
  // The digest was written before the wipe.
  EXPECT_EQ(to_hex(digest), "57edf4a22be3c955ac49da2e2107b67a");
}

}  // namespace
}  // namespace tessel
