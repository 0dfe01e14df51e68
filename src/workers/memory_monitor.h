// The memory monitor's rules for one pass, kept apart from the thread so they
// can be checked against a made-up clock.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace bw {

inline constexpr std::uint32_t kMemoryMonitorPeriodMs = 5000;
// A change of exactly this much is not worth a line.
inline constexpr std::uint64_t kLoggedWorkingSetChangeMiB = 100;
inline constexpr std::uint64_t kMinimumTrimIntervalMs = 180000;

struct MemoryMonitorState {
    // The working set shown by the last usage line; 0 means none counts yet.
    std::uint64_t lastLoggedMiB;
    // The tick read before the last trim, or at thread start before the first.
    std::uint64_t trimBaselineTick;
};

struct MemoryMonitorPlan {
    bool logUsage;
    std::uint64_t workingSetMiB;
    std::uint64_t pagefileMiB;
    bool trim;
};

// Decides one pass from counters that were read successfully and the tick
// read after them, and moves the state on as if the plan were carried out.
MemoryMonitorPlan PlanMemoryMonitorPass(MemoryMonitorState& state, const platform::MemoryCounters& counters,
                                        std::uint64_t now, std::int32_t trimThresholdMiB) noexcept;

// One pass after its sleep: query, log, trim. A failed query skips the pass.
void RunMemoryMonitorPass(MemoryMonitorState& state) noexcept;

}  // namespace bw
