#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fake_platform.h"
#include "scratch_folder.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

namespace fs = std::filesystem;
using bw::platform::PathStatus;

const std::string kDefaultFile = "[Settings]\r\nIter=10000\r\nSleep=5\r\nOverlayBatch=1\r\nTrimThresholdMB=12288\r\n";
const std::string kDefaultNumbers = "Iter=10000, Sleep=5, Overlay=1, TrimThresholdMB=12288";

void RestoreBuiltInSettings() {
    bw::Settings.Iter = bw::kBuiltInSettings.Iter;
    bw::Settings.Sleep = bw::kBuiltInSettings.Sleep;
    bw::Settings.OverlayBatch = bw::kBuiltInSettings.OverlayBatch;
    bw::Settings.TrimThresholdMB = bw::kBuiltInSettings.TrimThresholdMB;
}

using bw::testing::ReadBytes;
using bw::testing::WriteBytes;

class LoadSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        bw::fake::Reset();
        RestoreBuiltInSettings();
        bw::fake::State().documents = {PathStatus::Found, root_ / "Documents"};
        UseGameFolder(root_ / "Games" / "Game");
    }

    void TearDown() override { RestoreBuiltInSettings(); }

    // The game's executable need not exist: only its folder matters.
    void UseGameFolder(const fs::path& folder) {
        bw::fake::State().executable = {PathStatus::Found, folder / "Game.exe"};
        settingsFile_ = folder / "Data" / "Plugins" / "Brackwell.ini";
    }

    fs::path LogFile() const {
        return root_ / "Documents" / "My Games" / "Velmoria" / "TRVX" / "Logs" / "Brackwell.log";
    }

    // The log's messages without their time stamps.
    std::vector<std::string> LoggedMessages() const {
        const std::string log = ReadBytes(LogFile());
        std::vector<std::string> messages;
        const std::size_t stampBytes = std::string("[2025-03-07 14:05:09] ").size();
        for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
            messages.push_back(log.substr(start + stampBytes, end - start - stampBytes));
        return messages;
    }

    std::string SettingsNow() const {
        return "Iter=" + std::to_string(bw::Settings.Iter) + ", Sleep=" + std::to_string(bw::Settings.Sleep) +
               ", Overlay=" + std::to_string(bw::Settings.OverlayBatch ? 1 : 0) +
               ", TrimThresholdMB=" + std::to_string(bw::Settings.TrimThresholdMB.load());
    }

    bw::testing::ScratchFolder scratch_;
    const fs::path root_ = scratch_.path;
    fs::path settingsFile_;
};

TEST_F(LoadSettingsTest, FirstStartWritesTheDefaultFileAndTheNextStartReadsIt) {
    bw::LoadSettings();
    EXPECT_EQ(ReadBytes(settingsFile_), kDefaultFile);
    EXPECT_EQ(SettingsNow(), kDefaultNumbers);
    EXPECT_EQ(LoggedMessages(), std::vector<std::string>{"[BW] Created default INI: " + kDefaultNumbers});

    bw::LoadSettings();
    EXPECT_EQ(ReadBytes(settingsFile_), kDefaultFile);
    EXPECT_EQ(SettingsNow(), kDefaultNumbers);
    EXPECT_EQ(LoggedMessages().back(), "[BW] INI loaded: " + kDefaultNumbers);
}

TEST_F(LoadSettingsTest, ExistingFileIsReadAndLeftAsItWas) {
    const std::string file = "Iter=250\r\nSleep=\r\nTrimThresholdMB=99999999999\r\nOverlayBatch=0";
    ASSERT_NE(bw::GetSettingsFilePath(), std::nullopt);
    WriteBytes(settingsFile_, file);

    bw::LoadSettings();
    EXPECT_EQ(SettingsNow(), "Iter=250, Sleep=5, Overlay=0, TrimThresholdMB=12288");
    EXPECT_EQ(LoggedMessages(), (std::vector<std::string>{
                                    "[BW] INI line 2: Sleep= has no number; kept 5.",
                                    "[BW] INI line 3: TrimThresholdMB= is out of range; kept 12288.",
                                    "[BW] INI loaded: Iter=250, Sleep=5, Overlay=0, TrimThresholdMB=12288",
                                }));
    EXPECT_EQ(ReadBytes(settingsFile_), file);

    // A later load of a file without a key keeps what is in force, not the
    // built-in default.
    WriteBytes(settingsFile_, "Sleep=3\r\n");
    bw::LoadSettings();
    EXPECT_EQ(SettingsNow(), "Iter=250, Sleep=3, Overlay=0, TrimThresholdMB=12288");
}

// A second load call reads the file again while the first CPU worker and the
// memory monitor read their settings; ThreadSanitizer reports any field that
// is not safe to store while others read it.
TEST_F(LoadSettingsTest, ReloadingWhileWorkersReadIsRaceFree) {
    ASSERT_NE(bw::GetSettingsFilePath(), std::nullopt);
    WriteBytes(settingsFile_, "Iter=7\r\nSleep=3\r\nOverlayBatch=0\r\nTrimThresholdMB=9\r\n");
    std::atomic<bool> done{false};
    std::thread reader([&done] {
        for (std::int64_t sum = 0; !done; sum += bw::Settings.Iter + bw::Settings.Sleep + bw::Settings.TrimThresholdMB)
            if (bw::Settings.OverlayBatch) ++sum;
    });
    for (int load = 0; load < 20; ++load) bw::LoadSettings();
    done = true;
    reader.join();
    EXPECT_EQ(SettingsNow(), "Iter=7, Sleep=3, Overlay=0, TrimThresholdMB=9");
}

TEST_F(LoadSettingsTest, LogsTenBadValuesAndCountsTheRest) {
    ASSERT_NE(bw::GetSettingsFilePath(), std::nullopt);
    std::string file;
    for (int i = 0; i < 12; ++i) file += "Iter=x\n";
    WriteBytes(settingsFile_, file);

    bw::LoadSettings();
    const std::vector<std::string> messages = LoggedMessages();
    ASSERT_EQ(messages.size(), 12u);
    EXPECT_EQ(messages[0], "[BW] INI line 1: Iter= has no number; kept 10000.");
    EXPECT_EQ(messages[9], "[BW] INI line 10: Iter= has no number; kept 10000.");
    EXPECT_EQ(messages[10], "[BW] INI: 2 more bad values not logged.");
    EXPECT_EQ(messages[11], "[BW] INI loaded: " + kDefaultNumbers);
}

TEST_F(LoadSettingsTest, ReadsKeysAcrossTheFilesReadChunks) {
    ASSERT_NE(bw::GetSettingsFilePath(), std::nullopt);
    // "Iter=" straddles the end of the first chunk, Sleep= sits in a third.
    const std::string padding(bw::kSettingsReadChunkBytes - 3, ';');
    WriteBytes(settingsFile_, padding + "\nIter=42\n" + std::string(bw::kSettingsReadChunkBytes, ' ') + "\nSleep=9");

    bw::LoadSettings();
    EXPECT_EQ(SettingsNow(), "Iter=42, Sleep=9, Overlay=1, TrimThresholdMB=12288");

    // The last, short read passes on only its own bytes: behind them the
    // buffer still holds "12345\n" of the chunk before.
    const std::string first = "Sleep=12345\n";
    WriteBytes(settingsFile_, first + std::string(bw::kSettingsReadChunkBytes - first.size() - 1, ';') + "\nIter=3");
    bw::LoadSettings();
    EXPECT_EQ(SettingsNow(), "Iter=3, Sleep=12345, Overlay=1, TrimThresholdMB=12288");
}

TEST_F(LoadSettingsTest, FolderAtTheFilesPathReadsAsEmpty) {
    fs::create_directories(settingsFile_);

    bw::LoadSettings();
    EXPECT_TRUE(fs::is_directory(settingsFile_));
    EXPECT_EQ(SettingsNow(), kDefaultNumbers);
    EXPECT_EQ(LoggedMessages(), std::vector<std::string>{"[BW] INI loaded: " + kDefaultNumbers});
}

TEST_F(LoadSettingsTest, UnusableLocationKeepsTheBuiltInValuesAndTouchesNoFile) {
    const struct {
        const char* what;
        std::function<void(const fs::path& gameFolder, const fs::path& file)> prepare;
    } cases[] = {
        {"a file where the Data folder belongs",
         [](const fs::path& game, const fs::path&) {
             fs::create_directories(game);
             WriteBytes(game / "Data", "");
         }},
        {"an executable path that can't be held",
         [](const fs::path&, const fs::path&) {
             bw::fake::State().executable = {PathStatus::Unusable, {}};
         }},
        {"a link to itself at the file's path, which can't be tested",
         [](const fs::path&, const fs::path& file) {
             fs::create_directories(file.parent_path());
             fs::create_symlink(file.filename(), file);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UseGameFolder(root_ / c.what);
        c.prepare(root_ / c.what, settingsFile_);
        fs::remove(LogFile());

        bw::LoadSettings();
        EXPECT_EQ(SettingsNow(), kDefaultNumbers);
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(settingsFile_)));
        EXPECT_EQ(LoggedMessages(),
                  std::vector<std::string>{"[BW] Settings file could not be used; built-in defaults in force: " +
                                           kDefaultNumbers});
    }
}

TEST_F(LoadSettingsTest, DefaultFileThatCannotBeWrittenIsReportedAsSuch) {
    // A link into a missing folder: nothing exists at the path, yet opening
    // it for writing fails, whoever runs the test.
    const fs::path target = root_ / "missing" / "Brackwell.ini";
    ASSERT_NE(bw::GetSettingsFilePath(), std::nullopt);
    fs::create_symlink(target, settingsFile_);

    bw::LoadSettings();
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(SettingsNow(), kDefaultNumbers);
    EXPECT_EQ(LoggedMessages(), std::vector<std::string>{"[BW] Could not write default INI; "
                                                         "built-in defaults in force: " +
                                                         kDefaultNumbers});
}

TEST_F(LoadSettingsTest, PathCreatesItsFolderOnEveryCallOrFallsBackToTheBareName) {
    EXPECT_EQ(bw::GetSettingsFilePath(), settingsFile_);
    fs::remove_all(root_ / "Games" / "Game" / "Data");
    EXPECT_EQ(bw::GetSettingsFilePath(), settingsFile_);
    EXPECT_TRUE(fs::is_directory(settingsFile_.parent_path()));

    bw::fake::State().executable = {PathStatus::Unavailable, {}};
    EXPECT_EQ(bw::GetSettingsFilePath(), fs::path("Brackwell.ini"));
}

}  // namespace
