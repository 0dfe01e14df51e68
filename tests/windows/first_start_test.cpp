// The whole plug-in running in the game: settings file, overlay watcher, CPU
// worker and memory monitor, as the road of a first start describes them.
#include <gtest/gtest.h>

#include <array>
#include <clocale>

#include "platform/platform.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;
using sandbox::ListState;
namespace fs = std::filesystem;

const std::string kDefaultFile = "[Settings]\r\nIter=10000\r\nSleep=5\r\nOverlayBatch=1\r\nTrimThresholdMB=12288\r\n";
const std::string kDefaultNumbers = "Iter=10000, Sleep=5, Overlay=1, TrimThresholdMB=12288\r\n";

class PlugInRun : public ::testing::Test {
protected:
    void SetUp() override { wintest::ClearGameFolders(); }
    static std::string Log() { return wintest::ReadBytes(wintest::LogPath()); }
    // The monitor's first line comes about five seconds after the start: by
    // then a running CPU worker would have logged progress many times over.
    static void WaitForTheMonitorsFirstLine() { ASSERT_TRUE(wintest::WaitForLogLine("] [MM] WS:", 15s)); }
};

// "[YYYY-MM-DD HH:MM:SS]" of the first line holding `text`, as seconds of the day.
int SecondOfLine(const std::string& log, const std::string& text) {
    const std::size_t at = log.rfind("\n[", log.find(text)) + 1;
    return std::stoi(log.substr(at + 12, 2)) * 3600 + std::stoi(log.substr(at + 15, 2)) * 60 +
           std::stoi(log.substr(at + 18, 2));
}

TEST_F(PlugInRun, FirstStartCreatesTheSettingsFileThenWorksWhileTheListHoldsAnEntry) {
    wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("] [BW] CPU worker active: 999900.000000\r\n"));
    EXPECT_EQ(wintest::ReadBytes(wintest::SettingsPath()), kDefaultFile);
    std::string log = Log();
    EXPECT_NE(log.find("] [BW] Created default INI: " + kDefaultNumbers), std::string::npos) << log;
    EXPECT_LT(log.find("] [BW] Overlay batch enabled.\r\n"), log.find("] [BW] CPU worker active: 499950.000000\r\n"));
    EXPECT_LT(log.find("499950.000000"), log.find("999900.000000"));

    WaitForTheMonitorsFirstLine();
    log = Log();
    const int afterStart = SecondOfLine(log, "] [MM] WS:") - SecondOfLine(log, "] [BW] All threads started.");
    EXPECT_GE(afterStart, 4);
    EXPECT_LE(afterStart, 7);
}

TEST_F(PlugInRun, ASecondStartReadsTheFileBack) {
    wintest::WriteBytes(wintest::SettingsPath(), kDefaultFile);
    wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("] [BW] INI loaded: " + kDefaultNumbers));
    EXPECT_EQ(Log().find("Created default INI"), std::string::npos);
    EXPECT_EQ(wintest::ReadBytes(wintest::SettingsPath()), kDefaultFile);
}

// The batches use the file's Iter, loaded before the first one; and the
// number reads the same whatever locale another module of the game has set
// for the whole process.
TEST_F(PlugInRun, BatchesUseTheFilesIterAndPrintItsSumWithAPoint) {
    ASSERT_NE(std::setlocale(LC_ALL, "German"), nullptr);
    wintest::WriteBytes(wintest::SettingsPath(), "Iter=2\r\n");
    wintest::StartBrackwellInGame(ListState::Present);
    EXPECT_TRUE(wintest::WaitForLogLine("] [BW] CPU worker active: 0.010000\r\n")) << Log();
}

// Settings that keep something from happening: by the monitor's first line,
// five seconds in, it would have happened many times over (a trim, in the
// very pass that wrote the line).
class SettingsThatHold : public PlugInRun, public ::testing::WithParamInterface<std::array<const char*, 3>> {};

TEST_P(SettingsThatHold, NothingHappensByTheMonitorsFirstLine) {
    const auto [file, batchLine, neverLogged] = GetParam();
    wintest::WriteBytes(wintest::SettingsPath(), file);
    wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine(batchLine));
    WaitForTheMonitorsFirstLine();
    EXPECT_FALSE(wintest::WaitForLogLine(neverLogged, 500ms)) << Log();
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsThatHold,
    ::testing::Values(std::array{"OverlayBatch=0\r\nSleep=1\r\n", "] [BW] Overlay batch disabled.",
                                 "CPU worker active"},
                      // A pause without end: the worker stops after its first cycle.
                      std::array{"Sleep=-1\r\n", "] [BW] Overlay batch enabled.", "CPU worker active"},
                      // The first trim waits its interval from the monitor's start.
                      std::array{"TrimThresholdMB=0\r\n", "] [BW] Overlay batch enabled.", "[MM] Trimmed"}));

TEST_F(PlugInRun, BatchesWaitForTheListToGainAnEntry) {
    wintest::WriteBytes(wintest::SettingsPath(), kDefaultFile);
    wintest::StartBrackwellInGame(ListState::Empty);
    WaitForTheMonitorsFirstLine();
    EXPECT_EQ(Log().find("CPU worker active"), std::string::npos);
    sandbox::SetListState(ListState::Present);
    EXPECT_TRUE(wintest::WaitForLogLine("] [BW] CPU worker active: 499950.000000\r\n"));
}

// Documents moved, as Explorer's Location tab moves it, to a folder of this
// name in the user's profile, for as long as the object lives. The prefix
// outlives the test, so its own Documents comes back afterwards.
struct MovedDocuments {
    explicit MovedDocuments(const std::wstring& name) : folder(fs::path(_wgetenv(L"USERPROFILE")) / name) {
        fs::create_directories(folder);
        Point(L"%USERPROFILE%\\" + name);
    }
    ~MovedDocuments() {
        Point(L"%USERPROFILE%\\Documents");
        wintest::RemoveAll(folder);
    }
    static void Point(const std::wstring& place) {
        EXPECT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER,
                            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", L"Personal",
                            REG_EXPAND_SZ, place.c_str(), static_cast<DWORD>((place.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
    }
    const fs::path folder;
};

// A player whose folders have names the system's code page can't spell (a
// Cyrillic user name on a Western system): the game, started from its own
// folder, finds its settings file beside it and its log in Documents.
TEST_F(PlugInRun, FolderNamesInAnyScriptAreFoundAndUsed) {
    const MovedDocuments documents(L"\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b");     // Документы
    const fs::path game = fs::path(sandbox::BesideExecutable(L"")) / L"\u0418\u0433\u0440\u0430";  // Игра
    wintest::RemoveAll(game);
    fs::create_directories(game / "Data" / "Plugins");
    fs::copy_file(sandbox::BesideExecutable(L"sandbox.exe"), game / "Velmoria.exe");
    fs::copy_file(sandbox::BesideExecutable(L"Brackwell.dll"), game / "Data" / "Plugins" / "Brackwell.dll");
    const fs::path log = documents.folder / "My Games" / "Velmoria" / "TRVX" / "Logs" / "Brackwell.log";
    {
        const wintest::OtherProcess player(game / "Velmoria.exe", L"--no-window --run-ms 600000");
        EXPECT_TRUE(wintest::WaitUntil([&] {
            return wintest::ReadBytes(log).find("] [BW] Created default INI: " + kDefaultNumbers) != std::string::npos;
        })) << "no log in "
            << log;
    }
    EXPECT_EQ(wintest::ReadBytes(game / "Data" / "Plugins" / "Brackwell.ini"), kDefaultFile);
    wintest::RemoveAll(game);
}

// A game installed deep enough that its name fills the first buffer: asked
// again in a larger one, never taken cut.
TEST(GameExecutable, ANameLongerThanTheFirstBufferIsFoundWhole) {
    const bw::platform::PathLookup whole = bw::platform::MainExecutablePath();
    EXPECT_EQ(bw::platform::MainExecutablePath(4).path, whole.path);
    EXPECT_FALSE(whole.path.empty());
}

TEST_F(PlugInRun, ASettingsFileThatIsAFolderLeavesTheDefaults) {
    std::filesystem::create_directories(wintest::SettingsPath());
    wintest::StartBrackwellInGame(ListState::Present);
    ASSERT_TRUE(wintest::WaitForLogLine("] [BW] INI loaded: " + kDefaultNumbers));
    EXPECT_TRUE(std::filesystem::is_directory(wintest::SettingsPath()));
    EXPECT_TRUE(wintest::WaitForLogLine("] [BW] CPU worker active: 499950.000000\r\n"));
}

}  // namespace
