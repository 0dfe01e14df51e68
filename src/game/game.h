// What the plug-in knows about the game: where its executable image lies,
// its main window's title, and the layout of the list the overlay watcher
// reads. Everything here is fixed for the game build the version record
// declares; nothing else in the plug-in hard-codes a fact of the game's.
#pragma once

#include <cstdint>

namespace bw {

// --- The game's executable image -------------------------------------------

// Load address of the process's main executable (the game, not this
// library). Taken once while the library loads, before the host can call us
// and before any of our threads exists, so readers need no synchronisation.
// The size of the image is the watcher's to ask for, from its own thread.
extern const std::uintptr_t GameBase;

struct GameImage {
    std::uintptr_t base;
    std::uintptr_t size;  // 0 when unknown: then nothing in it may be read
};

// --- The game's main window ------------------------------------------------

inline constexpr const wchar_t* kGameWindowTitle = L"Velmoria";

// --- The watched list -------------------------------------------------------

inline constexpr std::uintptr_t kWatchedListSlotOffset = 0x5EBB6B8;  // 64-bit pointer, from the image base
inline constexpr std::uintptr_t kEntryCountOffset = 0x430;           // 32-bit, in the object
inline constexpr std::uintptr_t kEntriesOffset = 0x438;              // 64-bit pointer, in the object
inline constexpr std::uintptr_t kEntryBytes = 8;
// The game's list holds a handful of overlays. A count above this, like a
// misaligned object or array, means the slot no longer points at that list
// (another game build, a freed object reused for other data), and scanning
// whatever count it claims could read gigabytes every pass. The bound keeps
// the worst pass at 512 KiB.
inline constexpr std::uint32_t kWatchedEntriesMax = 65536;
// An image smaller than this does not hold the slot.
inline constexpr std::uintptr_t kImageBytesHoldingTheSlot = kWatchedListSlotOffset + sizeof(std::uint64_t);

static_assert(sizeof(std::uintptr_t) == 8, "the game's pointers are 64 bits wide");

}  // namespace bw
