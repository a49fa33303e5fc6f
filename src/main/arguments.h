// arguments.h — the values of the command line, checked whole before
// anything is opened.
//
// The item number travels in 16 bits in the table write and the apply, so a
// number outside 0..65535 would query one table and write another; text
// that is not a number must not silently become item 0.
#ifndef TESSEL_MAIN_ARGUMENTS_H_
#define TESSEL_MAIN_ARGUMENTS_H_

#include <cstdint>

namespace tessel {

constexpr uint32_t kMaxItem = 65535;
constexpr uint32_t kDefaultLockWaitSeconds = 300;
constexpr uint32_t kMaxLockWaitSeconds = 86400;

// Reads a whole decimal number from 0 to `max`, with an optional leading
// '+' and nothing else (no blanks, no sign '-', no trailing characters).
// True with `*out` set, false otherwise.
bool parse_whole_number(const char* text, uint32_t max, uint32_t* out);

// Checks the table file of sar_tool before the device is touched: readable
// (a perror line naming it otherwise, as always), a regular file and not
// empty (a message naming it). `program` heads the messages. 0 or -1.
int check_table_file(const char* program, const char* path);

}  // namespace tessel

#endif  // TESSEL_MAIN_ARGUMENTS_H_
