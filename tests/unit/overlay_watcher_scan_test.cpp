#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "workers/overlay_watcher.h"

namespace {

using bw::GameImage;
using bw::kWatchedListSlotOffset;
using bw::WatchedListHasEntry;

std::uintptr_t AddressOf(const void* object) { return reinterpret_cast<std::uintptr_t>(object); }

// Reads real objects of this process and notes every read. Only the ranges
// it was given are readable; a read elsewhere, or at an address in
// `faulting`, fails the way a guarded load of a released page does, except
// that it still fills in the value: a failed load's value must not be used.
struct RecordingReader {
    struct Read {
        std::uintptr_t address;
        int width;
        bool operator==(const Read&) const = default;
    };
    struct Range {
        std::uintptr_t begin, end;
    };
    std::vector<Range> readable;
    std::set<std::uintptr_t> faulting;
    mutable std::vector<Read> reads;

    bool Load64(std::uintptr_t address, std::uint64_t& value) const noexcept { return Load(address, value); }
    bool Load32(std::uintptr_t address, std::uint32_t& value) const noexcept { return Load(address, value); }
    bool AnyNonZero64(std::uintptr_t first, std::uint32_t count, bool& found) const noexcept {
        return bw::AnyNonZero64ByLoads(*this, first, count, found);
    }

    template <class Value>
    bool Load(std::uintptr_t address, Value& value) const noexcept {
        reads.push_back({address, static_cast<int>(sizeof value)});
        const bool mapped = std::any_of(readable.begin(), readable.end(), [&](const Range& r) {
            return address >= r.begin && address <= r.end - sizeof value;
        });
        if (!mapped) return false;
        std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
        return faulting.count(address) == 0;
    }
};

template <class Object>
RecordingReader::Range RangeOf(const Object& object) {
    return {AddressOf(&object), AddressOf(&object) + sizeof object};
}

// A made-up game: the slot, the object it points to and the object's entries.
struct FakeGame {
    std::uint64_t slot = 0;
    alignas(8) std::array<unsigned char, bw::kEntriesOffset + 8> object{};
    std::array<std::uint64_t, 5> entries{};

    FakeGame() { PointAtObject(); }
    void PointAtObject() { slot = AddressOf(object.data()); }
    void SetFields(std::uint64_t entriesAddress, std::uint32_t count) {
        std::memcpy(object.data() + bw::kEntriesOffset, &entriesAddress, sizeof entriesAddress);
        std::memcpy(object.data() + bw::kEntryCountOffset, &count, sizeof count);
    }
    void SetList(std::uint32_t count) { SetFields(AddressOf(entries.data()), count); }
    RecordingReader Reader() const { return {{RangeOf(slot), RangeOf(object), RangeOf(entries)}, {}, {}}; }

    // The image is never read but at the slot, so its base need not be mapped.
    GameImage Image() const { return {AddressOf(&slot) - kWatchedListSlotOffset, kWatchedListSlotOffset + 8}; }
    std::uintptr_t EntriesField() const { return AddressOf(object.data() + bw::kEntriesOffset); }
    std::uintptr_t CountField() const { return AddressOf(object.data() + bw::kEntryCountOffset); }
    std::uintptr_t Entry(int i) const { return AddressOf(&entries[static_cast<std::size_t>(i)]); }
};

TEST(OverlayWatcherScan, FindsANonZeroEntryAnywhereInTheList) {
    struct Case {
        const char* name;
        std::uint32_t count;
        std::array<std::uint64_t, 5> entries;
        bool found;
    };
    const Case cases[] = {
        {"only the last of 5 non-zero", 5, {0, 0, 0, 0, 0x1234}, true},
        {"only the first non-zero", 5, {0xFFFFFFFF00000000, 0, 0, 0, 0}, true},
        {"5 zero entries", 5, {0, 0, 0, 0, 0}, false},
        {"count 0", 0, {1, 1, 1, 1, 1}, false},
        {"non-zero entry beyond the count", 2, {0, 0, 7, 0, 0}, false},
    };
    for (const Case& c : cases) {
        FakeGame game;
        game.entries = c.entries;
        game.SetList(c.count);
        EXPECT_EQ(WatchedListHasEntry(game.Reader(), game.Image()), c.found) << c.name;
    }
}

TEST(OverlayWatcherScan, ReadsEachItemOnceAtFullWidthAndEveryEntry) {
    FakeGame game;
    game.entries = {9, 0, 0, 0, 0};
    game.SetList(5);
    RecordingReader reader = game.Reader();
    ASSERT_TRUE(WatchedListHasEntry(reader, game.Image()));
    using Read = RecordingReader::Read;
    const std::vector<Read> expected = {
        {AddressOf(&game.slot), 8}, {game.EntriesField(), 8}, {game.CountField(), 4}, {game.Entry(0), 8},
        {game.Entry(1), 8},         {game.Entry(2), 8},       {game.Entry(3), 8},     {game.Entry(4), 8},
    };
    EXPECT_EQ(reader.reads, expected);
}

// Absent lists, and lists that can't be the game's: no entry is read.
TEST(OverlayWatcherScan, AbsentListsAreIdleWithoutReadingFurther) {
    FakeGame game;
    const std::uint64_t entries = game.Entry(0);
    struct Case {
        const char* name;
        std::optional<std::uintptr_t> objectShift;  // none: a null slot
        std::uint64_t entries;
        std::uint32_t count;
        std::size_t reads;
    };
    const Case cases[] = {
        {"null slot", std::nullopt, 0, 0, 1},
        {"null entries with a count", 0, 0, 5, 3},
        {"entries ending past the top of memory", 0, UINT64_MAX - 15, 3, 3},
        {"a count above the limit", 0, entries, bw::kWatchedEntriesMax + 1, 3},
        {"a count at the limit is scanned, up to the sixth entry the fake lacks", 0, entries, bw::kWatchedEntriesMax,
         3 + 6},
        {"entries not 8-byte aligned", 0, entries + 4, 1, 3},
        {"object not 8-byte aligned", 4, entries, 1, 1},
    };
    for (const Case& c : cases) {
        game.SetFields(c.entries, c.count);
        game.slot = c.objectShift ? AddressOf(game.object.data()) + *c.objectShift : 0;
        RecordingReader reader = game.Reader();
        EXPECT_FALSE(WatchedListHasEntry(reader, game.Image())) << c.name;
        EXPECT_EQ(reader.reads.size(), c.reads) << c.name;
    }
}

// The reason is what the log says when the watcher can't watch.
TEST(OverlayWatcherScan, SlotOutsideTheImageIsNeverReadAndTheReasonIsNamed) {
    FakeGame game;
    game.SetList(1);
    game.entries[0] = 1;
    const GameImage image = game.Image();
    struct Case {
        const char* name;
        GameImage image;
        bool found;
        std::string blindReason;
    };
    const Case cases[] = {
        {"image covers the slot exactly", image, true, ""},
        {"image 1 byte short", {image.base, image.size - 1}, false, "image too small"},
        {"image not measured", {image.base, 0}, false, "image not measured"},
        {"slot address would overflow", {UINTPTR_MAX - kWatchedListSlotOffset + 1, image.size}, false, ""},
    };
    for (const Case& c : cases) {
        RecordingReader reader = game.Reader();
        EXPECT_EQ(WatchedListHasEntry(reader, c.image), c.found) << c.name;
        EXPECT_EQ(reader.reads.empty(), !c.found) << c.name;
        const char* reason = bw::WatcherBlindReason(true, c.image);
        EXPECT_EQ(reason != nullptr ? reason : "", c.blindReason) << c.name;
    }
    EXPECT_STREQ(bw::WatcherBlindReason(false, image), "read guard not installed");
}

TEST(OverlayWatcherScan, ObjectWhoseFieldsWouldPassTheTopOfMemoryIsIdle) {
    // The count field still fits below the top; the entries field would not.
    std::uint64_t slot = UINTPTR_MAX - bw::kEntryCountOffset - 4;
    RecordingReader reader{{RangeOf(slot)}, {}, {}};
    EXPECT_FALSE(WatchedListHasEntry(reader, {AddressOf(&slot) - kWatchedListSlotOffset, kWatchedListSlotOffset + 8}));
    EXPECT_EQ(reader.reads.size(), 1u);
}

TEST(OverlayWatcherScan, AnyFaultingReadMakesThePassIdle) {
    FakeGame game;
    game.entries = {5, 0, 0, 0, 0};
    game.SetList(5);
    const std::vector<std::pair<std::string, std::uintptr_t>> faults = {
        {"slot", AddressOf(&game.slot)},
        {"entries field", game.EntriesField()},
        {"count field", game.CountField()},
        {"first entry", game.Entry(0)},
        {"an entry after a found one", game.Entry(3)},
    };
    for (const auto& [name, address] : faults) {
        RecordingReader reader = game.Reader();
        reader.faulting.insert(address);
        EXPECT_FALSE(WatchedListHasEntry(reader, game.Image())) << name;
    }
}

// --- Whole passes: arming and the idle flag ------------------------------------

TEST(OverlayWatcherPass, ArmsOnlyOnceTheSwitchIsOnAndNeverDisarms) {
    FakeGame game;
    game.SetList(0);
    bw::RunStateFlags flags{};
    for (int pass = 0; pass < 3; ++pass) {
        bw::WatchOverlayOnce(flags, game.Reader(), game.Image());
        EXPECT_FALSE(flags.BatchArmed.load());
    }
    flags.OverlayBatch.store(true);
    bw::WatchOverlayOnce(flags, game.Reader(), game.Image());
    EXPECT_TRUE(flags.BatchArmed.load());

    flags.OverlayBatch.store(false);  // never happens in the plug-in; the latch holds anyway
    bw::WatchOverlayOnce(flags, game.Reader(), game.Image());
    EXPECT_TRUE(flags.BatchArmed.load());
}

TEST(OverlayWatcherPass, IdleFlagFollowsTheListWithinOnePass) {
    FakeGame game;
    game.SetList(5);
    bw::RunStateFlags flags{};
    const auto pass = [&] {
        bw::WatchOverlayOnce(flags, game.Reader(), game.Image());
        return flags.OverlayIdle.load();
    };
    EXPECT_TRUE(pass());
    game.entries[2] = 0xABC;
    EXPECT_FALSE(pass());
    game.entries[2] = 0;
    EXPECT_TRUE(pass());
    game.entries[4] = 1;
    EXPECT_FALSE(pass());
    game.slot = 0;
    EXPECT_TRUE(pass());
}

}  // namespace
