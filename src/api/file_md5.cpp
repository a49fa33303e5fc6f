// file_md5.cpp — the MD5 digest of a local file (GetFileMd5).
//
// The file is read to its end in pieces rather than in one read of its
// stated size: a single short read would leave a zero tail in the digest,
// a wrong digest that could skip a needed update.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "api/service_api.h"
#include "md5/md5.h"

namespace tessel {
namespace api {

Status GetFileMd5(const char* path, uint8_t digest[16]) {
  if (path == nullptr) return Code::kBadArgument;
  // Non-blocking and checked after the open: a FIFO in the file's place
  // must neither hold the tool nor be hashed.
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Status::system(Code::kFileUnreadable, errno);
  struct stat st;
  const int e = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
  if (e != 0) {
    close(fd);
    return Status::system(Code::kFileUnreadable, e);
  }
  Md5Context ctx;
  md5_init(&ctx);
  std::array<uint8_t, 16384> buffer;
  uint64_t have = 0;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  Status result;
  while (have < size) {
    const size_t want = size - have < buffer.size() ? static_cast<size_t>(size - have) : buffer.size();
    const ssize_t n = read(fd, buffer.data(), want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // a read error, or the file ended before its stated size
      result = Status::system(Code::kFileUnreadable, n < 0 ? errno : EIO);
      break;
    }
    md5_update(&ctx, buffer.data(), static_cast<size_t>(n));
    have += static_cast<uint64_t>(n);
  }
  close(fd);
  uint8_t computed[16];
  md5_final(&ctx, computed);
  if (result.ok()) std::memcpy(digest, computed, sizeof computed);
  return result;
}

}  // namespace api
}  // namespace tessel
