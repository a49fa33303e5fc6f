// word_fields.h — the one-word fields of an information buffer as a table.
//
// Each row says where its word lies and which record shows it, so a decoder
// of such fields is its layout, rows in the order the records come (not
// always the order of the fields). A row shows the word itself through
// msg_send_1 ("%u", "0x%x", "%ld" and the like), or, with `name_of`, the
// name of its value through msg_sprintf ("%s"). A word outside the bytes
// held is left out with its record (bounds rules in info_decoders.h).
#ifndef TESSEL_MBIM_DUMP_WORD_FIELDS_H_
#define TESSEL_MBIM_DUMP_WORD_FIELDS_H_

#include <cstddef>
#include <cstdint>

#include "diag_log/diag_log.h"
#include "mbim_dump/bounded.h"

namespace tessel {

struct WordField {
  // A word shown as itself.
  constexpr WordField(size_t at, msg_const_type rec) : offset(at), record(rec) {}
  // A word shown as the name of its value.
  constexpr WordField(size_t at, msg_const_type rec, const char* (*name)(uint32_t))
      : offset(at), record(rec), name_of(name), named(true) {}

  size_t offset;
  msg_const_type record;  // made by LOG_RECORD on the row's line
  const char* (*name_of)(uint32_t) = nullptr;
  // Whether name_of is set, as a plain flag: a sanitized build does not take
  // a function's address compared with null for a constant.
  bool named = false;
};

// True when every row's record takes what the row gives it: a named row's
// one "%s", a word's record no "%s" at all (the platform's decoder would
// take the word for the address of a text). Checked by static_assert beside
// each table, as LOG_NUM checks its format.
template <size_t N>
constexpr bool records_fit(const WordField (&rows)[N]) {
  for (const WordField& row : rows) {
    if (has_text_conversion(row.record.fmt) != row.named) return false;
  }
  return true;
}

// The records of the rows whose word lies inside `b`, in the rows' order.
void dump_words(const Bounded& b, const WordField* rows, size_t count);

template <size_t N>
void dump_words(const Bounded& b, const WordField (&rows)[N]) {
  dump_words(b, rows, N);
}

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_WORD_FIELDS_H_
