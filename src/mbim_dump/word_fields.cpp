// word_fields.cpp — see word_fields.h.
#include "mbim_dump/word_fields.h"

namespace tessel {

void dump_words(const Bounded& b, const WordField* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const WordField& row = rows[i];
    uint32_t v = 0;
    if (!b.word(row.offset, &v)) continue;
    if (row.named) {
      send_text_record(&row.record, row.name_of(v));
    } else {
      send_record_1(&row.record, v);
    }
  }
}

}  // namespace tessel
