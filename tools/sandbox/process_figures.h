// What the game process holds right now, for watching the plug-in's
// footprint over a long run.
#pragma once

#include <cstdint>

namespace sandbox {

struct ProcessFigures {
    int threads;
    unsigned long handles;
    std::uint64_t privateBytes;
};

ProcessFigures MeasureThisProcess();

}  // namespace sandbox
