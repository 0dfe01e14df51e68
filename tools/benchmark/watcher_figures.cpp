// The overlay watcher's pass: its share of one core at its period over lists
// of several lengths; against the same pass through plain loads, what its
// fault guard costs on long lists; and what one recovered fault costs.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "figures.h"
#include "platform/platform.h"
#include "platform/win32/win32.h"
#include "table.h"
#include "workers/overlay_watcher.h"

namespace bench {
namespace {

// A reader of memory over load functions, as the pass wants one; without a
// scan function of its own it scans the entries one Load64 at a time.
template <auto kLoad64, auto kLoad32, auto kAnyNonZero64 = nullptr>
struct Reader {
    bool Load64(std::uintptr_t address, std::uint64_t& value) const noexcept { return kLoad64(address, value); }
    bool Load32(std::uintptr_t address, std::uint32_t& value) const noexcept { return kLoad32(address, value); }
    bool AnyNonZero64(std::uintptr_t first, std::uint32_t count, bool& found) const noexcept {
        if constexpr (std::is_same_v<decltype(kAnyNonZero64), std::nullptr_t>)
            return bw::AnyNonZero64ByLoads(*this, first, count, found);
        else
            return kAnyNonZero64(first, count, found);
    }
};

// One load of the item's full width with nothing to catch a fault: the
// watcher without its guard.
template <class Value>
bool PlainLoad(std::uintptr_t address, Value& value) noexcept {
    value = *reinterpret_cast<const volatile Value*>(address);
    return true;
}

// The same load, but a call of its own as each guarded load is: what is
// left of the guard's cost when the call is set aside.
template <class Value>
[[gnu::noinline]] bool CalledPlainLoad(std::uintptr_t address, Value& value) noexcept {
    return PlainLoad(address, value);
}

using PlainReader = Reader<PlainLoad<std::uint64_t>, PlainLoad<std::uint32_t>>;
using CalledPlainReader = Reader<CalledPlainLoad<std::uint64_t>, CalledPlainLoad<std::uint32_t>>;
using GuardedReader =
    Reader<bw::platform::GuardedLoad64, bw::platform::GuardedLoad32, bw::platform::GuardedAnyNonZero64>;

// Static, so it lies in this executable's image, far enough above address 0
// for the made-up image base below it not to wrap around.
std::uint64_t gSlot;

// A game object with `count` entries, only the last one non-zero, its
// address in the slot.
class WatchedList {
public:
    explicit WatchedList(std::uint32_t count) : entries_(std::max<std::uint32_t>(count, 1)) {
        entries_.back() = 1;
        const std::uint64_t* entries = entries_.data();
        std::memcpy(object_.data() + bw::kEntryCountOffset, &count, sizeof count);
        std::memcpy(object_.data() + bw::kEntriesOffset, &entries, sizeof entries);
        gSlot = reinterpret_cast<std::uint64_t>(object_.data());
    }
    // The pass reads nothing of the image but the slot.
    static bw::GameImage Image() {
        return {reinterpret_cast<std::uintptr_t>(&gSlot) - bw::kWatchedListSlotOffset,
                bw::kWatchedListSlotOffset + sizeof gSlot};
    }

private:
    std::vector<std::uint64_t> entries_;
    alignas(8) std::array<std::byte, bw::kEntriesOffset + sizeof(std::uint64_t)> object_{};
};

template <class Memory>
auto Passes(const bw::GameImage& image, bool& found) {
    return [&image, &found](long long reps) {
        for (long long r = 0; r < reps; ++r) found = bw::WatchedListHasEntry(Memory{}, image);
    };
}

// The most of one core the watcher's pass may take at its period, by the
// length of the list: each about 1.7 times the slowest of the pass's times on
// a quiet machine when the limit was set (5.3 ns, 7.2 ns, 308 ns, 18.4 us),
// and under twice the fastest (4.6 ns, 6.8 ns, 288 ns, 17.8 us). So a pass
// twice as slow fails, while a host that slows the whole machine by a third
// for a while, as this VM's sometimes does, does not. The longest is the
// longest list the watcher scans.
struct PassGoal {
    std::uint32_t entries;
    double shareOfCore;
};
constexpr PassGoal kPassGoals[] = {{0, 9e-7}, {10, 1.25e-6}, {1000, 5.2e-5}, {bw::kWatchedEntriesMax, 3.2e-3}};
constexpr double kWatcherPeriodSeconds = bw::kOverlayWatcherPeriodMs / 1000.0;

// A share of a core in percent, to three significant digits without an
// exponent, which a reader would miss among the plain decimals.
std::string Percent(double share) {
    const double percent = share * 100;
    const int decimals = percent > 0 ? std::max(0, 2 - static_cast<int>(std::floor(std::log10(percent)))) : 0;
    return Text("%.*f %%", decimals, percent);
}

std::string PassTime(double seconds) {
    return seconds < 1e-6 ? Text("%.4g ns", seconds * 1e9) : Text("%.4g us", seconds * 1e6);
}

// What a player pays: the guarded pass's share of one core when it runs once
// every period. Timed by its fastest sample, which other work on the machine
// can't slow down.
void RunShareFigure(const SamplePlan& plan, const PassGoal& goal) {
    const std::string figure = Text("watcher pass, %u entries, Wine: share of one core at one pass every %u ms",
                                    goal.entries, static_cast<unsigned>(bw::kOverlayWatcherPeriodMs));
    const WatchedList list(goal.entries);
    const bw::GameImage image = WatchedList::Image();
    bool found = false;
    const double seconds = FastestSecondsPerRep(ShortSamples(plan), Passes<GuardedReader>(image, found));
    if (found != (goal.entries > 0)) {
        PrintUnmeasuredRow(figure, "the pass misread the list");
        return;
    }
    const double share = seconds / kWatcherPeriodSeconds;
    PrintRow(figure, PassTime(seconds) + " a pass: " + Percent(share), "<= " + Percent(goal.shareOfCore),
             Text("%.3f", share / goal.shareOfCore), Holds(share <= goal.shareOfCore));
}

// The guarded pass beside the pass through `Plain`, for information: on a
// long list it shows what the guard costs per entry.
template <class Plain>
void RunGuardCostFigure(const SamplePlan& plan, std::uint32_t count, const char* plain) {
    const std::string figure = Text("watcher pass, %u entries, Wine: guarded / %s", count, plain);
    const WatchedList list(count);
    const bw::GameImage image = WatchedList::Image();
    bool guardedFound = false, plainFound = false;
    const Comparison perPass =
        CompareInterleaved(plan, Passes<GuardedReader>(image, guardedFound), Passes<Plain>(image, plainFound));
    if (!guardedFound || !plainFound)
        PrintUnmeasuredRow(figure, "the pass misread the list");
    else
        PrintComparisonRow(figure, perPass, 1e6, "us", std::nullopt);
}

// A page on which every guarded load faults: decommitted, or guarded, in
// which case every fault also has to put the guard back for the next.
void RunFaultFigure(const SamplePlan& plan, const char* kind, bool guarded) {
    const std::string figure = Text("watcher: one recovered fault (%s page), Wine", kind);
    void* page = VirtualAlloc(nullptr, 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD previous = 0;
    const bool prepared = page != nullptr && (guarded ? VirtualProtect(page, 1, PAGE_READWRITE | PAGE_GUARD, &previous)
                                                      : VirtualFree(page, 1, MEM_DECOMMIT));
    if (!prepared) {
        PrintUnmeasuredRow(figure, "no page to prepare");
        return;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(page);
    long long loadsThatWorked = 0;
    const double seconds = MedianSecondsPerRep(plan, [&](long long reps) {
        std::uint64_t value = 0;
        for (long long r = 0; r < reps; ++r) loadsThatWorked += bw::platform::GuardedLoad64(address, value) ? 1 : 0;
    });
    VirtualFree(page, 0, MEM_RELEASE);
    if (loadsThatWorked != 0)
        PrintUnmeasuredRow(figure, Text("the %s page could be read", kind));
    else
        PrintBelowRow(figure, seconds * 1e6, "us", 50);
}

}  // namespace

void RunWatcherFigures(const SamplePlan& plan) {
    if (!bw::platform::InstallReadGuard()) {
        PrintUnmeasuredRow("watcher, Wine", "the fault guard could not be installed");
        return;
    }
    for (const PassGoal& goal : kPassGoals) RunShareFigure(plan, goal);
    for (const std::uint32_t count : {1000u, bw::kWatchedEntriesMax})
        RunGuardCostFigure<PlainReader>(plan, count, "plain loads");
    RunGuardCostFigure<CalledPlainReader>(plan, bw::kWatchedEntriesMax, "plain loads each in a call");
    RunFaultFigure(plan, "decommitted", false);
    RunFaultFigure(plan, "guard", true);
}

}  // namespace bench
