#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_file.h"

namespace {

TEST(SettingsFileBeside, IsDataPluginsInTheExecutablesFolder) {
    const struct {
        const char* executable;
        const char* expected;
    } cases[] = {
        {"/Games/Game/Game.exe", "/Games/Game/Data/Plugins/Brackwell.ini"},
        {"/Game.exe", "/Data/Plugins/Brackwell.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bw::SettingsFileBeside(c.executable).generic_string(), c.expected) << c.executable;
}

TEST(DefaultSettingsFileText, IsTheSameSeventyTwoBytesInEveryBuild) {
    const std::string expected = "[Settings]\r\nIter=10000\r\nSleep=5\r\nOverlayBatch=1\r\nTrimThresholdMB=12288\r\n";
    ASSERT_EQ(expected.size(), 72u);
    EXPECT_EQ(bw::DefaultSettingsFileText({10000, 5, true, 12288}), expected);
    EXPECT_EQ(bw::DefaultSettingsFileText({10000, 5, false, 12288}), expected);
}

TEST(WriteSettingsFile, FailsWhenTheBytesCannotReachTheDisk) {
    // A device that opens fine and refuses every byte: the failure only shows
    // when the stream's buffer is written out at the close.
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    EXPECT_FALSE(bw::WriteSettingsFile("/dev/full", "Iter=1\r\n"));
}

}  // namespace
