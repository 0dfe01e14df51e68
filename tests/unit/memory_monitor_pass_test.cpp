#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "log/log_line.h"
#include "scratch_folder.h"
#include "settings/settings.h"
#include "workers/memory_monitor.h"

namespace {

using bw::MemoryMonitorPlan;
using bw::MemoryMonitorState;
using bw::PlanMemoryMonitorPass;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::int32_t kDefaultThreshold = 12288;

bw::platform::MemoryCounters Counters(std::uint64_t workingSetMiB, std::uint64_t pagefileMiB = 0) {
    return {workingSetMiB * kMiB, pagefileMiB * kMiB};
}

// --- When a usage line is due ----------------------------------------------

TEST(MemoryMonitorPlan, LogsTheFirstPassAndChangesOfMoreThan100MiB) {
    struct Case {
        std::uint64_t last, ws;
        bool logs;
    };
    for (const Case c : {Case{2000, 2000, false},
                         {2000, 2100, false},
                         {2000, 2101, true},
                         {2000, 1900, false},
                         {2000, 1899, true},
                         {2000, 0, true},
                         {0, 1, true},
                         {0, 5000, true}}) {
        MemoryMonitorState state{c.last, 0};
        const MemoryMonitorPlan plan = PlanMemoryMonitorPass(state, Counters(c.ws, 7), 0, -1);
        EXPECT_EQ(plan.logUsage, c.logs) << c.last << " -> " << c.ws;
        EXPECT_EQ(plan.workingSetMiB, c.ws);
        EXPECT_EQ(plan.pagefileMiB, 7u);
        EXPECT_EQ(state.lastLoggedMiB, c.logs ? c.ws : c.last) << c.last << " -> " << c.ws;
    }
}

TEST(MemoryMonitorPlan, MiBAreTruncatedAndALoggedZeroLogsAgain) {
    MemoryMonitorState state{0, 0};
    const bw::platform::MemoryCounters belowOneMiB{kMiB - 1, 3 * kMiB - 1};
    MemoryMonitorPlan plan = PlanMemoryMonitorPass(state, belowOneMiB, 0, -1);
    EXPECT_TRUE(plan.logUsage);
    EXPECT_EQ(plan.workingSetMiB, 0u);
    EXPECT_EQ(plan.pagefileMiB, 2u);
    EXPECT_EQ(state.lastLoggedMiB, 0u);

    plan = PlanMemoryMonitorPass(state, belowOneMiB, 0, -1);
    EXPECT_TRUE(plan.logUsage) << "a last logged 0 counts as nothing logged yet";
}

// --- When a trim is due ------------------------------------------------------

TEST(MemoryMonitorPlan, TrimNeedsWorkingSetAboveThresholdAndTheFullInterval) {
    struct Case {
        const char* name;
        std::int32_t threshold;
        std::uint64_t wsBytes;
        std::uint64_t baseline;
        std::uint64_t now;
        bool trims;
    };
    constexpr std::uint64_t kMax = UINT64_MAX;
    const Case cases[] = {
        {"equal to threshold", 12288, 12288 * kMiB, 0, 180000, false},
        {"1 MiB above", 12288, 12289 * kMiB, 0, 180000, true},
        {"above by less than 1 MiB", 12288, 12289 * kMiB - 1, 0, 180000, false},
        {"1 ms early", 12288, 12289 * kMiB, 0, 179999, false},
        {"interval counted from baseline", 12288, 12289 * kMiB, 1000, 181000, true},
        {"tick behind baseline, difference taken unsigned", 12288, 12289 * kMiB, 1000, 999, true},
        {"negative never", -1, kMax, 0, kMax, false},
        {"most negative never", INT32_MIN, kMax, 0, kMax, false},
        {"zero trims at 1 MiB", 0, kMiB, 0, 180000, true},
        {"zero spares below 1 MiB", 0, kMiB - 1, 0, 180000, false},
        {"largest threshold", INT32_MAX, (std::uint64_t{INT32_MAX} + 1) * kMiB, 0, 180000, true},
    };
    for (const Case& c : cases) {
        MemoryMonitorState state{1, c.baseline};
        const MemoryMonitorPlan plan = PlanMemoryMonitorPass(state, {c.wsBytes, 0}, c.now, c.threshold);
        EXPECT_EQ(plan.trim, c.trims) << c.name;
        EXPECT_EQ(state.trimBaselineTick, c.trims ? c.now : c.baseline) << c.name;
    }
}

TEST(MemoryMonitorPlan, TrimsFollowAMadeUpClockFromThreadStart) {
    constexpr std::uint64_t kStart = 40000;
    MemoryMonitorState state{0, kStart};
    std::vector<std::uint64_t> trimTicks;
    // Passes 5000 ms apart, each read 3 ms late, as a busy machine would.
    for (std::uint64_t now = kStart + 5003; now < kStart + 600000; now += 5003) {
        if (PlanMemoryMonitorPass(state, Counters(20000), now, kDefaultThreshold).trim) trimTicks.push_back(now);
    }
    ASSERT_EQ(trimTicks.size(), 3u);
    EXPECT_EQ(trimTicks[0], kStart + 36 * 5003) << "first pass at least 180000 ms after start";
    EXPECT_EQ(trimTicks[1], trimTicks[0] + 36 * 5003);
    EXPECT_EQ(trimTicks[2], trimTicks[1] + 36 * 5003);
}

TEST(MemoryMonitorPlan, TrimLeavesLastLoggedSoTheDropShowsNextPass) {
    MemoryMonitorState state{13000, 0};
    const MemoryMonitorPlan trimmed = PlanMemoryMonitorPass(state, Counters(13050), 200000, kDefaultThreshold);
    EXPECT_TRUE(trimmed.trim);
    EXPECT_FALSE(trimmed.logUsage);
    EXPECT_EQ(state.lastLoggedMiB, 13000u);

    const MemoryMonitorPlan after = PlanMemoryMonitorPass(state, Counters(900), 205000, kDefaultThreshold);
    EXPECT_TRUE(after.logUsage);
    EXPECT_FALSE(after.trim);
}

// --- One pass against the platform: query, threshold, trim and its lines ------

class MemoryMonitorPass : public ::testing::Test {
protected:
    void SetUp() override {
        bw::fake::Reset();
        bw::fake::State().documents = {bw::platform::PathStatus::Found, scratch_.path};
    }
    void TearDown() override { bw::Settings.TrimThresholdMB.store(kDefaultThreshold); }

    std::filesystem::path LogFile() const { return bw::LogDirectoryUnder(scratch_.path) / bw::kLogFileName; }

    // Log lines without their time stamps.
    std::vector<std::string> Messages() const {
        std::ifstream file(LogFile());
        std::vector<std::string> messages;
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            messages.push_back(line.substr(line.find("] ") + 2));
        }
        return messages;
    }

    // The fake clock always reads 0: a baseline this far back makes a trim due.
    static constexpr std::uint64_t kTrimDueBaseline = 0 - bw::kMinimumTrimIntervalMs;

    bw::testing::ScratchFolder scratch_;
};

TEST_F(MemoryMonitorPass, FailedQueryChangesNothingAndLogsNothing) {
    bw::fake::State().counters.reset();
    MemoryMonitorState state{0, kTrimDueBaseline};
    bw::RunMemoryMonitorPass(state);
    EXPECT_EQ(state.lastLoggedMiB, 0u);
    EXPECT_EQ(state.trimBaselineTick, kTrimDueBaseline);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MemoryMonitorPass, TrimLineSaysWhetherTheSystemTookIt) {
    struct Case {
        bool trimSucceeds;
        std::uint32_t error;
        const char* line;
    };
    for (const Case c :
         {Case{true, 0, "[MM] Trimmed WS>12288"}, Case{false, 5, "[MM] Trim of WS>12288 refused (error 5)."}}) {
        std::filesystem::remove(LogFile());
        bw::fake::State().counters = Counters(20000, 300);
        bw::fake::State().trimSucceeds = c.trimSucceeds;
        bw::fake::State().lastError = c.error;
        MemoryMonitorState state{0, kTrimDueBaseline};
        bw::RunMemoryMonitorPass(state);
        EXPECT_EQ(Messages(), (std::vector<std::string>{"[MM] WS:20000 PF:300", c.line}));
        EXPECT_EQ(state.trimBaselineTick, 0u) << "the interval restarts either way";
    }
}

TEST_F(MemoryMonitorPass, ReadsTheThresholdAfreshEveryPass) {
    bw::fake::State().counters = Counters(500);
    MemoryMonitorState state{500, kTrimDueBaseline};
    bw::RunMemoryMonitorPass(state);
    EXPECT_TRUE(Messages().empty()) << "500 MiB is below the default threshold";

    bw::Settings.TrimThresholdMB.store(-7);
    bw::RunMemoryMonitorPass(state);
    EXPECT_TRUE(Messages().empty());

    bw::Settings.TrimThresholdMB.store(499);
    bw::RunMemoryMonitorPass(state);
    EXPECT_EQ(Messages(), std::vector<std::string>{"[MM] Trimmed WS>499"});
}

}  // namespace
