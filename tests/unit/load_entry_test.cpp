#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "log/log.h"
#include "plugin/load_entry.h"
#include "plugin/other_copies.h"
#include "plugin/version_record.h"
#include "scratch_folder.h"
#include "workers/workers.h"

namespace {

namespace fs = std::filesystem;
using bw::platform::PathStatus;
using Calls = std::vector<std::string>;

TEST(HostCheck, AcceptsExactly0218) {
    const struct {
        std::uint32_t version;
        bool accepted;
    } cases[] = {{0x00020120, true},  {0x00020121, false}, {0x00020130, false},
                 {0x00020110, false}, {0x01020120, false}, {0, false}};
    for (const auto& c : cases) {
        const bw::HostInterface host{c.version};
        EXPECT_EQ(bw::IsAcceptedHost(&host), c.accepted) << std::hex << c.version;
    }
    EXPECT_FALSE(bw::IsAcceptedHost(nullptr));
}

TEST(BorderlessMasks, ClearExactlyTheFrameBits) {
    // WS_OVERLAPPEDWINDOW: caption (border + dialog frame), system menu,
    // thick frame, minimize and maximize boxes.
    EXPECT_EQ(~bw::kBorderlessStyleMask,
              0x00800000u | 0x00400000u | 0x00080000u | 0x00040000u | 0x00020000u | 0x00010000u);
    // Dialog-modal frame, window edge, client edge, static edge.
    EXPECT_EQ(~bw::kBorderlessExStyleMask, 0x00000001u | 0x00000100u | 0x00000200u | 0x00020000u);
}

class LoadSequence : public ::testing::Test {
protected:
    void SetUp() override {
        bw::fake::Reset();
        auto& fake = bw::fake::State();
        fake.documents = {PathStatus::Found, scratch_.path};
        const auto log = bw::GetLogFilePath();
        ASSERT_TRUE(log);
        logFile_ = *log;
        bw::testing::WriteBytes(logFile_, "[2020-01-01 00:00:00] previous run\r\n");
        fake.window = &fake;                                          // any non-null handle
        fake.style = 0x16CF0000;                                      // overlapped window, visible, clip siblings
        fake.exStyle = 0x00040301;                                    // app window, edges, modal frame
        fake.rect = bw::platform::WindowRect{-1800, 40, -1000, 640};  // on a monitor left of the primary
    }
    std::string Log() const { return bw::testing::ReadBytes(logFile_); }
    const Calls& calls() const { return bw::fake::State().calls; }

    bw::testing::ScratchFolder scratch_;
    fs::path logFile_;
};

TEST_F(LoadSequence, RefusalShowsTheBoxAndDoesNothingElse) {
    const bw::HostInterface wrong{0x00020130};
    for (const bw::HostInterface* host : {&wrong, static_cast<const bw::HostInterface*>(nullptr)}) {
        bw::fake::State().calls.clear();
        EXPECT_FALSE(TRVXPlugin_Load(host));
        EXPECT_EQ(calls(),
                  Calls{"ShowMessageBox(Velmoria Brackwell requires TRVX 0.2.18.\n.|Incompatible TRVX|0x00000010)"});
        EXPECT_EQ(Log(), "[2020-01-01 00:00:00] previous run\r\n");
    }
}

// Called on the window's thread, or on another one when no thread can be
// made for the window step: either way the step is done in the call.
class AcceptedHost : public LoadSequence, public ::testing::WithParamInterface<bool> {};

TEST_P(AcceptedHost, RestylesMovesAndStartsTheThreadsInOrder) {
    bw::fake::State().windowOfThisThread = GetParam();
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(TRVXPlugin_Load(&host));
    EXPECT_EQ(calls(),
              (Calls{"FindOwnTopLevelWindow(Velmoria)", "GetWindowStyle(Style)", "SetWindowStyle(Style,0x16000000)",
                     "GetWindowStyle(ExStyle)", "SetWindowStyle(ExStyle,0x00040000)", "GetWindowRect",
                     "SetWindowPos(0,0,800,600,0x00000064)", "PinThisModule", "StartDetachedThread#0",
                     "StartDetachedThread#1", "StartDetachedThread#2"}));
    const std::vector<bw::platform::ThreadProcedure> order{bw::MemoryMonitorThread, bw::CpuWorkerThread,
                                                           bw::OverlayWatcherThread};
    EXPECT_EQ(bw::fake::State().startedThreads, order);

    const std::string log = Log();
    EXPECT_EQ(log.find("previous run"), std::string::npos);
    EXPECT_EQ(bw::fake::State().fileChangesOutsideTheLogLock, 0);
    EXPECT_EQ(log.find("] [BW] Borderless applied.\r\n"), 20u);
    EXPECT_NE(log.find("] [BW] All threads started.\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(CallingThread, AcceptedHost, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "WindowOwner" : "AnotherThreadNoStepThread");
});

TEST_F(LoadSequence, NoWindowSkipsTheWindowStepSilently) {
    bw::fake::State().window = nullptr;
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(TRVXPlugin_Load(&host));
    EXPECT_EQ(calls().at(0), "FindOwnTopLevelWindow(Velmoria)");
    EXPECT_EQ(calls().at(1), "PinThisModule");
    EXPECT_EQ(Log().find("Borderless"), std::string::npos);
}

TEST_F(LoadSequence, AWindowGoneBeforeItsRectangleIsReadIsNotMoved) {
    bw::fake::State().rect.reset();
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(TRVXPlugin_Load(&host));
    for (const std::string& call : calls()) EXPECT_FALSE(call.starts_with("SetWindowPos")) << call;
    EXPECT_EQ(Log().find("Borderless"), std::string::npos);
    EXPECT_NE(Log().find("[BW] All threads started."), std::string::npos);
}

TEST_F(LoadSequence, WhatCouldNotBeDoneIsNamedNotReportedAsDone) {
    bw::fake::State().pinSucceeds = false;
    bw::fake::State().failThreadsFrom = 1;
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(TRVXPlugin_Load(&host));
    const std::string log = Log();
    EXPECT_NE(log.find("] [BW] Could not pin the plug-in in memory (error 87); the host must not unload it.\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("] [BW] Could not start the CPU worker thread (error 8).\r\n"), std::string::npos);
    EXPECT_NE(log.find("] [BW] Could not start the overlay watcher thread (error 8).\r\n"), std::string::npos);
    EXPECT_EQ(log.find("memory monitor"), std::string::npos);
    EXPECT_EQ(log.find("All threads started"), std::string::npos);
}

// An old log that can't be removed (here a folder in its place) must not
// stop the start: the window step and the threads still follow.
TEST_F(LoadSequence, AFailedLogResetDoesNotStopTheStart) {
    fs::remove(logFile_);
    fs::create_directories(logFile_ / "inside");
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(TRVXPlugin_Load(&host));
    EXPECT_EQ(calls().size(), 11u);
    EXPECT_TRUE(fs::is_directory(logFile_ / "inside"));
}

// The look some seconds after the start names a copy whose line is gone
// from the log (its own start deleted the log), never one whose line stands.
TEST_F(LoadSequence, ALaterLookNamesTheCopiesTheLogDoesNotShow) {
    const std::string record(reinterpret_cast<const char*>(&TRVXPlugin_Version), sizeof TRVXPlugin_Version);
    bw::fake::State().otherModules = {{{PathStatus::Found, "old.dll"}, record}};
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(TRVXPlugin_Load(&host));
    const std::string line = "] [BW] Another copy of Brackwell is loaded in this game: old.dll. Keep one copy only.";
    bw::NameTheOtherCopiesAgain();
    EXPECT_EQ(Log().find(line), Log().rfind(line));
    fs::remove(logFile_);
    bw::NameTheOtherCopiesAgain();
    EXPECT_NE(Log().find(line), std::string::npos);
}

}  // namespace
