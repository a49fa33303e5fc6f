// no_sleep.cpp — usleep as a no-op, for the fuzz target of the table read.
//
// The read sleeps 200 ms after every BUSY answer before it resends; under
// the fuzzer that would cut the rate of inputs a hundredfold for no gain, as
// the pause changes nothing the code decides. Linked into that one target
// only, this definition takes the place of the C library's for the whole
// binary (libFuzzer itself does not call usleep).
#include <unistd.h>

extern "C" int usleep(useconds_t) { return 0; }
