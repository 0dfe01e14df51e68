// The log code itself (not through the DLL, whose exports stay two) under
// three writers at once into the real log path: every line must arrive
// exactly once and whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "log/log.h"
#include "test_support.h"

namespace {

TEST(LogStress, ThreeWritersTenThousandLinesEachEveryLineWholeExactlyOnce) {
    constexpr int kWriters = 3;
    constexpr int kLinesEach = 10000;
    wintest::RemoveAll(wintest::LogPath());
    SYSTEMTIME startedAt{}, endedAt{};
    GetLocalTime(&startedAt);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([w] {
            for (int i = 0; i < kLinesEach; ++i) bw::LogMessage("[W%d] %05d written under contention", w, i);
        });
    for (auto& writer : writers) writer.join();
    GetLocalTime(&endedAt);

    const std::string bytes = wintest::ReadBytes(wintest::LogPath());
    const int hour = std::stoi(bytes.substr(12, 2));
    EXPECT_TRUE(hour == startedAt.wHour || hour == endedAt.wHour) << bytes.substr(0, 22) << " at " << startedAt.wHour;
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[W(\d)\] (\d{5}) written under contention\r)");
    std::vector<std::vector<int>> seen(kWriters, std::vector<int>(kLinesEach, 0));
    std::istringstream lines(bytes);
    int total = 0, garbled = 0;
    for (std::string text; std::getline(lines, text); ++total) {
        std::smatch match;
        if (!std::regex_match(text, match, line)) {
            if (++garbled <= 5) ADD_FAILURE() << "garbled line " << total << ": " << text;
            continue;
        }
        ++seen[std::stoi(match[1])][std::stoi(match[2])];
    }
    int lost = 0;
    for (const auto& writer : seen)
        for (int copies : writer) lost += copies == 0;
    std::printf("reliability: stress lines=%d expected=%d lost=%d garbled=%d\n", total, kWriters * kLinesEach, lost,
                garbled);
    EXPECT_EQ(garbled, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(total, kWriters * kLinesEach);
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kLinesEach; ++i) ASSERT_EQ(seen[w][i], 1) << "writer " << w << " line " << i;
}

}  // namespace
