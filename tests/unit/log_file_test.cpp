#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "fake_platform.h"
#include "log/log.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using bw::platform::PathStatus;
using bw::testing::ReadBytes;

class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        bw::fake::Reset();
        bw::fake::State().documents = {PathStatus::Found, documents()};
    }
    fs::path documents() const { return scratch_.path / "Documents"; }
    fs::path logs() const { return documents() / "My Games" / "Velmoria" / "TRVX" / "Logs"; }
    fs::path logFile() const { return logs() / "Brackwell.log"; }

    bw::testing::ScratchFolder scratch_;
};

const std::regex kWholeLine(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] [^\r\n]*\r\n)");

TEST_F(LogFile, PathLivesUnderDocumentsAndItsFolderChainIsCreated) {
    EXPECT_EQ(bw::GetLogFilePath(), logFile());
    EXPECT_TRUE(fs::is_directory(logs()));
    EXPECT_FALSE(fs::exists(logFile()));  // created by the first line, not here
}

TEST_F(LogFile, UnknownDocumentsFolderMeansTheCurrentDirectory) {
    bw::fake::State().documents = {PathStatus::Unavailable, {}};
    const fs::path before = fs::current_path();
    fs::current_path(scratch_.path);
    EXPECT_EQ(bw::GetLogFilePath(), fs::path("Brackwell.log"));
    bw::LogMessage("[BW] line %d", 1);
    fs::current_path(before);
    EXPECT_TRUE(std::regex_match(ReadBytes(scratch_.path / "Brackwell.log"), kWholeLine));
    EXPECT_FALSE(fs::exists(logs()));
}

TEST_F(LogFile, LinesAreAppendedWholeWithTheirTimeStamps) {
    bw::LogMessage("[BW] Borderless applied.");
    bw::LogMessage("%s", std::string(600, 'z').c_str());
    const std::string bytes = ReadBytes(logFile());
    std::smatch first;
    ASSERT_TRUE(std::regex_search(bytes, first, kWholeLine));
    EXPECT_EQ(first.position(), 0);
    EXPECT_TRUE(first.str().ends_with("] [BW] Borderless applied.\r\n"));
    EXPECT_EQ(bytes.size(), first.length() + 1 + 19 + 2 + 511 + 2);
}

// A path that can't be prepared loses that line and nothing else: the game
// must never see the error.
TEST_F(LogFile, ALineThatCannotBeWrittenIsDroppedQuietly) {
    fs::create_directories(documents() / "My Games" / "Velmoria");
    bw::testing::WriteBytes(documents() / "My Games" / "Velmoria" / "TRVX", "a file in the way");
    EXPECT_EQ(bw::GetLogFilePath(), std::nullopt);
    EXPECT_NO_THROW(bw::LogMessage("[BW] lost"));

    fs::remove(documents() / "My Games" / "Velmoria" / "TRVX");
    fs::create_directories(logFile());  // a folder where the file should be
    EXPECT_NO_THROW(bw::LogMessage("[BW] lost too"));
    EXPECT_TRUE(fs::is_directory(logFile()));
    EXPECT_EQ(bw::fake::State().appendsInUse, -1);  // one attempt: waiting won't move a folder

    bw::fake::State().documents = {PathStatus::Unusable, {}};
    EXPECT_EQ(bw::GetLogFilePath(), std::nullopt);
}

// Another program's brief hold is waited out; a long one still costs the
// line, after a bounded wait.
TEST_F(LogFile, ABriefHoldIsWaitedOutALongOneCostsTheLine) {
    bw::fake::State().appendsInUse = 3;
    bw::LogMessage("[BW] after a brief hold");
    EXPECT_EQ(bw::fake::State().appendsInUse, -1);  // three refusals, then written
    bw::fake::State().appendsInUse = 1000;
    bw::LogMessage("[BW] lost to a long hold");
    EXPECT_GT(bw::fake::State().appendsInUse, 900);
    EXPECT_TRUE(ReadBytes(logFile()).ends_with("] [BW] after a brief hold\r\n"));
}

TEST_F(LogFile, ADeletedLogFolderComesBackWithTheNextLine) {
    bw::LogMessage("[BW] before");
    fs::remove_all(documents() / "My Games");
    bw::LogMessage("[BW] after");
    const std::string bytes = ReadBytes(logFile());
    EXPECT_EQ(bytes.find("before"), std::string::npos);
    EXPECT_NE(bytes.find("] [BW] after\r\n"), std::string::npos);
}

// Writers on several threads at once: every line arrives exactly once and
// whole, none overlapping another.
TEST_F(LogFile, ConcurrentWritersNeverGarbleALine) {
    constexpr int kThreads = 3;
    constexpr int kLinesEach = 10000;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < kLinesEach; ++i) bw::LogMessage("[T%d] line %d of a concurrent writer", t, i);
        });
    for (auto& writer : writers) writer.join();

    std::istringstream lines(ReadBytes(logFile()));
    std::set<std::pair<int, int>> seen;
    const std::regex layout(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[T(\d)\] line (\d+) of a concurrent writer\r)");
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, layout)) << "garbled line " << count << ": " << line;
        EXPECT_TRUE(seen.insert({std::stoi(match[1]), std::stoi(match[2])}).second) << line;
    }
    EXPECT_EQ(count, kThreads * kLinesEach);
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLinesEach));
}

}  // namespace
