// The plug-in's four tunable values and the file that overrides them.
#pragma once

#include <atomic>
#include <cstdint>

namespace bw {

struct SettingsRecord {
    std::int32_t Iter;             // terms in one CPU worker batch
    std::int32_t Sleep;            // pause after each CPU worker cycle, ms
    bool OverlayBatch;             // the CPU worker's switch
    // Read by the memory monitor on its own thread while the CPU worker's
    // thread may be loading it, so it is stored and read as one atomic value.
    std::atomic<std::int32_t> TrimThresholdMB;
};

// Built-in defaults from the moment the library is loaded; no start-up code.
extern constinit SettingsRecord Settings;

}  // namespace bw
