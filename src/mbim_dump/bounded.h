// bounded.h — the bytes of one received message or information buffer that
// the dump may read, and the only ways it reads them.
//
// `bound` is what the caller may read at `bytes`: for a message
// min(held, MessageLength), for an information buffer the smaller of its
// InformationBufferLength and the bytes held after its start. Every read is
// checked against it first, so no length, offset or count a peer sends can
// carry a read past the bytes held.
#ifndef TESSEL_MBIM_DUMP_BOUNDED_H_
#define TESSEL_MBIM_DUMP_BOUNDED_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "byte_order/byte_order.h"

namespace tessel {

struct Bounded {
  const uint8_t* bytes;
  size_t bound;

  // The word at `offset`, when it lies inside.
  bool word(size_t offset, uint32_t* out) const { return read_le32(bytes, bound, offset, out); }
  bool inside(size_t offset, size_t width) const { return field_inside(bound, offset, width); }

  // How much of a buffer claimed to be `claimed` bytes long at `offset` is
  // really there.
  size_t usable(size_t offset, uint32_t claimed) const {
    return offset <= bound ? std::min<size_t>(claimed, bound - offset) : 0;
  }
};

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_BOUNDED_H_
