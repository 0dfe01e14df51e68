// The log code itself (not through the DLL, whose exports stay two) into the
// real log path: under three writers at once, while the DLL, a second copy
// of the same code with statics of its own, logs as fast as it can beside
// them, every line of both must arrive exactly once and whole; and the holds
// other programs commonly take of the file must not cost a line.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "log/log.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;

TEST(LogStress, ThreeWritersTenThousandLinesEachBesideTheDllEveryLineWholeExactlyOnce) {
    wintest::ClearGameFolders();
    constexpr int kWriters = 3;
    constexpr int kLinesEach = 10000;
    // A host calling the running copy again and again: each call logs one
    // line through the DLL's own log code, as fast as the log takes it.
    constexpr int kLaterCalls = 10000;
    wintest::StartBrackwellInGame(sandbox::ListState::Present);
    const auto load = wintest::LoadBrackwell().load;
    ASSERT_NE(load, nullptr);
    SYSTEMTIME startedAt{}, endedAt{};
    GetLocalTime(&startedAt);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([w] {
            for (int i = 0; i < kLinesEach; ++i) bw::LogMessage("[W%d] %05d written under contention", w, i);
        });
    writers.emplace_back([load] {
        const bw::HostInterface host{bw::kAcceptedHostVersion};
        for (int i = 0; i < kLaterCalls; ++i) load(&host);
    });
    for (auto& writer : writers) writer.join();
    GetLocalTime(&endedAt);

    std::string bytes = wintest::ReadBytes(wintest::LogPath());
    bytes.resize(bytes.rfind('\n') + 1);  // the DLL goes on: a line being written is not one yet
    const int hour = std::stoi(bytes.substr(12, 2));
    EXPECT_TRUE(hour == startedAt.wHour || hour == endedAt.wHour) << bytes.substr(0, 22) << " at " << startedAt.wHour;
    // The writers' lines, the DLL's lines for the later calls, and its others.
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] (?:\[W(\d)\] (\d{5}) written under contention|)"
                          R"((\[BW\] Brackwell already runs in this game; [^\r\n]* started nothing\.)|)"
                          R"(\[(?:BW|MM)\] [^\r\n]*)\r)");
    std::vector<std::vector<int>> seen(kWriters, std::vector<int>(kLinesEach, 0));
    std::istringstream lines(bytes);
    int total = 0, garbled = 0, laterCalls = 0;
    for (std::string text; std::getline(lines, text); ++total) {
        std::smatch match;
        if (!std::regex_match(text, match, line)) {
            if (++garbled <= 5) ADD_FAILURE() << "garbled line " << total << ": " << text;
        } else if (match[1].matched) {
            ++seen[std::stoi(match[1])][std::stoi(match[2])];
        } else {
            laterCalls += match[3].matched;
        }
    }
    int lost = 0;
    for (const auto& writer : seen)
        for (int copies : writer) lost += copies == 0;
    std::printf("reliability: stress lines=%d expected=%d lost=%d garbled=%d\n", total, kWriters * kLinesEach,
                lost + kLaterCalls - laterCalls, garbled);
    EXPECT_EQ(garbled, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(laterCalls, kLaterCalls);
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

// Another program's hold of the log, from the moment a line is due.
struct Hold {
    const char* name;
    DWORD access;
    DWORD share;
    std::chrono::milliseconds length;
};
void PrintTo(const Hold& hold, std::ostream* out) { *out << hold.name; }

class AnotherProgramsHold : public ::testing::TestWithParam<Hold> {};

TEST_P(AnotherProgramsHold, TheLineStillLands) {
    const Hold& hold = GetParam();
    const auto log = wintest::LogPath();
    wintest::WriteBytes(log, "");
    std::atomic<HANDLE> file{nullptr};  // INVALID_HANDLE_VALUE when the open was refused
    std::thread program([&] {
        file =
            CreateFileW(log.c_str(), hold.access, hold.share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        std::this_thread::sleep_for(hold.length);  // the hold itself, not a wait for something
        CloseHandle(file);
    });
    const bool held = wintest::WaitUntil([&] { return file != nullptr; }) && file != INVALID_HANDLE_VALUE;
    if (held) bw::LogMessage("[BW] written during the hold");
    program.join();
    ASSERT_TRUE(held);
    EXPECT_TRUE(wintest::ReadBytes(log).ends_with("] [BW] written during the hold\r\n"));
}

// A scanner that opens the file for an instant without sharing it; a viewer
// or editor that keeps it open for reading and writing, sharing it all, for
// longer than any line waits.
INSTANTIATE_TEST_SUITE_P(Holds, AnotherProgramsHold,
                         ::testing::Values(Hold{"BriefWithoutSharing", GENERIC_READ, 0, 10ms},
                                           Hold{"ReadWriteSharingAll", GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 300ms}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
