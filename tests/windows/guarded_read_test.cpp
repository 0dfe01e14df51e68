// Guarded loads against real Windows memory: pages that are there, pages that
// are not, many faults at once, and faults that are not ours to recover.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32.h"
#include "test_support.h"

namespace {

using bw::platform::GuardedLoad32;
using bw::platform::GuardedLoad64;

std::uintptr_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

// One readable page with a page behind it that is reserved but never
// committed, so a load there faults and the address stays ours.
struct PageBeforeAHole {
    std::uintptr_t readable = 0;
    std::uintptr_t hole = 0;

    PageBeforeAHole() {
        void* base = VirtualAlloc(nullptr, 2 * PageSize(), MEM_RESERVE, PAGE_NOACCESS);
        if (base == nullptr || VirtualAlloc(base, PageSize(), MEM_COMMIT, PAGE_READWRITE) == nullptr) return;
        readable = reinterpret_cast<std::uintptr_t>(base);
        hole = readable + PageSize();
    }
    ~PageBeforeAHole() {
        if (readable != 0) VirtualFree(reinterpret_cast<void*>(readable), 0, MEM_RELEASE);
    }
};

template <class Value>
void Store(std::uintptr_t address, Value value) {
    *reinterpret_cast<volatile Value*>(address) = value;
}

// Committed, then given up: what the game leaves behind when it frees.
std::uintptr_t ReleasedPage() {
    void* page = VirtualAlloc(nullptr, PageSize(), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    VirtualFree(page, 0, MEM_RELEASE);
    return reinterpret_cast<std::uintptr_t>(page);
}

struct NoAccessPage {
    std::uintptr_t address =
        reinterpret_cast<std::uintptr_t>(VirtualAlloc(nullptr, PageSize(), MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
    ~NoAccessPage() { VirtualFree(reinterpret_cast<void*>(address), 0, MEM_RELEASE); }
};

// The game (or its crash reporter) added a handler before the plug-in
// installed its guard; the guard still goes first, so that handler sees none
// of the faults the guard recovers. ctest runs each case in a process of its
// own, so this one installs the guard.
std::atomic<int> gFaultsSeenByTheGame{0};

LONG CALLBACK CountFaults(EXCEPTION_POINTERS*) {
    ++gFaultsSeenByTheGame;
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(ReadGuardOrder, AHandlerTheGameAddedEarlierSeesNoRecoveredFault) {
    void* handler = AddVectoredExceptionHandler(1, CountFaults);
    ASSERT_NE(handler, nullptr);
    ASSERT_TRUE(bw::platform::InstallReadGuard());
    std::uint64_t value = 0;
    EXPECT_FALSE(GuardedLoad64(ReleasedPage(), value));
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(gFaultsSeenByTheGame.load(), 0);
}

class GuardedRead : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bw::platform::InstallReadGuard());
        ASSERT_NE(pages_.readable, 0u);
    }
    PageBeforeAHole pages_;
};

TEST_F(GuardedRead, InstallingAgainFromOtherThreadsReportsInstalled) {
    std::atomic<int> installed{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&] { installed += bw::platform::InstallReadGuard() ? 1 : 0; });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(installed.load(), 4);
}

TEST_F(GuardedRead, MappedMemoryReadsAtFullWidthUpToThePagesLastByte) {
    const std::uintptr_t last8 = pages_.hole - 8;
    Store<std::uint64_t>(last8, 0x1122334455667788);
    Store<std::uint64_t>(pages_.readable + 3, 0xA1B2C3D4E5F60718);

    std::uint64_t value64 = 0;
    EXPECT_TRUE(GuardedLoad64(last8, value64));
    EXPECT_EQ(value64, 0x1122334455667788u);
    EXPECT_TRUE(GuardedLoad64(pages_.readable + 3, value64)) << "unaligned";
    EXPECT_EQ(value64, 0xA1B2C3D4E5F60718u);

    std::uint32_t value32 = 0;
    EXPECT_TRUE(GuardedLoad32(pages_.hole - 4, value32));
    EXPECT_EQ(value32, 0x11223344u);
    EXPECT_TRUE(GuardedLoad32(last8, value32));
    EXPECT_EQ(value32, 0x55667788u);
}

TEST_F(GuardedRead, LoadsThatWouldFaultReturnFalseAndLeaveTheValue) {
    const NoAccessPage noAccess;
    struct Case {
        const char* name;
        std::uintptr_t address64;
        std::uintptr_t address32;
    };
    const Case cases[] = {
        {"null", 0, 0},
        {"first page", 8, 8},
        {"reserved, never committed", pages_.hole, pages_.hole},
        {"straddling into the hole", pages_.hole - 4, pages_.hole - 2},
        {"released", ReleasedPage(), ReleasedPage()},
        {"no access", noAccess.address, noAccess.address + 4},
        {"kernel half", 0xFFFF800000000000, 0xFFFF800000000000},
        {"non-canonical", 0x8000000000000000, 0x8000000000000000},
    };
    for (const Case& c : cases) {
        std::uint64_t value64 = 0xDEAD;
        std::uint32_t value32 = 0xBEEF;
        EXPECT_FALSE(GuardedLoad64(c.address64, value64)) << c.name;
        EXPECT_FALSE(GuardedLoad32(c.address32, value32)) << c.name;
        EXPECT_EQ(value64, 0xDEADu) << c.name;
        EXPECT_EQ(value32, 0xBEEFu) << c.name;
    }
}

// The scan reads a whole array in one call: it must see an entry in any
// position, the page's last one included, and fail, not crash, when the
// array runs into memory that is gone.
TEST_F(GuardedRead, ScanFindsANonZeroEntryAnywhereAndFailsAtAHole) {
    const std::uintptr_t entries = PageSize() / 8;
    const std::uintptr_t first = pages_.readable;
    bool found = true;
    EXPECT_TRUE(bw::platform::GuardedAnyNonZero64(first, 0, found));
    EXPECT_FALSE(found);
    EXPECT_TRUE(bw::platform::GuardedAnyNonZero64(first, static_cast<std::uint32_t>(entries), found));
    EXPECT_FALSE(found) << "a fresh page is all zeros";
    for (std::uintptr_t at : {std::uintptr_t{0}, entries / 2, entries - 1}) {
        Store<std::uint64_t>(first + at * 8, 1ull << (at % 64));
        EXPECT_TRUE(bw::platform::GuardedAnyNonZero64(first, static_cast<std::uint32_t>(entries), found));
        EXPECT_TRUE(found) << "entry " << at;
        Store<std::uint64_t>(first + at * 8, 0);
    }
    Store<std::uint64_t>(first, 7);
    const auto wholeRegister = reinterpret_cast<bool (*)(std::uintptr_t, std::uint64_t, bool&)>(
        reinterpret_cast<void (*)()>(&bw::platform::GuardedAnyNonZero64));
    EXPECT_TRUE(wholeRegister(first, 0xA5A5A5A5ull << 32 | entries, found) && found) << "junk above the 32-bit count";
    found = true;
    EXPECT_FALSE(bw::platform::GuardedAnyNonZero64(first, static_cast<std::uint32_t>(entries + 1), found));
    EXPECT_FALSE(found) << "a scan that faulted reports nothing found";
    EXPECT_FALSE(bw::platform::GuardedAnyNonZero64(ReleasedPage(), 3, found));
}

TEST_F(GuardedRead, ThreeThreadsRecoverEveryOneOfManyFaults) {
    constexpr int kFaultsPerThread = 2000;
    Store<std::uint64_t>(pages_.readable, 42);
    const auto run = [this](std::atomic<int>& recovered, std::atomic<int>& goodReads) {
        for (int i = 0; i < kFaultsPerThread; ++i) {
            std::uint64_t value = 0;
            if (!GuardedLoad64(pages_.hole + static_cast<std::uintptr_t>(i % 512) * 8, value)) ++recovered;
            if (GuardedLoad64(pages_.readable, value) && value == 42) ++goodReads;
        }
    };
    std::atomic<int> recovered{0}, goodReads{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) threads.emplace_back(run, std::ref(recovered), std::ref(goodReads));
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(recovered.load(), 3 * kFaultsPerThread);
    EXPECT_EQ(goodReads.load(), 3 * kFaultsPerThread);
}

// A guard page of the game's gets its guard back on top of its own
// protection, so a read-only page never becomes writable.
TEST_F(GuardedRead, AGuardPageGetsBackExactlyItsOwnProtection) {
    for (const DWORD protection : {PAGE_READONLY, PAGE_READWRITE, PAGE_EXECUTE_READ}) {
        void* page = VirtualAlloc(nullptr, 1, MEM_RESERVE | MEM_COMMIT, protection | PAGE_GUARD);
        ASSERT_NE(page, nullptr) << protection;
        std::uint64_t value = 0;
        EXPECT_FALSE(GuardedLoad64(reinterpret_cast<std::uintptr_t>(page), value)) << protection;
        MEMORY_BASIC_INFORMATION info{};
        ASSERT_NE(VirtualQuery(page, &info, sizeof info), 0u);
        EXPECT_EQ(info.Protect, protection | PAGE_GUARD) << protection;
        VirtualFree(page, 0, MEM_RELEASE);
    }
}

// Windows raises EXCEPTION_IN_PAGE_ERROR for a load from a mapped file it can
// no longer read in; Wine raises an access violation there instead (seen
// with a view whose file was cut short behind it). So a handler ahead of the
// guard turns the access violation at the hole into the in-page error.
std::uintptr_t gInPageErrorAt = 0;
std::atomic<int> gInPageErrors{0};

LONG CALLBACK RaiseAsInPageError(EXCEPTION_POINTERS* exception) {
    EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.ExceptionInformation[1] == gInPageErrorAt) {
        record.ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
        record.NumberParameters = 3;
        record.ExceptionInformation[2] = 0xC000009D;  // STATUS_DEVICE_NOT_CONNECTED
        ++gInPageErrors;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(GuardedRead, AnInPageErrorAtTheLoadIsRecoveredToo) {
    gInPageErrorAt = pages_.hole;
    void* handler = AddVectoredExceptionHandler(1, RaiseAsInPageError);
    ASSERT_NE(handler, nullptr);
    std::uint64_t value = 0xDEAD;
    bool found = true;
    EXPECT_FALSE(GuardedLoad64(pages_.hole, value));
    EXPECT_FALSE(bw::platform::GuardedAnyNonZero64(pages_.hole, 2, found));
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(gInPageErrors.load(), 2) << "the faults did not reach the guard as in-page errors";
    EXPECT_EQ(value, 0xDEADu);
}

// Under hardware-enforced stack protection a thread may go on only where it stopped. Ahead of the guard, the
// trap flag set as the fault passes by stops the thread again one instruction after where it went on.
DWORD64 gFaultedAt = 0, gSteppedTo = 0;
LONG CALLBACK TraceWhereTheFaultGoesOn(EXCEPTION_POINTERS* exception) {
    CONTEXT& context = *exception->ContextRecord;
    const bool step = exception->ExceptionRecord->ExceptionCode == EXCEPTION_SINGLE_STEP;
    (step ? gSteppedTo : gFaultedAt) = context.Rip;
    context.EFlags = step ? context.EFlags & ~0x100u : context.EFlags | 0x100u;  // the trap flag
    return step ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(GuardedRead, ARecoveredFaultGoesOnAtTheFaultingLoad) {
    void* handler = AddVectoredExceptionHandler(1, TraceWhereTheFaultGoesOn);
    ASSERT_NE(handler, nullptr);
    std::uint64_t value = 0;
    EXPECT_FALSE(GuardedLoad64(pages_.hole, value));
    RemoveVectoredExceptionHandler(handler);
    EXPECT_GT(gSteppedTo, gFaultedAt);
    EXPECT_LE(gSteppedTo, gFaultedAt + 15) << "more than one instruction on: none is longer than 15 bytes";
}

// --- Faults that are not the guarded load itself are passed on -------------

// A handler behind ours that repairs the two faults below by pointing the
// faulting instruction's register at readable memory, and counts them. If our
// handler took them, it never would see them.
std::atomic<int> gRepairs{0};
std::uint64_t gRepairSource = 0x5EED5EED5EED5EED;
std::uint64_t gRepairedOut = 0;
std::uintptr_t gUnwritableOut = 0;

LONG CALLBACK RepairTestFaults(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT& context = *exception->ContextRecord;
    if (context.Rip == reinterpret_cast<DWORD64>(&bwtest_PlainLoad64)) {
        context.Rcx = reinterpret_cast<DWORD64>(&gRepairSource);
    } else if (exception->ExceptionRecord->ExceptionInformation[1] == gUnwritableOut) {
        context.Rdx = reinterpret_cast<DWORD64>(&gRepairedOut);
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    ++gRepairs;
    return EXCEPTION_CONTINUE_EXECUTION;
}

class OtherFaults : public GuardedRead {
protected:
    void SetUp() override {
        GuardedRead::SetUp();
        gRepairs = 0;
        repairHandler_ = AddVectoredExceptionHandler(0, RepairTestFaults);
        ASSERT_NE(repairHandler_, nullptr);
    }
    void TearDown() override { RemoveVectoredExceptionHandler(repairHandler_); }
    void* repairHandler_ = nullptr;
};

TEST_F(OtherFaults, ALoadElsewhereIsNotRecoveredByTheGuard) {
    EXPECT_EQ(bwtest_PlainLoad64(pages_.hole), gRepairSource);
    EXPECT_EQ(gRepairs.load(), 1);
}

TEST_F(OtherFaults, AFaultingStoreInsideTheGuardedRoutineIsNotRecovered) {
    // Only the load instruction is guarded; the store to the caller's
    // variable is ours to get right and must fault loudly if we don't.
    Store<std::uint64_t>(pages_.readable, 77);
    gUnwritableOut = pages_.hole;
    auto& unwritable = *reinterpret_cast<std::uint64_t*>(pages_.hole);
    EXPECT_TRUE(GuardedLoad64(pages_.readable, unwritable));
    EXPECT_EQ(gRepairedOut, 77u);
    EXPECT_EQ(gRepairs.load(), 1);
}

}  // namespace
