// Faults around the plug-in, each case in its own game process: whatever
// happens to the log, the settings file or the game's list, the game lives,
// its window answers, and no line already written is lost or garbled.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <thread>

#include "platform/platform.h"
#include "test_support.h"

namespace sandbox {
// Found by argument lookup, so test names show the state, not its bytes.
const char* NameOf(ListState state) {
    static constexpr const char* kNames[] = {"Absent",      "Empty",        "Present",        "Cleared",
                                             "NullEntries", "FreedEntries", "GuardedEntries", "GuardedObject"};
    return kNames[static_cast<int>(state)];
}
void PrintTo(ListState state, std::ostream* out) { *out << NameOf(state); }
}  // namespace sandbox

namespace {

using namespace std::chrono_literals;
using sandbox::ListState;
namespace fs = std::filesystem;

const std::string kDefaultNumbers = "Iter=10000, Sleep=5, Overlay=1, TrimThresholdMB=12288\r\n";

class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override { wintest::ClearGameFolders(); }
    void TearDown() override {
        SetFileAttributesW(wintest::LogPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        wintest::RemoveAll(wintest::LogPath().parent_path().parent_path());  // TRVX, or a file in its place
        wintest::ClearGameFolders();                                         // no file left where Data\Plugins belongs
    }
    static std::string Log() { return wintest::ReadBytes(wintest::LogPath()); }
    static bool SettingsWereRead() {
        return wintest::WaitUntil([] { return fs::exists(wintest::SettingsPath()); });
    }
};

// A handle like another program's that lets others read but not write.
HANDLE HoldWithoutSharing(const fs::path& file, DWORD share) {
    return CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

double LastProgress(const std::string& log) {
    const std::string marker = "CPU worker active: ";
    const std::size_t at = log.rfind(marker);
    return at == std::string::npos ? 0.0 : std::stod(log.substr(at + marker.size()));
}

TEST_F(FaultInjection, LinesWhileTheLogIsHeldAreDroppedAndLoggingResumes) {
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("CPU worker active: 999900.000000"));
    const std::string before = Log();
    HANDLE held = HoldWithoutSharing(wintest::LogPath(), FILE_SHARE_READ);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(bw::platform::AppendToFile(wintest::LogPath(), ""), bw::platform::FileWrite::InUse);  // worth retrying
    // Long enough for several progress lines (about two a second) to be due.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Log(), before);
    CloseHandle(held);

    ASSERT_TRUE(wintest::WaitUntil([&] { return Log().size() > before.size(); }));
    ASSERT_TRUE(
        wintest::WaitUntil([&] { return Log().ends_with("\r\n") && LastProgress(Log()) > LastProgress(before); }));
    // The first line after the release skips what was dropped meanwhile.
    EXPECT_GT(LastProgress(Log()) - LastProgress(before), 2 * 499950.0);
    wintest::ExpectGameHealthy(game, before);
}

TEST_F(FaultInjection, ALogFolderDeletedWhileRunningComesBack) {
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("CPU worker active: 499950.000000"));
    const fs::path logs = wintest::LogPath().parent_path();
    // The plug-in may hold the file for an instant; try until the folder goes.
    ASSERT_TRUE(wintest::WaitUntil([&] {
        std::error_code error;
        fs::remove_all(logs, error);
        return !fs::exists(logs);
    }));
    ASSERT_TRUE(wintest::WaitForLogLine("CPU worker active:"));
    wintest::ExpectGameHealthy(game, "");
}

TEST_F(FaultInjection, AFileWhereALogFolderShouldBeLosesLinesNotTheGame) {
    const fs::path trvx = wintest::LogPath().parent_path().parent_path();
    wintest::RemoveAll(trvx);
    wintest::WriteBytes(trvx, "not a folder");
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(SettingsWereRead());
    EXPECT_TRUE(fs::is_regular_file(trvx));
    // Nothing to wait out: no folder for the file.
    EXPECT_EQ(bw::platform::AppendToFile(wintest::LogPath(), ""), bw::platform::FileWrite::Failed);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(game.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0);
}

// Whether the old file can be replaced, emptied or appended to depends on who
// runs the game (the read-only mark stops only its removal for root under
// Wine); either way every line in it is whole and the start goes on.
TEST_F(FaultInjection, AReadOnlyLogKeepsItsLinesWholeAndTheGameRuns) {
    wintest::WriteBytes(wintest::LogPath(), "[2020-01-01 00:00:00] [BW] an earlier run\r\n");
    ASSERT_TRUE(SetFileAttributesW(wintest::LogPath().c_str(), FILE_ATTRIBUTE_READONLY));
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(SettingsWereRead());
    wintest::ExpectGameHealthy(game, "");
}

TEST_F(FaultInjection, AFileBlockingDataPluginsLeavesTheBuiltInSettings) {
    wintest::WriteBytes(wintest::SettingsPath().parent_path(), "not a folder");
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("] [BW] Settings file could not be used; built-in defaults in force: " +
                                        kDefaultNumbers));
    EXPECT_TRUE(wintest::WaitForLogLine("CPU worker active: 499950.000000"));
    wintest::ExpectGameHealthy(game, "");
}

TEST_F(FaultInjection, ASettingsFileHeldWithoutReadSharingLeavesTheBuiltInSettings) {
    wintest::WriteBytes(wintest::SettingsPath(), "Iter=2\r\n");
    HANDLE held = HoldWithoutSharing(wintest::SettingsPath(), 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    EXPECT_TRUE(wintest::WaitForLogLine("] [BW] INI loaded: " + kDefaultNumbers));
    CloseHandle(held);
    wintest::ExpectGameHealthy(game, "");
}

struct BadSettings {
    const char* name;
    std::string bytes;
    std::string expectedLine;
};

// Names the case instead of dumping its bytes into the test's name.
void PrintTo(const BadSettings& settings, std::ostream* out) { *out << settings.name; }

std::string RandomBytes(std::size_t count) {
    std::mt19937 generator(20261207);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

class BadSettingsFile : public FaultInjection, public ::testing::WithParamInterface<BadSettings> {};

TEST_P(BadSettingsFile, NeverEndsTheGame) {
    wintest::WriteBytes(wintest::SettingsPath(), GetParam().bytes);
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    EXPECT_TRUE(wintest::WaitForLogLine(GetParam().expectedLine)) << Log();
    EXPECT_TRUE(wintest::WaitForLogLine("] [BW] Overlay batch "));
    wintest::ExpectGameHealthy(game, "");
}

INSTANTIATE_TEST_SUITE_P(
    Contents, BadSettingsFile,
    ::testing::Values(BadSettings{"RandomBytes", RandomBytes(64 * 1024), "] [BW] INI loaded: " + kDefaultNumbers},
                      BadSettings{"TenMebibyteLine", "Sleep=" + std::string(10 << 20, ' ') + "7",
                                  "] [BW] INI loaded: Iter=10000, Sleep=7, Overlay=1, TrimThresholdMB=12288\r\n"},
                      BadSettings{"NulBytes", std::string("Iter=\0\r\nSleep=3\0x\r\n", 19),
                                  "] [BW] INI line 1: Iter= has no number; kept 10000.\r\n"},
                      BadSettings{"ByteOrderMark", "\xEF\xBB\xBFIter=7\r\nSleep=9\r\n",
                                  "] [BW] INI loaded: Iter=10000, Sleep=9, Overlay=1, TrimThresholdMB=12288\r\n"},
                      BadSettings{"MixedLineEnds", "Iter=7\rSleep=9\nOverlayBatch=1\r\nTrimThresholdMB=100\n",
                                  "] [BW] INI loaded: Iter=7, Sleep=5, Overlay=1, TrimThresholdMB=100\r\n"},
                      BadSettings{"OutOfRange", "Iter=2147483648\r\nSleep=-2147483649\r\n",
                                  "] [BW] INI line 2: Sleep= is out of range; kept 5.\r\n"},
                      BadSettings{"NoDigits", "TrimThresholdMB=lots\r\n",
                                  "] [BW] INI line 1: TrimThresholdMB= has no number; kept 12288.\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A list the game has left half-made, already released, or on a page that
// carries PAGE_GUARD: the watcher calls it idle and the batches wait. A
// guard page is left exactly as the game set it, guard and all.
class BrokenList : public FaultInjection, public ::testing::WithParamInterface<ListState> {};

TEST_P(BrokenList, CountsAsIdleAndLeavesTheGamesPagesAsTheyWere) {
    const auto game = wintest::StartBrackwellInGame(GetParam());
    ASSERT_TRUE(wintest::WaitForLogLine("] [MM] WS:"));
    EXPECT_EQ(Log().find("CPU worker active"), std::string::npos);
    if (void* page = sandbox::GuardedListPage()) {
        // Polled: each pass of the watcher clears the bit for the instant
        // between its fault and its repair.
        EXPECT_TRUE(wintest::WaitUntil([page] {
            MEMORY_BASIC_INFORMATION info{};
            return VirtualQuery(page, &info, sizeof info) != 0 && (info.Protect & PAGE_GUARD) != 0;
        }));
        EXPECT_TRUE(wintest::WaitUntil([page] { return wintest::OwnersLoadRaisesGuardPageViolation(page); }));
    }
    sandbox::SetListState(ListState::Present);
    EXPECT_TRUE(wintest::WaitForLogLine("CPU worker active: 499950.000000"));
    wintest::ExpectGameHealthy(game, "");
}

INSTANTIATE_TEST_SUITE_P(Lists, BrokenList,
                         ::testing::Values(ListState::NullEntries, ListState::FreedEntries, ListState::GuardedEntries,
                                           ListState::GuardedObject),
                         [](const auto& info) { return sandbox::NameOf(info.param); });

TEST_F(FaultInjection, AGameThreadChurningTheListForThirtySecondsNeverFaultsTheWatcher) {
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("CPU worker active: 499950.000000"));
    sandbox::ChurnList(30000);
    const std::string after = Log();
    EXPECT_TRUE(wintest::WaitUntil([&] { return LastProgress(Log()) > LastProgress(after); }));
    wintest::ExpectGameHealthy(game, after);
}

// A host that unloads its plug-ins once started (a reload command, a clean-up
// at exit): the library stays mapped, so the game's own faults and
// exceptions still pass the read guard's handler on to the game, and the
// plug-in's threads go on.
TEST_F(FaultInjection, UnloadingTheStartedPlugInLeavesItMappedAndRunning) {
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    // Batches run only once the watcher, and so its read guard, is at work.
    ASSERT_TRUE(wintest::WaitForLogLine("CPU worker active: 499950.000000"));
    const HMODULE library = GetModuleHandleW(L"Brackwell.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(FreeLibrary(library));
    // Were it unmapped, its threads would now run unmapped code: Wine then
    // hangs the process, and the case ends by its time-out.
    MEMORY_BASIC_INFORMATION image{};
    ASSERT_NE(VirtualQuery(library, &image, sizeof image), 0u);
    ASSERT_EQ(image.State, static_cast<DWORD>(MEM_COMMIT)) << "the library was unmapped";
    ASSERT_EQ(image.Type, static_cast<DWORD>(MEM_IMAGE));

    void* guarded = VirtualAlloc(nullptr, 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
    ASSERT_NE(guarded, nullptr);
    EXPECT_TRUE(wintest::OwnersLoadRaisesGuardPageViolation(guarded));
    VirtualFree(guarded, 0, MEM_RELEASE);
    EXPECT_THROW(throw std::runtime_error("the game's own"), std::runtime_error);
    // The monitor's first line comes five seconds after the start.
    EXPECT_TRUE(wintest::WaitForLogLine("] [MM] WS:"));
    wintest::ExpectGameHealthy(game, "");
}

// Brackwell.dll under another name beside it, as a player's copy would lie.
fs::path CopyOfBrackwell(const wchar_t* name) {
    const fs::path file = sandbox::BesideExecutable(name);
    wintest::RemoveAll(file);  // a copy left by an earlier run
    fs::copy_file(sandbox::BesideExecutable(L"Brackwell.dll"), file);
    return file;
}

std::string LineNamingTheCopy(const fs::path& file) {
    return "] [BW] Another copy of Brackwell is loaded in this game: " + file.string() + ". Keep one copy only.\r\n";
}

// Loads `count` other plug-ins, each a file of its own, as a modded game
// does; the first one's module comes back.
HMODULE LoadOtherPlugIns(int count) {
    const fs::path folder = sandbox::BesideExecutable(L"other-plug-ins");
    wintest::RemoveAll(folder);
    fs::create_directories(folder);
    HMODULE first = nullptr;
    for (int i = 0; i < count; ++i) {
        const fs::path file = folder / ("plug-in-" + std::to_string(i) + ".dll");
        fs::copy_file(sandbox::BesideExecutable(L"record_module.dll"), file);
        const HMODULE module = LoadLibraryW(file.c_str());
        EXPECT_NE(module, nullptr) << file;
        if (i == 0) first = module;
    }
    return first;
}

// A host that calls the load entry again, or loads a second copy (Explorer's
// "- Copy" beside the original), after hundreds of other modules in a
// modded game: the running start names the other copy and goes on alone
// with its log, the call answers whether its own copy runs, and a copy that
// did not start stays unloadable.
struct LaterCopy {
    const char* name;
    const wchar_t* file;
    int otherPlugInsBefore;
};
void PrintTo(const LaterCopy& copy, std::ostream* out) { *out << copy.name; }

class ALaterLoadCall : public FaultInjection, public ::testing::WithParamInterface<LaterCopy> {};

TEST_P(ALaterLoadCall, StartsNothingAndKeepsTheRunningLog) {
    const LaterCopy copy = GetParam();
    const bool sameCopy = copy.file == std::wstring_view(L"Brackwell.dll");
    (void)LoadOtherPlugIns(copy.otherPlugInsBefore);
    const fs::path file = sameCopy ? fs::path(sandbox::BesideExecutable(copy.file)) : CopyOfBrackwell(copy.file);
    std::string error;
    const sandbox::LoadedPlugin plugin = sandbox::LoadPlugin(file.wstring(), error);
    ASSERT_EQ(error, "");
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("CPU worker active: 499950.000000"));  // lines come fast from now on
    const std::string before = Log();
    EXPECT_EQ(before.find(LineNamingTheCopy(file)) != std::string::npos, !sameCopy);
    const int threads = wintest::CountOwnThreads();
    const bw::HostInterface host{bw::kAcceptedHostVersion};
    EXPECT_EQ(plugin.load(&host), sameCopy);
    EXPECT_EQ(wintest::CountOwnThreads(), threads);
    EXPECT_TRUE(wintest::WaitForLogLine("] [BW] Brackwell already runs in this game; the load call to " +
                                        file.string() + " started nothing.\r\n"));
    if (!sameCopy) EXPECT_TRUE(FreeLibrary(plugin.module) && GetModuleHandleW(file.c_str()) == nullptr);
    wintest::ExpectGameHealthy(game, before);
}

INSTANTIATE_TEST_SUITE_P(Copies, ALaterLoadCall,
                         ::testing::Values(LaterCopy{"SameCopy", L"Brackwell.dll", 0},
                                           LaterCopy{"AnotherCopy", L"Brackwell - Copy.dll", 0},
                                           LaterCopy{"AnotherCopyPast260Modules", L"Brackwell - Copy.dll", 260}),
                         [](const auto& info) { return std::string(info.param.name); });

// A copy from before the start claim deletes the log when its own start
// comes, after ours where the host loads in name order: the look some
// seconds on names it again.
TEST_F(FaultInjection, ACopyWhoseStartDeletedTheLogIsNamedAgain) {
    const fs::path old = CopyOfBrackwell(L"Brackwell_old.dll");
    ASSERT_NE(LoadLibraryW(old.c_str()), nullptr);
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    const std::string line = LineNamingTheCopy(old);
    ASSERT_TRUE(wintest::WaitForLogLine(line));
    ASSERT_TRUE(wintest::WaitUntil([&line] {
        std::error_code ignored;
        fs::remove(wintest::LogPath(), ignored);
        return Log().find(line) == std::string::npos;
    }));
    EXPECT_TRUE(wintest::WaitForLogLine(line, 20s));
    wintest::ExpectGameHealthy(game, "");
}

// Another plug-in's record on a guarded page: the start reads it before our
// read guard is installed, so the page must be left alone, its guard armed.
TEST_F(FaultInjection, AnotherPlugInsGuardedRecordKeepsItsGuard) {
    void* record = reinterpret_cast<void*>(GetProcAddress(LoadOtherPlugIns(1), "TRVXPlugin_Version"));
    ASSERT_NE(record, nullptr);
    DWORD was = 0;
    ASSERT_TRUE(VirtualProtect(record, 1, PAGE_READWRITE | PAGE_GUARD, &was));
    const auto game = wintest::StartBrackwellInGame(ListState::Present);
    MEMORY_BASIC_INFORMATION page{};
    ASSERT_NE(VirtualQuery(record, &page, sizeof page), 0u);
    EXPECT_NE(page.Protect & PAGE_GUARD, 0u);
    wintest::ExpectGameHealthy(game, "");
}

// One start per game process, not per player: a second instance of the game
// running at the same time starts as the first did, in the same log.
TEST_F(FaultInjection, ASecondGameAtTheSameTimeStartsToo) {
    const std::wstring game =
        L"--dll \"" + sandbox::BesideExecutable(L"Brackwell.dll") + L"\" --list 0:empty --run-ms 600000";
    const wintest::OtherProcess first(sandbox::BesideExecutable(L"sandbox.exe"), game);
    ASSERT_TRUE(wintest::WaitForLogLine("] [BW] All threads started.\r\n"));
    // The first game may be writing; once its start line is gone, only the
    // second game can log one.
    ASSERT_TRUE(wintest::WaitUntil([] {
        std::error_code error;
        fs::remove(wintest::LogPath(), error);
        return Log().find("All threads started") == std::string::npos;
    }));
    const wintest::OtherProcess second(sandbox::BesideExecutable(L"sandbox.exe"), game);
    ASSERT_TRUE(wintest::WaitUntil([] {
        const std::string log = Log();
        return log.find("] [BW] All threads started.\r\n") != std::string::npos ||
               log.find("already runs") != std::string::npos;
    })) << Log();
    EXPECT_EQ(Log().find("already runs"), std::string::npos) << Log();
}

}  // namespace
