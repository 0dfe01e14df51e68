// Where the game's executable image lies in memory. Taken once while the
// library loads, before the host can call us and before any of our threads
// exists, so readers need no synchronisation.
#pragma once

#include <cstdint>

namespace bw {

// Load address of the process's main executable (the game, not this library).
extern const std::uintptr_t GameBase;
// Size of that image in bytes, so reads at fixed offsets can be checked to
// fall inside it; 0 when it could not be measured.
extern const std::uintptr_t GameImageSize;

}  // namespace bw
