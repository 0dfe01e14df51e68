#include "workers/overlay_watcher.h"

#include "game/game.h"
#include "log/log.h"
#include "platform/platform.h"
#include "workers/workers.h"

namespace bw {
namespace {

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
    // The size the loader recorded, not the one in the image's header, which
    // some protectors wipe once the game is loaded. Asked here, not while the
    // library loads, so that the loader's lock is not held around it.
    const GameImage measured{GameBase, platform::LoadedImageSize(GameBase)};
    const char* blind = WatcherBlindReason(platform::InstallReadGuard(), measured);
    // Said once: a blind watcher never reads the list, which counts as absent
    // for ever, so the batches the settings switched on would never run.
    if (blind != nullptr) LogMessage("[BW] Overlay watcher cannot read the game's list (%s); batches stay off.", blind);
    const GameImage image = blind == nullptr ? measured : GameImage{GameBase, 0};
    for (;;) {
        WatchOverlayOnce(RunState, GuardedGameMemory{}, image);
        platform::SleepMilliseconds(kOverlayWatcherPeriodMs);
    }
}

}  // namespace bw
