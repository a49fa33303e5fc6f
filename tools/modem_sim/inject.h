// inject.h — the extra messages --inject sends ahead of a reply: traffic the
// tool must pass over (an indication, an answer to somebody else) and bytes
// it must survive (impossible MessageLengths, random garbage).
#ifndef TESSEL_TOOLS_MODEM_SIM_INJECT_H_
#define TESSEL_TOOLS_MODEM_SIM_INJECT_H_

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "modem_sim/options.h"

namespace tessel::sim {

// The messages of `kinds`, in order, to go out before the reply to
// `request` (`length` bytes).
std::vector<std::vector<uint8_t>> injected_messages(const std::vector<InjectKind>& kinds,
                                                    const uint8_t* request, size_t length,
                                                    std::mt19937* random);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_INJECT_H_
