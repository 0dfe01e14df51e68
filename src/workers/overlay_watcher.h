// The overlay watcher's pass over the game's list, written against any
// reader of memory so it can be run over made-up game objects. The list
// belongs to the game, which may free or change it at any moment: a read
// that fails, and an address that would not even fit in a pointer, make the
// pass idle instead of ending the game.
#pragma once

#include <cstdint>

#include "game/game.h"
#include "workers/run_state.h"

namespace bw {

// The pause after every pass.
inline constexpr std::uint32_t kOverlayWatcherPeriodMs = 10;

namespace detail {
inline bool OffsetAddress(std::uintptr_t base, std::uintptr_t offset, std::uintptr_t& address) noexcept {
    return !__builtin_add_overflow(base, offset, &address);
}
inline bool IsEntryAligned(std::uintptr_t address) noexcept { return address % kEntryBytes == 0; }
}  // namespace detail

// Why the watcher can never read the game's list, or nullptr when it can:
// without the fault guard no read of the game's memory is safe, and the slot
// must lie inside an image of known size.
inline const char* WatcherBlindReason(bool readGuardInstalled, GameImage image) noexcept {
    if (!readGuardInstalled) return "read guard not installed";
    if (image.size == 0) return "image not measured";
    if (image.size < kImageBytesHoldingTheSlot) return "image too small";
    return nullptr;
}

// Any non-zero entry among `count` from `first`, read one Load64 at a time:
// for readers that have no faster way to scan.
template <class Reader>
bool AnyNonZero64ByLoads(const Reader& memory, std::uintptr_t first, std::uint32_t count, bool& found) noexcept {
    found = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t value = 0;
        if (!memory.Load64(first + i * kEntryBytes, value)) return false;
        found = found || value != 0;
    }
    return true;
}

// True when the game's list holds at least one non-zero entry. A list that
// can't be the game's (see kWatchedEntriesMax) counts as idle and no entry of
// it is read. Reader has
//   bool Load64(std::uintptr_t, std::uint64_t&) const noexcept;
//   bool Load32(std::uintptr_t, std::uint32_t&) const noexcept;
//   bool AnyNonZero64(std::uintptr_t first, std::uint32_t count, bool& found) const noexcept;
// each load one of that width, false when a load would fault. Every item is
// read at most once, and every entry is read even after a non-zero one.
template <class Reader>
bool WatchedListHasEntry(const Reader& memory, GameImage image) noexcept {
    std::uintptr_t slot = 0;
    if (image.size < kImageBytesHoldingTheSlot || !detail::OffsetAddress(image.base, kWatchedListSlotOffset, slot))
        return false;
    std::uint64_t object = 0;
    if (!memory.Load64(slot, object) || object == 0 || !detail::IsEntryAligned(object)) return false;

    std::uintptr_t entriesField = 0, countField = 0;
    if (!detail::OffsetAddress(object, kEntriesOffset, entriesField) ||
        !detail::OffsetAddress(object, kEntryCountOffset, countField))
        return false;
    std::uint64_t entries = 0;
    std::uint32_t count = 0;
    if (!memory.Load64(entriesField, entries) || !memory.Load32(countField, count)) return false;
    std::uintptr_t end = 0;
    if (entries == 0 || !detail::IsEntryAligned(entries) || count > kWatchedEntriesMax ||
        !detail::OffsetAddress(entries, count * kEntryBytes, end))
        return false;

    bool found = false;
    return memory.AnyNonZero64(entries, count, found) && found;
}

// One pass without its pause: arm the batches once the settings allow them,
// then publish whether the game's list is idle.
template <class Reader>
void WatchOverlayOnce(RunStateFlags& flags, const Reader& memory, GameImage image) noexcept {
    if (flags.OverlayBatch.load()) flags.BatchArmed.exchange(true);
    flags.OverlayIdle.exchange(!WatchedListHasEntry(memory, image));
}

}  // namespace bw
