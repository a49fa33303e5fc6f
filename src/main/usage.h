// usage.h — the texts the tool prints for an operator: version and usage.
#ifndef TESSEL_MAIN_USAGE_H_
#define TESSEL_MAIN_USAGE_H_

namespace tessel {

constexpr char kVersion[] = "v1.1.1";

// The top-level usage, nine lines on standard output.
void print_usage(const char* invocation);

}  // namespace tessel

#endif  // TESSEL_MAIN_USAGE_H_
