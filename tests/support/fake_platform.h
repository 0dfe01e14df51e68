// A scriptable stand-in for the platform layer, so the portable code runs
// natively: tests set what the "system" answers and read back what the code
// asked of it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace bw::fake {

struct Platform {
    platform::PathLookup documents{platform::PathStatus::Unavailable, {}};
    platform::PathLookup executable{platform::PathStatus::Unavailable, {}};

    // The game window: null means no window has the title.
    platform::WindowHandle window = nullptr;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::optional<platform::WindowRect> rect;
    // Whether the caller owns the window; a thread for the window step is
    // never made, so a window of another thread is changed in place.
    bool windowOfThisThread = true;

    bool pinSucceeds = true;
    // Thread starts fail from this index on (0-based); -1 never.
    int failThreadsFrom = -1;
    std::vector<platform::ThreadProcedure> startedThreads;

    std::optional<platform::MemoryCounters> counters;
    bool trimSucceeds = true;
    std::uint32_t lastError = 0;

    // Appends that still find the file held by another program; every
    // append counts it down, past zero too. Touched under the log's lock.
    long long appendsInUse = 0;
    std::vector<platform::ExportedData> otherModules;
    // Removals and emptyings of a file made while the calling thread did
    // not hold the log's lock: a later copy's line could come between.
    int fileChangesOutsideTheLogLock = 0;

    // Every window, message-box and thread call, in order, as readable text.
    std::vector<std::string> calls;
};

// The one fake instance; Reset() gives every test a fresh one.
Platform& State();
void Reset();
std::mutex& Lock();

}  // namespace bw::fake
