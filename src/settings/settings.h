// The plug-in's four tunable values and the file that overrides them.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace bw {

// A plain copy of the four values, for working on them away from the shared
// record.
struct SettingsValues {
    std::int32_t Iter;
    std::int32_t Sleep;
    bool OverlayBatch;
    std::int32_t TrimThresholdMB;
};

inline constexpr SettingsValues kBuiltInSettings{10000, 5, true, 12288};

// Every field is an atomic of its own: the memory monitor reads the
// threshold on its thread, and a second call of the load entry loads the
// file again while the first CPU worker reads the rest. Lock-free, so no
// reader ever waits; no two fields are read together as one snapshot.
struct SettingsRecord {
    std::atomic<std::int32_t> Iter;   // terms in one CPU worker batch
    std::atomic<std::int32_t> Sleep;  // pause after each CPU worker cycle, ms
    std::atomic<bool> OverlayBatch;   // the CPU worker's switch
    std::atomic<std::int32_t> TrimThresholdMB;
};

static_assert(std::atomic<std::int32_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

// Built-in defaults from the moment the library is loaded; no start-up code.
extern constinit SettingsRecord Settings;

// Data\Plugins\Brackwell.ini beside the game's executable, creating the
// folder chain on every call; the bare relative "Brackwell.ini" when the
// system can't name the executable. Nothing when the file can't be used (the
// folder can't be created, memory runs out), so the caller keeps the
// built-in values.
std::optional<std::filesystem::path> GetSettingsFilePath() noexcept;

// Writes a default file when nothing exists at the path, otherwise reads the
// file into Settings; logs what came of it. Runs once, on the CPU worker's
// thread, before that thread reads any setting.
void LoadSettings() noexcept;

}  // namespace bw
