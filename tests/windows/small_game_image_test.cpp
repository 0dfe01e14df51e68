// A game whose image ends before the watched list's slot, as a build with
// another layout would: the watcher can't watch, and says so once.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(SmallGameImage, TheWatcherSaysOnceWhyItCannotWatchAndNoBatchRuns) {
    wintest::ClearGameFolders();  // a first start: the default settings switch the batches on
    DWORD protection = 0;         // the header page wiped once loaded, as some protectors do: the loader knows the size
    ASSERT_TRUE(VirtualProtect(GetModuleHandleW(nullptr), 4096, PAGE_READWRITE, &protection));
    ZeroMemory(GetModuleHandleW(nullptr), 4096);
    const sandbox::LoadedPlugin plugin = wintest::LoadBrackwell();
    ASSERT_NE(plugin.load, nullptr);
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    ASSERT_TRUE(plugin.load(&host));

    const std::string line =
        "] [BW] Overlay watcher cannot read the game's list (image too small); batches stay off.\r\n";
    EXPECT_TRUE(wintest::WaitForLogLine(line));
    // By the monitor's first line, five seconds in, batches would have run many times.
    ASSERT_TRUE(wintest::WaitForLogLine("] [MM] WS:"));
    const std::string log = wintest::ReadBytes(wintest::LogPath());
    EXPECT_NE(log.find("] [BW] Overlay batch enabled.\r\n"), std::string::npos);
    EXPECT_EQ(log.find("CPU worker active"), std::string::npos);
    EXPECT_EQ(log.find(line), log.rfind(line)) << "said more than once";
}

}  // namespace
