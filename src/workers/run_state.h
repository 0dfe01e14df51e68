// The flags through which the overlay watcher and the CPU worker talk. Each
// has exactly one writer and is never read together with another as one
// snapshot, so single-byte atomics and no lock are enough.
#pragma once

#include <atomic>

namespace bw {

struct RunStateFlags {
    // The settings file's switch, stored once by the CPU worker after loading.
    std::atomic<bool> OverlayBatch;
    // Latched by the watcher once it sees the switch on; never cleared.
    std::atomic<bool> BatchArmed;
    // The watched game list is absent, empty or holds only null entries.
    std::atomic<bool> OverlayIdle;
};

static_assert(sizeof(std::atomic<bool>) == 1 && std::atomic<bool>::is_always_lock_free);

extern constinit RunStateFlags RunState;

}  // namespace bw
