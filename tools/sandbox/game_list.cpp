#include "game_list.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <thread>

#include "game/game.h"
#include "platform/win32/win32.h"

namespace sandbox {
namespace {

// A small program's image ends far before the slot's offset. This
// zero-filled area (in .bss, so the file stays small) stretches our own image
// past it, so the slot is memory we own, as it is in the game.
constexpr std::size_t kImageAreaBytes = 0x6000000;
alignas(64) std::byte gImageArea[kImageAreaBytes];

struct WatchedGameObject {
    std::byte unrelated[bw::kEntryCountOffset];
    std::atomic<std::uint32_t> EntryCount;
    std::uint32_t padding;
    std::atomic<std::uint64_t*> Entries;
};
static_assert(offsetof(WatchedGameObject, EntryCount) == bw::kEntryCountOffset);
static_assert(offsetof(WatchedGameObject, Entries) == bw::kEntriesOffset);

constexpr std::uint32_t kEntryCount = 5;
WatchedGameObject gObject;
std::uint64_t gEntries[kEntryCount];

std::atomic<std::uint64_t>* Slot() {
    const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
    const auto slot = base + bw::kWatchedListSlotOffset;
    const auto areaStart = reinterpret_cast<std::uintptr_t>(gImageArea);
    if (slot < areaStart || slot + sizeof(std::uint64_t) > areaStart + kImageAreaBytes) return nullptr;
    return reinterpret_cast<std::atomic<std::uint64_t>*>(slot);
}

void SetEntries(std::uint64_t last) {
    for (std::uint32_t i = 0; i + 1 < kEntryCount; ++i) std::atomic_ref(gEntries[i]).store(0);
    std::atomic_ref(gEntries[kEntryCount - 1]).store(last);
}

// Arrays from whole pages of their own, so a released one is truly
// inaccessible and a late read of it faults, as it would in the game.
std::uint64_t* NewPageArray(std::uint32_t count, std::uint64_t last) {
    auto* entries = static_cast<std::uint64_t*>(
        VirtualAlloc(nullptr, count * sizeof(std::uint64_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (entries != nullptr) entries[count - 1] = last;
    return entries;
}

// Big enough that a scan of it takes long compared with the game's
// millisecond step, so the game often releases an array mid-scan.
constexpr std::uint32_t kChurnEntryCount = 1u << 16;

// The page array the object points at, if it is one; released when replaced.
std::uint64_t* gPageArray = nullptr;

// The page of a Guarded* state, and whether it holds a copy of the object.
void* gGuardedPage = nullptr;
bool gGuardedPageIsObject = false;

void Guard(void* page) {
    DWORD previous = 0;
    VirtualProtect(page, sizeof(WatchedGameObject), PAGE_READWRITE | PAGE_GUARD, &previous);
}

// The object as the game might place it: on a page of its own, guarded.
WatchedGameObject* NewGuardedObject(std::uint64_t* entries) {
    void* page = VirtualAlloc(nullptr, sizeof(WatchedGameObject), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (page == nullptr) return nullptr;
    WatchedGameObject* placed = std::construct_at(static_cast<WatchedGameObject*>(page));
    placed->EntryCount.store(kEntryCount);
    placed->Entries.store(entries);
    Guard(page);
    return placed;
}

void PublishEntries(std::uint64_t* entries, bool isPageArray) {
    gObject.Entries.store(entries);
    if (gPageArray != nullptr && gPageArray != entries) VirtualFree(gPageArray, 0, MEM_RELEASE);
    gPageArray = isPageArray ? entries : nullptr;
}

bool ParseState(const std::wstring& word, ListState& state) {
    static constexpr struct {
        const wchar_t* name;
        ListState state;
    } kNames[] = {{L"absent", ListState::Absent},
                  {L"empty", ListState::Empty},
                  {L"present", ListState::Present},
                  {L"cleared", ListState::Cleared},
                  {L"null-entries", ListState::NullEntries},
                  {L"freed-entries", ListState::FreedEntries},
                  {L"guarded-entries", ListState::GuardedEntries},
                  {L"guarded-object", ListState::GuardedObject}};
    for (const auto& entry : kNames)
        if (word == entry.name) {
            state = entry.state;
            return true;
        }
    return false;
}

}  // namespace

bool InstallWatchedGameObject() {
    std::atomic<std::uint64_t>* slot = Slot();
    if (slot == nullptr) return false;
    slot->store(reinterpret_cast<std::uint64_t>(&gObject));
    return true;
}

void SetListState(ListState state) {
    std::atomic<std::uint64_t>* slot = Slot();
    if (slot == nullptr) return;
    void* const oldGuardedObject = gGuardedPageIsObject ? gGuardedPage : nullptr;
    gGuardedPage = nullptr;
    gGuardedPageIsObject = false;
    if (state == ListState::Absent) {
        slot->store(0);
    } else {
        const bool entryPresent =
            state == ListState::Present || state == ListState::GuardedEntries || state == ListState::GuardedObject;
        SetEntries(entryPresent ? reinterpret_cast<std::uint64_t>(&gObject) : 0);
        if (state == ListState::FreedEntries) {
            // Decommitted, not released: reads fault, and the address can't be
            // handed out again while the object still points there.
            std::uint64_t* entries = NewPageArray(kEntryCount, 1);
            if (entries != nullptr) VirtualFree(entries, kEntryCount * sizeof(std::uint64_t), MEM_DECOMMIT);
            PublishEntries(entries, true);
        } else if (state == ListState::GuardedEntries) {
            std::uint64_t* entries = NewPageArray(kEntryCount, 1);
            if (entries != nullptr) {
                Guard(entries);
                gGuardedPage = entries;
            }
            PublishEntries(entries, true);
        } else {
            PublishEntries(state == ListState::NullEntries ? nullptr : gEntries, false);
        }
        gObject.EntryCount.store(state == ListState::Empty ? 0 : kEntryCount);
        WatchedGameObject* object = &gObject;
        if (state == ListState::GuardedObject) {
            object = NewGuardedObject(gEntries);  // null, so the list is absent, without a page
            gGuardedPage = object;
            gGuardedPageIsObject = true;
        }
        slot->store(reinterpret_cast<std::uint64_t>(object));
    }
    // Released only once the slot no longer points there; a late read of it
    // faults, as it would in the game.
    if (oldGuardedObject != nullptr) VirtualFree(oldGuardedObject, 0, MEM_RELEASE);
}

void* GuardedListPage() { return gGuardedPage; }

bool ParseListScript(const std::wstring& script, std::vector<ListChange>& changes) {
    changes.clear();
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t end = script.find(L',', start);
        if (end == std::wstring::npos) end = script.size();
        const std::wstring item = script.substr(start, end - start);
        const std::size_t colon = item.find(L':');
        ListChange change{};
        if (colon == std::wstring::npos || !ParseState(item.substr(colon + 1), change.state)) return false;
        change.atMs = static_cast<unsigned>(std::wcstoul(item.substr(0, colon).c_str(), nullptr, 10));
        changes.push_back(change);
        start = end + 1;
    }
    return !changes.empty();
}

void PlayListScript(std::vector<ListChange> changes) {
    std::thread([changes = std::move(changes)] {
        const ULONGLONG start = GetTickCount64();
        for (const ListChange& change : changes) {
            const ULONGLONG due = start + change.atMs;
            const ULONGLONG now = GetTickCount64();
            if (due > now) Sleep(static_cast<DWORD>(due - now));
            SetListState(change.state);
        }
    }).detach();
}

void ChurnList(unsigned durationMs) {
    const ULONGLONG end = GetTickCount64() + durationMs;
    for (unsigned round = 0; GetTickCount64() < end; ++round) {
        if (round % 7 == 0) {
            SetListState(round % 14 == 0 ? ListState::Absent : ListState::Cleared);
        } else {
            std::uint64_t* fresh = NewPageArray(kChurnEntryCount, round);
            gObject.EntryCount.store(fresh != nullptr ? kChurnEntryCount : 0);
            PublishEntries(fresh, true);
            Slot()->store(reinterpret_cast<std::uint64_t>(&gObject));
        }
        Sleep(1);
    }
    SetListState(ListState::Present);
}

}  // namespace sandbox
