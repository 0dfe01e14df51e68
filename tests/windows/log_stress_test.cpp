// The log code itself (not through the DLL, whose exports stay two) under
// three writers at once into the real log path, while the DLL, a second copy
// of the same code with statics of its own, logs flat out beside them: every
// line of both must arrive exactly once and whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "log/log.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;

class LogStress : public ::testing::Test {
protected:
    void SetUp() override { wintest::ClearGameFolders(); }
    // The flat-out settings must not reach the next test program.
    void TearDown() override { wintest::ClearGameFolders(); }
};

TEST_F(LogStress, ThreeWritersTenThousandLinesEachBesideTheDllEveryLineWholeExactlyOnce) {
    constexpr int kWriters = 3;
    constexpr int kLinesEach = 10000;
    // A progress line every hundred batches of two terms, with no pause.
    wintest::WriteBytes(wintest::SettingsPath(), "Iter=2\r\nSleep=0\r\n");
    wintest::StartBrackwellInGame(sandbox::ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("] [BW] CPU worker active: 0.010000\r\n"));
    SYSTEMTIME startedAt{}, endedAt{};
    GetLocalTime(&startedAt);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([w] {
            for (int i = 0; i < kLinesEach; ++i) bw::LogMessage("[W%d] %05d written under contention", w, i);
        });
    for (auto& writer : writers) writer.join();
    GetLocalTime(&endedAt);

    std::string bytes = wintest::ReadBytes(wintest::LogPath());
    bytes.resize(bytes.rfind('\n') + 1);  // the DLL goes on: a line being written is not one yet
    const int hour = std::stoi(bytes.substr(12, 2));
    EXPECT_TRUE(hour == startedAt.wHour || hour == endedAt.wHour) << bytes.substr(0, 22) << " at " << startedAt.wHour;
    // The writers' lines, the DLL's progress lines, and its others.
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] (?:\[W(\d)\] (\d{5}) written under contention|)"
                          R"(\[BW\] CPU worker active: (\d+\.\d{6})|\[(?:BW|MM)\] [^\r\n]*)\r)");
    std::vector<std::vector<int>> seen(kWriters, std::vector<int>(kLinesEach, 0));
    std::istringstream lines(bytes);
    int total = 0, garbled = 0;
    long long hundredths = 0, progressGaps = 0;
    for (std::string text; std::getline(lines, text); ++total) {
        std::smatch match;
        if (!std::regex_match(text, match, line)) {
            if (++garbled <= 5) ADD_FAILURE() << "garbled line " << total << ": " << text;
        } else if (match[1].matched) {
            ++seen[std::stoi(match[1])][std::stoi(match[2])];
        } else if (match[3].matched) {
            // The n-th progress line shows n hundredths: a gap is a line lost.
            const long long shown = std::llround(std::stod(match[3]) * 100);
            progressGaps += shown != hundredths + 1;
            hundredths = shown;
        }
    }
    int lost = 0;
    for (const auto& writer : seen)
        for (int copies : writer) lost += copies == 0;
    std::printf("reliability: stress lines=%d expected=%d lost=%lld garbled=%d\n", total, kWriters * kLinesEach,
                lost + progressGaps, garbled);
    EXPECT_EQ(garbled, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(progressGaps, 0) << "up to " << hundredths << " hundredths";
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kLinesEach; ++i) ASSERT_EQ(seen[w][i], 1) << "writer " << w << " line " << i;
}

TEST(LogLock, AHolderThatEndedHandsItOnOneThatNeverLetsGoCostsTheLineNotTheThread) {
    wintest::RemoveAll(wintest::LogPath());
    // The lock every copy shares, taken as another copy's thread would take it.
    wchar_t name[64];
    swprintf(name, sizeof name / sizeof name[0], L"Local\\Brackwell.Log.%lu", GetCurrentProcessId());
    const HANDLE lock = CreateMutexW(nullptr, FALSE, name);
    std::thread([lock] { WaitForSingleObject(lock, INFINITE); }).join();  // ends holding it
    bw::LogMessage("[BW] after a holder that ended");
    EXPECT_EQ(wintest::ReadBytes(wintest::LogPath()).substr(20), "] [BW] after a holder that ended\r\n");

    std::atomic<bool> held{false}, done{false};
    std::thread holder([&] {
        WaitForSingleObject(lock, INFINITE);
        held = true;
        wintest::WaitUntil([&] { return done.load(); }, 60s);
        ReleaseMutex(lock);
    });
    ASSERT_TRUE(wintest::WaitUntil([&] { return held.load(); }));
    const auto before = std::chrono::steady_clock::now();
    bw::LogMessage("[BW] lost to a holder that never lets go");
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    done = true;
    holder.join();
    EXPECT_EQ(wintest::ReadBytes(wintest::LogPath()).find("never lets go"), std::string::npos);
    CloseHandle(lock);
}

}  // namespace
