#include "workers/memory_monitor.h"

#include <atomic>

#include "log/log.h"
#include "settings/settings.h"
#include "workers/workers.h"

namespace bw {
namespace {

std::atomic<LateStartWork> gLateStartWork{nullptr};
// Passes come every five seconds: the second ends ten seconds after the start.
constexpr int kLateStartWorkPass = 2;

}  // namespace

void LeaveForTheMemoryMonitor(LateStartWork work) noexcept { gLateStartWork.store(work); }

MemoryMonitorPlan PlanMemoryMonitorPass(MemoryMonitorState& state, const platform::MemoryCounters& counters,
                                        std::uint64_t now, std::int32_t trimThresholdMiB) noexcept {
    MemoryMonitorPlan plan{};
    plan.workingSetMiB = counters.workingSetBytes >> 20;
    plan.pagefileMiB = counters.pagefileBytes >> 20;

    const std::uint64_t ws = plan.workingSetMiB;
    const std::uint64_t change = ws > state.lastLoggedMiB ? ws - state.lastLoggedMiB : state.lastLoggedMiB - ws;
    plan.logUsage = state.lastLoggedMiB == 0 || change > kLoggedWorkingSetChangeMiB;
    if (plan.logUsage) state.lastLoggedMiB = ws;

    // Sign-extended, then compared unsigned: a negative threshold becomes
    // larger than any working set and so never trims.
    const auto threshold = static_cast<std::uint64_t>(static_cast<std::int64_t>(trimThresholdMiB));
    plan.trim = ws > threshold && now - state.trimBaselineTick >= kMinimumTrimIntervalMs;
    if (plan.trim) state.trimBaselineTick = now;
    return plan;
}

void RunMemoryMonitorPass(MemoryMonitorState& state) noexcept {
    const auto counters = platform::QueryMemoryCounters();
    if (!counters) return;
    const std::uint64_t now = platform::TickCountMilliseconds();
    const std::int32_t threshold = Settings.TrimThresholdMB.load();
    const MemoryMonitorPlan plan = PlanMemoryMonitorPass(state, *counters, now, threshold);

    if (plan.logUsage)
        LogMessage("[MM] WS:%zu PF:%zu", static_cast<std::size_t>(plan.workingSetMiB),
                   static_cast<std::size_t>(plan.pagefileMiB));
    if (!plan.trim) return;
    // Claim a trim only when the system took it; a refusal still waits out
    // the full interval, so a persistent refusal costs one line per interval.
    if (platform::TrimWorkingSet()) {
        LogMessage("[MM] Trimmed WS>%d", threshold);
    } else {
        LogMessage("[MM] Trim of WS>%d refused (error %u).", threshold,
                   static_cast<unsigned>(platform::LastErrorCode()));
    }
}

platform::ThreadExitCode BW_THREAD_CALL MemoryMonitorThread(void*) {
    MemoryMonitorState state{0, platform::TickCountMilliseconds()};
    const auto sleepAndPass = [&state] {
        platform::SleepMilliseconds(kMemoryMonitorPeriodMs);
        RunMemoryMonitorPass(state);
    };
    for (int pass = 0; pass < kLateStartWorkPass; ++pass) sleepAndPass();
    if (const LateStartWork work = gLateStartWork.exchange(nullptr)) work();
    for (;;) sleepAndPass();
}

}  // namespace bw
