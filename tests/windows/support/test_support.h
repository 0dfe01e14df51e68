// What the Windows tests need around the real DLL: a clean stage, the files
// the plug-in writes, and ways to wait for things without fixed sleeps.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "game_list.h"
#include "game_window.h"
#include "plugin_host.h"

// One plain 64-bit load, as any code of the game's might make.
extern "C" std::uint64_t bwtest_PlainLoad64(std::uintptr_t address) noexcept;

namespace wintest {

// The log the plug-in writes (in the prefix's Documents folder).
std::filesystem::path LogPath();
// Brackwell.ini in Data\Plugins beside the test executable.
std::filesystem::path SettingsPath();

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
void RemoveAll(const std::filesystem::path& path);

// A first start's stage: no Data folder beside the executable, no log.
void ClearGameFolders();

// Polls `condition` every few milliseconds until it holds or `timeout` ends.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(15));

// True once the log holds `text`, within the timeout.
bool WaitForLogLine(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(15));

// Whether a load of the game's own from `address` raises the guard-page
// exception, as it does while the page carries PAGE_GUARD (which the load
// then clears, as the system does), and the exception reaches a handler of
// the game's behind the plug-in's. False, too, when Wine hands the load an
// access violation because another thread's fault on the page won the race
// for its guard: call it again.
bool OwnersLoadRaisesGuardPageViolation(const void* address);

// Points `module`'s import of `function` from `dll` (any case) at
// `replacement`, so that the module, and only it, gets the test's answers
// from the system. False when the module imports no such function by name.
bool RedirectImport(HMODULE module, const char* dll, const char* function, const void* replacement);

// Threads of this process right now.
int CountOwnThreads();

// Another program, started with a command line and ended when this object
// goes (a player's File Explorer, the game started from another folder).
class OtherProcess {
public:
    OtherProcess(const std::filesystem::path& program, const std::wstring& arguments);
    ~OtherProcess();
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    // Its first top-level window with this title, or null.
    HWND Window(const wchar_t* title) const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Loads Brackwell.dll from beside the test executable; fails the test if a
// host would reject it.
sandbox::LoadedPlugin LoadBrackwell();

// The whole first start as the game would see it: the watched list in the
// given state, the window, and the accepted host's load call from the
// window's thread. Fails the test unless the load entry returned true.
sandbox::GameWindow StartBrackwellInGame(sandbox::ListState list);

// The game survived: its window still answers messages, the log still begins
// with `earlierLog` (what it held before the fault) and every line is whole.
void ExpectGameHealthy(const sandbox::GameWindow& game, const std::string& earlierLog);

}  // namespace wintest
