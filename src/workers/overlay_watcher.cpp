#include "workers/overlay_watcher.h"

#include "platform/platform.h"
#include "plugin/game_base.h"
#include "workers/workers.h"

namespace bw {
namespace {

inline constexpr std::uint32_t kOverlayWatcherPeriodMs = 10;

struct GuardedGameMemory {
    bool Load64(std::uintptr_t address, std::uint64_t& value) const noexcept {
        return platform::GuardedLoad64(address, value);
    }
    bool Load32(std::uintptr_t address, std::uint32_t& value) const noexcept {
        return platform::GuardedLoad32(address, value);
    }
    bool AnyNonZero64(std::uintptr_t first, std::uint32_t count, bool& found) const noexcept {
        return platform::GuardedAnyNonZero64(first, count, found);
    }
};

}  // namespace

platform::ThreadExitCode BW_THREAD_CALL OverlayWatcherThread(void*) {
    // Without the guard no read of the game's memory is safe, so the image
    // is treated as unmeasured and the list as absent.
    const GameImage image{GameBase, platform::InstallReadGuard() ? GameImageSize : 0};
    for (;;) {
        WatchOverlayOnce(RunState, GuardedGameMemory{}, image);
        platform::SleepMilliseconds(kOverlayWatcherPeriodMs);
    }
}

}  // namespace bw
