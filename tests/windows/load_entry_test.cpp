// The real DLL's load entry, driven as the host and the game would drive it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_support.h"

namespace {

using namespace std::chrono_literals;

constexpr char kOldLog[] = "[2020-01-01 00:00:00] a line of the previous run\r\n";

struct WindowSnapshot {
    LONG style;
    LONG exStyle;
    RECT rect;
};

WindowSnapshot Snapshot(HWND window) {
    WindowSnapshot snapshot{GetWindowLongW(window, GWL_STYLE), GetWindowLongW(window, GWL_EXSTYLE), {}};
    GetWindowRect(window, &snapshot.rect);
    return snapshot;
}

class LoadEntry : public ::testing::Test {
protected:
    void SetUp() override {
        wintest::WriteBytes(wintest::LogPath(), kOldLog);
        plugin_ = wintest::LoadBrackwell();
        ASSERT_NE(plugin_.load, nullptr);
    }
    sandbox::LoadedPlugin plugin_;
};

// What the refusal box showed, read from another thread while it blocks.
struct RefusalBox {
    bool found = false;
    std::string caption, text;
    bool errorIcon = false;
};

RefusalBox CloseRefusalBoxWhenItAppears() {
    RefusalBox seen;
    HWND box = nullptr;
    seen.found = wintest::WaitUntil([&] { return (box = FindWindowA("#32770", "Incompatible TRVX")) != nullptr; });
    if (!seen.found) return seen;
    char text[256] = {};
    GetWindowTextA(box, text, sizeof text);
    seen.caption = text;
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    seen.text = text;
    HICON errorIcon = LoadIconW(nullptr, IDI_ERROR);
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        seen.errorIcon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == errorIcon;
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return seen;
}

class Refusal : public LoadEntry, public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(Refusal, ShowsTheBoxAndTouchesNothingElse) {
    const sandbox::GameWindow game = sandbox::StartGameWindow();
    ASSERT_NE(game.window, nullptr);
    const WindowSnapshot before = Snapshot(game.window);
    const int threadsBefore = wintest::CountOwnThreads();

    RefusalBox box;
    std::thread closer([&] { box = CloseRefusalBoxWhenItAppears(); });
    const bw::HostInterface host{static_cast<std::uint32_t>(GetParam())};
    const bool started = plugin_.load(GetParam() < 0 ? nullptr : &host);
    closer.join();

    EXPECT_FALSE(started);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, "Incompatible TRVX");
    EXPECT_EQ(box.text, "Velmoria Brackwell requires TRVX 0.2.18.\n.");
    EXPECT_TRUE(box.errorIcon);
    EXPECT_EQ(wintest::ReadBytes(wintest::LogPath()), kOldLog);
    EXPECT_EQ(wintest::CountOwnThreads(), threadsBefore);
    const WindowSnapshot after = Snapshot(game.window);
    EXPECT_EQ(after.style, before.style);
    EXPECT_EQ(after.exStyle, before.exStyle);
    EXPECT_TRUE(EqualRect(&after.rect, &before.rect));
}

// -1 stands for a null interface pointer.
INSTANTIATE_TEST_SUITE_P(OtherHosts, Refusal,
                         ::testing::Values(-1, 0x00020121 /* 0.2.18 sub-build 1 */, 0x00020130 /* 0.2.19 */,
                                           0x00020110 /* 0.2.17 */));

TEST_F(LoadEntry, AcceptedHostRestylesTheWindowAndStartsThreeThreads) {
    std::atomic<int> result{-1};
    int threadsBefore = 0;
    WindowSnapshot before{};
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    // The host calls from the game's UI thread, which owns the window.
    const sandbox::GameWindow game = sandbox::StartGameWindow([&] {
        before = Snapshot(FindWindowW(nullptr, L"Velmoria"));
        threadsBefore = wintest::CountOwnThreads();
        result = plugin_.load(&host) ? 1 : 0;
    });
    ASSERT_NE(game.window, nullptr);
    ASSERT_TRUE(wintest::WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 1);

    const WindowSnapshot after = Snapshot(game.window);
    EXPECT_EQ(static_cast<DWORD>(after.style), static_cast<DWORD>(before.style) & 0xFF30FFFFu);
    EXPECT_EQ(static_cast<DWORD>(after.exStyle), static_cast<DWORD>(before.exStyle) & 0xFFFDFCFEu);
    EXPECT_TRUE(after.style & WS_VISIBLE);
    EXPECT_TRUE(after.style & WS_CLIPSIBLINGS);
    EXPECT_EQ(after.rect.left, 0);
    EXPECT_EQ(after.rect.top, 0);
    EXPECT_EQ(after.rect.right - after.rect.left, before.rect.right - before.rect.left);
    EXPECT_EQ(after.rect.bottom - after.rect.top, before.rect.bottom - before.rect.top);
    EXPECT_EQ(wintest::CountOwnThreads(), threadsBefore + 3);

    ASSERT_TRUE(wintest::WaitForLogLine("[BW] All threads started.\r\n"));
    const std::string log = wintest::ReadBytes(wintest::LogPath());
    EXPECT_EQ(log.find("previous run"), std::string::npos);
    ASSERT_GE(log.size(), 49u);
    EXPECT_EQ(log.substr(20, 29), "] [BW] Borderless applied.\r\n[") << log;
}

TEST_F(LoadEntry, WithoutAGameWindowStillStarts) {
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(plugin_.load(&host));
    ASSERT_TRUE(wintest::WaitForLogLine("[BW] All threads started.\r\n"));
    EXPECT_EQ(wintest::ReadBytes(wintest::LogPath()).find("Borderless"), std::string::npos);
}

// A program holds the old log: a viewer, or a file manager's or indexer's
// handle that only reads the file's size and time. Were the old log only
// marked for deletion, it would go, this run's lines and all, when the
// holder closes. The log's name shows this run's lines alone, and they stay;
// a viewer that shares writing follows them.
struct Holder {
    const char* name;
    DWORD access, sharing;
    bool followsThisRun;
};
void PrintTo(const Holder& holder, std::ostream* out) { *out << holder.name; }

class AViewerHoldsTheOldLog : public LoadEntry, public ::testing::WithParamInterface<Holder> {};

TEST_P(AViewerHoldsTheOldLog, TheLogHoldsThisRunsLinesAndKeepsThem) {
    const Holder holder = GetParam();
    const HANDLE viewer =
        CreateFileW(wintest::LogPath().c_str(), holder.access, holder.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(plugin_.load(&host));
    ASSERT_TRUE(wintest::WaitForLogLine("[BW] All threads started.\r\n"));
    EXPECT_EQ(wintest::ReadBytes(wintest::LogPath()).substr(20, 7), "] [BW] ");
    if (holder.followsThisRun) {
        char seen[32] = {};
        DWORD read = 0;
        EXPECT_TRUE(ReadFile(viewer, seen, sizeof seen, &read, nullptr));
        EXPECT_EQ(std::string(seen, read).substr(20, 7), "] [BW] ");
    }
    CloseHandle(viewer);
    EXPECT_NE(wintest::ReadBytes(wintest::LogPath()).find("] [BW] All threads started.\r\n"), std::string::npos);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
INSTANTIATE_TEST_SUITE_P(Sharing, AViewerHoldsTheOldLog,
                         ::testing::Values(Holder{"ReadWrite", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                                           Holder{"ReadWriteDelete", GENERIC_READ, kShareAll, true},
                                           Holder{"AttributesOnly", FILE_READ_ATTRIBUTES, kShareAll, false},
                                           Holder{"ReadDelete", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                  false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Another program's window of the same title lies above the game's, as File
// Explorer showing the game's folder would: only the game's own window is
// restyled and moved.
TEST_F(LoadEntry, AnotherProgramsWindowOfTheSameTitleIsLeftAsItWas) {
    const sandbox::GameWindow game = sandbox::StartGameWindow();
    ASSERT_NE(game.window, nullptr);
    const wintest::OtherProcess other(sandbox::BesideExecutable(L"sandbox.exe"), L"--no-plugin --run-ms 600000");
    HWND otherWindow = nullptr;
    ASSERT_TRUE(wintest::WaitUntil([&] { return (otherWindow = other.Window(L"Velmoria")) != nullptr; }));
    SetWindowPos(otherWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(FindWindowW(nullptr, L"Velmoria"), otherWindow) << "the other window is not the first of the title";
    const WindowSnapshot otherBefore = Snapshot(otherWindow), gameBefore = Snapshot(game.window);

    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_TRUE(plugin_.load(&host));
    const WindowSnapshot otherAfter = Snapshot(otherWindow), gameAfter = Snapshot(game.window);
    EXPECT_EQ(otherAfter.style, otherBefore.style);
    EXPECT_EQ(otherAfter.exStyle, otherBefore.exStyle);
    EXPECT_TRUE(EqualRect(&otherAfter.rect, &otherBefore.rect));
    EXPECT_EQ(static_cast<DWORD>(gameAfter.style), static_cast<DWORD>(gameBefore.style) & 0xFF30FFFFu);
    EXPECT_EQ(gameAfter.rect.left, 0);
    EXPECT_EQ(gameAfter.rect.top, 0);
}

// A host may call from a thread that doesn't own the window while that
// thread is busy for a while (loading) or, INFINITE here, waits for the host
// without pumping. The load entry returns within a couple of seconds, and
// the window step lands once that thread answers, its line only then.
class FromAnotherThread : public LoadEntry, public ::testing::WithParamInterface<DWORD> {};

TEST_P(FromAnotherThread, ReturnsInTimeAndTheStepLandsOnceTheWindowThreadAnswers) {
    const sandbox::GameWindow game = sandbox::StartGameWindow();
    ASSERT_NE(game.window, nullptr);
    HANDLE hostReturned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool waits = GetParam() == INFINITE;
    PostMessageW(game.window, waits ? sandbox::kWaitMessage : sandbox::kBusyMessage,
                 waits ? reinterpret_cast<WPARAM>(hostReturned) : GetParam(), 0);

    std::atomic<bool> returned{false};
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    std::thread hostThread([&] {
        EXPECT_TRUE(plugin_.load(&host));
        returned = true;
    });
    const bool inTime = wintest::WaitUntil([&] { return returned.load(); }, 5s);
    if (!inTime) {
        ADD_FAILURE() << "the load entry did not return";
        ExitProcess(3);  // the host thread is stuck; don't hang the run
    }
    hostThread.join();
    if (waits) EXPECT_EQ(wintest::ReadBytes(wintest::LogPath()).find("Borderless"), std::string::npos);
    SetEvent(hostReturned);
    EXPECT_TRUE(wintest::WaitForLogLine("[BW] Borderless applied.\r\n"));
    RECT rect{};
    GetWindowRect(game.window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
}

INSTANTIATE_TEST_SUITE_P(WindowThread, FromAnotherThread, ::testing::Values(0u, 2000u, INFINITE));

// The work area's corner on the primary monitor as only the plug-in sees
// it: a taskbar at the monitor's left or top, which Wine's headless driver
// can't be given (its work area is always the whole monitor).
struct WorkArea {
    const char* name;
    POINT corner;
};
void PrintTo(const WorkArea& area, std::ostream* out) { *out << area.name; }
POINT gWorkAreaCorner{};

BOOL WINAPI MonitorInfoOfTheWorkArea(HMONITOR monitor, MONITORINFO* info) {
    if (!GetMonitorInfoW(monitor, info)) return FALSE;
    info->rcWork.left = info->rcMonitor.left + gWorkAreaCorner.x;
    info->rcWork.top = info->rcMonitor.top + gWorkAreaCorner.y;
    return TRUE;
}

// Minimised while the game loaded, the player gone to another program: the
// game stays minimised and the focus stays where the player went. Restored,
// it comes back borderless at its outer size. The plug-in places it counting
// from the corner of the work area it saw, the system from that of its own,
// the whole monitor: so it comes back at the screen's corner, or as far
// before it as the plug-in's taskbar is wide.
class MinimisedWindow : public LoadEntry, public ::testing::WithParamInterface<WorkArea> {};

TEST_P(MinimisedWindow, StaysSoUnfocusedAndComesBackAtTheCorner) {
    gWorkAreaCorner = GetParam().corner;
    ASSERT_TRUE(wintest::RedirectImport(plugin_.module, "user32.dll", "GetMonitorInfoW",
                                        reinterpret_cast<const void*>(&MonitorInfoOfTheWorkArea)));
    std::atomic<HWND> elsewhere{nullptr};
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    const sandbox::GameWindow game = sandbox::StartGameWindow([&] {
        ShowWindow(FindWindowW(nullptr, L"Velmoria"), SW_MINIMIZE);
        elsewhere = CreateWindowExW(0, L"STATIC", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                    nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(plugin_.load(&host));
    });
    ASSERT_TRUE(wintest::WaitForLogLine("[BW] All threads started.\r\n"));
    EXPECT_TRUE(IsIconic(game.window));
    EXPECT_EQ(GetForegroundWindow(), elsewhere.load());
    ShowWindow(game.window, SW_RESTORE);
    const RECT& framed = sandbox::kGameWindowRect;
    RECT corner{0, 0, framed.right - framed.left, framed.bottom - framed.top};
    OffsetRect(&corner, -gWorkAreaCorner.x, -gWorkAreaCorner.y);
    const WindowSnapshot after = Snapshot(game.window);
    EXPECT_TRUE(EqualRect(&after.rect, &corner)) << after.rect.left << "," << after.rect.top;
}

INSTANTIATE_TEST_SUITE_P(Taskbars, MinimisedWindow,
                         ::testing::Values(WorkArea{"WholeMonitor", {0, 0}}, WorkArea{"TaskbarAtTheLeft", {100, 0}},
                                           WorkArea{"TaskbarAtTheTop", {0, 40}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
